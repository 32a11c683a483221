#include "engine/fiber_class_table.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "engine/cpu_allotment.h"

namespace fb {
namespace {

using detail::InclinationInputs;
using detail::InclinationKey;
using detail::TableScratch;

// Inclination from the product of the two direction cosines: pi/2 - atan(c/sqrt(1-c^2)).
double inclinationFromCosines(double c) { return kPi / 2 - std::atan(c / std::sqrt(1 - c * c)); }

double absCos(int theta, const RunConstants& k) { return std::abs(std::cos(theta * k.degToRad)); }

// A class angle turned by the crack angle of its plane; only angles beyond a
// right angle fold back.
struct TurnedAngle {
  double absCos;  // |cos| of the (folded) angle
  bool folded;
};

TurnedAngle turnedAngle(int theta, double crackAngleRad, double degToRad) {
  double a = theta * degToRad + crackAngleRad;
  const bool folded = a > kPi / 2;
  if (folded) a = a - kPi / 2;
  return {std::abs(std::cos(a)), folded};
}

// The folding offset counts once, however many of the two angles fold.
double snubbingInclination(const TurnedAngle& zx, const TurnedAngle& xy) {
  const double offset = zx.folded || xy.folded ? kPi / 2 : 0;
  const double c = zx.absCos * xy.absCos;
  if (c == 1) return 0;
  return inclinationFromCosines(c) + offset;
}

bool fitsSingle(double value) { return std::isfinite(static_cast<float>(value)); }

// Whether the step loop can evaluate a crossing class's law: finite points
// and a first line that does not divide by zero.
bool canEvaluate(const ClassLaw& law) {
  return std::isfinite(law.Pa) && std::isfinite(law.Pmax) && std::isfinite(law.deltaA) && std::isfinite(law.deltaMax) &&
         law.deltaA != 0 && std::isfinite(law.kA);
}

// Names the inputs behind a law that cannot be evaluated.
Refusal lawRefusal(const ParameterSet& p, const ClassLaw& law, double psi) {
  const bool loadSnubbingFits = fitsSingle(snubbingFactor(p.fp0, p.fp1, law.lb, psi));
  const bool widthSnubbingFits = fitsSingle(snubbingFactor(p.fd0, p.fd1, law.lb, psi));
  const std::string tooLarge = " too large for single precision";
  if (!loadSnubbingFits && !(std::isfinite(law.Pa) && std::isfinite(law.Pmax)))
    return Refusal{"fp0/fp1", "fp0/fp1 (load snubbing coefficient) give a snubbing factor" + tooLarge};
  if (!widthSnubbingFits && !(std::isfinite(law.deltaA) && std::isfinite(law.deltaMax)))
    return Refusal{"fd0/fd1", "fd0/fd1 (displacement snubbing coefficient) give a snubbing factor" + tooLarge};
  if (!std::isfinite(law.Pa)) return Refusal{"Aa/Ba", "Aa/Ba (first-point load Aa*lb^Ba) give a load" + tooLarge};
  if (!std::isfinite(law.Pmax)) return Refusal{"A/B", "A/B (peak load A*lb^B) give a load" + tooLarge};
  if (!std::isfinite(law.deltaA)) return Refusal{"Ca/Da", "Ca/Da (first-point width Ca*lb+Da) give a width" + tooLarge};
  if (!std::isfinite(law.deltaMax)) return Refusal{"C/D", "C/D (peak width C*lb+D) give a width" + tooLarge};
  if (law.deltaA == 0 && snubbingFactor(p.fd0, p.fd1, law.lb, psi) == 0)
    return Refusal{"fd0/fd1",
                   "fd0/fd1 (displacement snubbing coefficient) give a snubbing factor exp(fd*psi) "
                   "that rounds to 0, so no fiber's first point has a width"};
  if (law.deltaA == 0)
    return Refusal{"Ca/Da",
                   "Ca/Da (first-point width Ca*lb+Da) must not give a width of 0 "
                   "for a fiber that crosses the crack (its first slope would divide by 0)"};
  return Refusal{"Aa/Ba",
                 "Aa/Ba (first-point load Aa*lb^Ba) with Ca/Da give a first slope "
                 "Pa/deltaA too large for single precision"};
}

ClassLaw classLaw(const ParameterSet& p, float lb, double Sp, double Sd) {
  const PulloutPoints pt = snubbedPoints(p, lb, Sp, Sd);
  const PulloutSlopes k = pulloutSlopes(pt, lb);
  return {lb, pt.Pa, pt.deltaA, pt.Pmax, pt.deltaMax, k.kA, k.kB, k.kC};
}

// An open-addressing map from the inputs of a pair's inclinations to the
// number of its key, sized for every pair.
class KeyMap {
 public:
  /// The number of the key with `in`, or -1 with a free slot kept for it.
  int find(const std::vector<InclinationKey>& keys, const InclinationInputs& in) {
    const std::uint64_t h = std::bit_cast<std::uint64_t>(in.c0) * 0x9E3779B97F4A7C15ull ^
                            std::bit_cast<std::uint64_t>(in.c) * 0xC2B2AE3D27D4EB4Full ^ (in.folded ? 1u : 0u);
    for (slot_ = (h ^ (h >> 31)) & (kSlots - 1);; slot_ = (slot_ + 1) & (kSlots - 1)) {
      if (number_[slot_] < 0) return -1;
      if (keys[number_[slot_]].inputs == in) return number_[slot_];
    }
  }
  /// Gives the slot that the last find left free to key `number`.
  void add(int number) { number_[slot_] = number; }

