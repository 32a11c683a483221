#include "engine/crack_steps.h"

#include <algorithm>

#include "engine/class_pass_batch.h"

namespace fb {
namespace {

detail::PassBatchFunction passBatch() {
  static const detail::PassBatchFunction widest = detail::widestPassBatch();
  return widest;
}

// Runs the pass for `count` widths (1 to kStepBatch); the unused lanes repeat
// the last width, so they neither fail nor keep a class that the last step drops.
void passWidths(FiberClassTable& table, const double* widths, int count, double* P, double* fibers) {
  double padded[kStepBatch];
  for (int j = 0; j < kStepBatch; ++j) padded[j] = widths[std::min(j, count - 1)];
  double allP[kStepBatch], allFibers[kStepBatch];
  const detail::PassTables tables{table.active.data(), table.active.size(), table.laws.data(), table.pairs.data(),
                                  table.fiberNumberCoefficient};
  const std::size_t kept = passBatch()(tables, padded, allP, allFibers);
  table.active.resize(kept);
  std::copy_n(allP, count, P);
  std::copy_n(allFibers, count, fibers);
}

StepResult resultOf(const FiberClassTable& table, const ParameterSet& p, int step, double Wcr, double P,
                    double fibers) {
  StepResult r;
  r.step = static_cast<std::int16_t>(step);
  r.Wcr = Wcr;
  r.P = P;
  r.sigma = P / p.Am;
  r.effectiveFiberRatio = fibers / table.totalFiber;
  return r;
}

}  // namespace

StepSchedule StepSchedule::of(const ParameterSet& p, const RunConstants& k) {
  return {p.division, k.deltaMaxHalfLf * 2, p.Lf / 2};
}

double stepWidth(const StepSchedule& sc, int s) {
  if (s <= sc.division) return s * sc.kneeWidth / sc.division;
  return sc.kneeWidth + (s - sc.division) * (sc.halfLf - sc.kneeWidth) / sc.division;
}

ClassSums classPass(FiberClassTable& table, double Wcr) {
  ClassSums sums;
  passWidths(table, &Wcr, 1, &sums.P, &sums.effectiveFiberCount);
  return sums;
}

StepResult evaluateStep(FiberClassTable& table, const ParameterSet& p, std::int16_t step, double Wcr) {
  const ClassSums sums = classPass(table, Wcr);
  return resultOf(table, p, step, Wcr, sums.P, sums.effectiveFiberCount);
}

StepSequence::StepSequence(FiberClassTable& table, const ParameterSet& p, const StepSchedule& schedule)
    : table_(table), p_(p), schedule_(schedule) {}

StepResult StepSequence::evaluateStep(int n) {
  if (n >= batchStart_ + batchSize_) {
    batchStart_ = n;
    batchSize_ = std::min(kStepBatch, schedule_.lastStep() + 1 - n);
    for (int j = 0; j < batchSize_; ++j) widths_[j] = stepWidth(schedule_, n + j);
    passWidths(table_, widths_.data(), batchSize_, P_.data(), count_.data());
  }
  const int j = n - batchStart_;
  return resultOf(table_, p_, n, widths_[j], P_[j], count_[j]);
}

}  // namespace fb
