// The fit command: calibrates the --fit inputs to the measured curves, reports
// them with their intervals, and writes the fitted run as a single run would.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "cli/commands.h"
#include "cli/common_checks.h"
#include "cli/interruptions.h"
#include "cli/terminal_view.h"
#include "engine/inputs.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "engine/pullout_law.h"
#include "output/text_file.h"
#include "plot/fit_figure.h"
#include "run/calculator.h"
#include "run/curve_runner.h"
#include "study/calibration.h"
#include "study/fit_report.h"
#include "study/input_set.h"
#include "study/metrics.h"
#include "study/summaries.h"
#include "study/sweep.h"

namespace fb {
namespace {

std::string name(Field f) { return std::string(fieldInfo(f).name); }

std::string significant(double value, int digits) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits).ptr;
  return std::string(buffer, end);
}

std::string fitLogCsv(const FitSettings& settings, const FitResult& result) {
  std::string out = "phase";
  for (const FreeInput& f : settings.free) out += "," + name(f.field);
  out += settings.specimens.empty() ? ",RMS difference to measured (N),note\n"
                                    : ",RMS difference to measured (MPa),note\n";
  for (const FitEvaluation& e : result.log) {
    out += csvField(e.phase);
    for (double v : e.values) out += "," + exactText(v);
    out += "," + (e.rms ? exactText(*e.rms) : std::string()) + "," + csvField(e.note) + "\n";
  }
  return out;
}

void report(const FitSettings& settings, const FitResult& r) {
  std::string names;
  for (const FreeInput& f : settings.free) names += (names.empty() ? "" : ", ") + name(f.field);
  const std::size_t curves = settings.specimens.size(), tests = settings.pullouts.size();
  std::string of = curves > 1 ? " of " + std::to_string(curves) + " specimens" : "";
  if (tests > 0)
    of += (of.empty() ? curves > 0 ? " of a specimen and " : " of " : " and ") + std::to_string(tests) +
          (tests == 1 ? " pullout test" : " pullout tests");
  std::printf("fit of %s to %zu measured points%s: %d runs in %s s\n", names.c_str(), settings.pointCount(), of.c_str(),
              r.runs, formatFixed(r.seconds, 2).c_str());
  std::size_t widest = 0;
  for (const FittedInput& in : r.inputs) widest = std::max(widest, name(in.field).size());
  for (const FittedInput& in : r.inputs) {
    const std::string unit(fieldInfo(in.field).unit);
    std::string line = "  " + name(in.field) + std::string(widest - name(in.field).size(), ' ') + " = " +
                       roundedToInterval(in.value, in.low, in.high) + (unit.empty() ? "" : " " + unit);
    line += std::string(std::max<std::size_t>(2, 24 - std::min<std::size_t>(24, line.size())), ' ');
    line += "95 % interval " + roundedToInterval(in.low, in.low, in.high) + " to " +
            roundedToInterval(in.high, in.low, in.high);
    if (in.lowOnBound || in.highOnBound) line += in.lowOnBound && in.highOnBound ? " (its bounds)" : " (to its bound)";
    std::printf("%s\n", line.c_str());
  }
  for (std::size_t a = 0; a < r.inputs.size(); ++a)
    for (std::size_t b = a + 1; b < r.inputs.size(); ++b)
      if (a < r.correlation.size() && std::abs(r.correlation[a][b]) >= 0.8)
        std::printf("correlation of %s and %s: %s\n", name(r.inputs[a].field).c_str(), name(r.inputs[b].field).c_str(),
                    formatFixed(r.correlation[a][b], 2).c_str());
  if (!r.basins.empty()) std::printf("starts: %d of %d ended in the best basin\n", r.basins[0].starts, r.startCount);
  if (curves > 0)
    std::printf("RMS difference to the measured curve: %s MPa before, %s MPa after",
                r.rmsBefore ? significant(*r.rmsBefore, 4).c_str() : "(no run)", significant(r.rmsAfter, 4).c_str());
  if (curves > 0 && tests > 0) std::printf("\n");
  if (tests > 0)
    std::printf("RMS difference to the pullout curves: %s N before, %s N after",
                r.pulloutRmsBefore ? significant(*r.pulloutRmsBefore, 4).c_str() : "(no run)",
                r.pulloutRmsAfter ? significant(*r.pulloutRmsAfter, 4).c_str() : "(no run)");
  if (r.chiSquarePerDof)
    std::printf(" (chi-square per degree of freedom %s)", formatFixed(*r.chiSquarePerDof, 2).c_str());
  std::printf("\n");
  for (const std::string& note : r.notes) std::printf("note: %s\n", note.c_str());
  for (const FitWarning& warning : r.warnings) std::printf("warning: %s\n", warning.text.c_str());
}

