#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fb {

/// A text from a file or the command line, fit to stand in a message: in double
/// quotes, every byte outside printable ASCII (control characters, escape
/// sequences) written as \xNN, and cut after `limit` characters with "...".
std::string quotedToken(std::string_view text, std::size_t limit = 40);

}  // namespace fb
