#pragma once

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

struct FiberLoad {
  double load;  // N
  bool active;  // false once pulled out or ruptured
};

/// The load of an active fiber at crack width `w` (mm), with its slopes at hand.
/// Pulled out at w >= lb; else on the first line up to deltaA, the second up
/// to deltaMax, the falling one beyond; ruptured when the load exceeds
/// `rupture`. The three lines are all formed and one is picked, which keeps
/// the step loop's hot pass nearly free of jumps.
inline FiberLoad fiberResponse(double w, float lb, const PulloutPoints& pt, const PulloutSlopes& k, double rupture) {
  const double rising = w * k.kA;
  const double second = pt.Pa + (w - pt.deltaA) * k.kB;
  const double falling = pt.Pmax + (w - pt.deltaMax) * k.kC;
  const double load = w <= pt.deltaA ? rising : w <= pt.deltaMax ? second : falling;
  const bool active = !(w >= lb) && !(load > rupture);
  return {active ? load : 0.0, active};
}

/// The load of an active fiber at crack width `w` (mm).
inline FiberLoad fiberResponse(double w, float lb, const PulloutPoints& pt, double rupture) {
  return fiberResponse(w, lb, pt, pulloutSlopes(pt, lb), rupture);
}

}  // namespace fb
