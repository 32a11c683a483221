#pragma once

// Number texts that read back exactly, and the strict reading of numbers in
// files, where a typo must not pass as a prefix.

#include <optional>
#include <string>
#include <string_view>

namespace fb {

/// The shortest decimal text that the number reader reads back to exactly `value`
/// ("0.1", "1e-05"); infinities become "1e999" and "-1e999".
std::string exactText(double value);
/// The same for a single-precision value, read back and rounded to single.
std::string exactText(float value);

/// `s` without the blanks and tabs around it.
std::string_view trim(std::string_view s);

/// The whole of `text` as a finite decimal number, or nothing: no prefix
/// reading, unlike the number reader, so a typo in a file is caught. A value
/// too small for a double reads as the 0 it rounds to.
std::optional<double> strictNumber(std::string_view text);

}  // namespace fb
