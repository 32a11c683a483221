#include "engine/pullout_law.h"

#include <cmath>

namespace fb {

namespace {

// lb^e; pow gives 1 for a zero exponent whatever lb is, so skip the call.
double lengthPower(float lb, double e) { return e == 0 ? 1.0 : std::pow(lb, e); }

}  // namespace

double snubbingFactor(float f0, float f1, float lb, double psi) {
  const float f = static_cast<float>(static_cast<double>(f1) * lb + f0);
  return std::exp(f * psi);
}

PulloutPoints snubbedPoints(const ParameterSet& p, float lb, double Sp, double Sd) {
  PulloutPoints pt;
  pt.Pa = static_cast<float>(p.Aa * lengthPower(lb, p.Ba) * Sp);
  pt.deltaA = static_cast<float>((p.Ca * lb + p.Da) * Sd);
  pt.Pmax = static_cast<float>(p.A * lengthPower(lb, p.B) * Sp);
  pt.deltaMax = static_cast<float>((p.C * lb + p.D) * Sd);
  return pt;
}

PulloutPoints pulloutPoints(const ParameterSet& p, float lb, double psi) {
  return snubbedPoints(p, lb, snubbingFactor(p.fp0, p.fp1, lb, psi), snubbingFactor(p.fd0, p.fd1, lb, psi));
}

double ruptureLoad(const ParameterSet& p, double psi) {
  const float reduction = -p.strengthReduction;
  return p.ruptureStrength * std::exp(reduction * psi) * p.Af;
}

PulloutSlopes pulloutSlopes(const PulloutPoints& pt, float lb) {
  PulloutSlopes k;
  k.kA = static_cast<float>(static_cast<double>(pt.Pa) / pt.deltaA);
  k.kB = static_cast<float>((static_cast<double>(pt.Pmax) - pt.Pa) / (static_cast<double>(pt.deltaMax) - pt.deltaA));
  k.kC = static_cast<float>(-static_cast<double>(pt.Pmax) / (static_cast<double>(lb) - pt.deltaMax));
  return k;
}

PulloutFiber pulloutFiber(const ParameterSet& p, float lb, double psi) {
  PulloutFiber f;
  f.lb = lb;
  f.points = pulloutPoints(p, lb, psi);
  f.slopes = pulloutSlopes(f.points, lb);
  f.ruptureLoad = ruptureLoad(p, psi);
  return f;
}

double pulloutLoad(const ParameterSet& p, float lb, double psi, double w) {
  return pulloutLoad(pulloutFiber(p, lb, psi), w).load;
}

void pulloutCurve(const PulloutFiber& f, std::span<const double> slips, std::span<double> loads) {
  bool active = true;
  for (std::size_t i = 0; i < slips.size() && i < loads.size(); ++i) {
    const FiberLoad here = active ? pulloutLoad(f, slips[i]) : FiberLoad{0.0, false};
    active = here.active;
    loads[i] = here.load;
  }
}

}  // namespace fb
