#pragma once

// A study run again into its folder (after a time limit, a kill or a node's
// failure) need not redo the runs that had finished: their data files are
// complete and their summary rows already written.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/expected.h"
#include "engine/field_table.h"
#include "study/studies/sweep.h"

namespace fb {

/// Whether the data file `texts` names is the whole of a finished run of
/// those inputs: its header records them (the clock aside) and every step's
/// row is there, each ended.
bool isCompleteDataFile(const FieldTexts& texts);

/// What an earlier attempt left that need not run again.
struct KeptRuns {
  std::vector<std::optional<std::string>> rows;  // per run, its summary row as written
  std::size_t count = 0;
};

/// The runs of `runs` (this process's runs, in grid order) whose row in the
/// summary at `path` says finished and whose data file is complete. The
/// summary must begin with `preamble` then `header` as this study writes
/// them, else nothing is kept and the reason says why; no summary keeps nothing.
[[nodiscard]] Expected<KeptRuns> keptRuns(const std::string& path, const std::string& preamble,
                                          const std::string& header, const std::vector<GridRun>& runs);

}  // namespace fb