 private:
  static constexpr std::size_t kSlots = 16384;  // twice the pairs, a power of two
  std::vector<int> number_ = std::vector<int>(kSlots, -1);
  std::size_t slot_ = 0;
};

// The angle pairs: their weights, and the distinct inclinations among them.
void preparePairs(const ParameterSet& p, const RunConstants& k, const Orientation& o, FiberClassTable& table) {
  TableScratch& s = table.scratch;
  double wXY[kAngleClassCount], wZX[kAngleClassCount], cosine[kAngleClassCount];
  TurnedAngle turnedXY[kAngleClassCount], turnedZX[kAngleClassCount];
  for (int i = 0; i < kAngleClassCount; ++i) {
    const int angle = classAngle(i + 1);
    wXY[i] = classShare(o, false, angle, k);
    wZX[i] = classShare(o, true, angle, k);
    cosine[i] = absCos(angle, k);
    turnedXY[i] = turnedAngle(angle, k.crackAngleXYRad, k.degToRad);
    turnedZX[i] = turnedAngle(angle, k.crackAngleZXRad, k.degToRad);
  }

  // With no length term the snubbing factors depend on the inclination alone.
  const bool loadSnubbingPerKey = p.fp1 == 0;
  const bool widthSnubbingPerKey = p.fd1 == 0;
  KeyMap map;
  s.keys.clear();
  s.keyOfPair.resize(kPairCount);
  table.pairs.resize(kPairCount);
  for (int zx = 0; zx < kAngleClassCount; ++zx) {
    for (int xy = 0; xy < kAngleClassCount; ++xy) {
      const int index = zx * kAngleClassCount + xy;
      const InclinationInputs in{cosine[zx] * cosine[xy], turnedZX[zx].absCos * turnedXY[xy].absCos,
                                 turnedZX[zx].folded || turnedXY[xy].folded};
      int number = map.find(s.keys, in);
      if (number < 0) {
        number = static_cast<int>(s.keys.size());
        map.add(number);
        InclinationKey key{};
        key.inputs = in;
        const double psi0 = inclinationFromCosines(in.c0);
        key.cosPsi0 = std::cos(psi0);
        key.psi = snubbingInclination(turnedZX[zx], turnedXY[xy]);
        key.ruptureLoad = ruptureLoad(p, key.psi);
        if (loadSnubbingPerKey) key.Sp = snubbingFactor(p.fp0, p.fp1, 0, key.psi);
        if (widthSnubbingPerKey) key.Sd = snubbingFactor(p.fd0, p.fd1, 0, key.psi);
        key.firstPair = index;
        s.keys.push_back(key);
      }
      ++s.keys[number].pairCount;
      s.keyOfPair[index] = static_cast<std::uint16_t>(number);
      PairWeights& pair = table.pairs[index];
      pair.wXY = wXY[xy];
      pair.wZX = wZX[zx];
      pair.countWeight = 1.0 * pair.wXY * pair.wZX * k.fiberNumberCoefficient;
      pair.ruptureLoad = s.keys[number].ruptureLoad;
    }
  }
}

// Stage one of a slice: which inclinations reach the crack from it, the
// place of their laws among the slice's, and how many classes cross.
void countSlice(const ParameterSet& p, FiberClassTable& table, int slice) {
  TableScratch& s = table.scratch;
  const std::size_t keyCount = s.keys.size();
  const float z = slicePosition(slice, p.Lf);
  std::uint16_t* lawOf = s.lawInSlice.data() + slice * keyCount;
  std::uint32_t laws = 0, classes = 0;
  for (std::size_t q = 0; q < keyCount; ++q) {
    const InclinationKey& key = s.keys[q];
    if (embeddedLength(z, p.Lf, key.cosPsi0) == 0) {  // pulled out at the first step, adds nothing
      lawOf[q] = TableScratch::kNoLaw;
      continue;
    }
    lawOf[q] = static_cast<std::uint16_t>(laws++);
    classes += static_cast<std::uint32_t>(key.pairCount);
  }
  s.lawCount[slice] = laws;
  s.classCount[slice] = classes;
}

// Stage two of a slice: the laws of its crossing inclinations, then its
// crossing classes in class order, each from the offset that the slices
// before it leave.
void fillSlice(const ParameterSet& p, FiberClassTable& table, int slice) {
  TableScratch& s = table.scratch;
  const std::size_t keyCount = s.keys.size();
  const bool loadSnubbingPerKey = p.fp1 == 0;
  const bool widthSnubbingPerKey = p.fd1 == 0;
  const float z = slicePosition(slice, p.Lf);
  const std::uint16_t* lawOf = s.lawInSlice.data() + slice * keyCount;
  const std::uint32_t firstLaw = s.lawOffset[slice];
  ClassLaw* laws = table.laws.data() + firstLaw;
  int refusedPair = -1;
  for (std::size_t q = 0; q < keyCount; ++q) {
    if (lawOf[q] == TableScratch::kNoLaw) continue;
    const InclinationKey& key = s.keys[q];
    const float lb = embeddedLength(z, p.Lf, key.cosPsi0);
    const double Sp = loadSnubbingPerKey ? key.Sp : snubbingFactor(p.fp0, p.fp1, lb, key.psi);
    const double Sd = widthSnubbingPerKey ? key.Sd : snubbingFactor(p.fd0, p.fd1, lb, key.psi);
    const ClassLaw law = classLaw(p, lb, Sp, Sd);
    if (!canEvaluate(law) && (refusedPair < 0 || key.firstPair < refusedPair)) {
      refusedPair = key.firstPair;
      s.refusedKey[slice] = static_cast<std::uint16_t>(q);
    }
    laws[lawOf[q]] = law;
  }
  s.firstRefusedPair[slice] = refusedPair;

  CrossingClass* out = table.active.data() + s.classOffset[slice];
  const std::uint32_t count = s.classCount[slice];
  // Every pair writes the next free place, and only a crossing one takes it:
  // no jump to mispredict. The loop ends with the slice's last crossing
  // class, so nothing lands in the next slice's places.
  std::uint32_t written = 0;
  for (int pair = 0; written < count; ++pair) {
    const std::uint16_t law = lawOf[s.keyOfPair[pair]];
    out[written] = {firstLaw + law, static_cast<std::uint16_t>(pair)};
    written += law != TableScratch::kNoLaw;
  }
}

// The slices' two stages on several threads, the calling thread among them.
// Stage one counts every slice; once the calling thread has placed the
// slices' laws and classes one after another, stage two fills them, slice by
// slice as the calling thread reports them.
class SliceCrew {
 public:
  explicit SliceCrew(FiberClassTable& table, const ParameterSet& p) : table_(table), p_(p) {}

