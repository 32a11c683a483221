#pragma once

#include "cli/cli_options.h"

namespace fb {

/// One run: the data file, and as asked the saved inputs, the CSV rows and the
/// plot; the summary line on standard output. Gives the exit status.
int runSingle(const CliOptions& options);

/// A sweep: every run of the grid into --output-dir, summary.csv, the plot
/// and one line per run on standard output. Gives the exit status: 0 when
/// every run finished.
int runSweep(const CliOptions& options);

/// The summary parts of a sharded sweep merged into summary.csv in
/// --output-dir; the runs missing or unfinished named. Gives the exit status:
/// 0 when every run of the study finished.
int runMerge(const CliOptions& options);

/// A fit of the --fit inputs to the measured curve: the report on standard
/// output, and as asked the fitted run's data file, CSV rows and plot, the
/// fitted input set and the log of every run. Gives the exit status.
int runFit(const CliOptions& options);

}  // namespace fb
