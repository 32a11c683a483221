#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/orientation.h"
#include "engine/parameter_set.h"
#include "engine/pullout_law.h"
#include "engine/refusal.h"

namespace fb {

inline constexpr int kSliceCount = 101;      // centroid slices over Lf/2
inline constexpr int kAngleClassCount = 90;  // 2-degree classes from -89 to 89
inline constexpr int kPairCount = kAngleClassCount * kAngleClassCount;
inline constexpr int kClassCount = kSliceCount * kPairCount;

/// Class angle in degrees of angle index 1..90: -89, -87, ..., 89.
inline int classAngle(int angleIndex) { return -89 + 2 * (angleIndex - 1); }

/// What every slice of one (Z-X, X-Y) angle pair shares.
struct AnglePair {
  double wXY = 0, wZX = 0;  // density factors p(theta)*angleClassWidth
  double countWeight = 0;   // ((1*wXY)*wZX)*fiberNumberCoefficient
  double psi0 = 0;          // rad, geometric inclination to the crack normal
  double cosPsi0 = 0;
  double psi = 0;          // rad, inclination for snubbing and strength reduction
  double ruptureLoad = 0;  // N
};

/// A class whose fiber crosses the crack (lb > 0), with its law ready to evaluate.
struct CrossingClass {
  float lb;  // mm, shorter embedded length
  PulloutPoints points;
  PulloutSlopes slopes;
  std::uint16_t pair;  // index into FiberClassTable::pairs
};

/// The fiber classes of one run. Classes with lb = 0 leave at the first step
/// without adding anything, so only the crossing ones are kept, in class order
/// (slice, then Z-X angle, then X-Y angle); the step loop drops a class from
/// `active` when it is pulled out or ruptures.
struct FiberClassTable {
  std::vector<AnglePair> pairs;       // kPairCount, Z-X outer, X-Y inner
  std::vector<CrossingClass> active;  // classes still bridging
  float totalFiber = 0;
  float fiberNumberCoefficient = 0;
};

/// Geometric inclination psi0 (rad) of a class, from its angles in degrees.
double geometricInclination(int thetaZX, int thetaXY, const RunConstants& k);

/// Inclination psi (rad) for snubbing and strength reduction, crack angles included.
double snubbingInclination(int thetaZX, int thetaXY, const RunConstants& k);

/// Centroid position z (mm) of a slice, -Lf/2 at slice 0 and 0 at slice 100.
float slicePosition(int sliceIndex, float Lf);

/// Shorter embedded length (mm) at centroid `z`; 0 when the fiber misses the crack.
float embeddedLength(float z, float Lf, double cosPsi0);

/// Called at the top of each slice with its index; returning false stops the build.
using SliceProgress = std::function<bool(int sliceIndex)>;

struct TableOutcome {
  bool stopped = false;
  std::optional<Refusal> refusal;  // a crossing class whose law cannot be evaluated
};

/// Fills `table` for the run (it is reused from run to run to keep its storage).
TableOutcome buildFiberClassTable(const ParameterSet& p, const RunConstants& k, const Orientation& o,
                                  FiberClassTable& table, const SliceProgress& progress = {});

}  // namespace fb
