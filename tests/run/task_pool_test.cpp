// The task pool where its callers cannot show it alone: a throw stops the
// tasks not started, and a system without threads leaves every task to the caller.
#include "run/task_pool.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "run/task_pool_testing.h"

namespace {

TEST(TaskPool, the_first_throw_comes_back_and_no_task_starts_after_it) {
  for (const bool callerWaits : {false, true}) {
    SCOPED_TRACE(callerWaits);
    fb::TaskPoolSettings settings;
    settings.jobs = 3;
    if (callerWaits) settings.waiting = [] {};
    std::mutex mutex;
    std::size_t ran = 0;
    try {
      fb::runTasks(20, settings, [&](unsigned) -> fb::TaskRunner {
        return [&](std::size_t k) {
          // Task 0 throws first, task 1 while the others run; they end well.
          std::this_thread::sleep_for(std::chrono::milliseconds(k == 0 ? 10 : 30));
          {
            std::lock_guard lock(mutex);
            ++ran;
          }
          if (k < 2) throw std::runtime_error("task " + std::to_string(k));
        };
      });
      ADD_FAILURE() << "no throw came back";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "task 0");
    }
    EXPECT_LE(ran, 3u) << "tasks started after the first throw";
  }
}

void refuseEveryStart(std::size_t) { throw std::system_error(EAGAIN, std::generic_category(), "no threads"); }

TEST(TaskPool, without_threads_the_caller_runs_every_task_with_all_the_jobs) {
  fb::detail::beforeThreadStart = refuseEveryStart;
  for (const bool callerWaits : {true, false}) {
    SCOPED_TRACE(callerWaits);
    fb::TaskPoolSettings settings;
    settings.jobs = 4;
    int waits = 0;
    if (callerWaits) settings.waiting = [&] { ++waits; };
    std::vector<std::size_t> ran;
    std::vector<unsigned> shares;
    const std::thread::id caller = std::this_thread::get_id();
    fb::runTasks(8, settings, [&](unsigned threads) -> fb::TaskRunner {
      shares.push_back(threads);
      return [&](std::size_t k) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        ran.push_back(k);
      };
    });
    EXPECT_EQ(ran, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(shares, std::vector<unsigned>{4});
    EXPECT_EQ(waits > 0, callerWaits) << "a waiting caller hears of the tasks' ends";
  }
  fb::detail::beforeThreadStart = nullptr;
}

TEST(TaskPool, the_workers_share_the_jobs_threads) {
  std::mutex mutex;
  std::vector<unsigned> shares;
  fb::TaskPoolSettings settings;
  settings.jobs = 5;
  fb::runTasks(2, settings, [&](unsigned threads) -> fb::TaskRunner {
    std::lock_guard lock(mutex);
    shares.push_back(threads);
    return [](std::size_t) {};
  });
  EXPECT_EQ(shares, (std::vector<unsigned>{2, 2}));
}

}  // namespace
