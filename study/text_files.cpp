#include "study/text_files.h"

#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "engine/number_reader.h"

namespace fb {

std::optional<double> strictNumber(std::string_view text) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  double value = 0;
  const auto result = std::from_chars(first, last, value);
  if (text.empty() || result.ec != std::errc{} || result.ptr != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

FileContent readTextFile(const std::string& path) {
  FileContent out;
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    out.error = path + ": " + std::strerror(errno != 0 ? errno : ENOENT);
    return out;
  }
  std::array<char, 65536> buffer;
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) out.text.append(buffer.data(), n);
  if (std::ferror(file)) out.error = path + ": " + std::strerror(errno != 0 ? errno : EIO);
  std::fclose(file);
  return out;
}

namespace {

std::optional<std::string> writeDirectly(const std::string& path, std::string_view content) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return std::string(std::strerror(errno != 0 ? errno : EIO));
  int code = 0;
  if (std::fwrite(content.data(), 1, content.size(), file) != content.size()) code = errno != 0 ? errno : EIO;
  errno = 0;
  if (std::fclose(file) != 0 && code == 0) code = errno != 0 ? errno : EIO;
  if (code == 0) return std::nullopt;
  return std::string(std::strerror(code));
}

}  // namespace

std::optional<std::string> writeTextFile(const std::string& path, std::string_view content) {
  // A regular file is replaced only once its successor is complete, so a
  // failure keeps the earlier file whole; devices and pipes are written as they are.
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    if (const auto error = writeDirectly(path, content)) return path + ": " + *error;
    return std::nullopt;
  }
  const std::string part = path + ".part";
  if (const auto error = writeDirectly(part, content)) {
    std::remove(part.c_str());
    return path + ": " + *error;
  }
  std::filesystem::rename(part, path, ec);
  if (!ec) return std::nullopt;
  std::remove(part.c_str());
  return path + ": " + ec.message();
}

namespace {

template <typename T>
std::string shortestText(T value) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

}  // namespace

std::string exactText(double value) {
  if (std::isinf(value)) return value > 0 ? "1e999" : "-1e999";
  // to_chars gives the shortest text that strtod, under the number reader,
  // brings back to the same double.
  return shortestText(value);
}

std::string exactText(float value) {
  if (!std::isfinite(value)) return exactText(static_cast<double>(value));
  std::string text = shortestText(value);
  // The reader goes through double before single; should that second
  // rounding ever land elsewhere, the double's own text is exact.
  const float back = static_cast<float>(numberReader(text));
  if (std::bit_cast<std::uint32_t>(back) == std::bit_cast<std::uint32_t>(value)) return text;
  return exactText(static_cast<double>(value));
}

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n;\t") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace fb
