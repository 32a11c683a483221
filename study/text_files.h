#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fb {

/// The whole content of a file, or the reason it cannot be read ("no such file").
struct FileContent {
  std::string text;
  std::optional<std::string> error;
};
FileContent readTextFile(const std::string& path);

/// Writes `content` as the whole file; on failure removes what was begun, so
/// no half-written file is left, and gives "path: reason".
std::optional<std::string> writeTextFile(const std::string& path, std::string_view content);

/// The shortest decimal text that the number reader reads back to exactly `value`
/// ("0.1", "1e-05"); infinities become "1e999" and "-1e999".
std::string exactText(double value);
/// The same for a single-precision value, read back and rounded to single.
std::string exactText(float value);

/// `s` without the blanks and tabs around it.
std::string_view trim(std::string_view s);

/// The whole of `text` as a finite decimal number, or nothing: no prefix
/// reading, unlike the number reader, so a typo in a file is caught.
std::optional<double> strictNumber(std::string_view text);

/// A CSV field, quoted when it holds a separator, a quote or a line end.
std::string csvField(std::string_view text);

}  // namespace fb
