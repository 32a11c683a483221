#include "study/inputs/line_reader.h"

namespace fb {

Expected<void> forEachLine(std::string_view text, const std::string& fileName, const LineCheck& each) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  for (int lineNumber = 1; !text.empty(); ++lineNumber) {
    // LF, CR LF and a lone CR (old Mac files) all end a line.
    const auto end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end != std::string_view::npos && text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
    text.remove_prefix(next);
    if (const Expected<void> fine = each(line, lineNumber); !fine)
      return unexpected(fileName + ":" + std::to_string(lineNumber) + ": " + fine.error());
  }
  return {};
}

}  // namespace fb
