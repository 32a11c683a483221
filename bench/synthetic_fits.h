#pragma once

// Synthetic calibration cases: curves made by the model itself from known
// inputs, sampled at 40 widths with normal noise of 1 % of the peak from a
// spelled-out generator, so that every machine fits the same curves.

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/inputs.h"
#include "engine/pullout_law.h"
#include "run/curve_runner.h"
#include "study/fit/calibration.h"
#include "study/studies/metrics.h"

namespace fbbench {

struct SyntheticFit {
  std::string name;
  fb::FieldTexts truth;
  fb::FitSettings settings;
};

struct Material {
  const char* name;
  std::vector<std::pair<fb::Field, const char*>> inputs;
  double widest;  // mm, of the measured widths
};

inline std::vector<Material> syntheticMaterials() {
  using fb::Field;
  return {
      // Steel-like: thick fibers, pulled out without rupture.
      {"steel-pulled-out",
       {{Field::Af, "0.0491"},
        {Field::Lf, "13"},
        {Field::Vf, "0.01"},
        {Field::ruptureStrength, "2500"},
        {Field::Aa, "1"},
        {Field::Ba, "0.8"},
        {Field::Da, "0.02"},
        {Field::A, "2"},
        {Field::B, "0.9"},
        {Field::D, "0.25"},
        {Field::fp0, "0.5"},
        {Field::division, "40"}},
       3.0},
      // Steel-like with a strong bond: the long inclined fibers rupture.
      {"steel-rupturing",
       {{Field::Af, "0.0491"},
        {Field::Lf, "13"},
        {Field::Vf, "0.01"},
        {Field::ruptureStrength, "1000"},
        {Field::Aa, "2"},
        {Field::Ba, "0.8"},
        {Field::Da, "0.03"},
        {Field::A, "5"},
        {Field::B, "1"},
        {Field::D, "0.3"},
        {Field::fp0, "0.5"},
        {Field::division, "40"}},
       3.0},
      // PVA-like: thin fibers, a peak at small widths, rupture dominated.
      {"pva-rupturing",
       {{Field::Af, "0.001257"},
        {Field::Lf, "12"},
        {Field::Vf, "0.02"},
        {Field::ruptureStrength, "1400"},
        {Field::strengthReduction, "0.5"},
        {Field::Aa, "0.6"},
        {Field::Ba, "0.3"},
        {Field::Da, "0.01"},
        {Field::A, "0.8"},
        {Field::B, "0.35"},
        {Field::D, "0.06"},
        {Field::fp0, "0.5"},
        {Field::division, "40"}},
       0.6},
      // The window's fibers with a high peak load: most fibers rupture.
      {"default-rupturing", {{Field::A, "4"}, {Field::division, "40"}}, 3.0},
  };
}

// Bounds from a third to three times the true value (exponents and snubbing
// over a fixed range), so that the truth never sits in the middle.
inline fb::FreeInput boundsAround(fb::Field field, double truth) {
  switch (field) {
    case fb::Field::B:
    case fb::Field::Ba:
      return {field, 0, 1.5};
    case fb::Field::fp0:
      return {field, 0, 1.5};
    default:
      return {field, truth / 3, truth * 3};
  }
}

inline SyntheticFit syntheticFit(const Material& material, const std::vector<fb::Field>& free, std::uint64_t seed) {
  SyntheticFit fit;
  fit.truth = fb::FieldTexts::defaults();
  for (const auto& [field, value] : material.inputs) fit.truth[field] = value;
  fit.name = material.name;
  for (fb::Field f : free) fit.name += std::string(f == free.front() ? " " : ",") + std::string(fb::fieldInfo(f).name);

  fb::CurveRunner runner;
  const auto curve = runner.run(fit.truth, material.widest);
  double peak = 0;
  for (const fb::StepResult& r : curve.steps) peak = std::max(peak, r.sigma);
  std::mt19937_64 random(seed);
  const auto unit = [&random] { return (static_cast<double>(random() >> 11) + 0.5) * 0x1.0p-53; };
  std::vector<fb::MeasuredPoint> measured;
  for (int i = 0; i < 40; ++i) {
    const double w = material.widest * (0.01 + 0.99 * i / 39);
    const double normal = std::sqrt(-2 * std::log(unit())) * std::cos(2 * 3.141592653589793 * unit());
    measured.push_back({w, *fb::stressAt(curve.steps, w) + 0.01 * peak * normal});
  }
  // The search starts from the window's defaults, as a new user's would.
  fit.settings.base = fit.truth;
  const fb::FieldTexts defaults = fb::FieldTexts::defaults();
  for (fb::Field f : free) {
    fit.settings.free.push_back(boundsAround(f, std::stod(fit.truth[f])));
    fit.settings.base[f] = defaults[f];
  }
  fit.settings.specimens = {{"synthetic", {}, std::move(measured)}};
  return fit;
}

/// The benchmark's fixed set: 3 to 5 inputs on every material.
inline std::vector<SyntheticFit> syntheticFits() {
  using fb::Field;
  const std::vector<std::vector<Field>> freeSets = {
      {Field::A, Field::D, Field::fp0},
      {Field::A, Field::B, Field::D, Field::fp0},
      {Field::Aa, Field::A, Field::B, Field::D, Field::fp0},
  };
  std::vector<SyntheticFit> fits;
  std::uint64_t seed = 2026;
  for (const Material& m : syntheticMaterials())
    for (const auto& free : freeSets) fits.push_back(syntheticFit(m, free, seed++));
  return fits;
}

inline double rmsOf(const fb::FieldTexts& texts, const std::vector<fb::MeasuredPoint>& measured) {
  // The one definition the fit and a run's summary share: linear between the steps.
  double widest = 0;
  for (const auto& m : measured) widest = std::max(widest, m.Wcr);
  fb::CurveRunner runner;
  return fb::compareMeasured(runner.run(texts, widest).steps, measured)->rms;
}

/// A synthetic pullout fit: tests made by the pullout law of a PVA-like fiber
/// at 40 slips each, crowded towards the start (s_i = lb (i/39)^2), with
/// normal noise of 1 % of each test's peak from a spelled-out generator.
inline fb::FieldTexts pulloutTruth() {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  using fb::Field;
  const std::pair<Field, const char*> law[] = {{Field::Af, "0.0012566"},
                                               {Field::ruptureStrength, "1400"},
                                               {Field::strengthReduction, "0.5"},
                                               {Field::Aa, "0.3"},
                                               {Field::Ba, "0.5"},
                                               {Field::Ca, "0.01"},
                                               {Field::Da, "0.05"},
                                               {Field::A, "0.5"},
                                               {Field::B, "0.5"},
                                               {Field::C, "0.05"},
                                               {Field::D, "0.15"},
                                               {Field::fp0, "0.6"},
                                               {Field::fd0, "0.3"}};
  for (const auto& [field, text] : law) t[field] = text;
  return t;
}

inline fb::PulloutSpecimen syntheticPullout(const fb::FieldTexts& truth, double lb, double angle,
                                            std::mt19937_64& random) {
  fb::PulloutSpecimen test{"synthetic", {}, lb, angle, 1, {}};
  std::vector<double> slips, loads(40);
  for (int i = 0; i < 40; ++i) slips.push_back(lb * (i / 39.0) * (i / 39.0));
  fb::pulloutCurve(
      fb::pulloutFiber(fb::readParameterSet(truth).params, static_cast<float>(lb), fb::pulloutInclination(angle)),
      slips, loads);
  double peak = 0;
  for (double load : loads) peak = std::max(peak, load);
  const auto unit = [&random] { return (static_cast<double>(random() >> 11) + 0.5) * 0x1.0p-53; };
  for (int i = 0; i < 40; ++i) {
    const double normal = std::sqrt(-2 * std::log(unit())) * std::cos(2 * 3.141592653589793 * unit());
    test.measured.push_back({slips[i], loads[i] + 0.01 * peak * normal, 0});
  }
  return test;
}

/// The two pullout fits of the benchmark: the eight law coefficients from
/// five straight tests (lb 1 to 6 mm), from the window's law; then fp0, fd0
/// and the strength reduction from three tests at lb 3 mm inclined by 30, 45
/// and 60 degrees, from 0.2, 0 and 0.1.
inline std::vector<SyntheticFit> syntheticPulloutFits() {
  using fb::Field;
  std::mt19937_64 random(2026);
  SyntheticFit law{"pullout law: 8 coefficients, 5 straight tests", pulloutTruth(), {}};
  law.settings.base = pulloutTruth();
  const fb::FieldTexts defaults = fb::FieldTexts::defaults();
  for (Field f : {Field::Aa, Field::Ba, Field::Ca, Field::Da, Field::A, Field::B, Field::C, Field::D})
    law.settings.base[f] = defaults[f];
  law.settings.free = {{Field::Aa, 0.05, 2}, {Field::Ba, 0, 1.5}, {Field::Ca, 0, 0.05}, {Field::Da, 0.005, 0.3},
                       {Field::A, 0.1, 3},   {Field::B, 0, 1.5},  {Field::C, 0, 0.2},   {Field::D, 0.02, 1}};
  for (double lb : {1.0, 2.25, 3.5, 4.75, 6.0})
    law.settings.pullouts.push_back(syntheticPullout(law.truth, lb, 0, random));

  SyntheticFit snubbing{"snubbing: fp0, fd0, strengthReduction, 3 inclined tests", pulloutTruth(), {}};
  snubbing.settings.base = pulloutTruth();
  snubbing.settings.base[Field::fp0] = "0.2";
  snubbing.settings.base[Field::fd0] = "0";
  snubbing.settings.base[Field::strengthReduction] = "0.1";
  snubbing.settings.free = {{Field::fp0, 0, 1.5}, {Field::fd0, -0.5, 1}, {Field::strengthReduction, 0, 1.5}};
  for (double angle : {30.0, 45.0, 60.0})
    snubbing.settings.pullouts.push_back(syntheticPullout(snubbing.truth, 3, angle, random));
  return {law, snubbing};
}

}  // namespace fbbench
