#pragma once

// Calibration: the inputs that make the computed bridging stress reproduce a
// measured curve. A bounded derivative-free local search (NLopt's BOBYQA)
// starts from the given values and from a Latin hypercube over the bounds,
// each start on a worker of its own; every evaluation is one run of the model
// up to the widest measured crack width. The uncertainty of the result comes
// from the residual Jacobian at the optimum.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/field_table.h"
#include "engine/refusal.h"
#include "study/measured_curve.h"

namespace fb {

/// An input the fit varies, within its bounds.
struct FreeInput {
  Field field = Field::A;
  double low = 0, high = 0;
};

inline constexpr int kDefaultFitStarts = 16;
inline constexpr std::size_t kMaxFreeInputs = 8;

struct FitSettings {
  FieldTexts base;                      // every input; a free one starts from its value here
  std::vector<FreeInput> free;          // 1 to kMaxFreeInputs
  std::vector<MeasuredPoint> measured;  // at least as many as free inputs
  int starts = kDefaultFitStarts;       // the given values, then a Latin hypercube
  std::uint64_t seed = 1;               // of the Latin hypercube
  unsigned jobs = 1;                    // starts searched at a time
  const std::atomic<bool>* stop = nullptr;
};

/// "A=1:8": a free input and its bounds, or the reason it is not one.
struct FreeInputParse {
  std::optional<FreeInput> input;
  std::string error;
};
FreeInputParse parseFreeInput(std::string_view text);

/// What makes a fit impossible before any run: names, bounds, too few points,
/// measured widths outside the crack widths of the given inputs.
std::optional<std::string> checkFitSettings(const FitSettings& settings);

/// One evaluation of the model, for the fit log.
struct FitEvaluation {
  std::string start;           // "0", "1", ... for the searches, "errors" for the Jacobian
  std::vector<double> values;  // of the free inputs, as the model read them
  std::optional<double> rms;   // MPa; empty when the model refused the inputs
  std::string note;            // why it was refused
};

struct FittedInput {
  Field field;
  std::string text;  // the value, written so it reads back exactly
  double value = 0;
  std::optional<double> standardError;  // empty where the curve cannot decide it
};

struct FitResult {
  std::vector<FittedInput> inputs;
  FieldTexts texts;                              // the base with the fitted values
  std::optional<double> rmsBefore;               // MPa, of the given values (clamped into their bounds)
  double rmsAfter = 0;                           // MPa
  std::vector<std::vector<double>> correlation;  // of the estimates, where they are determined
  std::vector<std::string> notes;                // starting values moved into their bounds
  std::vector<std::string> warnings;             // where the curve cannot decide
  std::vector<FitEvaluation> log;                // every evaluation, start by start
  int runs = 0;
  double seconds = 0;
  std::optional<Refusal> refusal;  // no start gave a run the model accepts: the first refusal
  bool stopped = false;
};

/// Called on the caller's thread a few times a second: runs so far, best RMS (MPa) so far.
using FitProgress = std::function<void(int runs, std::optional<double> bestRms)>;

/// Fits the free inputs to the measured curve. The result is the same for any
/// number of jobs and from call to call with the same seed.
FitResult fitMeasuredCurve(const FitSettings& settings, const FitProgress& progress = {});

}  // namespace fb
