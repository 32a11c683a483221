#pragma once

// What a fit found: the fitted inputs with their intervals, the differences
// to the measured curves, the warnings, the basins and the log of every run.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/field_table.h"
#include "engine/refusal.h"
#include "study/fit/fit_warning.h"

namespace fb {

/// One evaluation of the model, for the fit log.
struct FitEvaluation {
  std::string phase;           // "start 0", "polish", "profile A", "errors"
  std::vector<double> values;  // of the free inputs, as the model read them
  std::optional<double> rms;   // in fitRmsUnit; empty when the model refused the inputs
  std::string note;            // why it was refused
};

struct FittedInput {
  Field field;
  std::string text;  // the value, written so it reads back exactly
  double value = 0;
  double low = 0, high = 0;                      // the 95 % interval
  bool lowOnBound = false, highOnBound = false;  // the interval reaches the search's bound
  std::optional<double> standardError;           // from the Jacobian; empty where it cannot say
  bool spansAnswers = false;                     // widened to hold a rival basin that fits as well
  std::optional<std::pair<double, double>> fitInterval = std::nullopt;  // this fit's own, where a prior widened it
  // Every fitted input's values where this one's profile reached the ends of
  // its interval, the others fitted again: a later stage holds these.
  std::vector<double> lowEnd = {}, highEnd = {};
};

/// Where several starts ended: one basin of the sum of squares.
struct FitBasin {
  double rms = 0;  // MPa, the best of its starts
  int starts = 0;
  std::vector<double> values;  // of the free inputs
  double objective = 0;        // its sum of squares (chi-square), as the intervals' threshold reads it
};

/// Whether the model reproduces the measured curves within their noise.
struct FitAdequacy {
  int points = 0, dof = 0;  // measured points judged; those less fitted inputs
  int setAside = 0;         // outliers left out of the judgement
  // With standard deviations: chi-square and its upper tail.
  std::optional<double> chiSquare, chiSquareP;
  // Without them: the runs of the residuals' signs, curve by curve, against
  // their expectation (too few runs means a pattern) ...
  std::optional<int> runs;
  std::optional<double> runsExpected, runsZ, runsP;
  // ... and the residuals' RMS against the noise of the points themselves
  // (each point's distance from the chord of its neighbours).
  std::optional<double> noiseRatio, noiseP;
  std::optional<double> p;  // the verdict's probability: chi-square's, or both tests' together (Fisher)
  bool adequate = true;
};

/// A measured point the fit lies far from, beyond what its point count explains.
struct FitOutlier {
  std::string file;           // the curve's file or name
  int line = 0;               // of that file; 0 where the point came from no file
  std::size_t point = 0;      // 0-based, within its curve
  std::size_t residual = 0;   // its index among the fit's residuals
  double x = 0, y = 0;        // as measured: mm and yUnit
  double t = 0;               // residual over the residuals' standard deviation without it
  double threshold = 0;       // what |t| had to exceed
  const char* yUnit = "MPa";  // N for a pullout test, kN for a beam test
};

/// How a fit ended.
enum class FitOutcome {
  fitted,           // the inputs, intervals and warnings below hold
  noAcceptedStart,  // no start gave a run the model accepts: `refusal` says why
  stopped,          // a stop came first: nothing below is a result
};

struct FitResult {
  FitOutcome outcome = FitOutcome::fitted;
  std::vector<FittedInput> inputs;
  FieldTexts texts;                 // the base with the fitted values
  std::optional<double> rmsBefore;  // MPa, of the given values (clamped into their bounds)
  double rmsAfter = 0;              // MPa, over every measured point
  // In a fit to pullout curves alone the two above are theirs, in N.
  std::optional<double> pulloutRmsBefore;  // N, over the pullout curves' points
  std::optional<double> pulloutRmsAfter;   // N
  std::optional<double> beamRmsBefore;     // kN, over the beam tests' points
  std::optional<double> beamRmsAfter;      // kN
  std::optional<double> chiSquarePerDof;   // with standard deviations
  std::vector<double> residuals;        // computed minus measured: specimens (MPa), pullout tests (N), beam tests (kN)
  double objective = 0;                 // the sum of squares the fit minimised (chi-square with standard deviations)
  std::optional<FitAdequacy> adequacy;  // where there are points enough to judge
  std::optional<double> softL1Scale;    // a robust fit's loss scale, in the residuals' scaled units
  std::vector<FitOutlier> outliers;     // the most extreme first
  std::vector<std::vector<double>> correlation;  // of the estimates, where the Jacobian determines them
  std::vector<std::string> notes;                // starting values moved into their bounds; the law's load drop
  std::vector<FitWarning> warnings;              // where the curves cannot decide
  std::vector<FitBasin> basins;                  // best first; basins[0] holds the result
  int startCount = 0;                            // starts searched
  std::vector<std::vector<double>> bandValues;   // inputs at the interval ends: their curves bound the band
  std::vector<FitEvaluation> log;                // every evaluation, in a fixed order
  int runs = 0;                                  // runs of the model, every specimen counted
  double seconds = 0;
  std::optional<Refusal> refusal;  // no start gave a run the model accepts: the first refusal
};

}  // namespace fb
