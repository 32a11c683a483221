#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fb {

/// A text from a file or the command line, fit to stand in a message: in double
/// quotes, every byte outside printable ASCII (control characters, escape
/// sequences) written as \xNN, and cut after `limit` characters with "...".
std::string quotedToken(std::string_view text, std::size_t limit = 40);

/// A message fit for a terminal: control characters (which could move the
/// cursor or start an escape sequence) written as \xNN, everything else as it is.
std::string printableText(std::string_view text);

}  // namespace fb
