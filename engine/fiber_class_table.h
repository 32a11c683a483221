#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "engine/expected.h"
#include "engine/orientation.h"
#include "engine/parameter_set.h"
#include "engine/pullout_law.h"
#include "engine/refusal.h"

namespace fb {

inline constexpr int kSliceCount = 101;      // centroid slices over Lf/2
inline constexpr int kAngleClassCount = 90;  // 2-degree classes from -89 to 89
inline constexpr int kPairCount = kAngleClassCount * kAngleClassCount;

/// Class angle in degrees of angle index 1..90: -89, -87, ..., 89.
inline int classAngle(int angleIndex) { return -89 + 2 * (angleIndex - 1); }

namespace detail {
/// Memory for a table's large arrays: blocks of 2 MB and more come in huge
/// pages where the system offers them, so that the first writes fault a few
/// times instead of once per 4 KB page. Throws std::bad_alloc.
void* allocateTableMemory(std::size_t bytes);
void freeTableMemory(void* p, std::size_t bytes) noexcept;
}  // namespace detail

/// An allocator that leaves new elements uninitialised: the build writes
/// every element it uses, so the memory is touched once, by those writes.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
  UninitializedAllocator() = default;
  template <class U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <class U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  T* allocate(std::size_t n) { return static_cast<T*>(detail::allocateTableMemory(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) noexcept { detail::freeTableMemory(p, n * sizeof(T)); }
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
template <class T>
using UninitializedVector = std::vector<T, UninitializedAllocator<T>>;

/// What the class pass reads of an angle pair (every slice of it shares this).
struct PairWeights {
  double wXY, wZX;     // density factors p(theta)*angleClassWidth
  double countWeight;  // ((1*wXY)*wZX)*fiberNumberCoefficient
  double ruptureLoad;  // N, reduced with the pair's inclination
};

/// The tri-linear law of a crossing class, ready to evaluate: its embedded
/// length, points and slopes, single as stored. Classes of one slice whose
/// angle pairs have the same geometric and snubbing inclinations share one.
struct ClassLaw {
  float lb;  // mm, shorter embedded length
  float Pa, deltaA, Pmax, deltaMax;
  float kA, kB, kC;
  PulloutPoints points() const { return {Pa, deltaA, Pmax, deltaMax}; }
  PulloutSlopes slopes() const { return {kA, kB, kC}; }
  PulloutFiber fiber(double ruptureLoad) const { return {lb, points(), slopes(), ruptureLoad}; }
};

/// A class whose fiber crosses the crack (lb > 0).
struct CrossingClass {
  std::uint32_t law;   // index into FiberClassTable::laws
  std::uint16_t pair;  // index into FiberClassTable::pairs
};

namespace detail {

/// What a pair's two inclinations are worked out from, bit for bit.
struct InclinationInputs {
  double c0;    // product of the |cos| of the class angles
  double c;     // the same of the angles turned by the crack angles
  bool folded;  // whether a turned angle folded back
  bool operator==(const InclinationInputs&) const = default;
};

/// Angle pairs with the same inclinations have the same law in every slice;
/// the build works each law out once per slice.
struct InclinationKey {
  InclinationInputs inputs;
  double cosPsi0;      // of the geometric inclination, which sets lb
  double psi;          // rad, for snubbing and strength reduction
  double ruptureLoad;  // N
  double Sp, Sd;       // snubbing factors, when they do not depend on lb
  int firstPair;       // the first pair in class order that has it
  int pairCount;       // how many pairs have it
};

/// The build's working storage, kept with the table so that later runs reuse it.
struct TableScratch {
  std::vector<InclinationKey> keys;
  UninitializedVector<std::uint16_t> keyOfPair;        // kPairCount
  UninitializedVector<std::uint16_t> lawInSlice;       // per slice and key: its law among the slice's, or kNoLaw
  std::vector<std::uint32_t> lawCount, lawOffset;      // per slice
  std::vector<std::uint32_t> classCount, classOffset;  // per slice
  std::vector<int> firstRefusedPair;                   // per slice, or -1
  std::vector<std::uint16_t> refusedKey;               // per slice
  static constexpr std::uint16_t kNoLaw = 0xFFFF;      // the fiber misses the crack
};

}  // namespace detail

/// The fiber classes of one run. Classes with lb = 0 leave at the first step
/// without adding anything, so only the crossing ones are kept, in class order
/// (slice, then Z-X angle, then X-Y angle); the step loop drops a class from
/// `active` when it is pulled out or ruptures. A table is meant to be kept
/// from run to run: its storage is then touched once per process.
struct FiberClassTable {
  UninitializedVector<PairWeights> pairs;     // kPairCount, Z-X outer, X-Y inner
  UninitializedVector<ClassLaw> laws;         // slice by slice, one per crossing inclination
  UninitializedVector<CrossingClass> active;  // classes still bridging
  float totalFiber = 0;
  float fiberNumberCoefficient = 0;
  detail::TableScratch scratch;

  const ClassLaw& law(const CrossingClass& c) const { return laws[c.law]; }
  const PairWeights& pair(const CrossingClass& c) const { return pairs[c.pair]; }
};

/// Centroid position z (mm) of a slice, -Lf/2 at slice 0 and 0 at slice 100.
float slicePosition(int sliceIndex, float Lf);

/// Shorter embedded length (mm) at centroid `z`; 0 when the fiber misses the crack.
float embeddedLength(float z, float Lf, double cosPsi0);

/// Called at the top of each slice with its index; returning false stops the build.
using SliceProgress = std::function<bool(int sliceIndex)>;

/// How a build that met no refusal ended.
enum class TableBuild { built, stopped };

/// Fills `table` for the run (it is reused from run to run to keep its
/// storage). The slices are worked out on `threads` threads (0: one per
/// allotted CPU), the calling thread among them; `progress` is called on the calling
/// thread once per slice, in slice order, and the table is the same bit for
/// bit whatever the number of threads. Refused for a crossing class whose law
/// cannot be evaluated.
[[nodiscard]] Expected<TableBuild, Refusal> buildFiberClassTable(const ParameterSet& p, const RunConstants& k,
                                                                 const Orientation& o, FiberClassTable& table,
                                                                 const SliceProgress& progress = {},
                                                                 unsigned threads = 0);

}  // namespace fb
