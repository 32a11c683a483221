#include "engine/number_reader.h"

#include <locale.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

namespace fb {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int digitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9')
    value = c - '0';
  else if (c >= 'a' && c <= 'f')
    value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    value = c - 'A' + 10;
  return value < base ? value : -1;
}

NumberReading readWholeNumber(std::string_view digits, int base) {
  NumberReading r;
  std::size_t used = 0;
  for (char c : digits) {
    const int d = digitValue(c, base);
    if (d < 0) break;
    r.value = r.value * base + d;
    ++used;
  }
  r.number = used > 0;
  r.whole = r.number && used == digits.size();
  return r;
}

// Converts a clean decimal literal in the C locale, whatever locale the
// process runs in (the window's toolkit switches to the user's).
double parseDecimal(const std::string& literal) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
  return strtod_l(literal.c_str(), nullptr, cLocale);
}

}  // namespace

double numberReader(std::string_view text) { return readNumber(text).value; }

NumberReading readNumber(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n') s.push_back(c);

  if (s.size() >= 2 && s[0] == '&') {
    const char kind = s[1];
    if (kind == 'H' || kind == 'h') return readWholeNumber(std::string_view(s).substr(2), 16);
    if (kind == 'O' || kind == 'o') return readWholeNumber(std::string_view(s).substr(2), 8);
  }

  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  bool sawDigit = false, sawPoint = false;
  for (; i < s.size(); ++i) {
    if (isDigit(s[i]))
      sawDigit = true;
    else if (s[i] == '.' && !sawPoint)
      sawPoint = true;
    else
      break;
  }
  if (!sawDigit) return {};
  std::size_t end = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && isDigit(s[j])) {
      while (j < s.size() && isDigit(s[j])) ++j;
      end = j;
    }
  }
  return {parseDecimal(s.substr(0, end)), true, end == s.size()};
}

std::optional<std::int16_t> roundDivision(double value) {
  const double whole = std::nearbyint(value);  // default rounding: half to even
  if (!(whole >= -32768.0 && whole <= 32767.0)) return std::nullopt;
  return static_cast<std::int16_t>(whole);
}

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

}  // namespace fb
