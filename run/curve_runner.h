#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/crack_steps.h"
#include "engine/field_table.h"
#include "engine/refusal.h"
#include "run/calculator.h"

namespace fb {

/// The steps of one calculation up to a crack width, without data file,
/// graphs or texts, for fits, scripts and studies that run the model many
/// times. It runs the run driver itself, on a class table kept from call to
/// call, and stops it after the first step at or beyond the width asked for.
class CurveRunner {
 public:
  struct Curve {
    std::vector<StepResult> steps;
    std::optional<Refusal> refusal;     // inputs the model cannot use, or a step that is no number
    std::vector<std::string> warnings;  // inputs it accepted but whose results are doubtful
  };

  /// `threads` build the table and step (0: one per allotted CPU).
  explicit CurveRunner(unsigned threads = 0) : calculator_(threads) {}

  /// The curve of the inputs in `texts` (the data file's name aside) up to `width` (mm).
  Curve run(const FieldTexts& texts, double width);

  /// The whole run of `texts` into its data file, texts[Field::dataFile],
  /// as a single run writes it, without a display; the reason when it fails.
  std::optional<std::string> writeDataFile(const FieldTexts& texts);

 private:
  Calculator calculator_;
};

}  // namespace fb
