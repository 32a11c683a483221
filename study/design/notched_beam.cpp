#include "study/design/notched_beam.h"

#include <algorithm>
#include <cmath>

namespace fb {
namespace {

constexpr int kLayers = 200;       // over the ligament
constexpr int kBisections = 40;    // of a width or a height: 1e-12 of its range
constexpr double kLastCmod = 4.0;  // mm, beyond fR4's 3.5

// The law's stress at opening w, linear between its points, its last stress beyond them.
double lawStress(const TensionLaw& law, double w) {
  if (w <= law.w.front()) return law.sigma.front();
  if (w >= law.w.back()) return law.sigma.back();
  const auto above = std::upper_bound(law.w.begin(), law.w.end(), w);
  const std::size_t i = static_cast<std::size_t>(above - law.w.begin());
  const double t = (w - law.w[i - 1]) / (law.w[i] - law.w[i - 1]);
  return law.sigma[i - 1] + t * (law.sigma[i] - law.sigma[i - 1]);
}

class Hinge {
 public:
  Hinge(const TensionLaw& law, double E, const BeamGeometry& g)
      : law_(law), E_(E), g_(g), s_(g.h / 2), ligament_(g.h - g.notch), ft_(law.sigma.front()) {}

  // The stress of a layer the hinge stretches by u (mm): elastic in
  // compression and up to the strength, then the law at the opening w that
  // the rest of the stretch leaves, u = s sigma(w) / E + w.
  double stress(double u) const {
    if (u * E_ / s_ <= ft_) return u * E_ / s_;
    double low = 0, high = u;
    for (int i = 0; i < kBisections; ++i) {
      const double w = (low + high) / 2;
      (w + s_ * lawStress(law_, w) / E_ < u ? low : high) = w;
    }
    return lawStress(law_, (low + high) / 2);
  }

  // The axial force (N) and the moment about the ligament's bottom (N mm) when
  // the faces turn by phi each about the neutral axis at height y0 (mm from the notch tip).
  std::pair<double, double> forces(double phi, double y0) const {
    const double dy = ligament_ / kLayers;
    double N = 0, M = 0;
    for (int i = 0; i < kLayers; ++i) {
      const double y = (i + 0.5) * dy;
      const double sigma = stress(2 * phi * (y0 - y));
      N += sigma * g_.b * dy;
      M += sigma * g_.b * dy * y;
    }
    return {N, M};
  }

  // The neutral axis where the section carries no axial force.
  double neutralAxis(double phi) const {
    double low = 0, high = ligament_;  // all compression above, all tension below
    for (int i = 0; i < kBisections; ++i) {
      const double y0 = (low + high) / 2;
      (forces(phi, y0).first > 0 ? high : low) = y0;
    }
    return (low + high) / 2;
  }

  BeamPoint point(double phi) const {
    const double y0 = neutralAxis(phi);
    // With no axial force, the moment about any height is the section's moment.
    const double M = -forces(phi, y0).second;
    return {2 * phi * (y0 + g_.notch), 4 * M / g_.span / 1000};
  }

  double ligament() const { return ligament_; }

 private:
  const TensionLaw& law_;
  double E_;
  BeamGeometry g_;
  double s_, ligament_, ft_;
};

double loadAt(const std::vector<BeamPoint>& curve, double cmod) {
  for (std::size_t i = 1; i < curve.size(); ++i)
    if (curve[i].cmod >= cmod) {
      const BeamPoint &a = curve[i - 1], &b = curve[i];
      return a.load + (b.load - a.load) * (cmod - a.cmod) / (b.cmod - a.cmod);
    }
  return curve.back().load;
}

}  // namespace

Expected<BeamResult> notchedBeam(const TensionLaw& law, double E, const BeamGeometry& g) {
  if (law.w.empty() || !(law.sigma.front() > 0))
    return unexpected("the beam needs the tensile strength at zero opening: give the matrix's --ft and --Gf");
  if (!(E > 0)) return unexpected("the beam needs the modulus --Ec");
  if (!(g.b > 0 && g.h > 0 && g.span > 0 && g.notch >= 0 && g.notch < g.h))
    return unexpected("the beam's width, depth and span must be positive and its notch shallower than its depth");
  const Hinge hinge(law, E * 1000, g);
  BeamResult result;
  result.curve.push_back({0, 0});
  // Rotations growing geometrically from well inside the elastic range to the last CMOD.
  for (double phi = 1e-7; result.curve.back().cmod < kLastCmod; phi *= 1.05) result.curve.push_back(hinge.point(phi));
  const double strength = 3 * g.span / (2 * g.b * hinge.ligament() * hinge.ligament()) * 1000;  // MPa per kN
  double fL = 0;
  for (const BeamPoint& p : result.curve)
    if (p.cmod <= 0.05) fL = std::max(fL, p.load);
  result.fL = fL * strength;
  for (std::size_t j = 0; j < kResidualCmods.size(); ++j)
    result.fR[j] = loadAt(result.curve, kResidualCmods[j]) * strength;
  return result;
}

}  // namespace fb
