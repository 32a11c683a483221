#pragma once

#include <optional>
#include <span>
#include <string>

#include "engine/crack_steps.h"
#include "run/run_driver.h"
#include "study/inputs/measured_curve.h"

namespace fb {

/// What a finished run's curve says beyond its rows.
struct CurveMetrics {
  RunningMaximum peak;                // N, MPa and mm at the largest force
  std::size_t peakIndex = 0;          // of the peak's step among the steps
  double energy = 0;                  // N/mm, area under sigma over Wcr, trapezoidal
  std::optional<double> halfPeakWcr;  // mm, where the stress first falls to half its peak after it
  /// J/m2, the complementary energy up to the peak, sigma0 * delta0 minus the
  /// area under the curve from the first step to the peak, trapezoidal.
  double complementaryEnergy = 0;
};

/// The metrics of a run's curve (at least one step).
CurveMetrics curveMetrics(std::span<const StepResult> steps);

/// The stress (MPa) at crack width `Wcr` (mm), linear between the steps;
/// empty outside the widths the steps cover.
std::optional<double> stressAt(std::span<const StepResult> steps, double Wcr);

/// How far the computed curve lies from a measured one.
struct MeasuredFit {
  double rms = 0;  // MPa, root mean square of computed minus measured stress
  int used = 0;    // measured points within the computed widths
  int total = 0;
};

/// The root mean square of computed minus measured stresses (MPa), finite
/// also where the squares overflow. At least one difference.
double rootMeanSquare(std::span<const double> differences);

/// Empty when no measured point lies within the computed widths.
std::optional<MeasuredFit> compareMeasured(std::span<const StepResult> steps, std::span<const MeasuredPoint> measured);

/// A finished run's metrics, with the fit when a measured curve was given.
/// Whether the steps resolve a run's J'b: not when its peak lies in the first
/// three steps, or when twice the division changes J'b by more than 2 %.
struct JbResolution {
  bool resolved = true;
  int division = 0;                      // the run's
  std::string why;                       // when not: "the peak lies at step 1"
  std::optional<int> resolvingDivision;  // when not: the least tried that resolves it
};

struct RunMetrics {
  std::optional<CurveMetrics> curve;  // empty for a run without steps
  std::optional<MeasuredFit> fit;
  std::optional<JbResolution> jb;  // where it was checked
};
RunMetrics runMetrics(std::span<const StepResult> steps, std::span<const MeasuredPoint> measured);

}  // namespace fb
