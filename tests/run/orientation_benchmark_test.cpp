// The peak bridging stress of fibers under constant friction against the
// closed forms of the literature. With a pullout law of constant friction
// tau (the peak load pi*df*tau*lb reached at once) and no rupture, every
// fiber crossing the crack carries its whole embedded length's friction at
// the peak, so sigma0 = tau*Vf*(Lf/df) times the average of cos(phi)*e^(f*phi)
// over the orientation:
// - fibers uniform over the sphere, sigma0 = g/2 * tau*Vf*Lf/df with the
//   snubbing factor g = 2/(4+f^2) * (1+e^(pi*f/2)) (Li, V.C., Wang, Y. and
//   Backer, S., J. Mech. Phys. Solids 39(5), 1991; Li and Leung, J. Eng. Mech.
//   118(11), 1992);
// - fibers random in a plane, sigma0 = 2/pi * (e^(pi*f/2) - f)/(1+f^2) *
//   tau*Vf*Lf/df, the same average over a uniform in-plane angle.
// The model counts fibers by 101 centroid slices, both ends included, each
// holding 1/101 of the fibers: against their own integral over the centroid
// they lift the peak of an inclined fiber by about (1 - cos psi)/(101 cos psi).
// Averaged over the orientation that is the whole of the model's excess over
// the closed forms, to within 0.05 %: +1.0 to +1.4 % for isotropic fibers,
// +0.6 to +0.9 % for planar ones, +1.5 to +2.1 % for the design's default
// (and, further out, +7 to +12 % at an opening of 4.5 mm for Lf 12 mm).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "run/curve_runner.h"

namespace {

using fb::Field;

constexpr double kTau = 1, kVf = 0.02, kLf = 12, kDf = 0.04;  // MPa, -, mm, mm

// The slices' sum of the peak's embedded lengths against its integral over
// the centroid, weighed over the angle classes of a preset as the model
// weighs them (2-degree classes at odd angles).
double sliceExcess(bool planar, double f) {
  const double width = 2 * std::numbers::pi / 180;
  double sum = 0, integral = 0;
  for (int zx = -89; zx <= 89; zx += 2)
    for (int xy = -89; xy <= 89; xy += 2) {
      const double zxShare =
          planar ? (zx == -1 || zx == 1 ? 0.5 : 0.0) : std::cos(zx * std::numbers::pi / 180) / 2 * width;
      const double c =
          std::abs(std::cos(zx * std::numbers::pi / 180)) * std::abs(std::cos(xy * std::numbers::pi / 180));
      const double weight = zxShare * (width / std::numbers::pi) * std::exp(f * std::acos(c));
      for (int i = 0; i <= 100; ++i) {
        const double z = -kLf / 2 + i * (kLf / 200);
        sum += weight * std::max(0.0, (z + kLf / 2 * c) / c) / 101;
      }
      integral += weight * kLf * c / 4;  // the mean embedded length over the centroid
    }
  return sum / integral;
}

double peakStress(const char* orientation, double f) {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  const double perLength = std::numbers::pi * kDf * kTau;  // N per mm embedded
  const std::pair<Field, std::string> law[] = {{Field::Vf, "0.02"},
                                               {Field::Af, "0.0012566"},
                                               {Field::Lf, "12"},
                                               {Field::strengthReduction, "0"},
                                               {Field::ruptureStrength, "1e6"},
                                               {Field::Aa, std::to_string(perLength / 10)},
                                               {Field::Ba, "1"},
                                               {Field::Ca, "0"},
                                               {Field::Da, "0.0001"},
                                               {Field::A, std::to_string(perLength)},
                                               {Field::B, "1"},
                                               {Field::C, "0"},
                                               {Field::D, "0.001"},
                                               {Field::division, "200"},
                                               {Field::fp0, std::to_string(f)},
                                               {Field::orientation, orientation}};
  for (const auto& [field, text] : law) t[field] = text;
  fb::CurveRunner runner(1);
  const auto curve = runner.run(t, std::numeric_limits<double>::infinity());
  EXPECT_FALSE(curve.refusal) << curve.refusal->message;
  double peak = 0;
  for (const fb::StepResult& s : curve.steps) peak = std::max(peak, s.sigma);
  return peak;
}

TEST(OrientationBenchmark, isotropic_and_planar_fibers_reach_the_closed_forms_but_for_the_slices_excess) {
  const double scale = kTau * kVf * kLf / kDf;  // 6 MPa
  for (double f : {0.0, 0.3, 0.5, 0.8}) {
    const double g = 2 / (4 + f * f) * (1 + std::exp(std::numbers::pi * f / 2));
    const double sphere = g / 2 * scale;
    const double plane = 2 / std::numbers::pi * (std::exp(std::numbers::pi * f / 2) - f) / (1 + f * f) * scale;
    EXPECT_NEAR(peakStress("isotropic", f) / sphere, sliceExcess(false, f), 5e-4) << "f " << f;
    EXPECT_NEAR(peakStress("planar", f) / plane, sliceExcess(true, f), 5e-4) << "f " << f;
    EXPECT_NEAR(sliceExcess(false, f), 1.012, 0.003) << "f " << f;
  }
  // Two independent uniform angles, the design's kxy = kzx = 1, are neither:
  // 0.823 of the isotropic value.
  EXPECT_NEAR(peakStress("", 0) / scale / 0.5, 0.823, 0.002);
}

}  // namespace
