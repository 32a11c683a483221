#include "study/inputs/curve_rows.h"

#include <algorithm>

#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "study/inputs/input_set.h"
#include "study/inputs/line_reader.h"

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

Expected<void> SpecimenInputs::read(std::string_view comment, int lineNumber, bool afterPoints) {
  const std::string_view body = trim(comment.substr(0, comment.find('#')));
  const auto equals = body.find('=');
  if (equals == std::string_view::npos) return {};
  const std::string_view name = trim(body.substr(0, equals));
  const std::string_view value = trim(body.substr(equals + 1));
  if (own)
    if (auto taken = own(name, value, lineNumber)) {
      if (afterPoints && *taken) return unexpected(std::string(name) + " goes before the first measured point");
      return *taken;
    }
  if (name == fieldInfo(Field::dataFile).name) return unexpected("a specimen cannot change the data file");
  const Expected<InputAssignment> named = splitInputAssignment(body, "NAME = VALUE");
  if (!named) {
    // Prose may hold an '='; one word set to a number is a misspelt input.
    const bool assignment =
        !name.empty() && name.find_first_of(" \t") == std::string_view::npos && readNumber(value).whole;
    return assignment ? Expected<void>(unexpected(named.error())) : Expected<void>();
  }
  if (named->field == Field::division) return unexpected("a specimen cannot change the crack-width division");
  if (afterPoints) return unexpected("specimen inputs go before the first measured point");
  if (!readNumber(value).whole) return unexpected(std::string(name) + ": " + quotedToken(value) + " is not a number");
  if (const auto [first, fresh] = lineOf.emplace(named->field, lineNumber); !fresh)
    return unexpected(std::string(name) + " is given twice (first on line " + std::to_string(first->second) + ")");
  inputs.push_back({named->field, std::string(value)});
  return {};
}

Expected<std::vector<CurveRow>> parseCurveRows(std::string_view text, const std::string& fileName, const Columns& names,
                                               SpecimenInputs& specimen, const RowCheck& check) {
  std::vector<CurveRow> rows;
  std::optional<char> separator;
  std::size_t columns = 0;  // 2, or 3 with the standard deviation; the first point decides
  bool firstLine = true;
  const Expected<void> read = forEachLine(text, fileName, [&](std::string_view line, int lineNumber) -> Expected<void> {
    line = trim(line);
    if (line.empty()) return {};
    if (line.starts_with('#')) return specimen.read(line.substr(1), lineNumber, !rows.empty());

    if (!separator)
      separator = line.find(';') != std::string_view::npos    ? ';'
                  : line.find('\t') != std::string_view::npos ? '\t'
                                                              : ',';
    const std::vector<std::string_view> fields = splitFields(line, *separator);
    // Only words make a header: a first line with a field that begins like a
    // number is data, right or wrong.
    const bool header = firstLine && std::none_of(fields.begin(), fields.end(), beginsLikeNumber);
    firstLine = false;
    if (header) return {};

    if (columns == 0 && (fields.size() == 2 || fields.size() == 3)) columns = fields.size();
    if (columns == 0)
      return unexpected("expected 2 values (" + names.values() + ") or 3 (and the standard deviation in " +
                        names.yUnit + "), found " + std::to_string(fields.size()));
    if (fields.size() != columns)
      return unexpected(names.expected(columns) + ", found " + std::to_string(fields.size()));
    const bool decimalComma = *separator != ',';
    const auto x = measuredValue(fields[0], decimalComma);
    const auto y = measuredValue(fields[1], decimalComma);
    if (!x) return unexpected(std::string(names.x) + " " + quotedToken(fields[0]) + " is not a finite number");
    if (!y) return unexpected(std::string(names.y) + " " + quotedToken(fields[1]) + " is not a finite number");
    CurveRow row{*x, *y, 0, lineNumber};
    if (columns == 3) {
      const auto given = measuredValue(fields[2], decimalComma);
      if (!given) return unexpected("standard deviation " + quotedToken(fields[2]) + " is not a finite number");
      if (*given <= 0) return unexpected("standard deviation " + quotedToken(fields[2]) + " is not greater than 0");
      row.sd = *given;
    }
    if (check)
      if (auto fine = check(row); !fine) return fine;
    rows.push_back(row);
    return {};
  });
  if (!read) return unexpected(read.error());
  if (rows.empty()) return unexpected(fileName + ": no measured points (" + names.values() + ")");
  return rows;
}

}  // namespace fb
