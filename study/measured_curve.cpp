#include "study/measured_curve.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "engine/message_text.h"
#include "study/line_reader.h"
#include "study/text_files.h"

namespace fb {
namespace {

std::vector<std::string_view> splitFields(std::string_view line, char separator) {
  std::vector<std::string_view> fields;
  for (;;) {
    const auto end = line.find(separator);
    fields.push_back(trim(line.substr(0, end)));
    if (end == std::string_view::npos) break;
    line.remove_prefix(end + 1);
  }
  while (fields.size() > 1 && fields.back().empty()) fields.pop_back();  // a trailing separator
  return fields;
}

// A sign or a point may come before the first digit: "-0.5", ".5", "+1e3".
bool beginsLikeNumber(std::string_view field) {
  if (!field.empty() && (field[0] == '+' || field[0] == '-')) field.remove_prefix(1);
  if (!field.empty() && field[0] == '.') field.remove_prefix(1);
  return !field.empty() && field[0] >= '0' && field[0] <= '9';
}

std::optional<double> measuredValue(std::string_view text, bool decimalComma) {
  std::string s(text);
  if (decimalComma)
    for (char& c : s)
      if (c == ',') c = '.';
  return strictNumber(s);
}

}  // namespace

MeasuredCurve parseMeasuredCurve(std::string_view text, const std::string& fileName) {
  MeasuredCurve out;
  std::optional<char> separator;
  bool firstLine = true;
  out.error = forEachLine(text, fileName, [&](std::string_view line, int) -> std::optional<std::string> {
    line = trim(line);
    if (line.empty() || line.starts_with('#')) return std::nullopt;

    if (!separator)
      separator = line.find(';') != std::string_view::npos    ? ';'
                  : line.find('\t') != std::string_view::npos ? '\t'
                                                              : ',';
    const std::vector<std::string_view> fields = splitFields(line, *separator);
    const bool decimalComma = *separator != ',';
    const auto Wcr = fields.size() == 2 ? measuredValue(fields[0], decimalComma) : std::nullopt;
    const auto sigma = fields.size() == 2 ? measuredValue(fields[1], decimalComma) : std::nullopt;
    // Only words make a header: a first line with a field that begins like a
    // number is data, right or wrong.
    const bool header = firstLine && std::none_of(fields.begin(), fields.end(), beginsLikeNumber);
    firstLine = false;
    if (header) return std::nullopt;

    if (fields.size() != 2)
      return "expected 2 values (crack width in mm, stress in MPa), found " + std::to_string(fields.size());
    if (!Wcr) return "crack width " + quotedToken(fields[0]) + " is not a finite number";
    if (!sigma) return "stress " + quotedToken(fields[1]) + " is not a finite number";
    out.points.push_back({*Wcr, *sigma});
    return std::nullopt;
  });
  if (out.error)
    out.points.clear();
  else if (out.points.empty())
    out.error = fileName + ": no measured points (crack width in mm, stress in MPa)";
  return out;
}

MeasuredCurve readMeasuredCurve(const std::string& path) {
  FileContent file = readTextFile(path);
  if (file.error) return {{}, file.error};
  return parseMeasuredCurve(file.text, path);
}

}  // namespace fb
