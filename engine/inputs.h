#pragma once

// Reading a run's inputs from their texts and refusing what the model cannot use.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/expected.h"
#include "engine/field_table.h"
#include "engine/parameter_set.h"
#include "engine/refusal.h"

namespace fb {

struct ReadOutcome {
  ParameterSet params;
  std::optional<Refusal> refusal;  // set when `division` does not fit 16 bits
};

/// What the number reader made of texts that are not wholly a number, which
/// the window reads without a word: "Vf \"1,5\" is read as 1 (the number at
/// its start)", "thetaRxy \"abc\" holds no number and is read as 0".
std::vector<std::string> cutTextWarnings(const FieldTexts& texts);

/// Reads every field with the number reader and stores it in its precision.
ReadOutcome readParameterSet(const FieldTexts& texts);

/// Refuses the inputs a run cannot work with (non-positive areas, fractions,
/// lengths or intensities, a fiber volume fraction above 1, 16-bit overflow,
/// values that are not finite), the first one found.
[[nodiscard]] Expected<void, Refusal> checkRunInputs(const ParameterSet& p, const RunConstants& k);

/// Refuses a run's inputs, `read` from `texts`, for the reading's own refusal,
/// else checkRunInputs's. When the refused field's text reads as 0 only because
/// it holds no number ("nan", "inf", full-width digits), the message says so first.
[[nodiscard]] Expected<void, Refusal> checkInputs(const FieldTexts& texts, const ReadOutcome& read,
                                                  const RunConstants& k);

/// Refuses a negative division, which the window runs as a run without steps
/// (its data file holds the header alone): a script or a study would take it
/// for a result.
[[nodiscard]] Expected<void, Refusal> checkHasSteps(const ParameterSet& p);

/// The decision of the fp1 check: true when fp0 + fp1*Lf/2 falls below 0,
/// so that the fp1 box must be reset to "0" and shown in red.
bool checkLoadSnubbing(std::string_view LfText, std::string_view fp0Text, std::string_view fp1Text);

}  // namespace fb
