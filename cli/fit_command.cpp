// The fit command: calibrates the --fit inputs to the measured curves, reports
// them with their intervals, and writes the fitted run as a single run would.
#include <cmath>
#include <cstdio>

#include "cli/commands.h"
#include "cli/common_checks.h"
#include "cli/interruptions.h"
#include "cli/terminal_view.h"
#include "engine/number_writer.h"
#include "output/text_file.h"
#include "plot/fit_figure.h"
#include "run/calculator.h"
#include "study/fit/calibration.h"
#include "study/fit/fit_curves.h"
#include "study/fit/fit_prior.h"
#include "study/fit/fit_report.h"
#include "study/inputs/input_set.h"
#include "study/studies/summaries.h"

namespace fb {
namespace {

// `unit`: of the RMS, fitRmsUnit.
void showProgress(const FitProgressReport& p, const char* unit) {
  std::string line =
      "\r\033[Kfit: " + p.phase + ", " + std::to_string(p.runs) + " of at most " + std::to_string(p.planned) + " runs";
  if (p.bestRms) line += ", best RMS " + significantText(*p.bestRms, 4) + " " + unit;
  if (p.secondsLeft) line += ", at most " + formatFixed(std::ceil(*p.secondsLeft), 0) + " s left";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

// A whole run of some inputs, keeping its steps and graphs; its data file only when named.
struct CurveRun {
  RunRecord record;
  RunSummary summary;
};
CurveRun runWhole(const FieldTexts& texts, bool quiet, unsigned jobs) {
  CurveRun run;
  RecordingTerminalView view(texts, !quiet && TerminalView::stderrIsTerminal(), run.record);
  Calculator calculator(jobs);
  if (texts[Field::dataFile].empty()) {
    NullDataFile nowhere;
    run.summary = calculator.run(view, nowhere);
  } else {
    run.summary = calculator.run(view);
  }
  return run;
}

int interrupted(const std::string& what) {
  printError("interrupted " + what);
  return 128 + caughtSignal();
}

}  // namespace

Checked checkFit(GivenOptions& g) {
  if (const auto design = readDesignOptions(g); !design) return design;
  if (const auto shard = readShard(g); !shard) return shard;
  if (const auto law = readLawOptions(g, LawUse::fit); !law) return law;
  CliOptions& o = g.o;
  if (!o.sweep.sweeps.empty()) return unexpected("--fit and --sweep cannot go together");
  if (o.measuredPaths.empty() && o.fit.pulloutPaths.empty() && o.fit.beamPaths.empty())
    return unexpected("--fit needs --measured, --pullout or --beam-measured, the curves to fit");
  if (!g.outputDir.empty()) return unexpected("--output-dir is for sweeps; a fit writes the fitted run's file of -o");
  o.fit.seed = g.seed;
  return {};
}

namespace {

FitSettings fitSettings(const CliOptions& o, const std::atomic<bool>* stop) {
  const BeamTests beams{o.fit.beams, o.law.matrix, o.law.Ec.value_or(0), o.law.geometry};
  return {o.texts, o.fit.free,     o.specimens,  o.fit.starts, o.fit.seed,  o.jobs,
          stop,    o.fit.pullouts, o.fit.robust, beams,        o.fit.prior, o.fit.priorPath};
}

}  // namespace

Checked checkFitCurves(const CliOptions& o) {
  const FitSettings settings = fitSettings(o, nullptr);
  if (const Expected<void> possible = checkFitSettings(settings); !possible) return unexpected(possible.error());
  if (const Expected<void> held = checkFitPrior(settings); !held) return unexpected(held.error());
  return {};
}

int runFit(const CliOptions& o) {
  catchInterruptions();
  const FitSettings settings = fitSettings(o, &stopRequested());
  const bool progressShown = !o.quiet && TerminalView::stderrIsTerminal();
  FitResult result;
  try {
    const char* unit = fitRmsUnit(settings);
    result = fitMeasuredCurves(
        settings,
        progressShown ? FitProgress([unit](const FitProgressReport& p) { showProgress(p, unit); }) : FitProgress());
  } catch (const std::bad_alloc&) {
    if (progressShown) std::fputc('\n', stderr);
    printError("the fit failed: not enough memory for its runs; nothing was written");
    return kExitFailed;
  } catch (const std::exception& e) {
    if (progressShown) std::fputc('\n', stderr);
    printError(std::string("the fit failed: ") + e.what() + "; nothing was written");
    return kExitFailed;
  }
  if (progressShown) std::fputc('\n', stderr);
  if (result.outcome == FitOutcome::stopped)
    return interrupted("after " + std::to_string(result.runs) + " runs of the fit; nothing was written");
  bool ok = true;
  if (!o.fit.log.empty()) ok = written(writeTextFile(o.fit.log, fitLogCsv(settings, result)));
  if (result.outcome == FitOutcome::noAcceptedStart) {
    printError("no start of the fit gave a run the model accepts: " +
               (result.refusal ? result.refusal->message : std::string("no run")));
    return kExitFailed;
  }
  std::fputs(fitReportText(settings, result).c_str(), stdout);
  if (!o.fit.report.empty()) ok = written(writeTextFile(o.fit.report, fitReportJson(settings, result))) && ok;

  FieldTexts fitted = fittedRunTexts(settings, result);
  fitted[Field::dataFile] = o.texts[Field::dataFile];
  if (o.matrix) reportFittedDesign(fitted, *o.matrix);
  if (!o.saveInputs.empty()) {
    std::string fittedTo = "fitted to";
    for (const std::string& path : o.measuredPaths) fittedTo += " " + path;
    for (const std::string& path : o.fit.pulloutPaths) fittedTo += " " + path;
    for (const std::string& path : o.fit.beamPaths) fittedTo += " " + path;
    std::vector<std::string> notes{fittedTo};
    // The doubts about the fitted values travel with them.
    for (const FitWarning& warning : result.warnings)
      if (!warning.inputs.empty()) notes.push_back(std::string(kSavedWarning) + warning.text);
    ok = written(writeTextFile(o.saveInputs, inputSetText(fitted, notes))) && ok;
  }
  if (o.texts[Field::dataFile].empty() && o.csv.empty() && o.plot.empty()) return ok ? kExitDone : kExitFailed;

  CurveRun run = runWhole(fitted, o.quiet, o.jobs);
  if (run.summary.end == RunEnd::stopped) {
    printError(interruptedRunText(run.summary, o));
    return 128 + caughtSignal();
  }
  if (run.summary.end != RunEnd::finished) return kExitFailed;  // the view has said why
  if (!o.csv.empty()) ok = written(writeTextFile(o.csv, rowsCsv(run.record.steps))) && ok;
  if (!o.plot.empty()) {
    const FitCurves curves = fitCurves(settings, result, &stopRequested());
    if (stopRequested()) return interrupted("while drawing the fit's curves; " + o.plot + " was not written");
    ok = written(writeFitFigure(o.plot, {curves.specimens, o.fit.logWidth, curves.pullouts, curves.beams})) && ok;
  }
  return ok ? kExitDone : kExitFailed;
}

}  // namespace fb