  /// Stage one of every slice, on this thread too; returns when all are counted.
  void countAll() {
    for (int task; (task = claim(kSliceCount)) < kSliceCount;) runTask(task);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return counted_ == kSliceCount; });
  }

  /// Lets stage two begin, once the offsets are set.
  void openFilling() {
    {
      std::lock_guard lock(mutex_);
      filling_ = true;
    }
    changed_.notify_all();
  }

  /// Stage two of the slices that no thread has taken, on this thread, until
  /// `slice` is filled.
  void finish(int slice) {
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        if (filled_[slice]) return;
      }
      const int task = claim(2 * kSliceCount);
      if (task < 2 * kSliceCount) {
        runTask(task);
      } else {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return filled_[slice]; });
        return;
      }
    }
  }

  /// Makes the helpers leave at their next task.
  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
  }

  /// A helper thread's loop: any task not taken, stage two once it is open.
  void work() {
    for (int task; (task = next_.fetch_add(1)) < 2 * kSliceCount;) {
      std::unique_lock lock(mutex_);
      if (task >= kSliceCount) changed_.wait(lock, [&] { return filling_ || stopping_; });
      if (stopping_) return;
      lock.unlock();
      runTask(task);
    }
  }

 private:
  // The next task below `end`, or `end` when none is left there.
  int claim(int end) {
    int task = next_.load();
    while (task < end && !next_.compare_exchange_weak(task, task + 1)) {
    }
    return std::min(task, end);
  }

  void runTask(int task) {
    if (task < kSliceCount)
      countSlice(p_, table_, task);
    else
      fillSlice(p_, table_, task - kSliceCount);
    {
      std::lock_guard lock(mutex_);
      if (task < kSliceCount)
        ++counted_;
      else
        filled_[task - kSliceCount] = true;
    }
    changed_.notify_all();
  }

  FiberClassTable& table_;
  const ParameterSet& p_;
  std::atomic<int> next_{0};  // tasks 0..100: stage one of a slice; 101..201: stage two
  std::mutex mutex_;
  std::condition_variable changed_;
  int counted_ = 0;
  bool filled_[kSliceCount] = {};
  bool filling_ = false, stopping_ = false;
};

}  // namespace

