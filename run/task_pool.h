#pragma once

// The one pool of the layers above the engine: a study's runs, a fit's
// searches and Python's run_many. The engine keeps its own crews: they live
// as long as a run and wake for each stage of it, and their batches follow
// one another, which tasks started afresh for every stage would slow.

#include <cstddef>
#include <functional>

namespace fb {

/// One worker's task runner: called with the index of each task it takes.
using TaskRunner = std::function<void(std::size_t task)>;

struct TaskPoolSettings {
  /// Threads at most, counting those each task's runs start for their class
  /// tables: a worker's tasks get `jobs / workers` of them (at least 1).
  unsigned jobs = 1;
  /// True once no further task should start.
  std::function<bool()> stopped;
  /// Without it the caller's thread is one of the workers. With it the
  /// caller's thread waits and calls it after a task ends or 100 ms pass,
  /// and once all have ended; a throw from it stops the tasks and comes out
  /// of runTasks once the workers have ended.
  std::function<void()> waiting;
};

/// Runs tasks 0 to count - 1 on up to min(jobs, count) workers, each made on
/// its own thread by `makeWorker(threadsPerTask)` and taking the next task
/// until none is left. The first exception a task or a worker's making throws
/// is kept, the tasks not started then are not started, and it is rethrown
/// once every worker has ended. Where the system gives fewer threads, the
/// workers started carry every task; where it gives none, the caller's
/// thread does, with all the jobs' threads for its tasks.
void runTasks(std::size_t count, const TaskPoolSettings& settings,
              const std::function<TaskRunner(unsigned threadsPerTask)>& makeWorker);

}  // namespace fb
