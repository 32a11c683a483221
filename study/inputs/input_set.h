#pragma once

// Input sets: a text file of `name = value` lines, one per input, with the
// option names (Am, Vf, kxy, ...). The value texts are kept as written and
// read by the number reader when the run starts, exactly as the window reads
// its boxes; `#` starts a comment.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/expected.h"
#include "engine/field_table.h"

namespace fb {

/// What begins a comment line that a fit saved about its values ("# warning:
/// fp0 is not decided ..."): a run of the set repeats it.
inline constexpr std::string_view kSavedWarning = "warning: ";

struct InputSet {
  std::vector<std::pair<Field, std::string>> values;  // in the order of the file
  std::vector<std::string> warnings;                  // the saved warnings, without their "# warning: "
};

/// Reads an input set's text, or gives "file:line: reason"; `fileName` names it in the messages.
[[nodiscard]] Expected<InputSet> parseInputSet(std::string_view content, const std::string& fileName);
[[nodiscard]] Expected<InputSet> readInputSet(const std::string& path);

/// "NAME=VALUE" as --sweep and --fit give it: the input it names and the
/// value's text, trimmed, or why it is none (no '=', where `form` shows the
/// expected shape; an unknown name, quoted).
struct InputAssignment {
  Field field;
  std::string_view value;
};
[[nodiscard]] Expected<InputAssignment> splitInputAssignment(std::string_view text, std::string_view form);

/// The text of a complete input set, every input but the data file, in the
/// order of the window. `notes` become comment lines at the top.
std::string inputSetText(const FieldTexts& texts, const std::vector<std::string>& notes = {});

/// The text to save for an input so that reading the saved line gives
/// exactly the value the original text gives: the text itself when it
/// survives the line format, else the value's exact decimal.
std::string savedValueText(std::string_view text);

}  // namespace fb
