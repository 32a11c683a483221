#include "engine/number_writer.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "engine/number_reader.h"

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

template <typename T>
std::string shortestText(T value) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
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

std::string exactText(double value) {
  if (std::isinf(value)) return value > 0 ? "1e999" : "-1e999";
  // to_chars gives the shortest text that strtod, under the number reader,
  // brings back to the same double.
  return shortestText(value);
}

std::string exactText(float value) {
  if (!std::isfinite(value)) return exactText(static_cast<double>(value));
  std::string text = shortestText(value);
  // The reader goes through double before single; should that second
  // rounding ever land elsewhere, the double's own text is exact.
  const float back = static_cast<float>(numberReader(text));
  if (std::bit_cast<std::uint32_t>(back) == std::bit_cast<std::uint32_t>(value)) return text;
  return exactText(static_cast<double>(value));
}

std::string significantText(double value, int digits) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits).ptr;
  return std::string(buffer, end);
}

}  // namespace fb
