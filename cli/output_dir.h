#pragma once

// The folder of a study or a scatter (--output-dir): where its runs' data
// files go, and the hold that keeps other studies out while it writes.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "study/studies/study_folder.h"
#include "study/studies/sweep.h"

namespace fb {

/// Names each run's data file in `dir`, the command's --output-dir
/// ("DIR/NAME.p-d"); false, with the reason on standard error, when one is a
/// file another option names.
bool placeDataFiles(const CliOptions& options, const std::string& dir, std::vector<GridRun>& runs);

/// Creates --output-dir and holds it for the study `identity` (or one shard
/// of it), if `check` lets it take the folder; empty, with the reason on
/// standard error, when it cannot.
std::unique_ptr<StudyFolderLock> holdOutputDir(const std::string& dir, const std::string& identity,
                                               std::optional<Shard> shard = {}, const FolderCheck& check = {});

}  // namespace fb
