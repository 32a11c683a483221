#pragma once

// The search for the best fit: NLopt's bounded derivative-free minimisers over
// the unit cube of the free inputs' bounds, a search from every start, and the
// polish of the best basins.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "study/fit/evaluator.h"
#include "study/fit/fit_tuning.h"
#include "study/fit/trial.h"

namespace fb {

/// What the searches of one fit share: the caller's stop, and the best RMS
/// yet for the progress line.
struct SearchShared {
  const std::atomic<bool>* stop = nullptr;
  std::mutex* mutex = nullptr;
  std::optional<double>* bestRms = nullptr;  // under *mutex

  bool stopped() const { return stop && stop->load(); }
};

enum class Minimiser {
  bobyqa,   // a quadratic model in a trust region
  simplex,  // NLopt's subplex, not led astray by the small jumps of the stress
};

/// Minimises over the coordinates `dims` of `u` (the others held), from `u`,
/// with `method`; every run goes into `track`. A `step` of 0 leaves the first
/// step to NLopt.
void minimise(Evaluator& e, Track& track, std::vector<double> u, const std::vector<std::size_t>& dims, Minimiser method,
              double step, int evaluations, double tolerance, const SearchShared& shared);

/// The starting points in the unit cube: the given values first, then a Latin hypercube.
std::vector<std::vector<double>> startingPoints(const std::vector<double>& given, int starts, std::uint64_t seed);

/// A start's search for its basin, into `track`.
void searchFrom(Evaluator& e, Track& track, const std::vector<double>& start, const SearchShared& shared,
                const FitTuning& tuning = kFitTuning);

/// A basin's best point `from` searched on, into `track`, while it improves.
void polish(Evaluator& e, Track& track, const Trial& from, const SearchShared& shared,
            const FitTuning& tuning = kFitTuning);

/// The best points of the basins worth polishing: the searches' ends within
/// tuning.polishedWithin of the best objective, best first, each further than
/// the basin radius from those before, at most tuning.polishedBasins; and
/// where the best lies on a bound and none of those inside the bounds, the
/// best end inside them, however far above.
std::vector<Trial> polishStarts(const std::vector<Track>& searches, const Trial& best,
                                const FitTuning& tuning = kFitTuning);

}  // namespace fb
