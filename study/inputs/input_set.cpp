#include "study/inputs/input_set.h"

#include <bit>
#include <cctype>
#include <cstdint>
#include <map>

#include "engine/field_table.h"
#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "output/text_file.h"
#include "study/inputs/line_reader.h"

namespace fb {
namespace {

// The part of a line that counts: before any comment, without its blanks.
std::string_view content(std::string_view line) { return trim(line.substr(0, line.find('#'))); }

std::optional<Field> inputField(std::string_view name) {
  const auto field = fieldByName(name);
  if (field == Field::dataFile) return std::nullopt;  // that is -o, not an input
  return field;
}

std::string unknownNameReason(std::string_view name) {
  std::string reason = "unknown input name " + quotedToken(name);
  for (const FieldInfo& info : kFields) {
    if (info.field == Field::dataFile || info.name.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size(); ++i)
      same = same && std::tolower(static_cast<unsigned char>(name[i])) ==
                         std::tolower(static_cast<unsigned char>(info.name[i]));
    if (same) return reason + " (names are case-sensitive: " + std::string(info.name) + ")";
  }
  return reason + " (the names are those of the options, see --help)";
}

}  // namespace

Expected<InputSet> parseInputSet(std::string_view text, const std::string& fileName) {
  InputSet out;
  std::map<Field, int> seenOnLine;
  const Expected<void> read = forEachLine(text, fileName, [&](std::string_view line, int lineNumber) -> Expected<void> {
    if (const std::string_view whole = trim(line); whole.starts_with('#')) {
      if (const std::string_view comment = trim(whole.substr(1)); comment.starts_with(kSavedWarning))
        out.warnings.emplace_back(trim(comment.substr(kSavedWarning.size())));
      return {};
    }
    const std::string_view body = content(line);
    if (body.empty()) return {};
    const auto equals = body.find('=');
    // A line's text is not echoed: it may come from any file the user named.
    if (equals == std::string_view::npos) return unexpected("expected 'name = value', found no '='");
    if (body.find('=', equals + 1) != std::string_view::npos)
      return unexpected("expected 'name = value', found a second '=' after " +
                        quotedToken(trim(body.substr(0, equals))));
    const std::string_view name = trim(body.substr(0, equals));
    if (name.empty()) return unexpected("no input name before '='");
    const auto field = inputField(name);
    if (!field) return unexpected(unknownNameReason(name));
    if (const auto seen = seenOnLine.find(*field); seen != seenOnLine.end())
      return unexpected(std::string(name) + " is given twice (first on line " + std::to_string(seen->second) + ")");
    seenOnLine[*field] = lineNumber;
    out.values.emplace_back(*field, std::string(trim(body.substr(equals + 1))));
    return {};
  });
  if (!read) return unexpected(read.error());
  return out;
}

Expected<InputSet> readInputSet(const std::string& path) {
  return readTextFile(path).and_then([&](const std::string& text) { return parseInputSet(text, path); });
}

Expected<InputAssignment> splitInputAssignment(std::string_view text, std::string_view form) {
  const auto equals = text.find('=');
  if (equals == std::string_view::npos) return unexpected("expected " + std::string(form));
  const std::string_view name = trim(text.substr(0, equals));
  const auto field = inputField(name);
  if (!field) return unexpected("unknown input name " + quotedToken(name));
  return InputAssignment{*field, trim(text.substr(equals + 1))};
}

std::string savedValueText(std::string_view text) {
  const double value = numberReader(text);
  // A line break ends the line and a second '=' is refused when read back.
  if (text.find_first_of("\r\n=") == std::string_view::npos) {
    const std::string_view kept = content(text);
    if (std::bit_cast<std::uint64_t>(numberReader(kept)) == std::bit_cast<std::uint64_t>(value))
      return std::string(kept);
  }
  return exactText(value);
}

std::string inputSetText(const FieldTexts& texts, const std::vector<std::string>& notes) {
  std::string out = "# FiberBridge inputs: name = value, each value read as the window reads its box\n";
  for (std::string note : notes) {
    for (char& c : note)
      if (c == '\n' || c == '\r') c = ' ';
    out += "# " + note + "\n";
  }
  for (const FieldInfo& info : kFields) {
    if (info.field == Field::dataFile) continue;
    if (info.field == Field::orientation && texts[info.field].empty()) continue;  // a preset only where one is used
    out +=
        std::string(info.name) + " = " + savedValueText(texts[info.field]) + "  # " + std::string(info.meaning) + "\n";
  }
  return out;
}

}  // namespace fb
