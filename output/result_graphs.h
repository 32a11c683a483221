#pragma once

#include <functional>

#include "engine/crack_steps.h"
#include "engine/parameter_set.h"
#include "output/canvas.h"

namespace fb {

inline constexpr Rgb kAxisColour{128, 128, 128};
inline constexpr Rgb kGridColour{200, 200, 200};
inline constexpr Rgb kStressColour{0, 0, 255};
inline constexpr Rgb kRatioColour{10, 70, 10};

/// Where the two graphs put their corners.
struct GraphScales {
  float xLeft = 0;         // mm, -Lf/40
  double xRight = 0;       // mm, 1.05*Lf/2
  double stressScale = 0;  // MPa, totalFiber*A*(Lf/2)^B/Am: every fiber at its unsnubbed peak
};

GraphScales graphScales(const ParameterSet& p, const RunConstants& k);

/// Clears both graphs, sets their scales and draws the axes and the ratio
/// grid; `yield` runs after each graph and returns false when the run must stop.
bool prepareGraphs(Canvas& stress, Canvas& ratio, const GraphScales& scales, const std::function<bool()>& yield);

/// Extends both curves by one step: a point at step 0, a segment afterwards.
void plotStep(Canvas& stress, Canvas& ratio, const StepResult& r);

}  // namespace fb
