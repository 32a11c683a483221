#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace fb {

/// What a line's reader makes of one line: nothing when it is fine, else the reason.
using LineCheck = std::function<std::optional<std::string>(std::string_view line, int lineNumber)>;

/// Hands the lines of a text file's content to `each`, numbered from 1: a
/// UTF-8 byte-order mark is skipped and the line ends (LF, CR LF or CR) are
/// cut off. The first reason `each` gives stops the reading and comes back as
/// "file:line: reason", `fileName` naming the file.
std::optional<std::string> forEachLine(std::string_view content, const std::string& fileName, const LineCheck& each);

}  // namespace fb
