#pragma once

// The workers of one fit: each task (a start, a polish, one side of a
// profile) on a worker of its own, each worker with its own evaluator, while
// the caller's thread reports progress a few times a second.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "study/fit/evaluator.h"
#include "study/fit/fit_progress.h"
#include "study/fit/fit_settings.h"
#include "study/fit/search.h"

namespace fb {

class TaskPool {
 public:
  TaskPool(const FitSettings& s, const FitProgress& progress) : s_(s), progress_(progress) {}

  /// Runs tasks 0 to count - 1 on up to the settings' jobs workers, and
  /// returns when all have ended; `plannedRuns` is what the progress line
  /// expects of them. A task's exception ends the others and is thrown here.
  void run(std::size_t count, const std::string& phase, int plannedRuns,
           const std::function<void(Evaluator&, std::size_t)>& task);

  /// What the searches on the workers share.
  SearchShared shared() { return {s_.stop, &mutex_, &bestRms_}; }
  bool stopped() const { return s_.stop && s_.stop->load(); }

  /// Runs of the model so far, every specimen counted.
  std::atomic<int>& runs() { return runs_; }
  double seconds() const;

 private:
  const FitSettings& s_;
  const FitProgress& progress_;
  const std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
  std::atomic<int> runs_{0};
  std::mutex mutex_;
  std::optional<double> bestRms_;  // under mutex_
  int planned_ = 0;
};

}  // namespace fb
