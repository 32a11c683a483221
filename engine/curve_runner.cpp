#include "engine/curve_runner.h"

#include <algorithm>
#include <cmath>

#include "engine/inputs.h"
#include "engine/orientation.h"

namespace fb {

CurveRunner::Curve CurveRunner::run(const FieldTexts& texts, double width) {
  Curve curve;
  const ReadOutcome read = readParameterSet(texts);
  const ParameterSet& p = read.params;
  const RunConstants k = deriveValues(p);
  if ((curve.refusal = checkInputs(texts, read, k))) return curve;
  const TableOutcome built = buildFiberClassTable(p, k, prepareOrientation(p, k), table_, {}, threads_);
  if ((curve.refusal = built.refusal)) return curve;

  const StepSchedule schedule = StepSchedule::of(p, k);
  for (int n = 0; n <= schedule.lastStep(); ++n) curve.widestStep = std::max(curve.widestStep, stepWidth(schedule, n));
  StepSequence steps(table_, p, schedule, threads_);
  for (int n = 0; n <= schedule.lastStep(); ++n) {
    const StepResult r = steps.evaluateStep(n);
    if (!std::isfinite(r.P) || !std::isfinite(r.sigma)) {
      curve.refusal = Refusal{"", "the bridging force at step " + std::to_string(n) + " is too large to be a number"};
      return curve;
    }
    curve.steps.push_back(r);
    if (r.Wcr >= width) break;
  }
  return curve;
}

}  // namespace fb
