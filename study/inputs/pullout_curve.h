#pragma once

// A single-fiber pullout test as its file gives it, and what such a test can be.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/expected.h"
#include "study/inputs/measured_curve.h"

namespace fb {

/// A point of a single-fiber pullout test.
struct PulloutPoint {
  double slip = 0;  // mm
  double load = 0;  // N
  double sd = 0;    // N, the point's standard deviation; 0 where the file gives none
  int line = 0;     // of its file, for messages; 0 where it came from no file
  bool operator==(const PulloutPoint&) const = default;
};

/// A single-fiber pullout test: the fiber's embedded length and inclination,
/// the inputs that it alone sets, and its load against slip.
/// What stretches between the grip and the embedded fiber, so that the slip a
/// test measures exceeds the fiber's own by the load times a compliance: the
/// free fiber length (with the fiber's modulus), or the rig's compliance.
struct PulloutStretch {
  double freeLength = 0;  // mm of fiber between the grip and the matrix
  double Ef = 0;          // GPa, the fiber's modulus, with the free length
  double compliance = 0;  // mm/N, the rig's
  bool operator==(const PulloutStretch&) const = default;
};

/// Refuses a stretch that cannot be: a negative length or compliance, a
/// free length without the fiber's modulus or with a compliance beside it.
[[nodiscard]] Expected<void> checkPulloutStretch(const PulloutStretch& stretch);

/// The stretch per newton (mm/N) of `stretch` on a fiber of sectional area `Af` (mm2).
double stretchPerNewton(const PulloutStretch& stretch, double Af);

/// The fiber's own slips of a test whose measured slips hold `perNewton` mm/N
/// of stretch: each slip less its load's stretch, never below 0 and never
/// back from the one before, as the fiber slips.
std::vector<double> fiberSlips(const std::vector<PulloutPoint>& measured, double perNewton);

struct PulloutCurve {
  double lb = 0;     // mm
  double angle = 0;  // degrees of inclination to the pulling direction
  int lbLine = 0;    // the line of `# lb =`, for messages
  PulloutStretch stretch;
  std::vector<PulloutPoint> points;
  std::vector<SpecimenInput> inputs;
};

/// Reads a pullout curve by the rules of a measured curve, with slip (mm),
/// load (N) and optionally its standard deviation (N) per line. Comments
/// `# lb = 3` (mm, required) and `# angle = 30` (degrees, default 0) before
/// the first point give the test's embedded length and inclination. Slips
/// run from 0 to lb and never go back, as the test pulled. `# free length = L`
/// (mm) with `# Ef = E` (GPa), or `# compliance = C` (mm/N), say what
/// stretched besides the fiber's slip.
[[nodiscard]] Expected<PulloutCurve> parsePulloutCurve(std::string_view content, const std::string& fileName);
[[nodiscard]] Expected<PulloutCurve> readPulloutCurve(const std::string& path);

/// Refuses a pullout test's embedded length (mm), angle (degrees) or slip (mm)
/// that cannot be, saying why. `previous` is the slip before, if any.
[[nodiscard]] Expected<void> checkPulloutLength(double lb);
[[nodiscard]] Expected<void> checkPulloutAngle(double angle);
[[nodiscard]] Expected<void> checkPulloutSlip(double slip, double lb, std::optional<double> previous);

}  // namespace fb
