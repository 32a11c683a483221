#pragma once

// A study split into shards writes one summary part per shard; merged, the
// parts give the summary.csv the whole study writes, line for line. Each part
// names its study (so that parts of other studies are refused), its shard and
// the sweeps that make the grid, then holds its own runs only, in grid order.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/expected.h"
#include "output/text_file.h"
#include "study/studies/study_folder.h"
#include "study/studies/sweep.h"

namespace fb {

/// "summary-shard-K-of-N.csv".
std::string summaryPartName(const Shard& shard);

/// What a part holds before its summary: a line naming the study (its
/// identity), one naming the shard and its runs, and one per sweep with its
/// values, from which a merge makes the grid again.
std::string summaryPartPreamble(const std::string& identity, const Shard& shard, const std::vector<Sweep>& sweeps);

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
  std::string status;  // as in the summary
  std::string reason;
};

/// A shard that left no summary part, and how many runs it holds.
struct MissingShard {
  Shard shard;
  std::size_t runs = 0;
};

/// Unfinished runs a merge names one by one; summary.csv names them all.
inline constexpr std::size_t kNamedUnfinished = 20;

struct MergedSummary {
  std::string identity;  // the study's, as studyIdentity gives it
  std::size_t runs = 0, finished = 0;
  std::vector<UnfinishedRun> unfinished;  // the first kNamedUnfinished in grid order
  std::size_t unfinishedRuns = 0;         // all of them, missing runs aside
  std::vector<MissingShard> missing;      // in shard order
  std::size_t missingRuns = 0;
};

/// The study the parts name on their first lines, or why they are not parts of one study.
[[nodiscard]] Expected<std::string> partsIdentity(const std::vector<SummaryPart>& parts);

/// Merges the parts of one study (as findSummaryParts gives them) into the
/// summary.csv of the whole study, handed to `put` line by line in grid order
/// while the parts are read side by side, so that a merge of a million runs
/// holds one run of each part at a time. Or says why the parts do not belong
/// together or one cannot be read (what was put is then no summary). Each
/// run's row must be what the study writes for it: its inputs those of its
/// place in the grid, its data file the study's name for it, a known status
/// and numbers where numbers go; else "PART:LINE: reason". A data file in
/// another folder is named by a path from `outputDir`. The runs of a shard
/// that left no part are written "not run" and reported missing.
[[nodiscard]] Expected<MergedSummary> mergeSummaryParts(const std::vector<SummaryPart>& parts,
                                                        const std::string& outputDir, const TextPut& put);

}  // namespace fb
