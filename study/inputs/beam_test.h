#pragma once

// A measured notched-beam test (EN 14651): the load against the crack
// mouth's opening, for a fit of the inputs to beam tests.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/expected.h"
#include "study/inputs/measured_curve.h"

namespace fb {

struct BeamTestPoint {
  double cmod = 0;  // mm
  double load = 0;  // kN
  double sd = 0;    // kN, the point's standard deviation; 0 where the file gives none
  int line = 0;     // of its file, for messages; 0 where it came from no file
  bool operator==(const BeamTestPoint&) const = default;
};

struct BeamTestCurve {
  std::vector<BeamTestPoint> points;
  std::vector<SpecimenInput> inputs;  // "# NAME = VALUE" lines, in file order
};

/// The widest CMOD a beam test may give (mm): EN 14651 stops at 4 mm, and a
/// hinge turned much further is no longer a small rotation.
inline constexpr double kWidestBeamCmod = 10;

/// Reads a beam test by the rules of a measured curve, with CMOD (mm), load
/// (kN) and optionally its standard deviation (kN) per line. The CMOD runs
/// from 0 to kWidestBeamCmod and never goes back, as the test opened the
/// mouth; loads are 0 or more.
[[nodiscard]] Expected<BeamTestCurve> parseBeamTest(std::string_view content, const std::string& fileName);
[[nodiscard]] Expected<BeamTestCurve> readBeamTest(const std::string& path);

/// Refuses a beam test's point that cannot be, saying why: a CMOD (mm)
/// outside 0 to kWidestBeamCmod or below `previous`, a load (kN) below 0.
[[nodiscard]] Expected<void> checkBeamTestPoint(double cmod, double load, std::optional<double> previous);

}  // namespace fb
