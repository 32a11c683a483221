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

/// The lanes (bit l for lane l) whose fiber leaves: pulled out (W >= lb) or
/// ruptured (load > rupture). AVX-512 compares straight into a lane mask.
template <class Vec>
inline unsigned leavingLanes(const Vec& W, double lb, const Vec& load, double rupture) {
  constexpr int kLanes = sizeof(Vec) / sizeof(double);
#if defined(__AVX512F__)
  if constexpr (kLanes == 8) {
    const __m512d w = reinterpret_cast<const __m512d&>(W), p = reinterpret_cast<const __m512d&>(load);
    return _mm512_cmp_pd_mask(w, _mm512_set1_pd(lb), _CMP_GE_OQ) |
           _mm512_cmp_pd_mask(p, _mm512_set1_pd(rupture), _CMP_GT_OQ);
  }
#endif
  const auto leaves = (W >= lb) | (load > rupture);
#if defined(__AVX__)
  if constexpr (kLanes == 4) return __builtin_ia32_movmskpd256(__builtin_bit_cast(Vec, leaves));
#endif
#if defined(__SSE2__)
  if constexpr (kLanes == 2) return __builtin_ia32_movmskpd(__builtin_bit_cast(Vec, leaves));
#endif
  unsigned bits = 0;
  for (int l = 0; l < kLanes; ++l) bits |= (leaves[l] != 0 ? 1u : 0u) << l;
  return bits;
}

/// Classes `from` to `to` (not included) at kStepBatch crack widths (mm, the
/// unused tail repeating the last), continuing the sums and the packing of
/// `state`: the classes that stay active go, in order, to the front of
/// `classes`, behind those kept before.
template <int Lanes>
void passKernel(const PassTables& tables, std::size_t from, std::size_t to, const double* widths, PassState& state) {
  using Vec = typename Lanes_<Lanes>::Vec;
  using Mask = typename Lanes_<Lanes>::Mask;
  constexpr int kGroups = kStepBatch / Lanes;

  Vec w[kGroups], sumP[kGroups], sumCount[kGroups];
  for (int g = 0; g < kGroups; ++g) {
    for (int l = 0; l < Lanes; ++l) {
      w[g][l] = widths[g * Lanes + l];
      sumP[g][l] = state.P[g * Lanes + l];
      sumCount[g][l] = state.count[g * Lanes + l];
    }
  }
  const Vec zero = Vec{} + 0.0;
  Vec laneNumber;
  for (int l = 0; l < Lanes; ++l) laneNumber[l] = l;
  const double fnc = tables.fiberNumberCoefficient;
  CrossingClass* const classes = tables.classes;

  std::size_t kept = state.kept;
  for (std::size_t i = from; i < to; ++i) {
    const CrossingClass c = classes[i];
    const ClassLaw& law = tables.laws[c.law];
    const PairWeights& pair = tables.pairs[c.pair];
    const double lb = law.lb, Pa = law.Pa, deltaA = law.deltaA, Pmax = law.Pmax, deltaMax = law.deltaMax, kA = law.kA,
                 kB = law.kB, kC = law.kC;
    bool stillActive = true;
    for (int g = 0; g < kGroups && stillActive; ++g) {
      // pulloutLoad, lane by lane.
      const Vec W = w[g];
      const Vec rising = W * kA;
      const Vec second = Pa + (W - deltaA) * kB;
      const Vec falling = Pmax + (W - deltaMax) * kC;
      Vec load = W <= deltaA ? rising : (W <= deltaMax ? second : falling);

      Vec countTerm = zero + pair.countWeight;
      if (const unsigned leaving = leavingLanes(W, lb, load, pair.ruptureLoad)) {
        // The class leaves at its first such lane: that step adds 0 and the
        // later steps of the batch skip it, which adds 0 as well.
        Mask stays;
        if constexpr (Lanes == 8) {  // one compare into a lane mask
          stays = laneNumber < static_cast<double>(__builtin_ctz(leaving));
        } else {  // cheaper than the compare without lane masks
          Mask leaves = (W >= lb) | (load > pair.ruptureLoad);
          for (int l = 1; l < Lanes; ++l) leaves[l] |= leaves[l - 1];
          stays = ~leaves;
        }
        load = stays ? load : zero;
        countTerm = stays ? countTerm : zero;
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
      state.P[g * Lanes + l] = sumP[g][l];
      state.count[g * Lanes + l] = sumCount[g][l];
    }
  }
  state.kept = kept;
}

}  // namespace
}  // namespace fb::detail
