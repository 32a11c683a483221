#pragma once

#include <span>

#include "cli/cli_options.h"
#include "cli/option_table.h"
#include "plot/design_map.h"
#include "study/studies/study_runner.h"

namespace fb {

// Each command's checks of its own options, once the inputs are read, and
// of the curves it read; see cli/command_table.h.
[[nodiscard]] Checked checkSingle(GivenOptions& given);
[[nodiscard]] Checked checkSweep(GivenOptions& given);
[[nodiscard]] Checked checkMerge(GivenOptions& given);
[[nodiscard]] Checked checkFit(GivenOptions& given);
[[nodiscard]] Checked checkFitCurves(const CliOptions& options);
[[nodiscard]] Checked checkScatter(GivenOptions& given);
[[nodiscard]] Checked checkLaw(GivenOptions& given);
[[nodiscard]] Checked checkLawTable(const CliOptions& options);

/// A --sigma-w table written as --export asks. Gives the exit status.
int runLaw(const CliOptions& options);

/// The law written for each --export and, with --beam, the beam's figures and
/// class on standard output and its curve in `beamCurve` (when given, for the
/// plot); the reasons of what failed on standard error. Whether everything
/// asked for was written.
bool writeLawResults(const CliOptions& options, const TensionLaw& law, std::vector<BeamPoint>* beamCurve = nullptr);

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

/// A scatter: the samples' runs on all cores, the distribution of every metric
/// on standard output, and as asked the band, its plot, the samples' data
/// files and summary.csv. Refused samples are counted, not failures. Gives the exit status.
int runScatter(const CliOptions& options);

/// The --map metric of a two-input sweep's runs, in grid order, with the
/// contour at --map-level or at the margin of a PSH index.
DesignMap designMapOf(const CliOptions& options, std::span<const RunOutcome> outcomes);

/// What an interrupted single run leaves, with the results it did not write:
/// "interrupted at step 12; FILE keeps steps 0 to 11; --csv R.csv was not written".
std::string interruptedRunText(const RunSummary& summary, const CliOptions& options);

/// The design line of a fit's report: sigma0, delta0, J'b and the PSH indices
/// of the fitted run against the matrix, on standard output.
void reportFittedDesign(const FieldTexts& fitted, const MatrixProperties& matrix);

}  // namespace fb
