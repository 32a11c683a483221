#pragma once

// One run of the model at one point of the search, and the record a task
// (a start, a polish, one side of a profile) keeps of its runs.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "study/fit/fit_result.h"

namespace fb {

struct Trial {
  std::vector<double> unit;          // where the search asked, in the unit cube
  std::vector<double> values;        // as the model read them
  std::vector<double> residuals;     // computed minus measured: specimens, then pullout tests, then beam tests
  std::optional<double> objective;   // sum of squares, or chi-square; empty when refused
  double rms = 0;                    // in fitRmsUnit: over the bridging curves, else the pullout or beam curves
  std::optional<double> pulloutRms;  // N, over the pullout curves
  std::optional<double> beamRms;     // kN, over the beam tests
  std::string note;
  std::string refusedField;  // the input a refusal names, when the model refused
};

/// Whether `a` fits better than `b`; a refused trial never does, and any other beats none.
inline bool better(const Trial& a, const std::optional<Trial>& b) {
  return a.objective && (!b || !b->objective || *a.objective < *b->objective);
}

/// The evaluations of one task, kept apart so that the outcome does not
/// depend on which worker ran it.
struct Track {
  std::string phase;
  std::vector<FitEvaluation> log;
  std::optional<Trial> best, first;
  std::optional<Trial> recent;  // the best since the caller last cleared it
  void keep(const Trial& t) {
    log.push_back({phase, t.values, t.objective ? std::optional<double>(t.rms) : std::nullopt, t.note});
    if (!first) first = t;
    if (better(t, best)) best = t;
    if (better(t, recent)) recent = t;
  }
};

/// The largest difference of any coordinate: how far apart two points of the unit cube lie.
inline double chebyshev(const std::vector<double>& a, const std::vector<double>& b) {
  double d = 0;
  for (std::size_t j = 0; j < a.size(); ++j) d = std::max(d, std::abs(a[j] - b[j]));
  return d;
}

}  // namespace fb
