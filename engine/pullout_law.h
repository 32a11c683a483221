#pragma once

#include <span>

#include "engine/parameter_set.h"

namespace fb {

/// The snubbed characteristic points of one fiber's tri-linear law, with the
/// slopes of its three lines (each rounded to single, as the law uses them).
struct PulloutPoints {
  float Pa = 0;        // N, first point
  float deltaA = 0;    // mm
  float Pmax = 0;      // N, peak
  float deltaMax = 0;  // mm
};

struct PulloutSlopes {
  float kA = 0;  // N/mm, rising to the first point
  float kB = 0;  // N/mm, rising to the peak
  float kC = 0;  // N/mm, falling to zero at lb
};

/// The points for embedded length `lb` (mm) and inclination `psi` (rad), snubbing included.
PulloutPoints pulloutPoints(const ParameterSet& p, float lb, double psi);

/// Snubbing factor exp(f*psi) for a coefficient f0 + f1*lb rounded to single.
double snubbingFactor(float f0, float f1, float lb, double psi);

/// The points from the snubbing factors Sp (loads) and Sd (widths).
PulloutPoints snubbedPoints(const ParameterSet& p, float lb, double Sp, double Sd);

/// The load (N) above which a fiber inclined by `psi` (rad) ruptures.
double ruptureLoad(const ParameterSet& p, double psi);

PulloutSlopes pulloutSlopes(const PulloutPoints& points, float lb);

/// One fiber of embedded length `lb` and inclination `psi`, ready to be
/// pulled: what a fiber class of the class table holds, for one fiber.
struct PulloutFiber {
  float lb = 0;  // mm
  PulloutPoints points;
  PulloutSlopes slopes;
  double ruptureLoad = 0;  // N
};

PulloutFiber pulloutFiber(const ParameterSet& p, float lb, double psi);

struct FiberLoad {
  double load;  // N
  bool active;  // false once pulled out or ruptured
};

/// The load of a fiber that still bridges, at slip (crack width) `w` in mm:
/// the class pass's evaluation, one lane of it. Pulled out at w >= lb; else
/// on the first line up to deltaA, the second up to deltaMax, the falling one
/// beyond; ruptured when the load exceeds the rupture load.
inline FiberLoad pulloutLoad(const PulloutFiber& f, double w) {
  const PulloutPoints& pt = f.points;
  const PulloutSlopes& k = f.slopes;
  const double rising = w * k.kA;
  const double second = pt.Pa + (w - pt.deltaA) * k.kB;
  const double falling = pt.Pmax + (w - pt.deltaMax) * k.kC;
  const double load = w <= pt.deltaA ? rising : w <= pt.deltaMax ? second : falling;
  const bool active = !(w >= f.lb) && !(load > f.ruptureLoad);
  return {active ? load : 0.0, active};
}

/// The load (N) at slip `w` (mm) of a fiber of embedded length `lb` (mm) and
/// inclination `psi` (rad) that still bridges.
double pulloutLoad(const ParameterSet& p, float lb, double psi, double w);

/// The loads (N) of a pullout test whose slip runs through `slips` (mm) in
/// order: once pulled out or ruptured, the fiber carries nothing, as a fiber
/// class that leaves stays out for the rest of a run.
void pulloutCurve(const PulloutFiber& f, std::span<const double> slips, std::span<double> loads);

}  // namespace fb
