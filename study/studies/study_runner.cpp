#include "study/studies/study_runner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "engine/inputs.h"
#include "output/data_file.h"
#include "run/calculator.h"
#include "run/task_pool.h"
#include "study/design/jb_resolution.h"

namespace fb {

std::string statusWord(RunStatus status) {
  switch (status) {
    case RunStatus::pending:
      return "pending";
    case RunStatus::finished:
      return "finished";
    case RunStatus::refused:
      return "refused";
    case RunStatus::failed:
      return "failed";
    case RunStatus::interrupted:
      return "interrupted";
    case RunStatus::notRun:
      return "not run";
  }
  return "failed";
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
  StudyRunView(const FieldTexts& texts, RunRecord& record, bool keepGraphs, std::atomic<long>& workDone,
               const std::atomic<bool>* stop)
      : texts_(texts), record_(record), keepGraphs_(keepGraphs), workDone_(workDone), stop_(stop) {}

  FieldTexts fieldTexts() override { return texts_; }
  void setStartEnabled(bool) override {}
  void showStatus(const std::string&) override {}
  void showResults(const ResultTexts&) override {}
  Canvas& stressGraph() override { return keepGraphs_ ? static_cast<Canvas&>(record_.stress) : none_; }
  Canvas& ratioGraph() override { return keepGraphs_ ? static_cast<Canvas&>(record_.ratio) : none_; }
  bool yield() override { return !(stop_ && stop_->load(std::memory_order_relaxed)); }
  void showRefusal(const Refusal& refusal) override { record_.outcome.message = refusal.message; }
  void showError(const std::string&, const std::string& text) override { record_.outcome.message = text; }
  // The data file's path and the system's reason: the window's sentence blames another application.
  void showOpenFailure(const std::string&, const std::string& path, int code) override {
    record_.outcome.message = path + ": " + dataFileProblem(code);
  }
  void showWarning(const std::string& text) override { record_.outcome.warnings.push_back(text); }
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
  const std::atomic<bool>* stop_;
};

RunStatus statusOf(RunEnd end) {
  switch (end) {
    case RunEnd::finished:
      return RunStatus::finished;
    case RunEnd::refused:
      return RunStatus::refused;
    case RunEnd::stopped:
      return RunStatus::interrupted;
    default:
      return RunStatus::failed;
  }
}

// Why a run stopped, from what its worker threw.
std::string failureReason(std::exception_ptr thrown) {
  try {
    std::rethrow_exception(thrown);
  } catch (const std::bad_alloc&) {
    return "the run stopped: not enough memory";
  } catch (const std::exception& e) {
    return std::string("the run stopped: ") + e.what();
  } catch (...) {
    return "the run stopped: an error without a description";
  }
}

}  // namespace

std::vector<RunRecord> runStudy(const std::vector<FieldTexts>& inputs, const StudySettings& settings,
                                const StudyWatch& watch) {
  std::vector<RunRecord> records(inputs.size());
  std::vector<long> work(inputs.size());
  long totalWork = 0;
  for (std::size_t i = 0; i < inputs.size(); ++i) totalWork += work[i] = runWork(inputs[i]);

  const auto started = std::chrono::steady_clock::now();
  std::atomic<long> workDone{0};
  std::mutex mutex;
  // Indices of ended runs the caller has not heard of, under `mutex`. Both
  // lists hold every run at most, so that ending a run never allocates.
  std::vector<std::size_t> ended, heard;
  ended.reserve(inputs.size());
  heard.reserve(inputs.size());

  // The caller hears of each ended run on its own thread; the mutex hands it the record whole.
  std::size_t runsDone = 0;
  const auto tell = [&] {
    {
      std::lock_guard lock(mutex);
      heard.swap(ended);
    }
    for (const std::size_t i : heard) {
      ++runsDone;
      if (watch.runEnded) watch.runEnded(i, records[i].outcome);
    }
    heard.clear();
    if (!watch.progress) return;
    StudyProgress p;
    p.runsDone = runsDone;
    p.runsTotal = inputs.size();
    p.fraction = totalWork > 0 ? double(workDone.load()) / double(totalWork) : 1.0;
    p.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // The first hundredth of the work says too little of the pace.
    if (p.fraction >= 0.01 && p.fraction < 1) p.secondsLeft = p.seconds * (1 - p.fraction) / p.fraction;
    watch.progress(p);
  };

  const auto run = [&](Calculator& calculator, std::size_t i) {
    RunRecord& record = records[i];
    RunOutcome& outcome = record.outcome;
    try {
      StudyRunView view(inputs[i], record, settings.keepGraphs, workDone, settings.stop);
      if (inputs[i][Field::dataFile].empty()) {
        NullDataFile nowhere;
        outcome.summary = calculator.run(view, nowhere);
      } else {
        outcome.summary = calculator.run(view);
      }
      outcome.status = statusOf(outcome.summary.end);
      // A large study keeps each run's few metrics, not its rows.
      if (outcome.status == RunStatus::finished) {
        outcome.metrics = runMetrics(record.steps, settings.measured);
        if (outcome.metrics.curve)
          outcome.metrics.jb = checkJbResolution(inputs[i], record.steps, calculator, settings.stop);
      }
    } catch (...) {
      // Most likely no memory for the fiber class table; the other runs go on.
      outcome.status = RunStatus::failed;
      try {
        outcome.message = failureReason(std::current_exception());
      } catch (...) {
        // Not even memory for the reason: the status says it failed.
      }
    }
    // The steps a run did not reach count as done once it has ended.
    workDone.fetch_add(std::max(0L, work[i] - static_cast<long>(record.steps.size())), std::memory_order_relaxed);
    if (!settings.keepSteps || outcome.status != RunStatus::finished) std::vector<StepResult>().swap(record.steps);
    std::lock_guard lock(mutex);
    ended.push_back(i);
  };

  TaskPoolSettings pool;
  pool.jobs = settings.jobs;
  pool.stopped = [&settings] { return settings.stop && settings.stop->load(); };
  pool.waiting = tell;
  runTasks(inputs.size(), pool, [&](unsigned threads) -> TaskRunner {
    // One class table per worker, reused for its runs.
    auto calculator = std::make_shared<Calculator>(threads);
    return [calculator, &run](std::size_t i) { run(*calculator, i); };
  });

  for (RunRecord& record : records)
    if (record.outcome.status == RunStatus::pending) record.outcome.status = RunStatus::notRun;
  return records;
}

}  // namespace fb
