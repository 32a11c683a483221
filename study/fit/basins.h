#pragma once

// Where the searches ended, grouped into basins of the sum of squares: the
// best one, whose region is the fitted inputs' intervals, and rivals that
// fit about as well elsewhere.

#include <utility>
#include <vector>

#include "study/fit/fit_result.h"
#include "study/fit/fit_settings.h"
#include "study/fit/fit_tuning.h"
#include "study/fit/fit_warning.h"
#include "study/fit/trial.h"

namespace fb {

/// How far the best basin reaches along each input, in the unit cube: its
/// interval, and never less than the basin radius.
std::vector<double> bestBasinReach(const std::vector<FreeInput>& free, const std::vector<FittedInput>& inputs,
                                   const FitTuning& tuning = kFitTuning);

/// The searches' ends (each search's best, in start order) grouped into
/// basins, best first: those within `reach` of `best` in every input form the
/// first, the others balls of the basin radius about the best of each. A
/// search that ended near where a polish began ended where that polish led
/// (`polished`: each polish's start and end).
std::vector<FitBasin> groupBasins(const std::vector<Trial>& ends, const std::vector<std::pair<Trial, Trial>>& polished,
                                  const Trial& best, const std::vector<double>& reach,
                                  const FitTuning& tuning = kFitTuning);

/// The warnings for basins after the first that fit within the rival factor
/// of `rms` with an input outside its interval: the curves do not decide
/// between the two answers. `unit` is "N" or "MPa", as the RMS is.
std::vector<FitWarning> rivalWarnings(const std::vector<FitBasin>& basins, double rms,
                                      const std::vector<FreeInput>& free, const std::vector<FittedInput>& inputs,
                                      const char* unit, const FitTuning& tuning = kFitTuning);

/// Widens each interval to hold every rival basin whose sum of squares lies
/// within `threshold`, the edge of the 95 % region: the curves cannot tell
/// the answers apart, so neither may the interval. Marks what it widened.
void holdRivalAnswers(const std::vector<FitBasin>& basins, double threshold, std::vector<FittedInput>& inputs);

}  // namespace fb
