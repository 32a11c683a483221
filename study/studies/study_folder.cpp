#include "study/studies/study_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "engine/number_writer.h"

namespace fb {
namespace {

// The lock file's bytes: 0 serialises the check of who holds the folder,
// 1 is the study's hold (exclusive, or shared by its shards), 2 + K that of shard K.
constexpr off_t kGate = 0, kHold = 1, kShardHolds = 2;

bool lockByte(int fd, short type, off_t byte, bool wait) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = byte;
  range.l_len = 1;
  for (;;) {
    if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range) == 0) return true;
    if (errno != EINTR) return false;
  }
}

std::string readAll(int fd) {
  std::string text;
  char buffer[256];
  for (off_t at = 0;;) {
    const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
    if (got <= 0) return text;
    text.append(buffer, static_cast<std::size_t>(got));
    at += got;
  }
}

bool writeAll(int fd, const std::string& text) {
  if (::ftruncate(fd, 0) != 0) return false;
  return ::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

std::optional<int> wholeNumber(std::string_view text) {
  int value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || r.ec != std::errc{} || r.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

Expected<Shard> parseShard(std::string_view text) {
  const std::string shown = "--shard " + std::string(text);
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return unexpected(shown + ": expected K/N, the K-th of N parts");
  const auto number = wholeNumber(text.substr(0, slash)), count = wholeNumber(text.substr(slash + 1));
  if (!number || !count) return unexpected(shown + ": K and N must be whole numbers");
  if (*count < 1 || *number < 1 || *number > *count)
    return unexpected(shown + ": K must lie between 1 and N, and N be at least 1");
  return Shard{*number, *count};
}

namespace {

// FNV-1a over a study's texts: equal studies give equal identities however
// they were spelt, and wherever their shards were started from.
class IdentityHash {
 public:
  void add(std::string_view text) {
    for (unsigned char c : text) hash_ = (hash_ ^ c) * 1099511628211ull;
    hash_ = (hash_ ^ 0xffu) * 1099511628211ull;  // ends each text
  }
  // The measured curve counts by its points, not by the file that held them;
  // absent, it and the matrix leave the identity of a study without them as it was.
  void addCurveAndMatrix(std::span<const MeasuredPoint> measured, const std::optional<MatrixProperties>& matrix) {
    if (!measured.empty()) {
      add("measured");
      for (const MeasuredPoint& point : measured)
        for (double value : {point.Wcr, point.sigma}) add(exactText(value));  // the RMS weighs no point by its sd
    }
    if (matrix) {
      add("matrix");
      for (double value : {matrix->Jtip, matrix->sigmaFc, matrix->margins.energy, matrix->margins.strength})
        add(exactText(value));
    }
  }
  std::string identity(std::size_t runs, int shardCount) const {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash_));
    return "study " + std::string(hex) + ", " + std::to_string(runs) + " runs in " + std::to_string(shardCount) +
           (shardCount == 1 ? " part\n" : " parts\n");
  }

 private:
  std::uint64_t hash_ = 14695981039346656037ull;
};

}  // namespace

std::string studyIdentity(const std::vector<FieldTexts>& runs, int shardCount, std::span<const MeasuredPoint> measured,
                          const std::optional<MatrixProperties>& matrix) {
  IdentityHash hash;
  hash.add(std::to_string(shardCount));
  for (const FieldTexts& run : runs)
    for (const FieldInfo& info : kFields) {
      // Without a preset a study keeps the identity it had before presets were.
      if (info.field == Field::orientation && run[info.field].empty()) continue;
      hash.add(info.field == Field::dataFile ? std::filesystem::path(run[info.field]).filename().string()
                                             : run[info.field]);
    }
  hash.addCurveAndMatrix(measured, matrix);
  return hash.identity(runs.size(), shardCount);
}

std::string studyIdentity(const Grid& grid, int shardCount, std::span<const MeasuredPoint> measured,
                          const std::optional<MatrixProperties>& matrix) {
  // The base inputs and each sweep's values in order decide every run, its
  // data file's name included, without the grid's millions of runs hashed.
  const FieldTexts& base = grid.base();
  IdentityHash hash;
  hash.add("grid");
  hash.add(std::to_string(shardCount));
  for (const FieldInfo& info : kFields) {
    const bool swept =
        std::any_of(grid.sweeps().begin(), grid.sweeps().end(), [&](const Sweep& s) { return s.field == info.field; });
    if (swept || info.field == Field::dataFile) continue;
    if (info.field == Field::orientation && base[info.field].empty()) continue;
    hash.add(base[info.field]);
  }
  for (const Sweep& sweep : grid.sweeps()) {
    hash.add(fieldInfo(sweep.field).name);
    hash.add(std::to_string(sweep.values.size()));
    for (const std::string& value : sweep.values) hash.add(value);
  }
  hash.addCurveAndMatrix(measured, matrix);
  return hash.identity(grid.size(), shardCount);
}

Expected<StudyFolderLock> StudyFolderLock::hold(const std::string& dir, const std::string& identity,
                                                std::optional<Shard> shard, const FolderCheck& check) {
  const std::string path = (std::filesystem::path(dir) / kStudyLockName).string();
  const auto cannot = [&dir] { return dir + ": cannot hold the folder for the study: " + std::strerror(errno); };
  // Closing the file releases every lock taken on it.
  StudyFolderLock lock(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
  const int fd = lock.fd_;
  if (fd < 0 || !lockByte(fd, F_WRLCK, kGate, true)) return unexpected(cannot());
  std::optional<std::string> refusal;
  const std::string held = dir + ": another study is writing into this folder";
  if (lockByte(fd, F_WRLCK, kHold, false)) {
    // Nobody holds the folder: it is this study's, if what lies there allows.
    // A shard lets its siblings in.
    if (check)
      if (const Expected<void> allowed = check(readAll(fd)); !allowed) refusal = allowed.error();
    if (!refusal && !writeAll(fd, identity)) refusal = cannot();
    if (!refusal && shard) lockByte(fd, F_RDLCK, kHold, false);
  } else if (!shard || !lockByte(fd, F_RDLCK, kHold, false)) {
    refusal = held;
  } else if (readAll(fd) != identity) {
    refusal = held;
  }
  if (!refusal && shard && !lockByte(fd, F_WRLCK, kShardHolds + shard->number, false))
    refusal = dir + ": shard " + std::to_string(shard->number) + " of " + std::to_string(shard->count) +
              " of this study is already writing into this folder";
  lockByte(fd, F_UNLCK, kGate, false);
  if (refusal) return unexpected(*refusal);
  return lock;
}

StudyFolderLock::~StudyFolderLock() {
  if (fd_ >= 0) ::close(fd_);  // releases every lock this hold took
}

}  // namespace fb
