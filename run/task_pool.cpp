#include "run/task_pool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "run/task_pool_testing.h"

namespace fb {

void (*detail::beforeThreadStart)(std::size_t) = nullptr;

void runTasks(std::size_t count, const TaskPoolSettings& settings,
              const std::function<TaskRunner(unsigned threadsPerTask)>& makeWorker) {
  const unsigned jobs = std::max(1u, settings.jobs);
  const std::size_t wanted = std::clamp<std::size_t>(jobs, 1, std::max<std::size_t>(count, 1));
  const unsigned share = std::max(1u, jobs / static_cast<unsigned>(wanted));
  const bool callerWaits = static_cast<bool>(settings.waiting);

  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::condition_variable ended;
  std::exception_ptr failure;   // the first, under `mutex`
  std::size_t workersLeft = 0;  // under `mutex`
  bool taskEnded = false;       // under `mutex`: wakes the waiting caller

  const auto stopAll = [&] { next = count; };  // the others take no further task
  const auto stopped = [&] { return settings.stopped && settings.stopped(); };
  const auto work = [&](unsigned threads, bool onCaller) {
    try {
      const TaskRunner task = makeWorker(threads);
      for (std::size_t k; !stopped() && (k = next.fetch_add(1)) < count;) {
        task(k);
        if (onCaller && callerWaits) {
          settings.waiting();
        } else if (callerWaits) {
          {
            std::lock_guard lock(mutex);
            taskEnded = true;
          }
          ended.notify_one();
        }
      }
    } catch (...) {
      std::lock_guard lock(mutex);
      if (!failure) failure = std::current_exception();
      stopAll();
    }
  };

  std::vector<std::jthread> threads;
  threads.reserve(wanted);
  // Without a waiting caller, the caller is the first worker.
  const std::size_t toStart = callerWaits ? wanted : wanted - 1;
  {
    std::lock_guard lock(mutex);
    workersLeft = toStart;
  }
  for (std::size_t t = 0; t < toStart; ++t) {
    try {
      if (detail::beforeThreadStart) detail::beforeThreadStart(t);
      threads.emplace_back([&] {
        work(share, false);
        {
          std::lock_guard lock(mutex);
          --workersLeft;
        }
        ended.notify_one();
      });
    } catch (const std::system_error&) {
      // The system gives no more threads: those started take the remaining
      // tasks. They may have ended already, so only those that never came are taken off.
      std::lock_guard lock(mutex);
      workersLeft -= toStart - t;
      break;
    }
  }

  if (!callerWaits) {
    work(threads.empty() ? jobs : share, true);
  } else if (threads.empty()) {
    work(jobs, true);
    settings.waiting();  // once all have ended
  } else {
    try {
      for (bool finished = false; !finished;) {
        {
          std::unique_lock lock(mutex);
          ended.wait_for(lock, std::chrono::milliseconds(100), [&] { return taskEnded || workersLeft == 0; });
          taskEnded = false;
          // Each worker's last task ended before it left: nothing is left to hear after this.
          finished = workersLeft == 0;
        }
        settings.waiting();
      }
    } catch (...) {
      stopAll();
      threads.clear();  // joins
      throw;
    }
  }
  threads.clear();  // joins
  if (failure) std::rethrow_exception(failure);
}

}  // namespace fb
