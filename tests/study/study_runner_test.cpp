// The study runner in process, on several threads: each run's record lands in
// its input's place, whatever order the runs end in.
#include "study/studies/study_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <system_error>
#include <thread>

#include "run/task_pool_testing.h"
#include "tests/support/cli_folder.h"

namespace {

using StudyRunner = fbtest::CliFolder;

std::vector<fb::FieldTexts> kxyRuns(const std::filesystem::path& dir, const std::vector<const char*>& values) {
  std::vector<fb::FieldTexts> inputs;
  for (const char* kxy : values) {
    fb::FieldTexts t = fb::FieldTexts::defaults();
    t[fb::Field::division] = "4";
    t[fb::Field::kxy] = kxy;
    t[fb::Field::dataFile] = (dir / (std::string("kxy=") + kxy + ".p-d")).string();
    inputs.push_back(t);
  }
  return inputs;
}

TEST_F(StudyRunner, records_come_back_in_input_order_whatever_the_number_of_jobs) {
  const std::vector<const char*> values = {"0.5", "3", "0", "1", "2.5", "0.8", "1.7"};  // 0 is refused
  const auto inputs = kxyRuns(dir, values);
  const std::vector<fb::MeasuredPoint> measured = {{0.2, 1.5}, {0.5, 1.0}};
  const std::vector<fb::RunRecord> one = fb::runStudy(inputs, {1, measured, false});

  std::vector<std::size_t> heard;
  fb::StudyWatch watch;
  watch.runEnded = [&](std::size_t i, const fb::RunOutcome& outcome) {
    heard.push_back(i);
    EXPECT_NE(outcome.status, fb::RunStatus::pending);
  };
  const std::vector<fb::RunRecord> three = fb::runStudy(inputs, {3, measured, true}, watch);
  std::sort(heard.begin(), heard.end());
  EXPECT_EQ(heard, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6})) << "each run's end is heard once";

  ASSERT_EQ(three.size(), values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(values[i]);
    const fb::RunOutcome &a = three[i].outcome, &b = one[i].outcome;
    EXPECT_EQ(a.status, b.status);
    EXPECT_EQ(a.summary.dataFile, inputs[i][fb::Field::dataFile]);
    if (b.status != fb::RunStatus::finished) continue;
    EXPECT_EQ(a.summary.maximum.P, b.summary.maximum.P);
    EXPECT_EQ(a.metrics.curve->energy, b.metrics.curve->energy);
    EXPECT_EQ(a.metrics.fit->rms, b.metrics.fit->rms);
    EXPECT_FALSE(three[i].stress.strokes().empty()) << "the graphs were kept for a plot";
    EXPECT_TRUE(three[i].steps.empty()) << "a study keeps metrics, not rows";
  }
  EXPECT_EQ(three[2].outcome.status, fb::RunStatus::refused);
  EXPECT_EQ(three[2].outcome.message, "kxy (orientation intensity x-y) must be positive");
  EXPECT_FALSE(std::filesystem::exists(dir / "kxy=0.p-d"));
}

TEST_F(StudyRunner, a_stop_starts_no_run_and_cuts_the_runs_in_flight_short) {
  const auto inputs = kxyRuns(dir, {"0.5", "3", "1", "2.5", "0.8", "1.7", "2", "1.2"});
  std::atomic<bool> stop{false};
  fb::StudyWatch watch;
  watch.runEnded = [&](std::size_t, const fb::RunOutcome&) { stop = true; };
  const std::vector<fb::RunRecord> records = fb::runStudy(inputs, {2, {}, false, &stop}, watch);

  std::map<fb::RunStatus, int> count;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const fb::RunOutcome& o = records[i].outcome;
    ++count[o.status];
    const bool fileExists = std::filesystem::exists(inputs[i][fb::Field::dataFile]);
    if (o.status == fb::RunStatus::notRun) {
      EXPECT_FALSE(fileExists) << i;
    } else if (o.status == fb::RunStatus::interrupted) {
      EXPECT_EQ(fileExists, o.summary.headerWritten) << i;
    }
  }
  EXPECT_GE(count[fb::RunStatus::finished], 1);
  EXPECT_GE(count[fb::RunStatus::notRun], 4) << "at most two more runs were in flight";
  EXPECT_EQ(count[fb::RunStatus::pending], 0);
  EXPECT_EQ(count[fb::RunStatus::finished] + count[fb::RunStatus::interrupted] + count[fb::RunStatus::notRun], 8);
}

// The system gives a study fewer threads than its jobs: the workers from
// `refusedFrom` on fail to start. When some have started, the first refusal
// comes only once every data file of `awaited` is complete, so that those
// workers may have ended. Either way every run ends as with threads to spare.
std::size_t refusedFrom = 0;
std::vector<std::filesystem::path> awaited;

void refuseLateStarts(std::size_t worker) {
  if (worker < refusedFrom) return;
  if (worker == refusedFrom && worker > 0) {
    const auto complete = [](const std::filesystem::path& file) {
      return fbtest::lines(fbtest::readFile(file)).size() == 6u + 9u;
    };
    for (int i = 0; i < 2000 && !std::all_of(awaited.begin(), awaited.end(), complete); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  throw std::system_error(EAGAIN, std::generic_category(), "no more threads");
}

TEST_F(StudyRunner, every_run_ends_on_the_threads_the_system_gives) {
  const auto inputs = kxyRuns(dir, {"0.5", "3", "0", "1"});  // 0 is refused
  const std::vector<fb::RunRecord> spare = fb::runStudy(inputs, {1, {}, false});
  for (const std::size_t started : {0u, 1u}) {
    SCOPED_TRACE(started);
    for (const auto& input : inputs) std::filesystem::remove(input[fb::Field::dataFile]);
    refusedFrom = started;
    awaited = {inputs[0][fb::Field::dataFile], inputs[1][fb::Field::dataFile], inputs[3][fb::Field::dataFile]};
    fb::detail::beforeThreadStart = refuseLateStarts;
    std::vector<std::size_t> heard;
    fb::StudyWatch watch;
    watch.runEnded = [&](std::size_t i, const fb::RunOutcome&) { heard.push_back(i); };
    auto study = std::async(std::launch::async, [&] { return fb::runStudy(inputs, {4, {}, false}, watch); });
    if (study.wait_for(std::chrono::seconds(30)) == std::future_status::timeout) {
      std::fprintf(stderr, "the study still waits for its workers after 30 s\n");
      std::_Exit(1);  // its thread cannot be joined
    }
    const std::vector<fb::RunRecord> records = study.get();
    fb::detail::beforeThreadStart = nullptr;

    std::sort(heard.begin(), heard.end());
    EXPECT_EQ(heard, (std::vector<std::size_t>{0, 1, 2, 3})) << "each run's end is heard once";
    ASSERT_EQ(records.size(), inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      EXPECT_EQ(records[i].outcome.status, spare[i].outcome.status) << i;
      EXPECT_EQ(records[i].outcome.summary.maximum.P, spare[i].outcome.summary.maximum.P) << i;
    }
    EXPECT_EQ(records[1].outcome.status, fb::RunStatus::finished);
  }
}

}  // namespace
