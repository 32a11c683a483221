#include "engine/number_format.h"

#include <array>
#include <charconv>
#include <cmath>

namespace fb {
namespace {

// std::to_chars ignores the locale, so a user's decimal comma never leaks
// into the data file.
std::string generalText(double value, int significantDigits) {
  if (value == 0) return "0";  // also for -0
  std::array<char, 64> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::general, significantDigits);
  std::string text(buffer.data(), result.ptr);
  for (char& c : text)
    if (c == 'e') c = 'E';
  return text;
}

}  // namespace

std::string formatGeneral(float value) { return generalText(value, 7); }

std::string formatShortest(double value) { return generalText(value, 15); }

std::string formatFixed(double value, int decimals) {
  if (value == 0) value = 0;  // -0 is written without its sign
  std::array<char, 400> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
  return std::string(buffer.data(), result.ptr);
}

}  // namespace fb
