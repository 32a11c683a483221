#include "study/fit/fit_curves.h"

#include <algorithm>

#include "engine/inputs.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "engine/parameter_set.h"
#include "engine/pullout_law.h"
#include "run/curve_runner.h"
#include "study/design/notched_beam.h"
#include "study/design/tension_law.h"
#include "study/fit/pullout_test.h"
#include "study/studies/metrics.h"
#include "study/studies/sweep.h"

namespace fb {
namespace {

std::vector<CurvePoint> pointsOf(const std::vector<StepResult>& steps) {
  std::vector<CurvePoint> points;
  for (const StepResult& r : steps) points.push_back({r.Wcr, r.sigma});
  return points;
}

std::string specimenLabel(const FitSettings& s, const Specimen& specimen) {
  if (s.specimens.size() < 2) return "";
  std::string label = specimen.name;
  for (const SpecimenInput& input : specimen.inputs)
    label += (input.field == specimen.inputs.front().field ? ": " : ", ") + std::string(fieldInfo(input.field).name) +
             "=" + input.value;
  return label;
}

// The starting inputs as the search starts them: within the bounds.
FieldTexts startTexts(const FitSettings& s, std::size_t k) {
  FieldTexts start = specimenTexts(s, k);
  for (const FreeInput& f : s.free) {
    const double value = numberReader(start[f.field]);
    if (value < f.low || value > f.high) start[f.field] = rangeValueText(f.field, std::clamp(value, f.low, f.high));
  }
  return start;
}

FieldTexts withFitted(FieldTexts texts, const FitResult& r) {
  for (const FittedInput& in : r.inputs) texts[in.field] = in.text;
  return texts;
}

SpecimenFitCurves specimenCurves(const FitSettings& s, const FitResult& r, std::size_t k, CurveRunner& runner,
                                 const std::atomic<bool>* stop) {
  const Specimen& specimen = s.specimens[k];
  SpecimenFitCurves out;
  out.label = specimenLabel(s, specimen);
  out.measured = specimen.measured;
  double widest = 0;
  for (const MeasuredPoint& m : specimen.measured) widest = std::max(widest, m.Wcr);
  widest *= 1.05;
  const FieldTexts start = startTexts(s, k);
  const FieldTexts fitted = withFitted(specimenTexts(s, k), r);
  if (const auto curve = runner.run(start, widest, stop); !curve.refusal) out.start = pointsOf(curve.steps);
  const auto best = runner.run(fitted, widest, stop);
  out.fitted = pointsOf(best.steps);
  for (const MeasuredPoint& m : specimen.measured)
    if (const auto at = stressAt(best.steps, m.Wcr)) out.residuals.push_back({m.Wcr, *at - m.sigma});
  out.bandLow = out.bandHigh = out.fitted;
  for (const std::vector<double>& values : r.bandValues) {
    FieldTexts member = fitted;
    for (std::size_t j = 0; j < values.size(); ++j)
      member[s.free[j].field] = rangeValueText(s.free[j].field, values[j]);
    const auto curve = runner.run(member, widest, stop);
    if (curve.refusal) continue;
    for (std::size_t i = 0; i < out.fitted.size(); ++i)
      if (const auto at = stressAt(curve.steps, out.fitted[i].Wcr)) {
        out.bandLow[i].sigma = std::min(out.bandLow[i].sigma, *at);
        out.bandHigh[i].sigma = std::max(out.bandHigh[i].sigma, *at);
      }
  }
  return out;
}

PulloutFitCurves pulloutCurves(const FitSettings& s, const FitResult& r, std::size_t k) {
  const PulloutSpecimen& test = s.pullouts[k];
  PulloutFitCurves out;
  out.label = "lb " + formatShortest(test.lb) + " mm, angle " + formatShortest(test.angle) + "°";
  out.measured = test.measured;
  const FieldTexts fitted = withFitted(pulloutTexts(s, k), r);
  const PulloutFiber fiber =
      pulloutFiber(readParameterSet(fitted).params, static_cast<float>(test.lb), pulloutInclination(test.angle));
  // Close slips up to lb, with the law's corners, so that the line shows its kinks.
  std::vector<double> slips{fiber.points.deltaA, fiber.points.deltaMax};
  for (int i = 0; i <= 400; ++i) slips.push_back(test.lb * i / 400);
  std::erase_if(slips, [&](double slip) { return !(slip >= 0 && slip <= test.lb); });
  std::sort(slips.begin(), slips.end());
  std::vector<double> loads(slips.size());
  pulloutCurve(fiber, slips, loads);
  // Drawn against the slip the rig measures: the fiber's and its load's stretch.
  const double perNewton = stretchPerNewton(test.stretch, readParameterSet(fitted).params.Af);
  for (std::size_t i = 0; i < slips.size(); ++i) out.fitted.push_back({slips[i] + perNewton * loads[i], loads[i], 0});
  return out;
}

BeamFitCurves beamCurves(const FitSettings& s, const FitResult& r, std::size_t k, CurveRunner& runner,
                         const std::atomic<bool>* stop) {
  const BeamSpecimen& test = s.beams.tests[k];
  BeamFitCurves out{test.name, test.measured, {}};
  double widest = 0;
  for (const BeamTestPoint& m : test.measured) widest = std::max(widest, m.cmod);
  widest *= 1.05;
  const auto curve = runner.run(withFitted(beamTexts(s, k), r), widest, stop);
  if (curve.refusal) return out;
  const BeamTests& b = s.beams;
  if (auto beam = beamCurve(compositeLaw(curve.steps, b.matrix), b.E, b.geometry, widest))
    out.fitted = std::move(*beam);
  return out;
}

}  // namespace

FitCurves fitCurves(const FitSettings& s, const FitResult& r, const std::atomic<bool>* stop) {
  FitCurves curves;
  CurveRunner runner;
  for (std::size_t k = 0; k < s.specimens.size(); ++k)
    curves.specimens.push_back(specimenCurves(s, r, k, runner, stop));
  for (std::size_t k = 0; k < s.pullouts.size(); ++k) curves.pullouts.push_back(pulloutCurves(s, r, k));
  for (std::size_t k = 0; k < s.beams.tests.size(); ++k) curves.beams.push_back(beamCurves(s, r, k, runner, stop));
  return curves;
}

}  // namespace fb
