#pragma once

#include <string>
#include <string_view>

namespace fb {

/// An input that a run cannot use: the field as the command line spells it
/// (`Af`, `division`, `Ca/Da`, ...) and the whole message for the user.
struct Refusal {
  std::string field;
  std::string message;
};

/// The one input to correct: the field, or the first of a pair ("fp0/fp1"
/// points at fp0); the message names the pair.
inline std::string_view fieldToChange(const Refusal& refusal) {
  const std::string_view field = refusal.field;
  return field.substr(0, field.find('/'));
}

}  // namespace fb
