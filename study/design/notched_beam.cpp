#include "study/design/notched_beam.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/number_writer.h"
#include "run/task_pool.h"

namespace fb {
namespace {

constexpr int kLayers = 400;         // over the ligament
constexpr int kMostRootSteps = 200;  // of the neutral axis's search; it needs a few dozen at most
constexpr double kLastCmod = 4.0;    // mm, beyond fR4's 3.5

class Hinge {
 public:
  Hinge(const TensionLaw& law, double E, const BeamGeometry& g)
      : law_(law), E_(E), g_(g), s_(g.h / 2), ligament_(g.h - g.notch), ft_(law.sigma.front()) {
    // A cracked layer stretches by u = w + s sigma(w) / E, linear in w between
    // the law's points as sigma is: its inverse is found by a search. Where the
    // law falls faster than E/s the stretch would shrink as the crack opens
    // (a snap-back the hinge cannot follow): the crack then jumps ahead.
    for (std::size_t k = 0; k < law.w.size(); ++k)
      stretch_.push_back(std::max(k ? stretch_.back() : 0.0, law.w[k] + s_ * law.sigma[k] / E_));
  }

  // The stress of a layer the hinge stretches by u (mm): elastic in
  // compression and up to the strength, then the law at the opening w that
  // the rest of the stretch leaves, u = s sigma(w) / E + w.
  double stress(double u) const {
    if (u * E_ / s_ <= ft_) return u * E_ / s_;
    if (u >= stretch_.back()) return law_.sigma.back();  // the law's last stress holds beyond it
    const std::size_t k =
        static_cast<std::size_t>(std::upper_bound(stretch_.begin(), stretch_.end(), u) - stretch_.begin());
    const double du = stretch_[k] - stretch_[k - 1];
    const double t = du > 0 ? (u - stretch_[k - 1]) / du : 1;
    return law_.sigma[k - 1] + t * (law_.sigma[k] - law_.sigma[k - 1]);
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

  // The neutral axis where the section carries no axial force, which grows
  // with it: regula falsi (Illinois) within [0, ligament], all compression
  // at one end and all tension at the other, to 1e-12 of the ligament.
  double neutralAxis(double phi) const {
    double low = 0, high = ligament_;
    double fLow = forces(phi, low).first, fHigh = forces(phi, high).first;
    int kept = 0;  // which end stayed on the last step: -1 low, 1 high
    for (int i = 0; i < kMostRootSteps && high - low > 1e-12 * ligament_; ++i) {
      const double y0 =
          fHigh - fLow > 0 ? std::clamp(low - fLow * (high - low) / (fHigh - fLow), low, high) : (low + high) / 2;
      const double f = forces(phi, y0).first;
      if (f == 0) return y0;
      if (f > 0) {
        high = y0;
        fHigh = f;
        if (kept == -1) fLow /= 2;
        kept = -1;
      } else {
        low = y0;
        fLow = f;
        if (kept == 1) fHigh /= 2;
        kept = 1;
      }
    }
    return (low + high) / 2;
  }

  // The largest rotation at which every layer is still elastic: the bottom
  // layer reaches the strength, the neutral axis at the ligament's middle.
  double lastElasticRotation() const {
    const double dy = ligament_ / kLayers;
    return ft_ * s_ / E_ / (2 * (ligament_ / 2 - dy / 2));
  }

  BeamPoint point(double phi) const {
    const double y0 = neutralAxis(phi);
    // With no axial force, the moment about any height is the section's moment.
    const double M = -forces(phi, y0).second;
    return {2 * phi * (y0 + g_.notch), 4 * M / g_.span / 1000};
  }

 private:
  const TensionLaw& law_;
  double E_;
  BeamGeometry g_;
  double s_, ligament_, ft_;
  std::vector<double> stretch_;  // u at each of the law's points
};

}  // namespace

double beamLoadAt(std::span<const BeamPoint> curve, double cmod) {
  if (curve.empty()) return 0;
  for (std::size_t i = 1; i < curve.size(); ++i)
    if (curve[i].cmod >= cmod) {
      const BeamPoint &a = curve[i - 1], &b = curve[i];
      return a.load + (b.load - a.load) * (cmod - a.cmod) / (b.cmod - a.cmod);
    }
  return curve.back().load;
}

Expected<std::vector<BeamPoint>> beamCurve(const TensionLaw& law, double E, const BeamGeometry& g, double lastCmod) {
  if (law.w.empty() || !(law.sigma.front() > 0))
    return unexpected(
        "the beam needs a law that begins at the tensile strength at zero opening (a positive first "
        "stress), where its layers crack");
  if (!(E > 0)) return unexpected("the beam needs the modulus --Ec");
  if (!(g.b > 0 && g.h > 0 && g.span > 0 && g.notch >= 0 && g.notch < g.h))
    return unexpected("the beam's width, depth and span must be positive and its notch shallower than its depth");
  const Hinge hinge(law, E * 1000, g);
  std::vector<BeamPoint> curve{{0, 0}};
  // Rotations growing geometrically from well inside the elastic range to the last CMOD.
  constexpr std::size_t kMostRotations = 5000;  // from 1e-7 to past 1e35: a mouth not open by then never opens
  // While every layer is elastic the curve is a straight line: its first and
  // last points say all of it.
  const double elastic = hinge.lastElasticRotation();
  std::size_t rotations = 0;
  for (double phi = 1e-7; curve.back().cmod < lastCmod; phi *= 1.02) {
    if (++rotations > kMostRotations)
      return unexpected("the beam's crack mouth does not open to " + formatShortest(lastCmod) +
                        " mm: check the law's units and the beam's size");
    if (curve.size() > 1 && phi * 1.02 <= elastic) continue;
    curve.push_back(hinge.point(phi));
  }
  return curve;
}

Expected<BeamResult> notchedBeam(const TensionLaw& law, double E, const BeamGeometry& g) {
  Expected<std::vector<BeamPoint>> curve = beamCurve(law, E, g, kLastCmod);
  if (!curve) return unexpected(curve.error());
  BeamResult result;
  result.curve = std::move(*curve);
  const double ligament = g.h - g.notch;
  const double strength = 3 * g.span / (2 * g.b * ligament * ligament) * 1000;  // MPa per kN
  double fL = 0;
  for (const BeamPoint& p : result.curve)
    if (p.cmod <= 0.05) fL = std::max(fL, p.load);
  result.fL = fL * strength;
  for (std::size_t j = 0; j < kResidualCmods.size(); ++j)
    result.fR[j] = beamLoadAt(result.curve, kResidualCmods[j]) * strength;
  // A law of no negative stress bends the beam one way only; anything else is arithmetic lost to extreme inputs.
  const auto sound = [](double f) { return std::isfinite(f) && f >= 0; };
  if (!sound(result.fL) || !std::all_of(result.fR.begin(), result.fR.end(), sound))
    return unexpected("the beam's strengths came out as no sound numbers: check the law's and the modulus's units");
  return result;
}

std::vector<Expected<BeamResult>> notchedBeams(std::span<const TensionLaw> laws, double E, const BeamGeometry& geometry,
                                               unsigned jobs) {
  std::vector<Expected<BeamResult>> beams(laws.size(), unexpected(std::string("not computed")));
  TaskPoolSettings pool;
  pool.jobs = jobs;
  runTasks(laws.size(), pool, [&](unsigned) -> TaskRunner {
    return [&](std::size_t i) { beams[i] = notchedBeam(laws[i], E, geometry); };
  });
  return beams;
}

}  // namespace fb
