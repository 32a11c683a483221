#include "cli/commands.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
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
#include "study/studies/resume.h"
#include "study/studies/study_folder.h"
#include "study/studies/study_runner.h"
#include "study/studies/summaries.h"
#include "study/studies/summary_parts.h"

namespace fb {
namespace {

void drawStudyProgress(const StudyProgress& p) {
  constexpr int kWidth = 30;
  const int filled = static_cast<int>(p.fraction * kWidth + 0.5);
  std::fprintf(stderr, "\r\033[K[%s%s] %zu/%zu runs%s", std::string(filled, '#').c_str(),
               std::string(kWidth - filled, '.').c_str(), p.runsDone, p.runsTotal, progressTimes(p).c_str());
  std::fflush(stderr);
}

// Names the data files in the study's folder that this study did not write
// (nor, for a shard, may write in another shard): left by an earlier study,
// they must not pass for its results.
void reportForeignDataFiles(const std::string& dir, const std::function<bool(const std::string&)>& isOwn) {
  namespace fs = std::filesystem;
  std::vector<std::string> foreign;
  std::error_code ec;
  for (fs::directory_iterator entry(dir, ec), end; !ec && entry != end; entry.increment(ec)) {
    const std::string name = entry->path().filename().string();
    std::error_code kindUnknown;
    if (name.ends_with(".p-d") && !isOwn(name) && !entry->is_directory(kindUnknown)) foreign.push_back(name);
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
  if (const auto law = readLawOptions(g, LawUse::run); !law) return law;
  // Rows on standard output, a plot or a tension law need no data file.
  if (!g.given("--output") && g.o.csv.empty() && g.o.plot.empty() && g.o.law.exports.empty() && !g.o.law.beam)
    return unexpected(UsageProblem::missing("--output"));
  if (!g.outputDir.empty()) return unexpected("--output-dir is for sweeps; a single run writes the file of -o");
  return {};
}

int runSingle(const CliOptions& o) {
  catchInterruptions();
  bool ok = true;
  if (!o.saveInputs.empty()) ok = written(writeTextFile(o.saveInputs, inputSetText(o.texts)));

  // The rows on standard output: the summary line goes beside the messages.
  if (o.csv == "-") reportsToStandardError();
  RunRecord record;
  RecordingTerminalView view(o.texts, !o.quiet && TerminalView::stderrIsTerminal(), record);
  Calculator calculator(o.jobs);
  NullDataFile nowhere;
  const RunSummary summary = o.texts[Field::dataFile].empty() ? calculator.run(view, nowhere) : calculator.run(view);
  if (summary.end == RunEnd::stopped) {
    printError(interruptedRunText(summary, o));
    return 128 + caughtSignal();
  }
  if (summary.end != RunEnd::finished) return kExitFailed;  // the view has said why

  RunMetrics metrics = runMetrics(record.steps, o.measured);
  if (metrics.curve) metrics.jb = checkJbResolution(o.texts, record.steps, calculator, &stopRequested());
  if (!o.csv.empty()) ok = written(writeOutput(o.csv, rowsCsv(record.steps))) && ok;
  printLine(summaryLine(summary, metrics, !o.measured.empty(), o.matrix));
  // The beam, when asked for, goes into the plot below the run's graphs.
  std::vector<BeamPoint> beam;
  if (!o.law.exports.empty() || o.law.beam)
    ok = writeLawResults(o, compositeLaw(record.steps, o.law.matrix), &beam) && ok;
  if (!o.plot.empty()) {
    Figure figure{{{"computed", &record.stress, &record.ratio}}, o.measured, "measured", std::move(beam)};
    ok = written(writeFigure(o.plot, figure)) && ok;
  }
  return ok ? kExitDone : kExitFailed;
}

Checked checkSweep(GivenOptions& g) {
  if (const auto design = readDesignOptions(g); !design) return design;
  if (const auto law = readLawOptions(g, LawUse::none); !law) return law;
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
  const Expected<Grid> made = makeGrid(o.texts, o.sweep.sweeps, o.sweep.allowLarge ? SIZE_MAX : kLargeStudyRuns);
  if (!made) {
    printError(made.error() + (o.sweep.allowLarge ? "" : " (give --allow-large if you mean them)"));
    return kExitUsage;
  }
  const Grid& grid = *made;
  const Shard shard = o.sweep.shard.value_or(Shard{1, 1});
  // This process makes its own runs only: a shard of a huge grid costs what its share does.
  std::vector<GridRun> runs;
  for (std::size_t i = static_cast<std::size_t>(shard.number - 1); i < grid.size();
       i += static_cast<std::size_t>(shard.count))
    runs.push_back(grid.run(i));
  const std::filesystem::path dir(o.sweep.outputDir);
  if (!placeDataFiles(o, o.sweep.outputDir, runs)) return kExitUsage;

  const std::string identity = studyIdentity(grid, shard.count, o.measured, o.matrix);
  std::string recorded;  // the study that last held the folder, when this one takes it from nobody
  const FolderCheck parts = foreignPartsCheck(o.sweep.outputDir, o.sweep.shard ? identity : std::string());
  const auto hold = holdOutputDir(o.sweep.outputDir, identity, o.sweep.shard, [&](const std::string& last) {
    recorded = last;
    return parts(last);
  });
  if (!hold) return kExitFailed;
  catchInterruptions();

  bool ok = true;
  if (!o.saveInputs.empty()) {
    std::vector<std::string> notes{"the study's base inputs; it varies them with"};
    for (const Sweep& s : o.sweep.sweeps) notes.push_back("  --sweep " + s.text);
    ok = written(writeTextFile(o.saveInputs, inputSetText(o.texts, notes)));
  }

  const std::string summaryPath = (dir / (o.sweep.shard ? summaryPartName(shard) : "summary.csv")).string();
  const std::string preamble = o.sweep.shard ? summaryPartPreamble(identity, shard, o.sweep.sweeps) : "";
  const std::string header = summaryHeader(o.sweep.sweeps, !o.measured.empty());
  KeptRuns kept;
  kept.rows.resize(runs.size());
  if (o.sweep.resume) {
    // The folder's summary.csv may be another study's; a part names its own.
    Expected<KeptRuns> earlier = o.sweep.shard || recorded == identity
                                     ? keptRuns(summaryPath, preamble, header, runs)
                                     : Expected<KeptRuns>(unexpected(summaryPath + ": not this study's summary; every "
                                                                                   "run runs again"));
    if (earlier)
      kept = std::move(*earlier);
    else if (std::filesystem::exists(summaryPath))
      printError("--resume: " + earlier.error());
  }

  // summary.csv stays true whenever the process ends: it is written before any
  // data file is touched, every run not kept "pending", and replaced whole as runs end.
  std::vector<RunOutcome> outcomes(runs.size());
  const auto writeSummary = [&] {
    return writeMadeTextFile(summaryPath, [&](const TextPut& put) -> Expected<void> {
      if (!put(preamble) || !put(header)) return {};
      for (std::size_t k = 0; k < runs.size(); ++k)
        if (!put(kept.rows[k] ? *kept.rows[k] : summaryRow(runs[k].values, outcomes[k], !o.measured.empty(), o.matrix)))
          return {};
      return {};
    });
  };
  if (const auto first = writeSummary(); !first) {
    printError(first.error() + " (the study needs its summary.csv; no run started)");
    return kExitFailed;
  }
  // A large summary is rewritten less often, so that writing it never takes
  // more than a tenth of the study's time.
  auto lastWrite = std::chrono::steady_clock::now();
  auto writeInterval = std::chrono::milliseconds(500);

  std::vector<std::size_t> toRun;  // the runs not kept, by their place in `runs`
  std::vector<FieldTexts> inputs;
  for (std::size_t k = 0; k < runs.size(); ++k)
    if (!kept.rows[k]) {
      toRun.push_back(k);
      inputs.push_back(runs[k].texts);
    }

  const bool showProgress = !o.quiet && TerminalView::stderrIsTerminal();
  StudyWatch watch;
  watch.runEnded = [&](std::size_t i, const RunOutcome& outcome) {
    outcomes[toRun[i]] = outcome;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastWrite < writeInterval) return;
    writeSummary();  // a failure here shows in the last write
    lastWrite = std::chrono::steady_clock::now();
    writeInterval =
        std::max(writeInterval, std::chrono::duration_cast<std::chrono::milliseconds>(10 * (lastWrite - now)));
  };
  if (showProgress) watch.progress = drawStudyProgress;
  const std::vector<RunRecord> records =
      runStudy(inputs, {o.jobs, o.measured, !o.plot.empty(), &stopRequested()}, watch);
  if (showProgress) std::fputc('\n', stderr);
  for (std::size_t i = 0; i < records.size(); ++i) outcomes[toRun[i]] = records[i].outcome;

  const bool summaryWritten = written(writeSummary());
  // A signal that came once every run had ended cut nothing short.
  const bool interrupted = std::any_of(records.begin(), records.end(), [](const RunRecord& r) {
    return r.outcome.status == RunStatus::interrupted || r.outcome.status == RunStatus::notRun;
  });
  if (!o.plot.empty() && !interrupted && o.sweep.map) {
    ok = written(writeDesignMap(o.plot, designMapOf(o, outcomes))) && ok;
  } else if (!o.plot.empty() && !interrupted) {
    Figure figure{{}, o.measured};
    for (std::size_t i = 0; i < records.size(); ++i)
      if (records[i].outcome.status == RunStatus::finished)
        figure.curves.push_back({runs[toRun[i]].label, &records[i].stress, &records[i].ratio});
    ok = written(writeFigure(o.plot, figure)) && ok;
  }

  std::size_t finished = kept.count;
  std::set<std::string> own;
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const std::string file = std::filesystem::path(runs[k].texts[Field::dataFile]).filename().string();
    if (kept.rows[k]) {
      own.insert(file);
      continue;
    }
    const RunOutcome& r = outcomes[k];
    // A run that reached its data file made it its own, even if the header could not be written.
    if (r.summary.headerWritten || r.summary.end == RunEnd::openFailed) own.insert(file);
    if (r.status == RunStatus::finished) {
      ++finished;
      // Quiet keeps the lines of runs that did not finish, and the summary line.
      if (!o.quiet) printLine(runs[k].label + ": " + summaryLine(r.summary, r.metrics, !o.measured.empty(), o.matrix));
    } else {
      const std::string why = r.status == RunStatus::interrupted ? interruptedText(r.summary) : r.message;
      printLine(runs[k].label + ": " + statusWord(r.status) + (why.empty() ? "" : ": " + why));
    }
  }
  const std::string runsText =
      std::to_string(runs.size()) + " runs" +
      (o.sweep.shard ? " of shard " + std::to_string(shard.number) + " of " + std::to_string(shard.count) : "");
  const std::string keptText =
      kept.count > 0 ? " (" + std::to_string(kept.count) + " kept from the earlier attempt)" : std::string();
  const std::string where = !summaryWritten ? summaryPath + " could not be written"
                            : o.sweep.shard ? "summary part in " + summaryPath
                                            : "summary in " + summaryPath;
  printLine(std::to_string(finished) + " of " + runsText + " finished" + keptText + "; " + where);
  if (o.sweep.map) {
    JbTally jb;
    for (const RunOutcome& outcome : outcomes)
      if (outcome.status == RunStatus::finished && outcome.metrics.jb) jb.add(*outcome.metrics.jb);
    if (const std::string unresolved = jb.text("finished runs of the map"); !unresolved.empty()) printLine(unresolved);
  }
  // Another shard's data files belong to the study too.
  reportForeignDataFiles(o.sweep.outputDir, [&](const std::string& name) {
    if (own.contains(name)) return true;
    const std::optional<std::size_t> index =
        name.ends_with(".p-d") ? grid.find(name.substr(0, name.size() - 4)) : std::nullopt;
    return index && o.sweep.shard && shardOfRun(*index, shard.count).number != shard.number;
  });
  if (interrupted) {
    printError("interrupted: " + std::to_string(finished) + " of " + runsText + " finished" +
               (summaryWritten ? "; " + summaryPath + " gives each run's status" : ""));
    return 128 + caughtSignal();
  }
  if (finished < runs.size())
    printError(std::to_string(runs.size() - finished) + " of " + runsText + " refused or failed" +
               (summaryWritten ? "; their reasons are in " + summaryPath : ""));
  return ok && summaryWritten && finished == runs.size() ? kExitDone : kExitFailed;
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
  const Expected<SummaryParts> found = findSummaryParts(o.merge.dirs);
  const Expected<std::string> identity = found.and_then([](const SummaryParts& f) { return partsIdentity(f.parts); });
  if (!identity) {
    printError(identity.error());
    return kExitUsage;
  }
  // A study still writing into the folder would replace the merged summary;
  // held, the folder records the merged study as its own.
  const auto hold =
      holdOutputDir(o.merge.outputDir, *identity, std::nullopt, mergeFolderCheck(o.merge.outputDir, *identity));
  if (!hold) return kExitFailed;
  const std::string summaryPath = (std::filesystem::path(o.merge.outputDir) / "summary.csv").string();
  // The parts are read as the summary is written: a fault in one leaves no summary.
  std::optional<std::string> partFault;
  MergedSummary merged;
  const Expected<void> writing = writeMadeTextFile(summaryPath, [&](const TextPut& put) -> Expected<void> {
    Expected<MergedSummary> merging = mergeSummaryParts(found->parts, o.merge.outputDir, put);
    if (!merging) {
      partFault = merging.error();
      return unexpected(merging.error());
    }
    merged = std::move(*merging);
    return {};
  });
  if (partFault) {
    printError(*partFault);
    return kExitUsage;
  }
  if (!written(writing)) return kExitFailed;

