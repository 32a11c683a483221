#pragma once

// How a run flows. The window's Start button, the command line and the study
// workers each hand a RunView of their own to a Calculator, which keeps the
// fiber class table and calls runCalculation. The driver takes the field
// texts from the view (number reader -> ParameterSet -> run constants), refuses inputs the
// model cannot use, builds the fiber class table slice by slice, prepares the
// two graphs, opens the data file and writes its header, then opens the crack
// step by step: each step's class pass gives the bridging force, which goes
// to the result boxes, to one data-file row and to one segment per graph.
// The view shows the texts and yields to its event loop at fixed points; a
// yield that answers false (the program is ending) stops the run there, with
// the rows written so far kept in the closed file.

#include <string>

#include "engine/crack_steps.h"
#include "engine/fiber_class_table.h"
#include "engine/field_table.h"
#include "engine/refusal.h"
#include "output/canvas.h"
#include "output/data_file.h"

namespace fb {

/// The texts of the five result boxes, in the order the run writes them.
struct ResultTexts {
  std::string pmax;           // kN, "0.0000"
  std::string sigmaMax;       // MPa, "0.0000"
  std::string effectiveness;  // "0.00000"
  std::string crackWidth;     // "Wcr=0.5(mm)"
  std::string stress;         // "σ=1.234(MPa)"
};

/// The largest force so far (N) and the stress of the step that gave it (MPa).
struct RunningMaximum {
  double P = -999999;
  double sigma = -999999;
  double Wcr = 0;  // mm, where the peak stands
  /// Keeps the later of equal forces, so the stress always belongs to the force.
  void update(const StepResult& r);
};

ResultTexts startResultTexts();
ResultTexts stepResultTexts(const RunningMaximum& max, const StepResult& r);
std::string sliceStatusText(int sliceIndex);  // "Model setting 57%"
std::string stepStatusText(int step);         // "Calculating for Step 60"

/// The message for a row that cannot be written at `step`; the file keeps the rows before it.
std::string writeFailureMessage(int step, int code);
/// The message for a data file whose closing fails after its last row.
std::string closeFailureMessage(int code);

/// What a run shows and where it yields; the window and the command line each
/// provide one.
class RunView {
 public:
  virtual ~RunView() = default;
  /// The texts of every input, the data file's name included, as they stand now.
  virtual FieldTexts fieldTexts() = 0;
  virtual void setStartEnabled(bool enabled) = 0;
  virtual void showStatus(const std::string& text) = 0;
  virtual void showResults(const ResultTexts& texts) = 0;
  virtual Canvas& stressGraph() = 0;
  virtual Canvas& ratioGraph() = 0;
  /// Lets the event loop run; false when the run must stop now.
  virtual bool yield() = 0;
  /// Inputs the run cannot use; nothing has been written.
  virtual void showRefusal(const Refusal& refusal) = 0;
  /// A message box with an exclamation icon.
  virtual void showError(const std::string& title, const std::string& text) = 0;
  /// The data file could not be opened or given its header: `message` is the
  /// window's text; a view that can say more has the path and the error number.
  virtual void showOpenFailure(const std::string& message, const std::string& /*path*/, int /*code*/) {
    showError("Error", message);
  }
  /// Whether a negative division runs (header only) rather than being refused:
  /// the window's way; a view whose runs feed scripts or studies refuses it.
  virtual bool runsWithoutSteps() const { return false; }
  /// Inputs the run accepts but whose results the user should doubt.
  virtual void showWarning(const std::string& /*text*/) {}
  /// Each finished step, for views that keep the results (summaries, plots).
  virtual void stepFinished(const StepResult&) {}
};

enum class RunEnd {
  finished,     // every step written, "Finish"
  refused,      // inputs refused before anything was written
  openFailed,   // the data file could not be opened or given its header
  writeFailed,  // a row could not be written; the file keeps the rows before it
  stopped,      // a yield asked the run to stop (the program is ending)
};

struct RunSummary {
  RunEnd end = RunEnd::finished;
  RunningMaximum maximum;
  int stepsWritten = 0;
  bool headerWritten = false;  // the data file was opened and given its header
  std::string dataFile;
};

/// One complete calculation, from the field texts to the last row, on
/// `table` (rebuilt for the run, on `threads` threads, 0: one per allotted CPU) and
/// into `file`, which it opens and closes.
RunSummary runCalculation(RunView& view, FiberClassTable& table, DataFile& file, unsigned threads = 0);

}  // namespace fb
