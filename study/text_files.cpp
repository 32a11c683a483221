#include "study/text_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/number_reader.h"
#include "output/data_file.h"

namespace fb {

std::optional<double> strictNumber(std::string_view text) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  double value = 0;
  auto result = std::from_chars(first, last, value);
  // Out of range is also a value too small for a double, such as 1e-400: that
  // reads as the 0 it rounds to, while one too large stays no finite number.
  if (result.ec == std::errc::result_out_of_range && result.ptr == last) {
    value = numberReader(std::string_view(first, static_cast<std::size_t>(last - first)));
    result.ec = std::errc{};
  }
  if (text.empty() || result.ec != std::errc{} || result.ptr != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

namespace {

namespace fs = std::filesystem;

std::string reason(int code) { return std::strerror(code != 0 ? code : EIO); }

// Reads what `fd` holds, up to one byte beyond the limit, so that an overlong file shows.
std::optional<std::string> readAll(int fd, std::string& text) {
  std::array<char, 65536> buffer;
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n == 0) return std::nullopt;
    if (n < 0) {
      if (errno == EINTR) continue;
      return reason(errno);
    }
    text.append(buffer.data(), static_cast<std::size_t>(n));
    if (text.size() > kMaxReadBytes) return "larger than " + std::to_string(kMaxReadBytes >> 20) + " MiB";
  }
}

std::optional<std::string> writeAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return reason(n < 0 ? errno : EIO);
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return std::nullopt;
}

std::optional<std::string> writeDirectly(const std::string& path, std::string_view content) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return reason(errno);
  auto error = writeAll(fd, content);
  if (::close(fd) != 0 && !error) error = reason(errno);
  return error;
}

}  // namespace

FileContent readTextFile(const std::string& path) {
  FileContent out;
  if (path == "-") {
    if (auto error = readAll(STDIN_FILENO, out.text)) out.error = "standard input: " + *error;
    return out;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    out.error = path + ": " + reason(errno);
    return out;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0)
    out.error = path + ": " + reason(errno);
  else if (!S_ISREG(status.st_mode))
    out.error = path + ": not a regular file";
  else if (static_cast<std::uintmax_t>(status.st_size) > kMaxReadBytes)
    out.error = path + ": larger than " + std::to_string(kMaxReadBytes >> 20) + " MiB";
  else if (auto error = readAll(fd, out.text))
    out.error = path + ": " + *error;
  ::close(fd);
  if (out.error) out.text.clear();
  return out;
}

std::string followLinks(const std::string& path) {
  fs::path at = path;
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(at, ec))) return at.string();
    const fs::path target = fs::read_symlink(at, ec);
    if (ec) return at.string();
    at = target.is_absolute() ? target : at.parent_path() / target;
  }
  return at.string();  // a loop of links: stat or open gives the system's reason
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  std::error_code ec;
  const fs::path ca = fs::weakly_canonical(fs::absolute(followLinks(a), ec), ec);
  const fs::path cb = fs::weakly_canonical(fs::absolute(followLinks(b), ec), ec);
  return ca == cb;
}

std::optional<std::string> writeTextFile(const std::string& path, std::string_view content) {
  if (path.empty()) return std::string("no file name was given");
  const std::string target = followLinks(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  // A loop of links, or a folder on the way that cannot be searched: renaming
  // over the name would put a file where the user's link or folder is.
  if (!exists && errno != ENOENT) return path + ": " + reason(errno);
  // Renaming over a file needs no right to write it; the owner's "read-only" must hold all the same.
  if (exists)
    if (const int code = writeAccess(target)) return path + ": " + reason(code);
  if (exists && !S_ISREG(existing.st_mode)) {
    if (const auto error = writeDirectly(target, content)) return path + ": " + *error;
    return std::nullopt;
  }

  const fs::path folder = fs::path(target).parent_path();
  std::string temporary =
      (folder.empty() ? fs::path(".") : folder).string() + "/." + fs::path(target).filename().string() + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());  // O_CREAT | O_EXCL: a planted name or link is never opened
  if (fd < 0) return path + ": " + reason(errno);
  std::optional<std::string> error;
  // A replaced file keeps its permissions; a new one gets the usual ones.
  mode_t mode = existing.st_mode & 07777;
  if (!exists) {
    mode = ::umask(0);
    ::umask(mode);
    mode = 0666 & ~mode;
  }
  if (::fchmod(fd, mode) != 0) error = reason(errno);
  if (!error) error = writeAll(fd, content);
  if (!error && ::fsync(fd) != 0) error = reason(errno);
  if (::close(fd) != 0 && !error) error = reason(errno);
  if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) error = reason(errno);
  if (!error) return std::nullopt;
  ::unlink(temporary.c_str());
  return path + ": " + *error;
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
