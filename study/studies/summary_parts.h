#pragma once

// A study split into shards writes one summary part per shard; merged, the
// parts give the summary.csv the whole study writes, line for line. Each part
// names its study and holds every run of the grid in grid order, those of
// other shards as "not run", so that parts of other studies are refused.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/expected.h"
#include "study/studies/study_folder.h"

namespace fb {

/// "summary-shard-K-of-N.csv".
std::string summaryPartName(const Shard& shard);

/// A part's text: a line naming the study (its identity), then the summary
/// with every run of the grid, those of other shards "not run".
std::string summaryPartText(const std::string& identity, const std::string& summaryCsv);

/// The message of a run in another shard's part: "in shard K of N".
std::string otherShardText(const Shard& owner);

/// A summary part found on disk.
struct SummaryPart {
  Shard shard;
  std::string path;
};

/// The study's check of a folder it takes (StudyFolderLock::hold): a folder
/// holding summary parts of another study is refused, naming them, since a
/// merge there would put them in place of this study's summary.
/// `partsIdentity` is what this study's own parts name, "" for a study that
/// writes none.
FolderCheck foreignPartsCheck(const std::string& dir, const std::string& partsIdentity);

/// The merge's check of its output folder: besides another study's parts, a
/// summary.csv there that a study other than `identity` wrote last is
/// refused, so that no merge puts older parts in place of a newer study.
FolderCheck mergeFolderCheck(const std::string& dir, const std::string& identity);

/// The summary parts in `dirs`, in shard order, or the reason they cannot be
/// merged: none found, parts of different splits, or one shard twice.
struct SummaryParts {
  std::vector<SummaryPart> parts;
};
[[nodiscard]] Expected<SummaryParts> findSummaryParts(const std::vector<std::string>& dirs);

/// One record of a CSV text: its text as written (with its line end), its
/// fields and the line it starts on (from 1).
struct CsvRecord {
  std::string text;
  std::vector<std::string> fields;
  std::size_t line = 1;
};
/// The records of a CSV text; a quote left open is an error naming the line.
struct CsvRecords {
  std::vector<CsvRecord> records;
};
[[nodiscard]] Expected<CsvRecords> csvRecords(std::string_view text);

/// A run of the merged summary that did not finish, for the user.
struct UnfinishedRun {
  std::string label;   // "kxy=0.5, Vf=0.01"
  std::string status;  // as in the summary, or "missing"
  std::string reason;
};

struct MergedSummary {
  std::string identity;  // the study's, as studyIdentity gives it
  std::string csv;       // the summary.csv of the whole study
  std::size_t runs = 0, finished = 0;
  std::vector<UnfinishedRun> unfinished;  // in grid order
};

/// Merges the parts of one study (as findSummaryParts gives them) into a
/// summary in `outputDir`, or says why they do not belong together or one
/// cannot be read. Each run's row must be what the study writes for it: its
/// inputs those of its place in the grid, its data file the study's name for
/// it, a known status and numbers where numbers go; else "PART:LINE: reason".
/// A data file in another folder is named by a path from `outputDir`. A run
/// whose shard left no part is written "not run" and reported missing.
[[nodiscard]] Expected<MergedSummary> mergeSummaryParts(const std::vector<SummaryPart>& parts,
                                                        const std::string& outputDir);

}  // namespace fb
