#pragma once

// Long work that Python waits for: it runs on a thread of its own with the
// GIL released, while the calling thread, taking the GIL a moment at a time,
// hands on what the work has finished and answers Ctrl-C within a tick, as
// a Python loop would. Any call of the module that runs the model goes
// through watchedCall.

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace fb {

/// What the work sees: the stop flag to pass to runs, studies and fits, and
/// a way to wake the caller at once when it has something to hand on.
class Watch {
 public:
  /// Set once the caller has been interrupted: stop at the next yield.
  const std::atomic<bool>* stop() const { return &stop_; }
  bool stopped() const { return stop_.load(std::memory_order_relaxed); }
  /// Wakes the caller now instead of at its next tick.
  void nudge() {
    {
      std::lock_guard lock(mutex_);
      nudged_ = true;
    }
    wake_.notify_one();
  }

  // For watchedCall.
  void requestStop() { stop_ = true; }
  void finish() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    wake_.notify_one();
  }
  // Until nudged, finished or a tick has passed; whether the work has finished.
  bool wait() {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return nudged_ || finished_; });
    nudged_ = false;
    return finished_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool nudged_ = false, finished_ = false;  // under mutex_
};

/// Runs `work(watch)` on its own thread and gives its result; the caller must
/// hold the GIL. While it runs, this thread calls `handOn()` (with the GIL)
/// after every nudge or tick and once the work has ended, and checks for
/// signals. An exception from a signal handler (KeyboardInterrupt) or from
/// `handOn` sets the stop flag, waits for the work to stop, hands on what
/// finished before the stop, and is raised; one from the work is rethrown.
template <class Work>
auto watchedCall(Work work, const std::function<void()>& handOn = {}) {
  namespace py = pybind11;
  using Result = decltype(work(std::declval<Watch&>()));
  Watch watch;
  std::optional<Result> result;
  std::exception_ptr thrown;
  std::thread worker([&] {
    try {
      result.emplace(work(watch));
    } catch (...) {
      thrown = std::current_exception();
    }
    watch.finish();
  });
  try {
    for (bool finished = false; !finished;) {
      {
        py::gil_scoped_release free;
        finished = watch.wait();
      }
      if (handOn) handOn();
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
  } catch (...) {
    watch.requestStop();
    {
      py::gil_scoped_release free;
      worker.join();
    }
    try {
      if (handOn) handOn();
    } catch (...) {
      // The first exception is the one to raise.
    }
    throw;
  }
  worker.join();
  if (thrown) std::rethrow_exception(thrown);
  return std::move(*result);
}

}  // namespace fb
