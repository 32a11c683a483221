#include "cli/commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

#include "cli/interruptions.h"
#include "cli/terminal_view.h"
#include "engine/field_table.h"
#include "output/text_file.h"
#include "plot/figure.h"
#include "run/calculator.h"
#include "study/input_set.h"
#include "study/study_runner.h"
#include "study/summaries.h"

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

// Names the data files in the study's folder that this study did not write:
// left by an earlier study, they must not pass for its results.
void reportForeignDataFiles(const std::string& dir, const std::vector<RunOutcome>& outcomes) {
  namespace fs = std::filesystem;
  std::set<std::string> own;
  for (const RunOutcome& r : outcomes)
    if (r.summary.headerWritten) own.insert(fs::path(r.summary.dataFile).filename().string());
  std::vector<std::string> foreign;
  std::error_code ec;
  for (fs::directory_iterator entry(dir, ec), end; !ec && entry != end; entry.increment(ec)) {
    const std::string name = entry->path().filename().string();
    std::error_code kindUnknown;
    if (name.ends_with(".p-d") && !own.contains(name) && !entry->is_directory(kindUnknown)) foreign.push_back(name);
  }
  if (foreign.empty()) return;
  std::sort(foreign.begin(), foreign.end());
  constexpr std::size_t kNamed = 5;
  std::string names;
  for (std::size_t i = 0; i < std::min(kNamed, foreign.size()); ++i) names += (i ? ", " : "") + foreign[i];
  if (foreign.size() > kNamed) names += " and " + std::to_string(foreign.size() - kNamed) + " more";
  const bool one = foreign.size() == 1;
  printError(std::to_string(foreign.size()) + (one ? " data file in " : " data files in ") + dir +
             (one ? " is" : " are") + " not part of this study: " + names);
}

}  // namespace

int runSingle(const CliOptions& o) {
  catchInterruptions();
  bool ok = true;
  if (!o.saveInputs.empty()) ok = written(writeTextFile(o.saveInputs, inputSetText(o.texts)));

  RunRecord record;
  RecordingTerminalView view(o.texts, !o.quiet && TerminalView::stderrIsTerminal(), record);
  Calculator calculator;
  const RunSummary summary = calculator.run(view);
  if (summary.end == RunEnd::stopped) {
    printError(interruptedText(summary));
    return 128 + caughtSignal();
  }
  if (summary.end != RunEnd::finished) return kExitFailed;  // the view has said why

  const RunMetrics metrics = runMetrics(record.steps, o.measured);
  if (!o.csv.empty()) ok = written(writeTextFile(o.csv, rowsCsv(record.steps))) && ok;
  if (!o.plot.empty()) {
    Figure figure{{{"computed", &record.stress, &record.ratio}}, o.measured};
    ok = written(writeFigure(o.plot, figure)) && ok;
  }
  std::printf("%s\n", summaryLine(summary, metrics, !o.measured.empty(), o.matrix).c_str());
  return ok ? kExitDone : kExitFailed;
}