// `unit`: of the RMS, MPa, or N in a fit to pullout tests alone.
void showProgress(const FitProgressReport& p, const char* unit) {
  std::string line =
      "\r\033[Kfit: " + p.phase + ", " + std::to_string(p.runs) + " of at most " + std::to_string(p.planned) + " runs";
  if (p.bestRms) line += ", best RMS " + significant(*p.bestRms, 4) + " " + unit;
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

std::vector<CurvePoint> pointsOf(const std::vector<StepResult>& steps) {
  std::vector<CurvePoint> points;
  for (const StepResult& r : steps) points.push_back({r.Wcr, r.sigma});
  return points;
}

// The figure of each specimen: its measured points, the curve of the starting
// inputs, the fitted curve with the band that the inputs at the ends of their
// intervals span, and the residuals.
FitFigure fitFigure(const CliOptions& o, const FitSettings& s, const FitResult& r) {
  FitFigure figure;
  figure.logWidth = o.fit.logWidth;
  CurveRunner runner;
  for (std::size_t k = 0; k < s.specimens.size(); ++k) {
    const Specimen& specimen = s.specimens[k];
    FitFigureSpecimen out;
    if (s.specimens.size() > 1) {
      out.label = specimen.name;
      for (const SpecimenInput& input : specimen.inputs)
        out.label +=
            (input.field == specimen.inputs.front().field ? ": " : ", ") + name(input.field) + "=" + input.value;
    }
    out.measured = specimen.measured;
    double widest = 0;
    for (const MeasuredPoint& m : specimen.measured) widest = std::max(widest, m.Wcr);
    widest *= 1.05;
    FieldTexts start = specimenTexts(s, k), fitted = start;
    for (const FreeInput& f : s.free) {
      const double value = numberReader(start[f.field]);
      if (value < f.low || value > f.high) start[f.field] = rangeValueText(f.field, std::clamp(value, f.low, f.high));
    }
    for (const FittedInput& in : r.inputs) fitted[in.field] = in.text;
    if (const auto curve = runner.run(start, widest); !curve.refusal) out.start = pointsOf(curve.steps);
    const auto best = runner.run(fitted, widest);
    out.fitted = pointsOf(best.steps);
    for (const MeasuredPoint& m : specimen.measured)
      if (const auto at = stressAt(best.steps, m.Wcr)) out.residuals.push_back({m.Wcr, *at - m.sigma});
    out.bandLow = out.bandHigh = out.fitted;
    for (const std::vector<double>& values : r.bandValues) {
      FieldTexts member = fitted;
      for (std::size_t j = 0; j < values.size(); ++j)
        member[s.free[j].field] = rangeValueText(s.free[j].field, values[j]);
      const auto curve = runner.run(member, widest);
      if (curve.refusal) continue;
      for (std::size_t i = 0; i < out.fitted.size(); ++i)
        if (const auto at = stressAt(curve.steps, out.fitted[i].Wcr)) {
          out.bandLow[i].sigma = std::min(out.bandLow[i].sigma, *at);
          out.bandHigh[i].sigma = std::max(out.bandHigh[i].sigma, *at);
        }
    }
    figure.specimens.push_back(std::move(out));
  }
  for (std::size_t k = 0; k < s.pullouts.size(); ++k) {
    const PulloutSpecimen& test = s.pullouts[k];
    FitFigurePullout out;
    out.label = "lb " + formatShortest(test.lb) + " mm, angle " + formatShortest(test.angle) + "°";
    out.measured = test.measured;
    FieldTexts fitted = pulloutTexts(s, k);
    for (const FittedInput& in : r.inputs) fitted[in.field] = in.text;
    const PulloutFiber fiber =
        pulloutFiber(readParameterSet(fitted).params, static_cast<float>(test.lb), pulloutInclination(test.angle));
    // Close slips up to lb, with the law's corners, so that the line shows its kinks.
    std::vector<double> slips{fiber.points.deltaA, fiber.points.deltaMax};
    for (int i = 0; i <= 400; ++i) slips.push_back(test.lb * i / 400);
    std::erase_if(slips, [&](double slip) { return !(slip >= 0 && slip <= test.lb); });
    std::sort(slips.begin(), slips.end());
    std::vector<double> loads(slips.size());
    pulloutCurve(fiber, slips, loads);
    for (std::size_t i = 0; i < slips.size(); ++i) out.fitted.push_back({slips[i], loads[i], 0});
    figure.pullouts.push_back(std::move(out));
  }
  return figure;
}

int interrupted(const std::string& what) {
  printError("interrupted " + what);
  return 128 + caughtSignal();
}

}  // namespace

