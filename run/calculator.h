#pragma once

#include "engine/fiber_class_table.h"
#include "output/data_file.h"
#include "run/run_driver.h"

namespace fb {

/// Runs calculations on a fiber class table of its own, kept from run to run:
/// its memory is then touched once per process, not once per run. The window
/// keeps one for the program's life, each study worker one for its runs.
class Calculator {
 public:
  /// `threads` build the table (0: one per allotted CPU).
  explicit Calculator(unsigned threads = 0) : threads_(threads) {}

  /// One run, its data file written to disk.
  RunSummary run(RunView& view) {
    DiskDataFile file;
    return runCalculation(view, table_, file, threads_);
  }
  /// One run into a data file of the caller's.
  RunSummary run(RunView& view, DataFile& file) { return runCalculation(view, table_, file, threads_); }

 private:
  FiberClassTable table_;
  unsigned threads_;
};

}  // namespace fb