int runSweep(const CliOptions& o) {
  Grid grid = expandGrid(o.texts, o.sweeps);
  if (!grid.error.empty()) {
    printError(grid.error);
    return kExitUsage;
  }
  const std::filesystem::path dir(o.outputDir);
  std::vector<FieldTexts> inputs;
  inputs.reserve(grid.runs.size());
  const std::vector<NamedFile> named = namedFiles(o);
  for (GridRun& run : grid.runs) {
    const std::string dataFile = (dir / (run.name + ".p-d")).string();
    for (const NamedFile& file : named) {
      if (file.path == "-" || !sameFile(dataFile, file.path)) continue;
      printError("--output-dir's data file " + dataFile + " and " + file.option + " " + file.path +
                 " name the same file");
      return kExitUsage;
    }
    run.texts[Field::dataFile] = dataFile;
    inputs.push_back(run.texts);
  }

  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    printError(o.outputDir + ": " + ec.message());
    return kExitFailed;
  }
  catchInterruptions();

  bool ok = true;
  if (!o.saveInputs.empty()) {
    std::vector<std::string> notes{"the study's base inputs; it varies them with"};
    for (const Sweep& s : o.sweeps) notes.push_back("  --sweep " + s.text);
    ok = written(writeTextFile(o.saveInputs, inputSetText(o.texts, notes)));
  }

  // summary.csv stays true whenever the process ends: it is written before any
  // data file is touched, every run "pending", and replaced whole as runs end.
  const std::string summaryPath = (dir / "summary.csv").string();
  std::vector<RunOutcome> outcomes(inputs.size());
  const auto writeSummary = [&] {
    return writeTextFile(summaryPath, studySummaryCsv(o.sweeps, grid.runs, outcomes, o.measured, o.matrix));
  };
  if (const auto error = writeSummary()) {
    printError(*error + " (the study needs its summary.csv; no run started)");
    return kExitFailed;
  }
  auto lastWrite = std::chrono::steady_clock::now();

  const bool showProgress = !o.quiet && TerminalView::stderrIsTerminal();
  StudyWatch watch;
  watch.runEnded = [&](std::size_t i, const RunOutcome& outcome) {
    outcomes[i] = outcome;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastWrite < std::chrono::milliseconds(500)) return;
    lastWrite = now;
    writeSummary();  // a failure here shows in the last write
  };
  if (showProgress) watch.progress = drawStudyProgress;
  const std::vector<RunRecord> records =
      runStudy(inputs, {o.jobs, o.measured, !o.plot.empty(), &stopRequested()}, watch);
  if (showProgress) std::fputc('\n', stderr);
  for (std::size_t i = 0; i < records.size(); ++i) outcomes[i] = records[i].outcome;

  const auto summaryError = writeSummary();
  const bool summaryWritten = written(summaryError);
  // A signal that came once every run had ended cut nothing short.
  const bool interrupted = std::any_of(outcomes.begin(), outcomes.end(), [](const RunOutcome& r) {
    return r.status == RunStatus::interrupted || r.status == RunStatus::notRun;
  });
  if (!o.plot.empty() && !interrupted && o.map) {
    ok = written(writeDesignMap(o.plot, designMapOf(o, outcomes))) && ok;
  } else if (!o.plot.empty() && !interrupted) {
    Figure figure{{}, o.measured};
    for (std::size_t i = 0; i < records.size(); ++i)
      if (outcomes[i].status == RunStatus::finished)
        figure.curves.push_back({grid.runs[i].label, &records[i].stress, &records[i].ratio});
    ok = written(writeFigure(o.plot, figure)) && ok;
  }

  std::size_t finished = 0;
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    const RunOutcome& r = outcomes[i];
    if (r.status == RunStatus::finished) {
      ++finished;
      std::printf("%s: %s\n", grid.runs[i].label.c_str(),
                  summaryLine(r.summary, r.metrics, !o.measured.empty(), o.matrix).c_str());
    } else {
      const std::string why = r.status == RunStatus::interrupted ? interruptedText(r.summary) : r.message;
      std::printf("%s: %s%s\n", grid.runs[i].label.c_str(), statusWord(r.status).c_str(),
                  why.empty() ? "" : (": " + why).c_str());
    }
  }
  const std::string where = summaryWritten ? "summary in " + summaryPath : summaryPath + " could not be written";
  std::printf("%zu of %zu runs finished; %s\n", finished, outcomes.size(), where.c_str());
  reportForeignDataFiles(o.outputDir, outcomes);
  if (interrupted) {
    printError("interrupted: " + std::to_string(finished) + " of " + std::to_string(outcomes.size()) +
               " runs finished" + (summaryWritten ? "; " + summaryPath + " gives each run's status" : ""));
    return 128 + caughtSignal();
  }
  if (finished < outcomes.size())
    printError(std::to_string(outcomes.size() - finished) + " of " + std::to_string(outcomes.size()) +
               " runs refused or failed" + (summaryWritten ? "; their reasons are in " + summaryPath : ""));
  return ok && summaryWritten && finished == outcomes.size() ? kExitDone : kExitFailed;
}

}  // namespace fb
