#pragma once

#include <array>
#include <cstdint>

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

struct ClassSums {
  double P = 0;                    // N
  double effectiveFiberCount = 0;  // fibers
};

/// One pass over the active classes at crack width `Wcr` (mm), in class order;
/// drops the classes that are pulled out or rupture.
ClassSums classPass(FiberClassTable& table, double Wcr);

/// The step's pass and its result.
StepResult evaluateStep(FiberClassTable& table, const ParameterSet& p, std::int16_t step, double Wcr);

/// The steps of a run, asked for in order 0, 1, 2, ... One pass over the class
/// table serves a batch of consecutive steps, so each class is read once per
/// batch instead of once per step; each step's sums still run over the
/// classes in class order, so every result is the one-pass-per-step result,
/// bit for bit.
class StepSequence {
 public:
  StepSequence(FiberClassTable& table, const ParameterSet& p, const StepSchedule& schedule);
  /// The result of step `n`, the step after the one asked for last.
  StepResult evaluateStep(int n);

 private:
  FiberClassTable& table_;
  const ParameterSet& p_;
  StepSchedule schedule_;
  int batchStart_ = 0;
  int batchSize_ = 0;
  std::array<double, kStepBatch> widths_{}, P_{}, count_{};
};

}  // namespace fb
