#pragma once

#include <optional>
#include <vector>

#include "engine/crack_steps.h"
#include "engine/fiber_class_table.h"
#include "engine/field_table.h"
#include "engine/refusal.h"

namespace fb {

/// The steps of one calculation up to a crack width, without data file,
/// graphs or texts, for fits that run the model hundreds of times. The class
/// table is kept from call to call; the steps are those of a full run, bit
/// for bit, as far as they go.
class CurveRunner {
 public:
  struct Curve {
    std::vector<StepResult> steps;   // up to the first step at or beyond the width asked for
    std::optional<Refusal> refusal;  // inputs the model cannot use, or a step that is no number
    double widestStep = 0;           // mm, the widest crack width of the full run
  };

  /// `threads` build the table and step (0: one per core).
  explicit CurveRunner(unsigned threads = 0) : threads_(threads) {}

  /// The curve of the inputs in `texts` (the data file's name aside) up to `width` (mm).
  Curve run(const FieldTexts& texts, double width);

 private:
  FiberClassTable table_;
  unsigned threads_;
};

}  // namespace fb
