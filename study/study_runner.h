#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/crack_steps.h"
#include "engine/field_table.h"
#include "engine/run_driver.h"
#include "output/recording_canvas.h"
#include "study/metrics.h"

namespace fb {

/// What a run leaves for the summaries and the plot.
struct RunRecord {
  RunSummary summary;
  std::vector<StepResult> steps;
  RecordingCanvas stress, ratio;  // the two graphs as the graph code drew them
  std::string message;            // why the run was refused or failed
  RunMetrics metrics;             // of a finished run
};

/// "finished", "refused" or "failed".
std::string statusWord(const RunRecord& record);

struct StudyProgress {
  std::size_t runsDone = 0, runsTotal = 0;
  double fraction = 0;  // of the whole study's work, 0 to 1
};

struct StudySettings {
  unsigned jobs = 1;                        // runs at a time, each on its own thread
  std::span<const MeasuredPoint> measured;  // compared with every finished run
  bool keepGraphs = false;                  // record the graphs, for a plot
};

/// Runs every input set and gives the records in the order of `inputs`,
/// whatever order the runs end in. Each run is the single run's calculation,
/// so its data file is the same byte for byte. A finished run keeps its
/// metrics (and its graphs when asked), not its steps. `progress`, when set,
/// is called on this thread a few times a second.
std::vector<RunRecord> runStudy(const std::vector<FieldTexts>& inputs, const StudySettings& settings,
                                const std::function<void(const StudyProgress&)>& progress);

}  // namespace fb
