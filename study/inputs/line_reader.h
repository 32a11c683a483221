#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/expected.h"

namespace fb {

/// What a line's reader makes of one line: fine, or the reason it is not.
using LineCheck = std::function<Expected<void>(std::string_view line, int lineNumber)>;

/// Hands the lines of a text file's content to `each`, numbered from 1: a
/// UTF-8 byte-order mark is skipped and the line ends (LF, CR LF or CR) are
/// cut off. The first reason `each` gives stops the reading and comes back as
/// "file:line: reason", `fileName` naming the file.
[[nodiscard]] Expected<void> forEachLine(std::string_view content, const std::string& fileName, const LineCheck& each);

}  // namespace fb
