#include "study/measured_curve.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "engine/number_text.h"
#include "output/text_file.h"
#include "study/input_set.h"
#include "study/line_reader.h"

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

std::string expectedValues(std::size_t columns) {
  return columns == 2 ? "expected 2 values (crack width in mm, stress in MPa)"
                      : "expected 3 values (crack width in mm, stress in MPa, standard deviation in MPa)";
}

// The inputs a specimen sets in its "# NAME = VALUE" comments.
struct SpecimenInputs {
  std::vector<SpecimenInput>& inputs;
  std::map<Field, int> lineOf;

  // Nothing for an ordinary comment or an input taken, else the reason the comment is refused.
  std::optional<std::string> read(std::string_view comment, int lineNumber, bool afterPoints) {
    const std::string_view body = trim(comment.substr(0, comment.find('#')));
    const auto equals = body.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view name = trim(body.substr(0, equals));
    const std::string_view value = trim(body.substr(equals + 1));
    if (name == fieldInfo(Field::dataFile).name) return "a specimen cannot change the data file";
    const InputAssignment named = splitInputAssignment(body, "NAME = VALUE");
    if (!named.field) {
      // Prose may hold an '='; one word set to a number is a misspelt input.
      const bool assignment =
          !name.empty() && name.find_first_of(" \t") == std::string_view::npos && readNumber(value).whole;
      return assignment ? std::optional(named.error) : std::nullopt;
    }
    if (*named.field == Field::division) return "a specimen cannot change the crack-width division";
    if (afterPoints) return "specimen inputs go before the first measured point";
    if (!readNumber(value).whole) return std::string(name) + ": " + quotedToken(value) + " is not a number";
    if (const auto [first, fresh] = lineOf.emplace(*named.field, lineNumber); !fresh)
      return std::string(name) + " is given twice (first on line " + std::to_string(first->second) + ")";
    inputs.push_back({*named.field, std::string(value)});
    return std::nullopt;
  }
};

}  // namespace

bool MeasuredCurve::weighted() const {
  return !points.empty() && std::all_of(points.begin(), points.end(), [](const MeasuredPoint& p) { return p.sd > 0; });
}

MeasuredCurve parseMeasuredCurve(std::string_view text, const std::string& fileName) {
  MeasuredCurve out;
  SpecimenInputs specimen{out.inputs, {}};
  std::optional<char> separator;
  std::size_t columns = 0;  // 2, or 3 with the standard deviation; the first point decides
  bool firstLine = true;
  out.error = forEachLine(text, fileName, [&](std::string_view line, int lineNumber) -> std::optional<std::string> {
    line = trim(line);
    if (line.empty()) return std::nullopt;
    if (line.starts_with('#')) return specimen.read(line.substr(1), lineNumber, !out.points.empty());

    if (!separator)
      separator = line.find(';') != std::string_view::npos    ? ';'
                  : line.find('\t') != std::string_view::npos ? '\t'
                                                              : ',';
    const std::vector<std::string_view> fields = splitFields(line, *separator);
    // Only words make a header: a first line with a field that begins like a
    // number is data, right or wrong.
    const bool header = firstLine && std::none_of(fields.begin(), fields.end(), beginsLikeNumber);
    firstLine = false;
    if (header) return std::nullopt;

    if (columns == 0 && (fields.size() == 2 || fields.size() == 3)) columns = fields.size();
    if (columns == 0)
      return "expected 2 values (crack width in mm, stress in MPa) or 3 (and the standard deviation in MPa), found " +
             std::to_string(fields.size());
    if (fields.size() != columns) return expectedValues(columns) + ", found " + std::to_string(fields.size());
    const bool decimalComma = *separator != ',';
    const auto Wcr = measuredValue(fields[0], decimalComma);
    const auto sigma = measuredValue(fields[1], decimalComma);
    if (!Wcr) return "crack width " + quotedToken(fields[0]) + " is not a finite number";
    if (!sigma) return "stress " + quotedToken(fields[1]) + " is not a finite number";
    double sd = 0;
    if (columns == 3) {
      const auto given = measuredValue(fields[2], decimalComma);
      if (!given) return "standard deviation " + quotedToken(fields[2]) + " is not a finite number";
      if (*given <= 0) return "standard deviation " + quotedToken(fields[2]) + " is not greater than 0";
      sd = *given;
    }
    out.points.push_back({*Wcr, *sigma, sd});
    return std::nullopt;
  });
  if (out.error) {
    out.points.clear();
    out.inputs.clear();
  } else if (out.points.empty()) {
    out.error = fileName + ": no measured points (crack width in mm, stress in MPa)";
  }
  return out;
}

MeasuredCurve readMeasuredCurve(const std::string& path) {
  FileContent file = readTextFile(path);
  if (file.error) return {{}, {}, file.error};
  return parseMeasuredCurve(file.text, path);
}

}  // namespace fb
