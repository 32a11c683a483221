#pragma once

// A study owns its output folder while it runs: a second study writing into
// the same folder would replace the first one's data files under a summary
// that still names them. Shards of one study share the folder, each shard at
// most once.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/expected.h"
#include "engine/field_table.h"
#include "study/design/design_indices.h"
#include "study/inputs/measured_curve.h"
#include "study/studies/sweep.h"

namespace fb {

/// One part of a study split for a job array: the runs whose grid index i
/// (from 0) gives i % count == number - 1.
struct Shard {
  int number = 1;  // 1 to count
  int count = 1;
};

/// "K/N", or the reason it is not one.
[[nodiscard]] Expected<Shard> parseShard(std::string_view text);

/// The shard of `count` that runs run `index` of the grid (from 0).
inline Shard shardOfRun(std::size_t index, int count) {
  return {static_cast<int>(index % static_cast<std::size_t>(count)) + 1, count};
}

/// Whether run `index` of the grid (from 0) belongs to `shard`.
inline bool inShard(std::size_t index, const Shard& shard) {
  return shardOfRun(index, shard.count).number == shard.number;
}

/// What tells one study from another: everything that changes a row of its
/// summary (its runs' inputs, the measured curve's points, the matrix and the
/// margins) and how it is split.
std::string studyIdentity(const std::vector<FieldTexts>& runs, int shardCount,
                          std::span<const MeasuredPoint> measured = {},
                          const std::optional<MatrixProperties>& matrix = std::nullopt);

/// The same for a sweep's grid, from the sweeps rather than every run.
std::string studyIdentity(const Grid& grid, int shardCount, std::span<const MeasuredPoint> measured = {},
                          const std::optional<MatrixProperties>& matrix = std::nullopt);

/// Whether a study may take a folder that the study `recorded` wrote last
/// ("" when none is recorded); the reason when not.
using FolderCheck = std::function<Expected<void>(const std::string& recorded)>;

/// Holds a folder for a study (or one shard of it) until destroyed. Advisory
/// locks on a hidden file in the folder, which the system releases when the
/// process ends however it ends; they work across the nodes of a cluster
/// whose shared file system supports locks (NFS does).
class StudyFolderLock {
 public:
  /// Holds `dir` for the study `identity`; a shard shares it with the other
  /// shards of the same study. Else "DIR: another study is writing into this
  /// folder", or why the lock failed. A study that takes the folder from
  /// nobody passes `check` first, and records itself as the folder's study.
  [[nodiscard]] static Expected<StudyFolderLock> hold(const std::string& dir, const std::string& identity,
                                                      std::optional<Shard> shard = {}, const FolderCheck& check = {});
  ~StudyFolderLock();
  StudyFolderLock(StudyFolderLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  StudyFolderLock(const StudyFolderLock&) = delete;
  StudyFolderLock& operator=(const StudyFolderLock&) = delete;

 private:
  explicit StudyFolderLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

/// The name of the lock file in a study's folder.
inline constexpr const char* kStudyLockName = ".fiberbridge-study.lock";

}  // namespace fb
