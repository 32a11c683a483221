#pragma once

// Each input's profile: the input held at values walking away from the
// optimum while the others are fitted again, and the 95 % interval read off
// where the profile crosses the threshold, past the small jumps of the stress.

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "study/fit/evaluator.h"
#include "study/fit/fit_settings.h"
#include "study/fit/fit_tuning.h"
#include "study/fit/fit_warning.h"
#include "study/fit/search.h"
#include "study/fit/trial.h"

namespace fb {

/// One profile point: the input held at `unit`, the others fitted again.
struct ProfilePoint {
  double unit = 0;
  double objective = 0;
  std::vector<double> at;      // the refitted point, in the unit cube
  std::vector<double> values;  // as the model read them
};

/// The optimum the profiles walk from, and the objective at the edge of the 95 % region.
struct Optimum {
  std::vector<double> unit;
  double objective = 0;
  double threshold = 0;
};

/// One side of input `j`'s profile (`direction` -1 down, +1 up): the input
/// held at values walking from the optimum to its bound, the others fitted
/// again from where the last point left them, until two points in a row lie
/// beyond the threshold. The first step is `standardErrorUnit` where known;
/// `follow` says how the others move with input j at first.
std::vector<ProfilePoint> walkProfile(Evaluator& e, Track& track, const Optimum& optimum, std::size_t j,
                                      double direction, std::optional<double> standardErrorUnit,
                                      const std::vector<double>& follow, const SearchShared& shared,
                                      const FitTuning& tuning = kFitTuning);

/// The profile seen past the jumps of the stress: a parabola through the
/// points near the optimum, and where it rises by the threshold's margin plus
/// the points' scatter about it, in the unit of input j. Empty where no
/// parabola opens upward.
std::optional<std::pair<double, double>> smoothedInterval(const std::vector<ProfilePoint>& points,
                                                          const Optimum& optimum, std::size_t j,
                                                          const FitTuning& tuning = kFitTuning);

/// Input j's 95 % interval, in its own unit, read off both sides of its profile.
struct ProfileInterval {
  double low = 0, high = 0;
  bool lowOnBound = false, highOnBound = false;
  std::vector<std::vector<double>> band;  // the inputs whose curves bound the band, low side first
  // Every input's values at the profile's furthest point inside the interval,
  // below and above; empty where the profile reached none.
  std::vector<double> lowEnd, highEnd;
  std::vector<Field> partners;  // inputs that moved along as the interval reached its bound
};

/// The interval of input j, at `value`, from its profile's `down` and `up`
/// points; `free` gives every input's bounds.
ProfileInterval profileInterval(const std::vector<ProfilePoint>& down, const std::vector<ProfilePoint>& up,
                                const Optimum& optimum, std::size_t j, double value, const std::vector<FreeInput>& free,
                                const FitTuning& tuning = kFitTuning);

/// The warning for an interval that reaches a bound of `input`: the curve
/// does not decide it. Empty for an interval inside its bounds.
std::optional<FitWarning> undecidedWarning(const FreeInput& input, const ProfileInterval& interval);

}  // namespace fb
