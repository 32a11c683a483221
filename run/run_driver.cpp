#include "run/run_driver.h"

#include <cmath>

#include "engine/fiber_class_table.h"
#include "engine/inputs.h"
#include "engine/number_writer.h"
#include "engine/orientation.h"
#include "output/result_graphs.h"

namespace fb {

void RunningMaximum::update(const StepResult& r) {
  if (r.P >= P) {
    P = r.P;
    sigma = r.sigma;
    Wcr = r.Wcr;
  }
}

ResultTexts startResultTexts() { return {"0", "0", "0", "", ""}; }

ResultTexts stepResultTexts(const RunningMaximum& max, const StepResult& r) {
  return {formatFixed(max.P / 1000, 4), formatFixed(max.sigma, 4), formatFixed(r.effectiveFiberRatio, 5),
          "Wcr=" + formatShortest(r.Wcr) + "(mm)", "σ=" + formatFixed(r.sigma, 3) + "(MPa)"};
}

std::string sliceStatusText(int sliceIndex) { return "Model setting " + std::to_string(sliceIndex) + "%"; }

std::string stepStatusText(int step) { return "Calculating for Step " + std::to_string(step); }

std::string writeFailureMessage(int step, int code) {
  const std::string kept = step > 0 ? "it keeps the rows of steps 0 to " + std::to_string(step - 1)
                                    : std::string("it keeps its header only");
  return "The output data file could not be written at step " + std::to_string(step) + "; " + kept + ". (" +
         std::to_string(code) + ")";
}

std::string closeFailureMessage(int code) {
  return "The output data file could not be closed; its last rows may not have reached the disk. (" +
         std::to_string(code) + ")";
}

namespace {

bool isFinite(const StepResult& r) {
  return std::isfinite(r.P) && std::isfinite(r.sigma) && std::isfinite(r.effectiveFiberRatio);
}

}  // namespace

RunSummary runCalculation(RunView& view, FiberClassTable& table, DataFile& file, unsigned threads) {
  RunSummary summary;
  // Every way out closes the file, so it keeps the rows written so far.
  const auto end = [&](RunEnd how) {
    file.close();
    summary.end = how;
    return summary;
  };
  const auto fail = [&](const std::string& message) {
    file.close();
    view.showStatus("");
    view.showError("Error", message);
    view.setStartEnabled(true);
    return end(RunEnd::writeFailed);
  };

  view.setStartEnabled(false);
  view.showStatus("Starting...");
  view.showResults(startResultTexts());
  view.stressGraph().clear();
  view.ratioGraph().clear();
  if (!view.yield()) return end(RunEnd::stopped);

  const FieldTexts texts = view.fieldTexts();
  summary.dataFile = texts[Field::dataFile];

  view.showStatus("Parameter setting...");
  if (!view.yield()) return end(RunEnd::stopped);
  const ReadOutcome read = readParameterSet(texts);
  const ParameterSet& p = read.params;
  const RunConstants k = deriveValues(p);
  const auto refuse = [&](const Refusal& r) {
    view.showRefusal(r);
    view.setStartEnabled(true);
    return end(RunEnd::refused);
  };
  if (const auto usable = checkInputs(texts, read, k); !usable) return refuse(usable.error());
  if (!view.runsWithoutSteps())
    if (const auto steps = checkHasSteps(p); !steps) return refuse(steps.error());
  const Orientation orientation = prepareOrientation(p, k);
  for (const std::string& warning : orientationWarnings(p, k, orientation)) view.showWarning(warning);

  view.showStatus("Model setting...");
  if (!view.yield()) return end(RunEnd::stopped);
  const Expected<TableBuild, Refusal> built = buildFiberClassTable(
      p, k, orientation, table,
      [&view](int slice) {
        view.showStatus(sliceStatusText(slice));
        return view.yield();
      },
      threads);
  if (!built) return refuse(built.error());
  if (*built == TableBuild::stopped) return end(RunEnd::stopped);

  if (!prepareGraphs(view.stressGraph(), view.ratioGraph(), graphScales(p, k), [&view] { return view.yield(); }))
    return end(RunEnd::stopped);

  RunningMaximum& maximum = summary.maximum;
  maximum = RunningMaximum{};

  int code = file.open(summary.dataFile);
  if (code == 0 && (code = writeHeader(file, p, k, Timestamp::now())) != 0) file.abandon();
  if (code != 0) {
    file.close();
    view.showStatus("");
    view.yield();
    view.showOpenFailure(openFailureMessage(code), summary.dataFile, code);
    return end(RunEnd::openFailed);
  }
  summary.headerWritten = true;

  const StepSchedule schedule = StepSchedule::of(p, k);
  StepSequence steps(table, p, schedule, threads);
  for (int n = 0; n <= schedule.lastStep(); ++n) {
    view.showStatus(stepStatusText(n));
    if (!view.yield()) return end(RunEnd::stopped);
    const StepResult r = steps.evaluateStep(n);
    // Written out it would read as a result; stop with the rows so far.
    if (!isFinite(r))
      return fail("The bridging force at step " + std::to_string(n) +
                  " is too large to be a number; the data file keeps the rows before it.");
    maximum.update(r);
    view.showResults(stepResultTexts(maximum, r));
    if (!view.yield()) return end(RunEnd::stopped);
    if (const int rowCode = writeRow(file, r)) return fail(writeFailureMessage(n, rowCode));
    ++summary.stepsWritten;
    plotStep(view.stressGraph(), view.ratioGraph(), r);
    view.stepFinished(r);
    if (!view.yield()) return end(RunEnd::stopped);
  }

  if (const int closeCode = file.close()) return fail(closeFailureMessage(closeCode));
  view.setStartEnabled(true);
  view.showStatus("Finish");
  view.yield();
  return end(RunEnd::finished);
}

}  // namespace fb
