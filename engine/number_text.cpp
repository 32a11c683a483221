#include "engine/number_text.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "engine/number_reader.h"

namespace fb {

std::optional<double> strictNumber(std::string_view text) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  double value = 0;
  auto result = std::from_chars(first, last, value);
  // Out of range is also a value too small for a double, such as 1e-400: that
  // reads as the 0 it rounds to, while one too large stays no finite number.
  if (result.ec == std::errc::result_out_of_range && result.ptr == last) {
    value = numberReader(std::string_view(first, static_cast<std::size_t>(last - first)));
    result.ec = std::errc{};
  }
  if (text.empty() || result.ec != std::errc{} || result.ptr != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

namespace {

template <typename T>
std::string shortestText(T value) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

}  // namespace

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

}  // namespace fb
