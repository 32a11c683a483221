#include "study/fit/task_pool.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

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
  std::atomic<std::size_t> next{0};
  std::size_t workersLeft = std::clamp<std::size_t>(s_.jobs, 1, std::max<std::size_t>(count, 1));
  std::exception_ptr failure;
  std::condition_variable ended;
  // The workers share the jobs' threads; each runs the model on its share of them.
  const unsigned share = std::max(1u, s_.jobs / static_cast<unsigned>(workersLeft));
  const auto work = [&, share] {
    try {
      Evaluator evaluator(s_, share, runs_);
      for (std::size_t k; !stopped() && (k = next.fetch_add(1)) < count;) task(evaluator, k);
    } catch (...) {
      std::lock_guard lock(mutex_);
      if (!failure) failure = std::current_exception();
      next = count;  // the others stop at their next task
    }
    std::lock_guard lock(mutex_);
    --workersLeft;
    ended.notify_one();
  };
  std::vector<std::jthread> threads;
  const std::size_t wanted = workersLeft;
  for (std::size_t t = 0; t < wanted; ++t) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      // No more threads: the ones started take the remaining tasks.
      std::lock_guard lock(mutex_);
      workersLeft -= wanted - t;
      break;
    }
  }
  if (threads.empty()) {
    workersLeft = 1;
    work();
  }
  std::unique_lock lock(mutex_);
  while (workersLeft > 0) {
    ended.wait_for(lock, std::chrono::milliseconds(100));
    if (!progress_) continue;
    FitProgressReport report{phase, runs_.load(), std::max(planned_, runs_.load()), bestRms_, std::nullopt};
    if (report.runs > 0) report.secondsLeft = seconds() / report.runs * (report.planned - report.runs);
    lock.unlock();
    progress_(report);
    lock.lock();
  }
  lock.unlock();
  threads.clear();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace fb
