#pragma once

// A two-stage fit done right: stage 2 holds the inputs stage 1 found, but
// those are uncertain. Stage 1's report (--fit-report) names them with their
// 95 % intervals; stage 2 is fitted again with each held at either end of its
// interval, and the shifts of its estimates widen its intervals.

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "engine/expected.h"
#include "study/fit/fit_result.h"
#include "study/fit/fit_settings.h"

namespace fb {

/// The fitted inputs of a fit report (the JSON --fit-report writes), each
/// with its value and interval; "FILE: reason" (with the line where the text
/// is no JSON) when it is not one.
[[nodiscard]] Expected<std::vector<PriorInput>> parseFitPrior(std::string_view json, const std::string& fileName);
[[nodiscard]] Expected<std::vector<PriorInput>> readFitPrior(const std::string& path);

/// Refuses a prior that this fit cannot hold: an input it also fits, or one
/// whose value here differs from what stage 1 found (another set of inputs).
[[nodiscard]] Expected<void> checkFitPrior(const FitSettings& settings);

/// The stage-1 inputs at one end of p's interval: the profile's last point
/// inside it, stretched from stage 1's values so that p lies on the end (at
/// most threefold); p alone where the profile gave no point.
std::vector<std::pair<Field, double>> priorEnd(const FitSettings& settings, const PriorInput& p, bool high);

/// One refit of stage 2 with prior input `prior` held at an end of its interval.
struct PriorRefit {
  std::size_t prior = 0;
  bool high = false;               // which end
  std::vector<double> values;      // the free inputs' best values; empty where the model refused
  std::vector<FitEvaluation> log;  // its runs
};

/// Stage 2 searched and polished again from the optimum `from` (the unit
/// cube of the free inputs' bounds) with each prior input at each end of its
/// interval, on up to settings.jobs threads; every run counts into `runs`.
std::vector<PriorRefit> refitAtPriorEnds(const FitSettings& settings, const std::vector<double>& from,
                                         std::atomic<int>& runs);

/// Widens each input's interval by the refits' largest shift of its value
/// below and above, added in quadrature to its own half widths (stage 1's
/// noise and stage 2's are independent), within the input's bounds; the
/// fit's own interval is kept in fitInterval.
void widenByPrior(const std::vector<PriorRefit>& refits, const std::vector<FreeInput>& free,
                  std::vector<FittedInput>& inputs);

}  // namespace fb
