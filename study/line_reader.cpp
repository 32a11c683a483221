#include "study/line_reader.h"

namespace fb {

std::optional<std::string> forEachLine(std::string_view text, const std::string& fileName, const LineCheck& each) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  for (int lineNumber = 1; !text.empty(); ++lineNumber) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (auto reason = each(line, lineNumber)) return fileName + ":" + std::to_string(lineNumber) + ": " + *reason;
  }
  return std::nullopt;
}

}  // namespace fb
