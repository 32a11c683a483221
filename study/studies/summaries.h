#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "study/design/design_indices.h"
#include "study/studies/metrics.h"
#include "study/studies/study_runner.h"
#include "study/studies/sweep.h"

namespace fb {

/// The summary of a finished run, one line: peak force (kN) and stress (MPa)
/// with the crack width at the peak, then as asked the bridging energy and
/// the width at half the peak, the fit to the measured curve, the
/// complementary energy J'b with, given the matrix, the PSH indices and
/// their verdict, and the data file.
std::string summaryLine(const RunSummary& summary, const RunMetrics& metrics, bool measuredGiven,
                        const std::optional<MatrixProperties>& matrix = std::nullopt);

/// The rows of a run as CSV, for tools that do not read fixed columns; a value
/// that is no finite number is left empty, never "nan".
std::string rowsCsv(std::span<const StepResult> steps);

/// summary.csv of a study: per run in grid order the varied inputs, the data
/// file, the status, the metrics and the reason of a refusal, failure or
/// stop, or a finished run's warnings; then sigma0, delta0 and J'b, and given
/// the matrix the PSH indices and whether they meet the margins.
std::string studySummaryCsv(const std::vector<Sweep>& sweeps, const std::vector<GridRun>& runs,
                            std::span<const RunOutcome> outcomes, std::span<const MeasuredPoint> measured,
                            const std::optional<MatrixProperties>& matrix = std::nullopt);

/// summary.csv's header line: the varied inputs' names, then the columns.
std::string summaryHeader(const std::vector<Sweep>& sweeps, bool measured);

/// summary.csv's line of one run with the varied inputs' `values`.
std::string summaryRow(const std::vector<std::string>& values, const RunOutcome& outcome, bool measured,
                       const std::optional<MatrixProperties>& matrix = std::nullopt);

/// What an interrupted run leaves: "interrupted at step 12; FILE keeps steps 0 to 11".
std::string interruptedText(const RunSummary& summary);

/// A CSV field, quoted when it holds a separator, a quote or a line end.
std::string csvField(std::string_view text);

}  // namespace fb
