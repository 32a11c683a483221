#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/crack_steps.h"
#include "engine/field_table.h"
#include "output/recording_canvas.h"
#include "run/run_driver.h"
#include "study/studies/metrics.h"

namespace fb {

/// Where a run of a study stands.
enum class RunStatus { pending, finished, refused, failed, interrupted, notRun };

/// "pending", "finished", "refused", "failed", "interrupted" or "not run".
std::string statusWord(RunStatus status);

/// What the summaries say of a run.
struct RunOutcome {
  RunStatus status = RunStatus::pending;
  RunSummary summary;
  RunMetrics metrics;                 // of a finished run
  std::string message;                // why it was refused, failed or stopped
  std::vector<std::string> warnings;  // inputs it accepted but whose results are doubtful
};

/// What a run leaves for the summaries and the plot.
struct RunRecord {
  RunOutcome outcome;
  std::vector<StepResult> steps;
  RecordingCanvas stress, ratio;  // the two graphs as the graph code drew them
};

struct StudyProgress {
  std::size_t runsDone = 0, runsTotal = 0;
  double fraction = 0;                // of the whole study's work, 0 to 1
  double seconds = 0;                 // since the study started
  std::optional<double> secondsLeft;  // at the pace so far, once a little of the work is done
};

struct StudySettings {
  unsigned jobs = 1;                        // runs at a time, each on its own thread
  std::span<const MeasuredPoint> measured;  // compared with every finished run
  bool keepGraphs = false;                  // record the graphs, for a plot
  /// Once set, no run starts and the runs in flight stop at their next yield.
  const std::atomic<bool>* stop = nullptr;
  bool keepSteps = false;  // keep each finished run's rows, for a scatter band
};

/// What the caller hears while a study runs, always on its own thread.
struct StudyWatch {
  /// A run has ended (in the order runs end), with its outcome.
  std::function<void(std::size_t index, const RunOutcome&)> runEnded;
  /// A few times a second.
  std::function<void(const StudyProgress&)> progress;
};

/// Runs every input set and gives the records in the order of `inputs`,
/// whatever order the runs end in. Each run is the single run's calculation,
/// so its data file is the same byte for byte; a run whose data file is
/// named "" writes none. A finished run keeps its metrics (and its graphs
/// and steps when asked). After a stop, the runs
/// that had not started are `notRun` and those cut short `interrupted`.
/// A run whose worker throws (no memory for its class table) ends `failed`
/// with the reason; when the system gives fewer threads than `jobs`, the
/// workers started (or the calling thread) carry the whole study.
std::vector<RunRecord> runStudy(const std::vector<FieldTexts>& inputs, const StudySettings& settings,
                                const StudyWatch& watch = {});

}  // namespace fb
