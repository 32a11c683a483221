#include "study/design/jb_resolution.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "run/curve_runner.h"

namespace fb {
namespace {

constexpr int kLargestDivision = std::numeric_limits<std::int16_t>::max();

// How far `after` lies from `before`, as a share of `before`.
double relativeChange(double before, double after) {
  if (before == 0) return after != 0 ? 1.0 : 0.0;
  return std::abs(after - before) / std::abs(before);
}

// Why J'b at `division` is not resolved, given its curve; empty when it is.
// `finer` gets the curve at twice the division up to the step after the peak.
std::optional<std::string> unresolvedBecause(const FieldTexts& texts, int division, std::span<const StepResult> steps,
                                             Calculator& calculator, const std::atomic<bool>* stop,
                                             std::vector<StepResult>& finer) {
  const CurveMetrics coarse = curveMetrics(steps);
  if (coarse.peakIndex < kFirstResolvedPeakStep) return "the peak lies at step " + std::to_string(coarse.peakIndex);
  if (2 * division > kLargestDivision) return std::nullopt;  // nothing finer to compare with
  // Cheaply first: every other step is the curve at half the division. J'b
  // converges as the steps shrink, so where it moved by no more than the
  // tolerance from there, it moves by less again at twice the division.
  std::vector<StepResult> everyOther;
  for (std::size_t i = 0; i < steps.size(); i += 2) everyOther.push_back(steps[i]);
  if (!(relativeChange(curveMetrics(everyOther).complementaryEnergy, coarse.complementaryEnergy) > kJbTolerance))
    return std::nullopt;
  FieldTexts doubled = texts;
  doubled[Field::division] = std::to_string(2 * division);
  // The finer peak lies between the coarse peak's neighbours.
  const double width = steps[std::min(coarse.peakIndex + 1, steps.size() - 1)].Wcr;
  CurveRunner::Curve curve = CurveRunner::run(calculator, doubled, width, stop);
  if (curve.refusal || curve.steps.empty()) return std::nullopt;
  finer = std::move(curve.steps);
  const double change = relativeChange(coarse.complementaryEnergy, curveMetrics(finer).complementaryEnergy);
  if (!(change > kJbTolerance)) return std::nullopt;
  return "J'b moves by " + formatFixed(100 * change, 1) + " % at division " + std::to_string(2 * division);
}

}  // namespace

JbResolution checkJbResolution(const FieldTexts& texts, std::span<const StepResult> steps, Calculator& calculator,
                               const std::atomic<bool>* stop) {
  JbResolution out;
  const auto division = roundDivision(numberReader(texts[Field::division]));
  if (!division || *division < 1 || steps.empty()) return out;
  out.division = *division;
  std::vector<StepResult> finer;
  const auto why = unresolvedBecause(texts, out.division, steps, calculator, stop, finer);
  if (!why) return out;
  out.resolved = false;
  out.why = *why;
  // Double on until a division resolves it, each run only to a little past
  // the first run's peak, where every finer peak lies.
  const double reach = steps[std::min(curveMetrics(steps).peakIndex + 1, steps.size() - 1)].Wcr;
  for (int d = 2 * out.division; d <= kLargestDivision; d *= 2) {
    if (stop && stop->load()) break;
    if (finer.empty()) {  // the last check needed no finer run
      FieldTexts at = texts;
      at[Field::division] = std::to_string(d);
      CurveRunner::Curve curve = CurveRunner::run(calculator, at, reach, stop);
      if (curve.refusal || curve.steps.empty()) break;
      finer = std::move(curve.steps);
    }
    const std::vector<StepResult> current = std::move(finer);
    finer.clear();
    if (!unresolvedBecause(texts, d, current, calculator, stop, finer)) {
      out.resolvingDivision = d;
      break;
    }
  }
  return out;
}

std::string jbResolutionText(const JbResolution& r) {
  if (r.resolved) return "resolved at division " + std::to_string(r.division);
  return "not resolved at division " + std::to_string(r.division) + ": " + r.why + "; " +
         (r.resolvingDivision ? "division " + std::to_string(*r.resolvingDivision) + " resolves it"
                              : "no division up to " + std::to_string(kLargestDivision) + " resolves it");
}

void JbTally::add(const JbResolution& r) {
  ++checked;
  if (r.resolved) return;
  ++unresolved;
  if (r.resolvingDivision)
    resolvingAll = std::max(resolvingAll, *r.resolvingDivision);
  else
    someUnresolvable = true;
}

std::string JbTally::text(const std::string& runs) const {
  if (unresolved == 0) return "";
  return "J'b is not resolved in " + std::to_string(unresolved) + " of " + std::to_string(checked) + " " + runs +
         (someUnresolvable ? "; no division up to " + std::to_string(kLargestDivision) + " resolves them all"
                           : "; division " + std::to_string(resolvingAll) + " resolves them all");
}

}  // namespace fb
