#include "output/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "output/data_file.h"

namespace fb {

namespace {

namespace fs = std::filesystem;

std::string reason(int code) { return std::strerror(code != 0 ? code : EIO); }

std::string tooLarge() { return "larger than " + std::to_string(kMaxReadBytes >> 20) + " MiB"; }

// Reads what `fd` holds, up to one byte beyond the limit, so that an overlong file shows.
Expected<std::string, ReadFailure> readAll(int fd) {
  std::string text;
  std::array<char, 65536> buffer;
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n == 0) return text;
    if (n < 0) {
      if (errno == EINTR) continue;
      return unexpected(ReadFailure{errno, reason(errno)});
    }
    text.append(buffer.data(), static_cast<std::size_t>(n));
    if (text.size() > kMaxReadBytes) return unexpected(ReadFailure{0, tooLarge()});
  }
}

Expected<void> writeAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return unexpected(reason(n < 0 ? errno : EIO));
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

Expected<void> writeDirectly(const std::string& path, std::string_view content) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return unexpected(reason(errno));
  Expected<void> written = writeAll(fd, content);
  if (::close(fd) != 0 && written) written = unexpected(reason(errno));
  return written;
}

// "path: reason", for a reason of the file at `path`.
auto naming(const std::string& path) {
  return [&path](const std::string& why) { return path + ": " + why; };
}

constexpr const char* kNulInName = "a file name cannot hold a NUL character";

}  // namespace

Expected<std::string> readTextFile(const std::string& path) {
  const auto because = [](const ReadFailure& failure) { return failure.reason; };
  if (path == "-") return readAll(STDIN_FILENO).map_error(because).map_error(naming("standard input"));
  if (path.find('\0') != std::string::npos) return unexpected(kNulInName);
  return readNamedFile(path).map_error(because).map_error(naming(path));
}

Expected<std::string, ReadFailure> readNamedFile(const std::string& path) {
  if (path.find('\0') != std::string::npos) return unexpected(ReadFailure{EINVAL, kNulInName});
  // Non-blocking: a pipe without a writer must not hold the reader; it is refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return unexpected(ReadFailure{errno, reason(errno)});
  Expected<std::string, ReadFailure> text;
  struct stat status {};
  if (::fstat(fd, &status) != 0)
    text = unexpected(ReadFailure{errno, reason(errno)});
  else if (!S_ISREG(status.st_mode))
    text = unexpected(ReadFailure{S_ISDIR(status.st_mode) ? EISDIR : 0, "not a regular file"});
  else if (static_cast<std::uintmax_t>(status.st_size) > kMaxReadBytes)
    text = unexpected(ReadFailure{0, tooLarge()});
  else
    text = readAll(fd);
  ::close(fd);
  return text;
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

Expected<void> writeTextFile(const std::string& path, std::string_view content) {
  if (path.empty()) return unexpected("no file name was given");
  // The system would end the name at the NUL and write another file.
  if (path.find('\0') != std::string::npos) return unexpected(kNulInName);
  const std::string target = followLinks(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  // A loop of links, or a folder on the way that cannot be searched: renaming
  // over the name would put a file where the user's link or folder is.
  if (!exists && errno != ENOENT) return unexpected(path + ": " + reason(errno));
  // Renaming over a file needs no right to write it; the owner's "read-only" must hold all the same.
  if (exists)
    if (const int code = writeAccess(target)) return unexpected(path + ": " + reason(code));
  if (exists && !S_ISREG(existing.st_mode)) return writeDirectly(target, content).map_error(naming(path));

  const fs::path folder = fs::path(target).parent_path();
  std::string temporary =
      (folder.empty() ? fs::path(".") : folder).string() + "/." + fs::path(target).filename().string() + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());  // O_CREAT | O_EXCL: a planted name or link is never opened
  if (fd < 0) return unexpected(path + ": " + reason(errno));
  std::optional<std::string> error;
  // A replaced file keeps its permissions; a new one gets the usual ones.
  mode_t mode = existing.st_mode & 07777;
  if (!exists) {
    mode = ::umask(0);
    ::umask(mode);
    mode = 0666 & ~mode;
  }
  if (::fchmod(fd, mode) != 0) error = reason(errno);
  if (!error)
    if (auto written = writeAll(fd, content); !written) error = written.error();
  if (!error && ::fsync(fd) != 0) error = reason(errno);
  if (::close(fd) != 0 && !error) error = reason(errno);
  if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) error = reason(errno);
  if (!error) return {};
  ::unlink(temporary.c_str());
  return unexpected(path + ": " + *error);
}

}  // namespace fb
