#include "study/fit/task_pool.h"

#include <algorithm>
#include <memory>

#include "run/task_pool.h"

namespace fb {

double TaskPool::seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
}

void TaskPool::run(std::size_t count, const std::string& phase, int plannedRuns,
                   const std::function<void(Evaluator&, std::size_t)>& task) {
  {
    std::lock_guard lock(mutex_);
    planned_ = runs_.load() + plannedRuns;
  }
  TaskPoolSettings settings;
  settings.jobs = s_.jobs;
  settings.stopped = [this] { return stopped(); };
  settings.waiting = [&] {
    if (!progress_) return;
    std::unique_lock lock(mutex_);
    FitProgressReport report{phase, runs_.load(), std::max(planned_, runs_.load()), bestRms_, std::nullopt};
    if (report.runs > 0) report.secondsLeft = seconds() / report.runs * (report.planned - report.runs);
    lock.unlock();
    progress_(report);
  };
  runTasks(count, settings, [&](unsigned threads) -> TaskRunner {
    auto evaluator = std::make_shared<Evaluator>(s_, threads, runs_);
    return [evaluator, &task](std::size_t k) { task(*evaluator, k); };
  });
}

}  // namespace fb
