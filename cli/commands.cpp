#include "cli/commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

#include "cli/common_checks.h"
#include "cli/interruptions.h"
#include "cli/output_dir.h"
#include "cli/terminal_view.h"
#include "engine/field_table.h"
#include "output/text_file.h"
#include "plot/figure.h"
#include "run/calculator.h"
#include "study/design/jb_resolution.h"
#include "study/inputs/input_set.h"
#include "study/studies/study_folder.h"
#include "study/studies/study_runner.h"
#include "study/studies/summaries.h"
#include "study/studies/summary_parts.h"

namespace fb {
namespace {

void drawStudyProgress(const StudyProgress& p) {
  constexpr int kWidth = 30;
  const int filled = static_cast<int>(p.fraction * kWidth + 0.5);
  std::fprintf(stderr, "\r\033[K[%s%s] %zu/%zu runs", std::string(filled, '#').c_str(),
               std::string(kWidth - filled, '.').c_str(), p.runsDone, p.runsTotal);
  std::fflush(stderr);
}

// Names the data files in the study's folder that this study did not write
// (nor, for a shard, may write in another shard): left by an earlier study,
// they must not pass for its results.
void reportForeignDataFiles(const std::string& dir, const std::set<std::string>& own) {
  namespace fs = std::filesystem;
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

std::string interruptedRunText(const RunSummary& summary, const CliOptions& o) {
  std::vector<std::string> unwritten;
  for (const auto& [option, path] : {std::pair{"--csv", &o.csv}, {"--plot", &o.plot}})
    if (!path->empty()) unwritten.push_back(std::string(option) + " " + *path);
  std::string text = interruptedText(summary);
  for (std::size_t i = 0; i < unwritten.size(); ++i) text += (i == 0 ? "; " : " and ") + unwritten[i];
  if (!unwritten.empty()) text += unwritten.size() == 1 ? " was not written" : " were not written";
  return text;
}

Checked checkSingle(GivenOptions& g) {
  if (const auto design = readDesignOptions(g); !design) return design;
  if (const auto shard = readShard(g); !shard) return shard;
  if (const auto fit = refuseFitOptions(g, false); !fit) return fit;
  if (!g.given("--output")) return unexpected(UsageProblem::missing("--output"));
  if (!g.outputDir.empty()) return unexpected("--output-dir is for sweeps; a single run writes the file of -o");
  return {};
}

int runSingle(const CliOptions& o) {
  catchInterruptions();
  bool ok = true;
  if (!o.saveInputs.empty()) ok = written(writeTextFile(o.saveInputs, inputSetText(o.texts)));

  RunRecord record;
  RecordingTerminalView view(o.texts, !o.quiet && TerminalView::stderrIsTerminal(), record);
  Calculator calculator(o.jobs);
  const RunSummary summary = calculator.run(view);
  if (summary.end == RunEnd::stopped) {
    printError(interruptedRunText(summary, o));
    return 128 + caughtSignal();
  }
  if (summary.end != RunEnd::finished) return kExitFailed;  // the view has said why

  RunMetrics metrics = runMetrics(record.steps, o.measured);
  if (metrics.curve) metrics.jb = checkJbResolution(o.texts, record.steps, calculator, &stopRequested());
  if (!o.csv.empty()) ok = written(writeTextFile(o.csv, rowsCsv(record.steps))) && ok;
  if (!o.plot.empty()) {
    Figure figure{{{"computed", &record.stress, &record.ratio}}, o.measured};
    ok = written(writeFigure(o.plot, figure)) && ok;
  }
  printLine(summaryLine(summary, metrics, !o.measured.empty(), o.matrix));
  return ok ? kExitDone : kExitFailed;
}

Checked checkSweep(GivenOptions& g) {
  if (const auto design = readDesignOptions(g); !design) return design;
  if (const auto shard = readShard(g); !shard) return shard;
  if (const auto fit = refuseFitOptions(g, false); !fit) return fit;
  if (g.given("--output"))
    return unexpected("a sweep writes its data files into --output-dir; -o names a single run's file");
  if (g.outputDir.empty()) return unexpected("a sweep needs --output-dir");
  if (!g.o.csv.empty())
    return unexpected("--csv writes a single run's rows; a sweep's results go to summary.csv in --output-dir");
  g.o.sweep.outputDir = g.outputDir;
  return {};
}

int runSweep(const CliOptions& o) {
  Expected<Grid> expanded = expandGrid(o.texts, o.sweep.sweeps);
  if (!expanded) {
    printError(expanded.error());
    return kExitUsage;
  }
  Grid& grid = *expanded;
  const std::filesystem::path dir(o.sweep.outputDir);
  if (!placeDataFiles(o, o.sweep.outputDir, grid.runs)) return kExitUsage;
  std::vector<FieldTexts> everyRun;
  for (const GridRun& run : grid.runs) everyRun.push_back(run.texts);
  // A shard runs its part of the grid; its summary part still lists every run.
  std::vector<std::size_t> mine;
  std::vector<FieldTexts> inputs;
  for (std::size_t i = 0; i < everyRun.size(); ++i)
    if (!o.sweep.shard || inShard(i, *o.sweep.shard)) {
      mine.push_back(i);
      inputs.push_back(everyRun[i]);
    }

  const std::string identity = studyIdentity(everyRun, o.sweep.shard ? o.sweep.shard->count : 1, o.measured, o.matrix);
  const auto hold = holdOutputDir(o.sweep.outputDir, identity, o.sweep.shard,
                                  foreignPartsCheck(o.sweep.outputDir, o.sweep.shard ? identity : std::string()));
  if (!hold) return kExitFailed;
  catchInterruptions();

  bool ok = true;
  if (!o.saveInputs.empty()) {
    std::vector<std::string> notes{"the study's base inputs; it varies them with"};
    for (const Sweep& s : o.sweep.sweeps) notes.push_back("  --sweep " + s.text);
    ok = written(writeTextFile(o.saveInputs, inputSetText(o.texts, notes)));
  }

  // summary.csv stays true whenever the process ends: it is written before any
  // data file is touched, every run "pending", and replaced whole as runs end.
  const std::string summaryPath = (dir / (o.sweep.shard ? summaryPartName(*o.sweep.shard) : "summary.csv")).string();
  std::vector<RunOutcome> outcomes(everyRun.size());
  if (o.sweep.shard)
    for (std::size_t i = 0; i < outcomes.size(); ++i)
      if (!inShard(i, *o.sweep.shard)) {
        outcomes[i].status = RunStatus::notRun;
        outcomes[i].message = otherShardText(shardOfRun(i, o.sweep.shard->count));
      }
  const auto writeSummary = [&] {
    const std::string csv = studySummaryCsv(o.sweep.sweeps, grid.runs, outcomes, o.measured, o.matrix);
    return writeTextFile(summaryPath, o.sweep.shard ? summaryPartText(identity, csv) : csv);
  };
  if (const auto first = writeSummary(); !first) {
    printError(first.error() + " (the study needs its summary.csv; no run started)");
    return kExitFailed;
  }
  auto lastWrite = std::chrono::steady_clock::now();

  const bool showProgress = !o.quiet && TerminalView::stderrIsTerminal();
  StudyWatch watch;
  watch.runEnded = [&](std::size_t i, const RunOutcome& outcome) {
    outcomes[mine[i]] = outcome;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastWrite < std::chrono::milliseconds(500)) return;
    lastWrite = now;
    writeSummary();  // a failure here shows in the last write
  };
  if (showProgress) watch.progress = drawStudyProgress;
  const std::vector<RunRecord> records =
      runStudy(inputs, {o.jobs, o.measured, !o.plot.empty(), &stopRequested()}, watch);
  if (showProgress) std::fputc('\n', stderr);
  for (std::size_t i = 0; i < records.size(); ++i) outcomes[mine[i]] = records[i].outcome;

  const bool summaryWritten = written(writeSummary());
  // A signal that came once every run had ended cut nothing short.
  const bool interrupted = std::any_of(records.begin(), records.end(), [](const RunRecord& r) {
    return r.outcome.status == RunStatus::interrupted || r.outcome.status == RunStatus::notRun;
  });
  if (!o.plot.empty() && !interrupted && o.sweep.map) {
    ok = written(writeDesignMap(o.plot, designMapOf(o, outcomes))) && ok;
  } else if (!o.plot.empty() && !interrupted) {
    Figure figure{{}, o.measured};
    for (std::size_t k = 0; k < records.size(); ++k)
      if (records[k].outcome.status == RunStatus::finished)
        figure.curves.push_back({grid.runs[mine[k]].label, &records[k].stress, &records[k].ratio});
    ok = written(writeFigure(o.plot, figure)) && ok;
  }

  std::size_t finished = 0;
  std::set<std::string> own;
  for (std::size_t i = 0; i < everyRun.size(); ++i)
    if (o.sweep.shard && !inShard(i, *o.sweep.shard))
      own.insert(std::filesystem::path(everyRun[i][Field::dataFile]).filename().string());
  for (std::size_t i : mine) {
    const RunOutcome& r = outcomes[i];
    // A run that reached its data file made it its own, even if the header could not be written.
    if (r.summary.headerWritten || r.summary.end == RunEnd::openFailed)
      own.insert(std::filesystem::path(everyRun[i][Field::dataFile]).filename().string());
    if (r.status == RunStatus::finished) {
      ++finished;
      // Quiet keeps the lines of runs that did not finish, and the summary line.
      if (!o.quiet)
        printLine(grid.runs[i].label + ": " + summaryLine(r.summary, r.metrics, !o.measured.empty(), o.matrix));
    } else {
      const std::string why = r.status == RunStatus::interrupted ? interruptedText(r.summary) : r.message;
      printLine(grid.runs[i].label + ": " + statusWord(r.status) + (why.empty() ? "" : ": " + why));
    }
  }
  const std::string runs = std::to_string(mine.size()) + " runs" +
                           (o.sweep.shard ? " of shard " + std::to_string(o.sweep.shard->number) + " of " +
                                                std::to_string(o.sweep.shard->count)
                                          : "");
  const std::string where = !summaryWritten ? summaryPath + " could not be written"
                            : o.sweep.shard ? "summary part in " + summaryPath
                                            : "summary in " + summaryPath;
  printLine(std::to_string(finished) + " of " + runs + " finished; " + where);
  if (o.sweep.map) {
    JbTally jb;
    for (std::size_t i : mine)
      if (outcomes[i].status == RunStatus::finished && outcomes[i].metrics.jb) jb.add(*outcomes[i].metrics.jb);
    if (const std::string unresolved = jb.text("finished runs of the map"); !unresolved.empty()) printLine(unresolved);
  }
  reportForeignDataFiles(o.sweep.outputDir, own);
  if (interrupted) {
    printError("interrupted: " + std::to_string(finished) + " of " + runs + " finished" +
               (summaryWritten ? "; " + summaryPath + " gives each run's status" : ""));
    return 128 + caughtSignal();
  }
  if (finished < mine.size())
    printError(std::to_string(mine.size() - finished) + " of " + runs + " refused or failed" +
               (summaryWritten ? "; their reasons are in " + summaryPath : ""));
  return ok && summaryWritten && finished == mine.size() ? kExitDone : kExitFailed;
}

Checked checkMerge(GivenOptions& g) {
  for (const std::string& name : g.givenNames())
    if (name != "--merge" && name != "--output-dir" && name != "--quiet")
      return unexpected("--merge goes alone, with --output-dir at most; " + name + " belongs to a run");
  MergeOptions& m = g.o.merge;
  for (const std::string& dir : m.dirs)
    if (dir.empty()) return unexpected("--merge needs a name");
  m.outputDir = g.outputDir;
  if (m.outputDir.empty()) {
    if (m.dirs.size() > 1) return unexpected("--merge of several folders needs --output-dir");
    m.outputDir = m.dirs.front();
  }
  return {};
}

int runMerge(const CliOptions& o) {
  const Expected<MergedSummary> merging = findSummaryParts(o.merge.dirs).and_then([&o](const SummaryParts& found) {
    return mergeSummaryParts(found.parts, o.merge.outputDir);
  });
  if (!merging) {
    printError(merging.error());
    return kExitUsage;
  }
  const MergedSummary& merged = *merging;
  // A study still writing into the folder would replace the merged summary;
  // held, the folder records the merged study as its own.
  const auto hold = holdOutputDir(o.merge.outputDir, merged.identity, std::nullopt,
                                  mergeFolderCheck(o.merge.outputDir, merged.identity));
  if (!hold) return kExitFailed;
  const std::string summaryPath = (std::filesystem::path(o.merge.outputDir) / "summary.csv").string();
  if (!written(writeTextFile(summaryPath, merged.csv))) return kExitFailed;

  for (const UnfinishedRun& run : merged.unfinished)
    printLine(run.label + ": " + run.status + (run.reason.empty() ? "" : ": " + run.reason));
  printLine(std::to_string(merged.finished) + " of " + std::to_string(merged.runs) + " runs finished; summary in " +
            summaryPath);
  const std::size_t missing =
      static_cast<std::size_t>(std::count_if(merged.unfinished.begin(), merged.unfinished.end(),
                                             [](const UnfinishedRun& r) { return r.status == "missing"; }));
  if (missing > 0)
    printError(std::to_string(missing) + " of " + std::to_string(merged.runs) +
               " runs are missing: their shards left no summary part");
  if (merged.unfinished.size() > missing)
    printError(std::to_string(merged.unfinished.size() - missing) + " of " + std::to_string(merged.runs) +
               " runs did not finish; their reasons are in " + summaryPath);
  return merged.unfinished.empty() ? kExitDone : kExitFailed;
}

}  // namespace fb
