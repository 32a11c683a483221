#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/fiber_class_table.h"
#include "engine/parameter_set.h"

namespace fb {

/// One crack-opening step's results.
struct StepResult {
  std::int16_t step = 0;
  double Wcr = 0;                  // mm
  double P = 0;                    // N, bridging force
  double sigma = 0;                // MPa, P/Am
  double effectiveFiberRatio = 0;  // share of all fibers still bridging
};

/// The crack-width schedule: `division` steps up to the knee width (twice the
/// peak width of the longest embedded length), then `division` steps to Lf/2.
struct StepSchedule {
  std::int16_t division = 0;
  double kneeWidth = 0;  // mm
  float halfLf = 0;      // mm

  static StepSchedule of(const ParameterSet& p, const RunConstants& k);
  /// Number of the last step, 2*division (below 0: no step at all).
  int lastStep() const { return 2 * division; }
};

/// Crack width (mm) of step `s`.
double stepWidth(const StepSchedule& schedule, int s);

/// Crack widths served by one pass over the class table.
inline constexpr int kStepBatch = 32;

namespace detail {
class PassCrew;
struct PassState;
}  // namespace detail

/// The steps of a run, asked for in order 0, 1, 2, ... One pass over the class
/// table serves a batch of consecutive steps, so each class is read once per
/// batch instead of once per step; with several threads, the next batches
/// run beside it, each a little behind the one before it in the class list.
/// Each step's sums still run over the classes in class order, on one
/// thread, so every result is the one-pass-per-step result, bit for bit.
class StepSequence {
 public:
  /// `threads` run batches side by side (0: one per allotted CPU).
  StepSequence(FiberClassTable& table, const ParameterSet& p, const StepSchedule& schedule, unsigned threads = 0);
  ~StepSequence();
  StepSequence(const StepSequence&) = delete;
  StepSequence& operator=(const StepSequence&) = delete;

  /// The result of step `n`, the step after the one asked for last.
  StepResult evaluateStep(int n);

 private:
  FiberClassTable& table_;
  const ParameterSet& p_;
  StepSchedule schedule_;
  std::unique_ptr<detail::PassCrew> crew_;
  int roundStart_ = 0;  // the first step of the batches at hand
  int roundSteps_ = 0;
  std::vector<std::array<double, kStepBatch>> widths_;  // per batch of the round
  std::vector<detail::PassState> sums_;
};

}  // namespace fb
