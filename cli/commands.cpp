#include "cli/commands.h"

#include <cstdio>
#include <filesystem>

#include "cli/terminal_view.h"
#include "engine/calculator.h"
#include "engine/field_table.h"
#include "plot/figure.h"
#include "study/input_set.h"
#include "study/study_runner.h"
#include "study/summaries.h"
#include "study/text_files.h"

namespace fb {
namespace {

// Writes a result file; false (with the reason on standard error) when it failed.
bool written(const std::optional<std::string>& error) {
  if (error) printError(*error + " (not written)");
  return !error;
}

void drawStudyProgress(const StudyProgress& p) {
  constexpr int kWidth = 30;
  const int filled = static_cast<int>(p.fraction * kWidth + 0.5);
  std::fprintf(stderr, "\r\033[K[%s%s] %zu/%zu runs", std::string(filled, '#').c_str(),
               std::string(kWidth - filled, '.').c_str(), p.runsDone, p.runsTotal);
  std::fflush(stderr);
}

}  // namespace

int runSingle(const CliOptions& o) {
  bool ok = true;
  if (!o.saveInputs.empty()) ok = written(writeTextFile(o.saveInputs, inputSetText(o.texts)));

  RunRecord record;
  RecordingTerminalView view(o.texts, !o.quiet && TerminalView::stderrIsTerminal(), record);
  Calculator calculator;
  record.summary = calculator.run(view);
  if (record.summary.end != RunEnd::finished) return kExitFailed;  // the view has said why

  const RunMetrics metrics = runMetrics(record.steps, o.measured);
  if (!o.csv.empty()) ok = written(writeTextFile(o.csv, rowsCsv(record.steps))) && ok;
  if (!o.plot.empty()) {
    Figure figure{{{"computed", &record.stress, &record.ratio}}, o.measured};
    ok = written(writeFigure(o.plot, figure)) && ok;
  }
  std::printf("%s\n", summaryLine(record.summary, metrics, !o.measured.empty()).c_str());
  return ok ? kExitDone : kExitFailed;
}

int runSweep(const CliOptions& o) {
  Grid grid = expandGrid(o.texts, o.sweeps);
  if (!grid.error.empty()) {
    printError(grid.error);
    return kExitUsage;
  }
  std::error_code ec;
  const std::filesystem::path dir(o.outputDir);
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    printError(o.outputDir + ": " + ec.message());
    return kExitFailed;
  }

  bool ok = true;
  if (!o.saveInputs.empty()) {
    std::vector<std::string> notes{"the study's base inputs; it varies them with"};
    for (const Sweep& s : o.sweeps) notes.push_back("  --sweep " + s.text);
    ok = written(writeTextFile(o.saveInputs, inputSetText(o.texts, notes)));
  }

  std::vector<FieldTexts> inputs;
  inputs.reserve(grid.runs.size());
  for (GridRun& run : grid.runs) {
    run.texts[Field::dataFile] = (dir / (run.name + ".p-d")).string();
    inputs.push_back(run.texts);
  }
  const bool showProgress = !o.quiet && TerminalView::stderrIsTerminal();
  const std::vector<RunRecord> records = runStudy(inputs, {o.jobs, o.measured, !o.plot.empty()},
                                                  showProgress ? std::function(drawStudyProgress) : nullptr);
  if (showProgress) std::fputc('\n', stderr);

  const std::string summaryCsv = studySummaryCsv(o.sweeps, grid.runs, records, o.measured);
  ok = written(writeTextFile((dir / "summary.csv").string(), summaryCsv)) && ok;
  if (!o.plot.empty()) {
    Figure figure{{}, o.measured};
    for (std::size_t i = 0; i < records.size(); ++i)
      if (records[i].summary.end == RunEnd::finished)
        figure.curves.push_back({grid.runs[i].label, &records[i].stress, &records[i].ratio});
    ok = written(writeFigure(o.plot, figure)) && ok;
  }

  std::size_t finished = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const RunRecord& r = records[i];
    if (r.summary.end == RunEnd::finished) {
      ++finished;
      std::printf("%s: %s\n", grid.runs[i].label.c_str(),
                  summaryLine(r.summary, r.metrics, !o.measured.empty()).c_str());
    } else {
      std::printf("%s: %s: %s\n", grid.runs[i].label.c_str(), statusWord(r).c_str(), r.message.c_str());
    }
  }
  const std::string summaryPath = (dir / "summary.csv").string();
  std::printf("%zu of %zu runs finished; summary in %s\n", finished, records.size(), summaryPath.c_str());
  if (finished < records.size())
    printError(std::to_string(records.size() - finished) + " of " + std::to_string(records.size()) +
               " runs refused or failed; their reasons are in " + summaryPath);
  return ok && finished == records.size() ? kExitDone : kExitFailed;
}

}  // namespace fb
