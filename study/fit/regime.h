#pragma once

// Which way the fibers of a fit's curves fail: whether a fiber's pullout load
// would pass its rupture load before the peak, so that it ruptures instead of
// pulling out. Two sets of inputs can reproduce a curve as well, one with
// fibers that rupture on their way to the peak, one with fibers that pull
// out at it; the search starts from both sides.

#include <vector>

#include "study/fit/fit_settings.h"

namespace fb {

/// For each curve, whether its telling fiber ruptures before its peak load:
/// a bridging curve's longest embedment (Lf/2) along the load, a pullout
/// test's own fiber. The free inputs take `values`; a set the model cannot
/// read gives an empty regime.
std::vector<bool> ruptureRegime(const FitSettings& s, const std::vector<double>& values);

/// Up to `count` points of the unit cube, drawn from a Latin hypercube of
/// `candidates` points seeded by `seed`, whose regime differs from `regime`.
std::vector<std::vector<double>> otherRegimeStarts(const FitSettings& s, const std::vector<bool>& regime,
                                                   int candidates, int count, std::uint64_t seed);

}  // namespace fb
