#pragma once

// How certain a fit is, from the residual Jacobian at the optimum: standard
// errors and correlations of the estimates, how the inputs follow each other
// along a valley, and the inputs that seem to have no effect or whose effects
// seem one. A difference step can miss what a profile finds (a rupture a
// step away), so these doubts become warnings only where the profiles agree.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "study/fit/fit_result.h"
#include "study/fit/fit_settings.h"
#include "study/fit/fit_tuning.h"
#include "study/fit/fit_warning.h"

namespace fb {

struct Trial;

/// The two-sided 95 % quantile of Student's t with `dof` degrees of freedom.
double studentT975(double dof);

struct Estimates {
  std::vector<std::optional<double>> standardErrorUnit;        // in the unit cube; empty where it cannot say
  std::vector<std::optional<double>> standardError;            // in the input's own unit
  std::vector<std::vector<double>> correlation;                // NaN where the Jacobian does not determine it
  std::vector<std::vector<double>> follow;                     // [j][k]: how input k follows input j along its valley
  std::vector<std::size_t> noEffect;                           // inputs whose column is nil
  std::vector<std::pair<std::size_t, std::size_t>> tradeOffs;  // pairs whose effects are (nearly) one
  std::vector<FitEvaluation> log;                              // the runs of the differences, phase "errors"
  int runs = 0;
};

/// The estimates from the residual Jacobian at `best`, by central differences.
Estimates jacobianEstimates(const FitSettings& s, const Trial& best, const FitTuning& tuning = kFitTuning);

/// The warning for input j with no effect, given only where its profile's
/// interval spans both its bounds.
FitWarning noEffectWarning(const FitSettings& s, std::size_t j);

/// The Jacobian's trade-offs read with the intervals: an instruction to fix
/// one of a pair where the curve leaves one of them undecided (an interval
/// reaching a bound), else a note that the profiles decide both.
void tradeOffReports(const FitSettings& s, const Estimates& e, const std::vector<FittedInput>& inputs,
                     std::vector<FitWarning>& warnings, std::vector<std::string>& notes);

}  // namespace fb
