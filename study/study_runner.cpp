#include "study/study_runner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/calculator.h"
#include "engine/inputs.h"

namespace fb {

std::string statusWord(const RunRecord& record) {
  switch (record.summary.end) {
    case RunEnd::finished:
      return "finished";
    case RunEnd::refused:
      return "refused";
    default:
      return "failed";
  }
}

namespace {

// The weight of a run in the progress bar: one per step, and one for its end.
long runWork(const FieldTexts& texts) {
  const ReadOutcome read = readParameterSet(texts);
  if (read.refusal || read.params.division < 0) return 1;
  return 2L * read.params.division + 2;
}

/// A run of a study: no terminal output, messages kept for the summary.
class StudyRunView : public RunView {
 public:
  StudyRunView(const FieldTexts& texts, RunRecord& record, bool keepGraphs, std::atomic<long>& workDone)
      : texts_(texts), record_(record), keepGraphs_(keepGraphs), workDone_(workDone) {}

  FieldTexts fieldTexts() override { return texts_; }
  void setStartEnabled(bool) override {}
  void showStatus(const std::string&) override {}
  void showResults(const ResultTexts&) override {}
  Canvas& stressGraph() override { return keepGraphs_ ? static_cast<Canvas&>(record_.stress) : none_; }
  Canvas& ratioGraph() override { return keepGraphs_ ? static_cast<Canvas&>(record_.ratio) : none_; }
  bool yield() override { return true; }
  void showRefusal(const Refusal& refusal) override { record_.message = refusal.message; }
  void showError(const std::string&, const std::string& text) override { record_.message = text; }
  void stepFinished(const StepResult& r) override {
    record_.steps.push_back(r);
    workDone_.fetch_add(1, std::memory_order_relaxed);
  }

 private:
  const FieldTexts& texts_;
  RunRecord& record_;
  bool keepGraphs_;
  NullCanvas none_;
  std::atomic<long>& workDone_;
};

}  // namespace

std::vector<RunRecord> runStudy(const std::vector<FieldTexts>& inputs, const StudySettings& settings,
                                const std::function<void(const StudyProgress&)>& progress) {
  std::vector<RunRecord> records(inputs.size());
  std::vector<long> work(inputs.size());
  long totalWork = 0;
  for (std::size_t i = 0; i < inputs.size(); ++i) totalWork += work[i] = runWork(inputs[i]);

  std::atomic<std::size_t> next{0};
  std::atomic<long> workDone{0};
  std::size_t runsDone = 0;
  std::mutex mutex;
  std::condition_variable runEnded;

  const std::size_t threadCount = std::clamp<std::size_t>(settings.jobs, 1, std::max<std::size_t>(1, inputs.size()));
  // The workers share the cores; each builds its tables on its share of them.
  const unsigned buildThreads = std::max(1u, std::thread::hardware_concurrency() / static_cast<unsigned>(threadCount));

  const auto worker = [&] {
    Calculator calculator(buildThreads);  // one class table per worker, reused for its runs
    for (std::size_t i; (i = next.fetch_add(1)) < inputs.size();) {
      RunRecord& record = records[i];
      try {
        StudyRunView view(inputs[i], record, settings.keepGraphs, workDone);
        record.summary = calculator.run(view);
      } catch (const std::exception& e) {
        // Most likely no memory for the fiber class table; the other runs go on.
        record.summary.end = RunEnd::stopped;
        record.message = std::string("the run stopped: ") + e.what();
      }
      // The steps a run did not reach count as done once it has ended.
      workDone.fetch_add(std::max(0L, work[i] - static_cast<long>(record.steps.size())), std::memory_order_relaxed);
      // A large study keeps each run's few metrics, not its rows.
      if (record.summary.end == RunEnd::finished) record.metrics = runMetrics(record.steps, settings.measured);
      std::vector<StepResult>().swap(record.steps);
      {
        std::lock_guard lock(mutex);
        ++runsDone;
      }
      runEnded.notify_one();
    }
  };

  std::vector<std::jthread> threads;
  threads.reserve(threadCount);
  try {
    for (std::size_t t = 0; t < threadCount; ++t) threads.emplace_back(worker);
  } catch (const std::system_error&) {
    // The system gives no more threads: those started carry the study.
  }
  if (threads.empty()) worker();

  std::unique_lock lock(mutex);
  while (runsDone < inputs.size()) {
    runEnded.wait_for(lock, std::chrono::milliseconds(100));
    if (progress) {
      const StudyProgress p{runsDone, inputs.size(), totalWork > 0 ? double(workDone.load()) / double(totalWork) : 1.0};
      lock.unlock();
      progress(p);
      lock.lock();
    }
  }
  lock.unlock();
  threads.clear();  // joins
  return records;
}

}  // namespace fb