  for (const UnfinishedRun& run : merged.unfinished)
    printLine(run.label + ": " + run.status + (run.reason.empty() ? "" : ": " + run.reason));
  if (merged.unfinishedRuns > merged.unfinished.size())
    printLine("and " + std::to_string(merged.unfinishedRuns - merged.unfinished.size()) +
              " more runs that did not finish, named in " + summaryPath);
  for (const MissingShard& missing : merged.missing)
    printLine("shard " + std::to_string(missing.shard.number) + " of " + std::to_string(missing.shard.count) +
              " left no summary part: its " + std::to_string(missing.runs) + " runs are missing (run it with --shard " +
              std::to_string(missing.shard.number) + "/" + std::to_string(missing.shard.count) + ")");
  printLine(std::to_string(merged.finished) + " of " + std::to_string(merged.runs) + " runs finished; summary in " +
            summaryPath);
  if (merged.missingRuns > 0)
    printError(std::to_string(merged.missingRuns) + " of " + std::to_string(merged.runs) +
               " runs are missing: " + std::to_string(merged.missing.size()) +
               (merged.missing.size() == 1 ? " shard" : " shards") + " left no summary part");
  if (merged.unfinishedRuns > 0)
    printError(std::to_string(merged.unfinishedRuns) + " of " + std::to_string(merged.runs) +
               " runs did not finish; their reasons are in " + summaryPath);
  return merged.unfinishedRuns == 0 && merged.missingRuns == 0 ? kExitDone : kExitFailed;
}

}  // namespace fb