namespace detail {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}

void* allocateTableMemory(std::size_t bytes) {
  if (bytes < kHugePage) return ::operator new(bytes);
  // Whole huge pages, then small ones for the rest: no page is cleared for nothing.
  constexpr std::size_t kPage = 4096;
  void* p = nullptr;
  if (::posix_memalign(&p, kHugePage, (bytes + kPage - 1) / kPage * kPage) != 0) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
  ::madvise(p, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);  // a request; without huge pages nothing changes
#endif
  return p;
}

void freeTableMemory(void* p, std::size_t bytes) noexcept {
  if (bytes < kHugePage)
    ::operator delete(p);
  else
    std::free(p);
}

}  // namespace detail

float slicePosition(int sliceIndex, float Lf) {
  return static_cast<float>(-static_cast<double>(Lf) / 2 + sliceIndex * (static_cast<double>(Lf) / 200));
}

float embeddedLength(float z, float Lf, double cosPsi0) {
  const float lb = static_cast<float>((z + static_cast<double>(Lf) / 2 * cosPsi0) / cosPsi0);
  return lb < 0 ? 0.0f : lb;
}

Expected<TableBuild, Refusal> buildFiberClassTable(const ParameterSet& p, const RunConstants& k, const Orientation& o,
                                                   FiberClassTable& table, const SliceProgress& progress,
                                                   unsigned threads) {
  table.totalFiber = k.totalFiber;
  table.fiberNumberCoefficient = k.fiberNumberCoefficient;
  preparePairs(p, k, o, table);

  TableScratch& s = table.scratch;
  s.lawInSlice.resize(kSliceCount * s.keys.size());
  for (auto* perSlice : {&s.lawCount, &s.lawOffset, &s.classCount, &s.classOffset}) perSlice->resize(kSliceCount);
  s.firstRefusedPair.resize(kSliceCount);
  s.refusedKey.resize(kSliceCount);

  if (threads == 0) threads = allottedCpus();
  threads = std::min<unsigned>(threads, kSliceCount);
  SliceCrew crew(table, p);
  std::vector<std::jthread> helpers;
  try {
    for (unsigned t = 1; t < threads; ++t) helpers.emplace_back([&crew] { crew.work(); });
  } catch (const std::system_error&) {
    // The system gives no more threads: those started share the slices.
  }
  // Whatever way the build ends, no helper waits for a stage that will not come.
  struct StopOnExit {
    SliceCrew& crew;
    ~StopOnExit() { crew.stop(); }
  } stopOnExit{crew};

  crew.countAll();
  std::uint32_t laws = 0, classes = 0;
  for (int slice = 0; slice < kSliceCount; ++slice) {
    s.lawOffset[slice] = laws;
    s.classOffset[slice] = classes;
    laws += s.lawCount[slice];
    classes += s.classCount[slice];
  }
  // Cleared first, so that growing them copies nothing.
  table.laws.clear();
  table.laws.resize(laws);
  table.active.clear();
  table.active.resize(classes);
  crew.openFilling();

  for (int slice = 0; slice < kSliceCount; ++slice) {
    if (progress && !progress(slice)) return TableBuild::stopped;
    crew.finish(slice);
    if (s.firstRefusedPair[slice] >= 0) {
      const std::size_t key = s.refusedKey[slice];
      const ClassLaw& law = table.laws[s.lawOffset[slice] + s.lawInSlice[slice * s.keys.size() + key]];
      return unexpected(lawRefusal(p, law, s.keys[key].psi));
    }
  }
  return TableBuild::built;
}

}  // namespace fb
