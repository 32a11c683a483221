#pragma once

// Calibration: the inputs that make the computed bridging stress reproduce
// one or more measured curves. Each specimen is a measured curve with the
// inputs that it alone sets (its Vf, its orientation); the fitted inputs are
// shared by all. The search runs NLopt's bounded derivative-free BOBYQA from
// the given values and from a Latin hypercube over the bounds, each start on
// a worker of its own, then polishes the best basins with a simplex search,
// which steps over the small jumps of the model's stress (groups of fibers
// that rupture together). Every fitted input gets a 95 % interval from its
// profile: the input is held at values walking away from the optimum while
// the others are fitted again, until the sum of squares rises by the 95 %
// quantile of the F(1, n - p) distribution times the residual variance.

#include "study/fit/fit_progress.h"
#include "study/fit/fit_result.h"
#include "study/fit/fit_settings.h"
#include "study/fit/pullout_test.h"
#include "study/fit/uncertainty.h"

namespace fb {

/// Fits the free inputs to the measured curves. The result is the same for
/// any number of jobs and from call to call with the same seed.
FitResult fitMeasuredCurves(const FitSettings& settings, const FitProgress& progress = {});

/// The inputs of the fitted run: the first specimen's, its own inputs
/// included, with the fitted values; with pullout tests and no measured
/// curve, the given inputs with the fitted law, whose bridging curve is then
/// its prediction; with beam tests alone, the first test's.
FieldTexts fittedRunTexts(const FitSettings& settings, const FitResult& result);

}  // namespace fb
