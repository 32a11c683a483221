#include "study/fit/evaluator.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <type_traits>
#include <variant>

#include "engine/inputs.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "engine/pullout_law.h"
#include "study/design/notched_beam.h"
#include "study/design/tension_law.h"
#include "study/fit/fit_tuning.h"
#include "study/fit/point_noise.h"
#include "study/fit/pullout_test.h"
#include "study/studies/metrics.h"
#include "study/studies/sweep.h"

namespace fb {
namespace {

// Stores a fitted input's value in its precision, as reading its text would.
void setInput(ParameterSet& p, Field field, double value) {
  std::visit(
      [&](auto member) {
        using Member = decltype(member);
        if constexpr (std::is_same_v<Member, float ParameterSet::*>)
          p.*member = static_cast<float>(value);
        else if constexpr (std::is_same_v<Member, double ParameterSet::*>)
          p.*member = value;
      },
      fieldInfo(field).member);
}

}  // namespace

Evaluator::Evaluator(const FitSettings& s, unsigned threads, std::atomic<int>& runs)
    : settings_(s), scales_(s.residualScales()), softL1_(softL1Scale(s)), runs_(runs) {
  for (std::size_t k = 0; k < s.specimens.size(); ++k) {
    texts_.push_back(specimenTexts(s, k));
    double widest = 0;
    for (const MeasuredPoint& m : s.specimens[k].measured) widest = std::max(widest, m.Wcr);
    widest_.push_back(widest);
  }
  for (std::size_t k = 0; k < s.pullouts.size(); ++k) {
    PulloutTest test;
    test.texts = pulloutTexts(s, k);
    ReadOutcome read = readParameterSet(test.texts);
    test.params = read.params;
    test.readRefusal = std::move(read.refusal);
    test.lb = static_cast<float>(s.pullouts[k].lb);
    test.psi = pulloutInclination(s.pullouts[k].angle);
    for (const PulloutPoint& m : s.pullouts[k].measured) test.slips.push_back(m.slip);
    test.loads.resize(test.slips.size());
    tests_.push_back(std::move(test));
  }
  for (std::size_t k = 0; k < s.beams.tests.size(); ++k) {
    beamTexts_.push_back(beamTexts(s, k));
    double widest = 0;
    for (const BeamTestPoint& m : s.beams.tests[k].measured) widest = std::max(widest, m.cmod);
    beamWidest_.push_back(widest);
  }
  if (!s.specimens.empty() || !s.beams.tests.empty()) runner_.emplace(threads);
}

std::optional<CurveRunner::Curve> Evaluator::runFree(FieldTexts texts, const std::vector<std::string>& free,
                                                     double width, const std::string& who, Trial& t) {
  for (std::size_t j = 0; j < free.size(); ++j) texts[settings_.free[j].field] = free[j];
  CurveRunner::Curve curve = runner_->run(texts, width, settings_.stop);
  ++runs_;
  if (curve.refusal) {
    t.note = who + curve.refusal->message;
    t.refusedField = curve.refusal->field;
    return std::nullopt;
  }
  return curve;
}

std::string Evaluator::who(const std::string& name) const {
  const std::size_t curves = texts_.size() + tests_.size() + beamTexts_.size();
  return curves > 1 ? name + ": " : "";
}

Trial Evaluator::evaluate(const std::vector<double>& unit) {
  const std::size_t n = settings_.free.size();
  Trial t;
  t.unit = unit;
  std::vector<std::string> free(n);
  for (std::size_t j = 0; j < n; ++j) {
    const FreeInput& f = settings_.free[j];
    free[j] = rangeValueText(f.field, f.low + std::clamp(unit[j], 0.0, 1.0) * (f.high - f.low));
    t.values.push_back(numberReader(free[j]));
  }
  double objective = 0;
  std::size_t i = 0;  // the residual's index
  const std::function<void(double)> add = [&](double r) {
    t.residuals.push_back(r);
    const double scaled = r / scales_[i++];
    // Soft L1: the square near zero, linear beyond the scale c.
    if (softL1_) {
      const double c = *softL1_, z = scaled / c;
      objective += 2 * (c * c) * (std::sqrt(1 + z * z) - 1);
    } else {
      objective += scaled * scaled;
    }
  };
  if (!addBridging(free, t, add)) return t;
  const std::size_t stresses = t.residuals.size();
  if (!addPullouts(free, t, add)) return t;
  const std::size_t loads = t.residuals.size() - stresses;
  if (!addBeams(free, t, add)) return t;
  const std::span<const double> all(t.residuals);
  if (!tests_.empty()) t.pulloutRms = rootMeanSquare(all.subspan(stresses, loads));
  if (!beamTexts_.empty()) t.beamRms = rootMeanSquare(all.subspan(stresses + loads));
  t.rms = !texts_.empty() ? rootMeanSquare(all.first(stresses)) : t.pulloutRms ? *t.pulloutRms : *t.beamRms;
  const double refused = kFitTuning.refusedObjective;
  t.objective = std::isfinite(objective) ? std::min(objective, refused) : refused;
  return t;
}

bool Evaluator::addBridging(const std::vector<std::string>& free, Trial& t, const std::function<void(double)>& add) {
  for (std::size_t k = 0; k < texts_.size(); ++k) {
    const std::string who = this->who(settings_.specimens[k].name);
    // A stop cuts the run short: the trial then has no objective and cannot win.
    const std::optional<CurveRunner::Curve> curve = runFree(texts_[k], free, widest_[k], who, t);
    if (!curve) return false;
    for (const MeasuredPoint& m : settings_.specimens[k].measured) {
      const auto computed = stressAt(curve->steps, m.Wcr);
      if (!computed) {
        t.note = who + "the measured width " + formatShortest(m.Wcr) + " mm lies beyond this run's crack widths";
        return false;
      }
      add(*computed - m.sigma);
    }
  }
  return true;
}

bool Evaluator::addPullouts(const std::vector<std::string>& free, Trial& t, const std::function<void(double)>& add) {
  const std::size_t n = free.size();
  for (std::size_t k = 0; k < tests_.size(); ++k) {
    PulloutTest& test = tests_[k];
    ParameterSet p = test.params;
    for (std::size_t j = 0; j < n; ++j) setInput(p, settings_.free[j].field, t.values[j]);
    ++runs_;
    const std::string who = this->who(settings_.pullouts[k].name);
    // The law is pulled on the fiber of the model's inputs: the inputs a run
    // refuses, a pullout test refuses alike.
    if (const RunConstants c = deriveValues(p); test.readRefusal || !checkRunInputs(p, c)) {
      FieldTexts texts = test.texts;
      for (std::size_t j = 0; j < n; ++j) texts[settings_.free[j].field] = free[j];
      const Refusal refusal = checkInputs(texts, {p, test.readRefusal}, c).error();
      t.note = who + refusal.message;
      t.refusedField = refusal.field;
      return false;
    }
    // The fiber slips by the measured slip less the stretch of the load, which
    // depends on the fiber's area the trial may have moved.
    const PulloutSpecimen& specimen = settings_.pullouts[k];
    if (specimen.stretch != PulloutStretch{})
      test.slips = fiberSlips(specimen.measured, stretchPerNewton(specimen.stretch, p.Af));
    pulloutCurve(pulloutFiber(p, test.lb, test.psi), test.slips, test.loads);
    const std::vector<PulloutPoint>& measured = settings_.pullouts[k].measured;
    for (std::size_t m = 0; m < measured.size(); ++m) {
      if (!std::isfinite(test.loads[m])) {
        t.note = who + "the pullout law has no finite load at slip " + formatShortest(measured[m].slip) + " mm";
        return false;
      }
      add(test.loads[m] - measured[m].load);
    }
  }
  return true;
}

bool Evaluator::addBeams(const std::vector<std::string>& free, Trial& t, const std::function<void(double)>& add) {
  const BeamTests& beams = settings_.beams;
  for (std::size_t k = 0; k < beamTexts_.size(); ++k) {
    const std::string who = this->who(beams.tests[k].name);
    // The crack opens less than the mouth: a law a little wider than the
    // widest CMOD (the hinge's last turn may pass it by 2 %) serves the test.
    const std::optional<CurveRunner::Curve> curve = runFree(beamTexts_[k], free, 1.05 * beamWidest_[k], who, t);
    if (!curve) return false;
    if (settings_.stop && settings_.stop->load()) {
      t.note = who + "stopped";
      return false;
    }
    const Expected<std::vector<BeamPoint>> beam =
        beamCurve(compositeLaw(curve->steps, beams.matrix), beams.E, beams.geometry, beamWidest_[k]);
    if (!beam) {
      t.note = who + beam.error();
      return false;
    }
    for (const BeamTestPoint& m : beams.tests[k].measured) add(beamLoadAt(*beam, m.cmod) - m.load);
  }
  return true;
}

}  // namespace fb
