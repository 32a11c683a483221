#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "engine/crack_steps.h"
#include "engine/expected.h"
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

  /// The curve of the inputs in `texts` (the data file's name aside) up to
  /// `width` (mm). Once `stop` is set the run ends at its next yield, its
  /// steps so far kept.
  Curve run(const FieldTexts& texts, double width, const std::atomic<bool>* stop = nullptr);

  /// The calculator whose class table the runs share.
  Calculator& calculator() { return calculator_; }

  /// The same on the class table of another calculator, for a worker that keeps one.
  static Curve run(Calculator& calculator, const FieldTexts& texts, double width,
                   const std::atomic<bool>* stop = nullptr);

  /// Why a data file was not written whole: inputs the model refused, or a
  /// failure of the file with the system's error number (0 when it has
  /// none, as for a step that is no number) and the reason.
  struct FileFailure {
    std::optional<Refusal> refusal;
    int code = 0;
    std::string reason;
  };

  /// The whole run of `texts` into its data file, texts[Field::dataFile],
  /// as a single run writes it, without a display. A stopped run keeps the
  /// rows it wrote and says so.
  [[nodiscard]] Expected<void, FileFailure> writeDataFile(const FieldTexts& texts,
                                                          const std::atomic<bool>* stop = nullptr);

 private:
  Calculator calculator_;
};

}  // namespace fb
