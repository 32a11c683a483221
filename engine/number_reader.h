#pragma once

// Reading numbers: the window's rule for its boxes, and the strict rule for
// files, where a typo must not pass as a prefix.

#include <cstdint>
#include <optional>
#include <string_view>

namespace fb {

/// Reads a numeric text box: blanks, tabs and line feeds are ignored, the
/// longest numeric prefix is taken ("12mm" is 12, "0,5" is 0), "&H"/"&O"
/// prefix hexadecimal/octal whole numbers, and no digit at all reads as 0.
/// The decimal point is always ".", whatever the locale.
double numberReader(std::string_view text);

/// What the number reader makes of a text, and how much of it it took.
struct NumberReading {
  double value = 0;
  bool number = false;  // false: no digit at all ("nan", "inf", "", full-width digits)
  bool whole = false;   // true: the number is the whole text, blanks aside
};
NumberReading readNumber(std::string_view text);

/// Rounds a value read for `division` to the nearest whole number, a half
/// going to the even neighbour; empty when it does not fit 16 bits.
std::optional<std::int16_t> roundDivision(double value);

/// `s` without the blanks and tabs around it.
std::string_view trim(std::string_view s);

/// The whole of `text` as a finite decimal number, or nothing: no prefix
/// reading, unlike the number reader, so a typo in a file is caught. A value
/// too small for a double reads as the 0 it rounds to.
std::optional<double> strictNumber(std::string_view text);

}  // namespace fb
