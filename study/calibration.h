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

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/expected.h"
#include "engine/field_table.h"
#include "engine/refusal.h"
#include "study/measured_curve.h"

namespace fb {

/// An input the fit varies, within its bounds.
struct FreeInput {
  Field field = Field::A;
  double low = 0, high = 0;
};

/// One measured curve and the inputs that it alone sets.
struct Specimen {
  std::string name;  // its file, for messages
  std::vector<SpecimenInput> inputs;
  std::vector<MeasuredPoint> measured;
};

/// One single-fiber pullout test and the inputs that it alone sets.
struct PulloutSpecimen {
  std::string name;  // its file, for messages
  std::vector<SpecimenInput> inputs;
  double lb = 0;     // mm
  double angle = 0;  // degrees
  int lbLine = 0;    // where its file gives lb, for messages
  std::vector<PulloutPoint> measured;
};

inline constexpr int kDefaultFitStarts = 16;
inline constexpr std::size_t kMaxFreeInputs = 8;

struct FitSettings {
  FieldTexts base;                  // every input; a free one starts from its value here
  std::vector<FreeInput> free;      // 1 to kMaxFreeInputs
  std::vector<Specimen> specimens;  // one or more, together at least as many points as free inputs
  int starts = kDefaultFitStarts;   // the given values, then a Latin hypercube
  std::uint64_t seed = 1;           // of the Latin hypercube
  unsigned jobs = 1;                // searches at a time
  const std::atomic<bool>* stop = nullptr;
  std::vector<PulloutSpecimen> pullouts = {};  // single-fiber pullout tests, fitted with the pullout law alone
  /// Whether every point carries its standard deviation: the fit then
  /// minimises chi-square instead of the plain sum of squares.
  bool weighted() const;
  std::size_t pointCount() const;
  /// What each residual (bridging curves first, then pullout curves) is
  /// divided by before it is squared: its standard deviation in a weighted
  /// fit; in a joint fit without them, its curve's largest measured value,
  /// so that loads (N) and stresses (MPa) count alike; else 1.
  std::vector<double> residualScales() const;
};

/// "A=1:8": a free input and its bounds, or the reason it is not one.
Expected<FreeInput> parseFreeInput(std::string_view text);

/// Refuses what makes a fit impossible before any run: names, bounds, too few
/// points, measured widths outside the crack widths of the given inputs.
Expected<void> checkFitSettings(const FitSettings& settings);

/// The texts of specimen `index`: the base, then the specimen's own inputs.
FieldTexts specimenTexts(const FitSettings& settings, std::size_t index);

/// The texts of pullout test `index`: the base, then the test's own inputs.
FieldTexts pulloutTexts(const FitSettings& settings, std::size_t index);

/// The inclination (rad) of a pullout test's angle in degrees, as the model converts angles.
double pulloutInclination(double degrees);

/// Refuses a pullout test of embedded length `lb` (mm) that lies outside the
/// fibers of the model that `texts` give (beyond Lf/2), saying why.
Expected<void> checkPulloutInsideFiber(double lb, const FieldTexts& texts);

/// One evaluation of the model, for the fit log.
struct FitEvaluation {
  std::string phase;           // "start 0", "polish", "profile A", "errors"
  std::vector<double> values;  // of the free inputs, as the model read them
  std::optional<double> rms;   // MPa (N in a fit to pullout curves alone); empty when the model refused the inputs
  std::string note;            // why it was refused
};

struct FittedInput {
  Field field;
  std::string text;  // the value, written so it reads back exactly
  double value = 0;
  double low = 0, high = 0;                      // the 95 % interval
  bool lowOnBound = false, highOnBound = false;  // the interval reaches the search's bound
  std::optional<double> standardError;           // from the Jacobian; empty where it cannot say
};

/// A warning and the inputs it names.
struct FitWarning {
  std::vector<Field> inputs;
  std::string text;
};

/// Where several starts ended: one basin of the sum of squares.
struct FitBasin {
  double rms = 0;  // MPa, the best of its starts
  int starts = 0;
  std::vector<double> values;  // of the free inputs
};

struct FitResult {
  std::vector<FittedInput> inputs;
  FieldTexts texts;                 // the base with the fitted values
  std::optional<double> rmsBefore;  // MPa, of the given values (clamped into their bounds)
  double rmsAfter = 0;              // MPa, over every measured point
  // In a fit to pullout curves alone the two above are theirs, in N.
  std::optional<double> pulloutRmsBefore;        // N, over the pullout curves' points
  std::optional<double> pulloutRmsAfter;         // N
  std::optional<double> chiSquarePerDof;         // with standard deviations
  std::vector<std::vector<double>> correlation;  // of the estimates, where the Jacobian determines them
  std::vector<std::string> notes;                // starting values moved into their bounds
  std::vector<FitWarning> warnings;              // where the curves cannot decide
  std::vector<FitBasin> basins;                  // best first; basins[0] holds the result
  int startCount = 0;                            // starts searched
  std::vector<std::vector<double>> bandValues;   // inputs at the interval ends: their curves bound the band
  std::vector<FitEvaluation> log;                // every evaluation, in a fixed order
  int runs = 0;                                  // runs of the model, every specimen counted
  double seconds = 0;
  std::optional<Refusal> refusal;  // no start gave a run the model accepts: the first refusal
  bool stopped = false;
};

/// What a fit is doing, for a progress line.
struct FitProgressReport {
  std::string phase;  // "search", "polish", "intervals"
  int runs = 0;
  int planned = 0;  // runs at most, as planned now
  std::optional<double> bestRms;
  std::optional<double> secondsLeft;
};

/// Called on the caller's thread a few times a second.
using FitProgress = std::function<void(const FitProgressReport&)>;

/// Fits the free inputs to the measured curves. The result is the same for
/// any number of jobs and from call to call with the same seed.
FitResult fitMeasuredCurves(const FitSettings& settings, const FitProgress& progress = {});

/// The warnings of a fitted tri-linear law that is not physical: its peak
/// load below its first-point load, or its peak width below its first-point
/// width, somewhere between the shortest and the longest embedded length.
std::vector<FitWarning> lawWarnings(const FieldTexts& texts);

/// The two-sided 95 % quantile of Student's t with `dof` degrees of freedom.
double studentT975(double dof);

}  // namespace fb
