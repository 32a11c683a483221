#pragma once

// The class pass over a batch of consecutive crack widths, written once for
// any SIMD width. Each lane of a vector is one step of the batch; every lane
// sums the classes in class order, so each step's sums are bit for bit those
// of a pass of its own. Included only by the class_pass_*.cpp files, each
// compiled for its instruction set; everything here has internal linkage so
// that no copy built for one instruction set can stand in for another.

#include <cstddef>

#if defined(__AVX512F__)
#include <immintrin.h>
#endif

#include "engine/class_pass_batch.h"
#include "engine/crack_steps.h"
#include "engine/fiber_class_table.h"

namespace fb::detail {
namespace {

template <int Lanes>
struct Lanes_;
template <>
struct Lanes_<2> {
  typedef double Vec __attribute__((vector_size(16)));
  typedef long long Mask __attribute__((vector_size(16)));
};
template <>
struct Lanes_<4> {
  typedef double Vec __attribute__((vector_size(32)));
  typedef long long Mask __attribute__((vector_size(32)));
};
template <>
struct Lanes_<8> {
  typedef double Vec __attribute__((vector_size(64)));
  typedef long long Mask __attribute__((vector_size(64)));
};

template <class Mask>
inline bool everyLane(const Mask& m) {
#if defined(__AVX512F__)
  if constexpr (sizeof(Mask) == 64) {
    const __m512i bits = reinterpret_cast<const __m512i&>(m);
    return _mm512_test_epi64_mask(bits, bits) == 0xFF;
  }
#endif
#if defined(__AVX__)
  if constexpr (sizeof(Mask) == 32)
    return __builtin_ia32_movmskpd256(reinterpret_cast<const Lanes_<4>::Vec&>(m)) == 0xF;
#endif
#if defined(__SSE2__)
  if constexpr (sizeof(Mask) == 16) return __builtin_ia32_movmskpd(reinterpret_cast<const Lanes_<2>::Vec&>(m)) == 0x3;
#endif
  bool all = true;
  for (std::size_t l = 0; l < sizeof(Mask) / sizeof(m[0]); ++l) all = all && m[l] != 0;
  return all;
}

/// widths: kStepBatch crack widths (mm), the unused tail repeating the last.
/// P, count: kStepBatch sums each. Returns how many classes stay active;
/// they are packed, in order, to the front of `classes`.
template <int Lanes>
std::size_t passKernel(const PassTables& tables, const double* widths, double* P, double* count) {
  using Vec = typename Lanes_<Lanes>::Vec;
  using Mask = typename Lanes_<Lanes>::Mask;
  constexpr int kGroups = kStepBatch / Lanes;

  Vec w[kGroups], sumP[kGroups], sumCount[kGroups];
  for (int g = 0; g < kGroups; ++g) {
    for (int l = 0; l < Lanes; ++l) w[g][l] = widths[g * Lanes + l];
    sumP[g] = Vec{} + 0.0;
    sumCount[g] = Vec{} + 0.0;
  }
  const Vec zero = Vec{} + 0.0;
  const double fnc = tables.fiberNumberCoefficient;
  CrossingClass* const classes = tables.classes;

  std::size_t kept = 0;
  for (std::size_t i = 0; i < tables.classCount; ++i) {
    const CrossingClass c = classes[i];
    const ClassLaw& law = tables.laws[c.law];
    const PairWeights& pair = tables.pairs[c.pair];
    const double lb = law.lb, Pa = law.Pa, deltaA = law.deltaA, Pmax = law.Pmax, deltaMax = law.deltaMax, kA = law.kA,
                 kB = law.kB, kC = law.kC;
    bool stillActive = true;
    for (int g = 0; g < kGroups && stillActive; ++g) {
      // fiberResponse, lane by lane.
      const Vec W = w[g];
      const Vec rising = W * kA;
      const Vec second = Pa + (W - deltaA) * kB;
      const Vec falling = Pmax + (W - deltaMax) * kC;
      Vec load = W <= deltaA ? rising : (W <= deltaMax ? second : falling);
      Mask active = ~(W >= lb) & ~(load > pair.ruptureLoad);

      const bool allActive = everyLane(active);
      Vec countTerm = zero + pair.countWeight;
      if (!allActive) {
        // The class leaves at its first inactive lane: that step adds 0 and
        // the later steps of the batch skip it, which adds 0 as well.
        for (int l = 1; l < Lanes; ++l) active[l] &= active[l - 1];
        load = active ? load : zero;
        countTerm = active ? countTerm : zero;
        stillActive = false;
      }
      sumP[g] = sumP[g] + load * pair.wXY * pair.wZX * fnc;
      sumCount[g] = sumCount[g] + countTerm;
    }
    classes[kept] = c;
    kept += stillActive;
  }

  for (int g = 0; g < kGroups; ++g) {
    for (int l = 0; l < Lanes; ++l) {
      P[g * Lanes + l] = sumP[g][l];
      count[g * Lanes + l] = sumCount[g][l];
    }
  }
  return kept;
}

}  // namespace
}  // namespace fb::detail
