#include "engine/crack_steps.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/class_pass_batch.h"
#include "engine/cpu_allotment.h"

namespace fb {
namespace detail {
namespace {

PassBatchFunction passBatch() {
  static const PassBatchFunction widest = widestPassBatch();
  return widest;
}

// Classes a batch passes before it tells the batch behind it how far it is,
// and how many such pieces before it wakes that batch when it waits: a batch
// that catches up sleeps until it can run a while, not for every piece.
constexpr std::size_t kChunk = 2048;
constexpr int kChunksPerWake = 8;

}  // namespace

// Consecutive batches side by side: in a round, batch j runs on thread j (the
// calling thread runs batch 0) and packs the classes it keeps in place, just
// behind where it reads; batch j + 1 reads only what batch j has kept so far,
// and writes only where batch j has read and written before. Each batch sums
// its classes in class order on one thread.
class PassCrew {
 public:
  explicit PassCrew(unsigned threads) : progress_(std::max(1u, threads)) {
    try {
      for (unsigned j = 1; j < threads; ++j) helpers_.emplace_back([this, j] { help(static_cast<int>(j)); });
    } catch (const std::system_error&) {
      // The system gives no more threads: fewer batches run side by side.
    }
  }
  ~PassCrew() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    started_.notify_all();
  }
  PassCrew(const PassCrew&) = delete;
  PassCrew& operator=(const PassCrew&) = delete;

  /// How many batches a round can run.
  int width() const { return static_cast<int>(helpers_.size()) + 1; }

  /// Runs `batches` batches (1 to width()) over the active classes of `table`,
  /// batch j at `widths[j]`, its sums into `sums[j]`; leaves the classes the
  /// last batch kept.
  void run(FiberClassTable& table, int batches, const std::array<double, kStepBatch>* widths, PassState* sums) {
    {
      std::lock_guard lock(mutex_);
      tables_ = {table.active.data(), table.laws.data(), table.pairs.data(), table.fiberNumberCoefficient};
      classCount_ = table.active.size();
      batches_ = batches;
      widths_ = widths;
      sums_ = sums;
      for (int j = 0; j < batches; ++j) progress_[j].store(0, std::memory_order_relaxed);
      finished_ = 1;
      ++round_;
    }
    started_.notify_all();
    follow(0);
    std::unique_lock lock(mutex_);
    finishedAll_.wait(lock, [&] { return finished_ == batches_; });
    table.active.resize(sums[batches - 1].kept);
  }

 private:
  // A helper's life: batch j of every round that has one.
  void help(int j) {
    std::uint64_t seen = 0;
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        started_.wait(lock, [&] { return stopping_ || round_ != seen; });
        if (stopping_) return;
        seen = round_;
        if (j >= batches_) continue;
      }
      follow(j);
      {
        std::lock_guard lock(mutex_);
        ++finished_;
      }
      finishedAll_.notify_one();
    }
  }

  // Batch j, behind batch j - 1. progress_[j] holds twice the classes batch
  // j has kept so far, plus 1 once it has passed them all.
  void follow(int j) {
    PassState& sums = sums_[j];
    sums = PassState{};
    const bool followed = j + 1 < batches_;
    std::size_t read = 0;
    for (int pieces = 0;;) {
      std::size_t readable = classCount_;
      bool last = true;
      std::uint32_t ahead = 0;
      if (j > 0) {
        ahead = progress_[j - 1].load(std::memory_order_acquire);
        readable = ahead >> 1;
        last = ahead & 1;
      }
      if (read < readable) {
        const std::size_t to = std::min(readable, read + kChunk);
        passBatch()(tables_, read, to, widths_[j].data(), sums);
        read = to;
        if (followed) {
          progress_[j].store(static_cast<std::uint32_t>(sums.kept << 1), std::memory_order_release);
          if (++pieces % kChunksPerWake == 0) progress_[j].notify_one();
        }
      } else if (last) {
        break;
      } else {
        progress_[j - 1].wait(ahead, std::memory_order_acquire);
      }
    }
    if (followed) {
      progress_[j].store(static_cast<std::uint32_t>(sums.kept << 1 | 1), std::memory_order_release);
      progress_[j].notify_one();
    }
  }

  std::vector<std::atomic<std::uint32_t>> progress_;  // per batch of a round
  std::mutex mutex_;
  std::condition_variable started_, finishedAll_;
  std::uint64_t round_ = 0;
  bool stopping_ = false;
  int batches_ = 0, finished_ = 0;
  PassTables tables_{};
  std::size_t classCount_ = 0;
  const std::array<double, kStepBatch>* widths_ = nullptr;
  PassState* sums_ = nullptr;
  std::vector<std::jthread> helpers_;  // last: they stop before the rest goes
};

}  // namespace detail

namespace {

StepResult resultOf(const FiberClassTable& table, const ParameterSet& p, int step, double Wcr, double P,
                    double fibers) {
  StepResult r;
  r.step = static_cast<std::int16_t>(step);
  r.Wcr = Wcr;
  r.P = P;
  r.sigma = P / p.Am;
  r.effectiveFiberRatio = fibers / table.totalFiber;
  return r;
}

// The widths of `count` steps from `first` (1 to kStepBatch); the unused lanes
// repeat the last width, so they neither fail nor keep a class that the last
// step drops.
std::array<double, kStepBatch> batchWidths(const StepSchedule& schedule, int first, int count) {
  std::array<double, kStepBatch> widths;
  for (int j = 0; j < kStepBatch; ++j) widths[j] = stepWidth(schedule, first + std::min(j, count - 1));
  return widths;
}

}  // namespace

StepSchedule StepSchedule::of(const ParameterSet& p, const RunConstants& k) {
  return {p.division, k.deltaMaxHalfLf * 2, p.Lf / 2};
}

double stepWidth(const StepSchedule& sc, int s) {
  if (s <= sc.division) return s * sc.kneeWidth / sc.division;
  return sc.kneeWidth + (s - sc.division) * (sc.halfLf - sc.kneeWidth) / sc.division;
}

StepSequence::StepSequence(FiberClassTable& table, const ParameterSet& p, const StepSchedule& schedule,
                           unsigned threads)
    : table_(table), p_(p), schedule_(schedule) {
  if (threads == 0) threads = allottedCpus();
  // More batches than the run has would only wait.
  const int batches = (std::max(0, schedule.lastStep() + 1) + kStepBatch - 1) / kStepBatch;
  crew_ = std::make_unique<detail::PassCrew>(std::clamp<unsigned>(threads, 1, std::max(1, batches)));
  widths_.resize(crew_->width());
  sums_.resize(crew_->width());
}

StepSequence::~StepSequence() = default;

StepResult StepSequence::evaluateStep(int n) {
  if (n >= roundStart_ + roundSteps_) {
    roundStart_ = n;
    roundSteps_ = std::min(crew_->width() * kStepBatch, schedule_.lastStep() + 1 - n);
    const int batches = (roundSteps_ + kStepBatch - 1) / kStepBatch;
    for (int j = 0; j < batches; ++j)
      widths_[j] = batchWidths(schedule_, n + j * kStepBatch, std::min(kStepBatch, roundSteps_ - j * kStepBatch));
    crew_->run(table_, batches, widths_.data(), sums_.data());
  }
  const int batch = (n - roundStart_) / kStepBatch, lane = (n - roundStart_) % kStepBatch;
  return resultOf(table_, p_, n, widths_[batch][lane], sums_[batch].P[lane], sums_[batch].count[lane]);
}

}  // namespace fb
