#pragma once

#include <string>

namespace fb {

/// An input that a run cannot use: the field as the command line spells it
/// (`Af`, `division`, `Ca/Da`, ...) and the whole message for the user.
struct Refusal {
  std::string field;
  std::string message;
};

}  // namespace fb
