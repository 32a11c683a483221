#include "output/text_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "output/data_file.h"

namespace fb {

namespace {

namespace fs = std::filesystem;

std::string reason(int code) { return std::strerror(code != 0 ? code : EIO); }

std::string tooLarge() { return "larger than " + std::to_string(kMaxReadBytes >> 20) + " MiB"; }

// Reads what `fd` holds, up to one byte beyond the limit, so that an overlong file shows.
[[nodiscard]] Expected<std::string, ReadFailure> readAll(int fd) {
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

[[nodiscard]] Expected<void> writeAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return unexpected(reason(n < 0 ? errno : EIO));
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

// Gathers a made text's pieces and writes them in large blocks; after the
// first failed write it keeps the reason and takes no more.
class BlockWriter {
 public:
  explicit BlockWriter(int fd) : fd_(fd) {}
  bool put(std::string_view piece) {
    if (failure_) return false;
    block_.append(piece);
    if (block_.size() >= kBlock) flush();
    return !failure_;
  }
  // The text made, or the reason; the maker's own failure first.
  Expected<void> finish(const Expected<void>& made) {
    if (!made) return made;
    flush();
    if (failure_) return unexpected(*failure_);
    return {};
  }
  // A write's failure, without the path.
  const std::optional<std::string>& failure() const { return failure_; }

 private:
  static constexpr std::size_t kBlock = 1 << 20;
  void flush() {
    if (failure_ || block_.empty()) return;
    if (auto written = writeAll(fd_, block_); !written) failure_ = written.error();
    block_.clear();
  }
  int fd_;
  std::string block_;
  std::optional<std::string> failure_;
};

// Whether a failure came from writing (the path's reason) or from the maker (its own).
Expected<void> makeInto(int fd, const TextMaker& make, bool& writeFailed) {
  BlockWriter writer(fd);
  const Expected<void> made = make([&writer](std::string_view piece) { return writer.put(piece); });
  const Expected<void> finished = writer.finish(made);
  writeFailed = made && !finished;
  return finished;
}

[[nodiscard]] Expected<void> writeDirectly(const std::string& path, const TextMaker& make) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return unexpected(path + ": " + reason(errno));
  bool writeFailed = false;
  Expected<void> written = makeInto(fd, make, writeFailed);
  if (::close(fd) != 0 && written) written = unexpected(reason(errno)), writeFailed = true;
  if (!written && writeFailed) return unexpected(path + ": " + written.error());
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

namespace {

// The hidden name a result is written under before it replaces the target:
// the same for every write of one output, so a write that a SIGKILL cut
// short is found and removed by the next. A name too long for the suffix is
// shortened, its end replaced by a hash of the whole.
std::string temporaryName(const std::string& name) {
  constexpr std::size_t kNameMax = 255 - 7;  // room for createTemporary's ".XXXXXX"
  constexpr std::string_view kSuffix = ".fb-partial";
  std::string stem = name;
  if (1 + stem.size() + kSuffix.size() > kNameMax) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    stem = name.substr(0, kNameMax - 1 - kSuffix.size() - 17) + "~" + hex;
  }
  return "." + stem + std::string(kSuffix);
}

// Creates the temporary file exclusively, never through a link, at `path`
// (which it may change). One that a killed writer left is removed first: a
// live writer holds its lock. Where the name is taken otherwise (a link
// planted there, another process writing the same output), a fresh random
// name is used instead.
int createTemporary(std::string& path) {
  const auto create = [&path] {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) ::flock(fd, LOCK_EX | LOCK_NB);
    return fd;
  };
  int fd = create();
  if (fd >= 0 || errno != EEXIST) return fd;
  const int old = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat status {};
  if (old >= 0 && ::fstat(old, &status) == 0 && S_ISREG(status.st_mode) && ::flock(old, LOCK_EX | LOCK_NB) == 0) {
    ::unlink(path.c_str());
    ::close(old);
    if ((fd = create()) >= 0 || errno != EEXIST) return fd;
  } else if (old >= 0) {
    ::close(old);
  }
  path += ".XXXXXX";
  fd = ::mkstemp(path.data());  // O_CREAT | O_EXCL as above
  if (fd >= 0) ::flock(fd, LOCK_EX | LOCK_NB);
  return fd;
}

}  // namespace

Expected<void> writeTextFile(const std::string& path, std::string_view content) {
  return writeMadeTextFile(path, [content](const TextPut& put) -> Expected<void> {
    put(content);
    return {};
  });
}

Expected<void> writeMadeTextFile(const std::string& path, const TextMaker& make) {
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
  // A pipe or socket would wait for a reader that may never come.
  if (exists && (S_ISFIFO(existing.st_mode) || S_ISSOCK(existing.st_mode)))
    return unexpected(path + ": " + dataFileProblem(ENXIO));
  if (exists && !S_ISREG(existing.st_mode)) return writeDirectly(path, make);

  // A run writing its data file here holds its lock: the file is kept, and
  // held until it is replaced, so that no run starts on it meanwhile.
  int held = -1;
  if (exists) {
    held = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) != 0) {
      const int code = errno;
      ::close(held);
      if (code == EWOULDBLOCK) return unexpected(openFailureMessage(code) + ": " + path + ": " + dataFileProblem(code));
      return unexpected(path + ": " + reason(code));
    }
  }
  const auto release = [&held] {
    if (held >= 0) ::close(held);
  };

  const fs::path folder = fs::path(target).parent_path();
  std::string temporary =
      ((folder.empty() ? fs::path(".") : folder) / temporaryName(fs::path(target).filename().string())).string();
  const int fd = createTemporary(temporary);
  if (fd < 0) {
    const int code = errno;
    release();
    return unexpected(path + ": " + reason(code));
  }
  std::optional<std::string> error, makerError;
  // A replaced file keeps its permissions; a new one gets the usual ones.
  mode_t mode = existing.st_mode & 07777;
  if (!exists) {
    mode = ::umask(0);
    ::umask(mode);
    mode = 0666 & ~mode;
  }
  if (::fchmod(fd, mode) != 0) error = reason(errno);
  if (!error) {
    bool writeFailed = false;
    if (const Expected<void> made = makeInto(fd, make, writeFailed); !made)
      (writeFailed ? error : makerError) = made.error();
  }
  if (!error && !makerError && ::fsync(fd) != 0) error = reason(errno);
  if (!error && !makerError && ::rename(temporary.c_str(), target.c_str()) != 0) error = reason(errno);
  if (error || makerError) ::unlink(temporary.c_str());
  // Closed only now: the temporary's lock tells a later writer it is no leftover.
  if (::close(fd) != 0 && !error && !makerError) error = reason(errno);
  release();
  if (makerError) return unexpected(*makerError);
  if (!error) return {};
  return unexpected(path + ": " + *error);
}

}  // namespace fb
