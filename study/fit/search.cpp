#include "study/fit/search.h"

#include <algorithm>
#include <nlopt.hpp>

#include "study/design/latin_hypercube.h"

namespace fb {

void minimise(Evaluator& e, Track& track, std::vector<double> u, const std::vector<std::size_t>& dims, Minimiser method,
              double step, int evaluations, double tolerance, const SearchShared& shared) {
  if (dims.empty()) {
    if (shared.stopped()) return;
    track.keep(e.evaluate(u));
    return;
  }
  const double refused = kFitTuning.refusedObjective;
  const auto objective = [&](const std::vector<double>& x) {
    if (shared.stopped()) throw nlopt::forced_stop();
    for (std::size_t d = 0; d < dims.size(); ++d) u[dims[d]] = std::clamp(x[d], 0.0, 1.0);
    const Trial t = e.evaluate(u);
    track.keep(t);
    if (t.objective) {
      std::lock_guard lock(*shared.mutex);
      if (!*shared.bestRms || t.rms < **shared.bestRms) *shared.bestRms = t.rms;
    }
    return t.objective ? *t.objective : refused;
  };
  const auto size = static_cast<unsigned>(dims.size());
  nlopt::opt opt(method == Minimiser::bobyqa ? nlopt::LN_BOBYQA : nlopt::LN_SBPLX, size);
  opt.set_lower_bounds(std::vector<double>(size, 0.0));
  opt.set_upper_bounds(std::vector<double>(size, 1.0));
  opt.set_xtol_abs(tolerance);
  opt.set_maxeval(evaluations);
  if (step > 0) opt.set_initial_step(step);
  opt.set_min_objective([](const std::vector<double>& x, std::vector<double>&,
                           void* data) { return (*static_cast<decltype(objective)*>(data))(x); },
                        const_cast<void*>(static_cast<const void*>(&objective)));
  std::vector<double> x(size);
  for (std::size_t d = 0; d < dims.size(); ++d) x[d] = u[dims[d]];
  double value = 0;
  try {
    opt.optimize(x, value);
  } catch (const nlopt::forced_stop&) {
  } catch (const nlopt::roundoff_limited&) {
    // The search cannot get closer in floating point; its best point stands.
  }
}

std::vector<std::vector<double>> startingPoints(const std::vector<double>& given, int starts, std::uint64_t seed) {
  std::vector<std::vector<double>> points{given};
  for (std::vector<double>& point : latinHypercube(starts - 1, given.size(), seed)) points.push_back(std::move(point));
  return points;
}

namespace {

std::vector<std::size_t> every(std::size_t n) {
  std::vector<std::size_t> all(n);
  for (std::size_t j = 0; j < n; ++j) all[j] = j;
  return all;
}

}  // namespace

void searchFrom(Evaluator& e, Track& track, const std::vector<double>& start, const SearchShared& shared,
                const FitTuning& tuning) {
  const std::size_t n = start.size();
  minimise(e, track, start, every(n), Minimiser::bobyqa, 0, tuning.evaluationsPerStart(n), tuning.startTolerance,
           shared);
}

// A simplex first, which is not led astray by the small jumps of the stress
// as groups of fibers rupture a step earlier, then BOBYQA from a fresh, small
// trust region, while either improves.
void polish(Evaluator& e, Track& track, const Trial& from, const SearchShared& shared, const FitTuning& tuning) {
  track.best = from;
  const std::size_t n = from.unit.size();
  const std::vector<std::size_t> all = every(n);
  for (int round = 0; round < tuning.polishRounds && !shared.stopped(); ++round) {
    const double before = *track.best->objective;
    const double step = tuning.polishFirstStep / (1 << round);
    minimise(e, track, track.best->unit, all, Minimiser::simplex, step, tuning.evaluationsPerPolish(n),
             tuning.unitTolerance, shared);
    minimise(e, track, track.best->unit, all, Minimiser::bobyqa, step / 2, tuning.evaluationsPerPolish(n),
             tuning.unitTolerance, shared);
    if (!(*track.best->objective < before)) break;
  }
}

std::vector<Trial> polishStarts(const std::vector<Track>& searches, const Trial& best, const FitTuning& tuning) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < searches.size(); ++i)
    if (searches[i].best && *searches[i].best->objective <= tuning.polishedWithin * *best.objective) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return *searches[a].best->objective < *searches[b].best->objective;
  });
  std::vector<Trial> from;
  for (std::size_t i : order) {
    if (from.size() == tuning.polishedBasins) break;
    bool apart = true;
    for (const Trial& p : from) apart = apart && chebyshev(searches[i].best->unit, p.unit) > tuning.basinRadius;
    if (apart) from.push_back(*searches[i].best);
  }
  // A best on a bound may be the edge of a valley that goes on beyond it,
  // while the best end inside the bounds leads lower once polished: it is
  // polished too, however far above the best it ended.
  const auto inside = [&](const Trial& t) {
    return std::all_of(t.unit.begin(), t.unit.end(),
                       [&](double u) { return u > tuning.onBound && u < 1 - tuning.onBound; });
  };
  if (!inside(best) && std::none_of(from.begin(), from.end(), inside)) {
    const Track* lowest = nullptr;
    for (const Track& s : searches)
      if (s.best && s.best->objective && inside(*s.best) && (!lowest || *s.best->objective < *lowest->best->objective))
        lowest = &s;
    if (lowest) from.push_back(*lowest->best);
  }
  return from;
}

}  // namespace fb