Checked checkFit(GivenOptions& g) {
  if (const auto design = readDesignOptions(g); !design) return design;
  if (const auto shard = readShard(g); !shard) return shard;
  CliOptions& o = g.o;
  if (!o.sweep.sweeps.empty()) return unexpected("--fit and --sweep cannot go together");
  if (o.measuredPaths.empty() && o.fit.pulloutPaths.empty())
    return unexpected("--fit needs --measured or --pullout, the curves to fit");
  if (!g.outputDir.empty()) return unexpected("--output-dir is for sweeps; a fit writes the fitted run's file of -o");
  o.fit.seed = g.seed;
  return {};
}

Checked checkFitCurves(const CliOptions& o) {
  const Expected<void> possible =
      checkFitSettings({o.texts, o.fit.free, o.specimens, o.fit.starts, o.fit.seed, o.jobs, nullptr, o.fit.pullouts});
  if (!possible) return unexpected(possible.error());
  return {};
}

int runFit(const CliOptions& o) {
  catchInterruptions();
  const FitSettings settings{o.texts,    o.fit.free, o.specimens,      o.fit.starts,
                             o.fit.seed, o.jobs,     &stopRequested(), o.fit.pullouts};
  const bool progressShown = !o.quiet && TerminalView::stderrIsTerminal();
  FitResult result;
  try {
    const char* unit = settings.specimens.empty() ? "N" : "MPa";
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
  if (result.stopped)
    return interrupted("after " + std::to_string(result.runs) + " runs of the fit; nothing was written");
  bool ok = true;
  if (!o.fit.log.empty()) ok = written(writeTextFile(o.fit.log, fitLogCsv(settings, result)));
  if (result.inputs.empty()) {
    printError("no start of the fit gave a run the model accepts: " +
               (result.refusal ? result.refusal->message : std::string("no run")));
    return kExitFailed;
  }
  report(settings, result);
  if (!o.fit.report.empty()) ok = written(writeTextFile(o.fit.report, fitReportJson(settings, result))) && ok;

  // The fitted run is the first specimen's, its own inputs included; with
  // pullout tests alone, the given inputs' with the fitted law: its prediction.
  FieldTexts fitted = settings.specimens.empty() ? settings.base : specimenTexts(settings, 0);
  for (const FittedInput& in : result.inputs) fitted[in.field] = in.text;
  fitted[Field::dataFile] = o.texts[Field::dataFile];
  if (o.matrix) reportFittedDesign(fitted, *o.matrix);
  if (!o.saveInputs.empty()) {
    std::string fittedTo = "fitted to";
    for (const std::string& path : o.measuredPaths) fittedTo += " " + path;
    for (const std::string& path : o.fit.pulloutPaths) fittedTo += " " + path;
    ok = written(writeTextFile(o.saveInputs, inputSetText(fitted, {fittedTo}))) && ok;
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
    const FitFigure figure = fitFigure(o, settings, result);
    if (stopRequested()) return interrupted("while drawing the fit's curves; " + o.plot + " was not written");
    ok = written(writeFitFigure(o.plot, figure)) && ok;
  }
  return ok ? kExitDone : kExitFailed;
}

}  // namespace fb
