// The fit command: calibrates the --fit inputs to the measured curve, reports
// them with their uncertainty, and writes the fitted run as a single run would.
#include <algorithm>
#include <charconv>
#include <cstdio>

#include "cli/commands.h"
#include "cli/interruptions.h"
#include "cli/terminal_view.h"
#include "engine/calculator.h"
#include "engine/number_format.h"
#include "engine/number_reader.h"
#include "plot/figure.h"
#include "study/calibration.h"
#include "study/input_set.h"
#include "study/summaries.h"
#include "study/sweep.h"
#include "study/text_files.h"

namespace fb {
namespace {

std::string significant(double value, int digits) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits).ptr;
  return std::string(buffer, end);
}

bool written(const std::optional<std::string>& error) {
  if (error) printError(*error + " (not written)");
  return !error;
}

// A whole run of some inputs, keeping its steps and graphs; its data file only when named.
struct CurveRun {
  RunRecord record;
  RunSummary summary;
};
CurveRun runWhole(const FieldTexts& texts, bool quiet) {
  CurveRun run;
  RecordingTerminalView view(texts, !quiet && TerminalView::stderrIsTerminal(), run.record);
  Calculator calculator;
  if (texts[Field::dataFile].empty()) {
    NullDataFile nowhere;
    run.summary = calculator.run(view, nowhere);
  } else {
    run.summary = calculator.run(view);
  }
  return run;
}

std::string fitLogCsv(const FitSettings& settings, const FitResult& result) {
  std::string out = "start";
  for (const FreeInput& f : settings.free) out += "," + std::string(fieldInfo(f.field).name);
  out += ",RMS difference to measured (MPa),note\n";
  for (const FitEvaluation& e : result.log) {
    out += e.start;
    for (double v : e.values) out += "," + exactText(v);
    out += "," + (e.rms ? exactText(*e.rms) : std::string()) + "," + csvField(e.note) + "\n";
  }
  return out;
}

void report(const FitSettings& settings, const FitResult& r) {
  std::string names;
  for (const FreeInput& f : settings.free) names += (names.empty() ? "" : ", ") + std::string(fieldInfo(f.field).name);
  std::printf("fit of %s to %zu measured points: %d runs in %s s (%s ms a run)\n", names.c_str(),
              settings.measured.size(), r.runs, formatFixed(r.seconds, 2).c_str(),
              formatFixed(r.runs > 0 ? 1000 * r.seconds / r.runs : 0, 1).c_str());
  for (const FittedInput& input : r.inputs)
    std::printf("  %s = %s %s\n", std::string(fieldInfo(input.field).name).c_str(), input.text.c_str(),
                input.standardError ? ("± " + significant(*input.standardError, 2)).c_str() : "(not determined)");
  std::printf("RMS difference to the measured curve: %s MPa before, %s MPa after\n",
              r.rmsBefore ? formatFixed(*r.rmsBefore, 4).c_str() : "(no run)", formatFixed(r.rmsAfter, 4).c_str());
  for (const std::string& note : r.notes) std::printf("note: %s\n", note.c_str());
  for (const std::string& warning : r.warnings) std::printf("warning: %s\n", warning.c_str());
}

}  // namespace

int runFit(const CliOptions& o) {
  catchInterruptions();
  FitSettings settings{o.texts, o.fit, o.measured, o.fitStarts, o.seed, o.jobs, &stopRequested()};
  const bool showProgress = !o.quiet && TerminalView::stderrIsTerminal();
  FitProgress progress;
  if (showProgress)
    progress = [](int runs, std::optional<double> best) {
      std::fprintf(stderr, "\r\033[Kfit: %d runs, best RMS %s MPa", runs,
                   best ? formatFixed(*best, 4).c_str() : "(none yet)");
      std::fflush(stderr);
    };
  const FitResult result = fitMeasuredCurve(settings, progress);
  if (showProgress) std::fputc('\n', stderr);
  if (result.stopped) {
    printError("interrupted after " + std::to_string(result.runs) + " runs of the fit; nothing was written");
    return 128 + caughtSignal();
  }
  bool ok = true;
  if (!o.fitLog.empty()) ok = written(writeTextFile(o.fitLog, fitLogCsv(settings, result)));
  if (result.inputs.empty()) {
    printError("no start of the fit gave a run the model accepts: " +
               (result.refusal ? result.refusal->message : std::string("no run")));
    return kExitFailed;
  }
  report(settings, result);

  if (!o.saveInputs.empty())
    ok = written(writeTextFile(o.saveInputs, inputSetText(result.texts, {"fitted to " + o.measuredPath}))) && ok;
  if (o.texts[Field::dataFile].empty() && o.csv.empty() && o.plot.empty()) return ok ? kExitDone : kExitFailed;

  CurveRun fitted = runWhole(result.texts, o.quiet);
  if (fitted.summary.end != RunEnd::finished) return kExitFailed;  // the view has said why
  if (!o.csv.empty()) ok = written(writeTextFile(o.csv, rowsCsv(fitted.record.steps))) && ok;
  if (!o.plot.empty()) {
    FieldTexts start = o.texts;
    start[Field::dataFile].clear();
    for (const FreeInput& f : o.fit) {
      const double value = numberReader(start[f.field]);
      if (value < f.low || value > f.high) start[f.field] = rangeValueText(f.field, std::clamp(value, f.low, f.high));
    }
    CurveRun starting = runWhole(start, true);
    Figure figure{{}, o.measured};
    if (starting.summary.end == RunEnd::finished)
      figure.curves.push_back({"start", &starting.record.stress, &starting.record.ratio});
    figure.curves.push_back({"fitted", &fitted.record.stress, &fitted.record.ratio});
    ok = written(writeFigure(o.plot, figure)) && ok;
  }
  return ok ? kExitDone : kExitFailed;
}

}  // namespace fb
