#pragma once

// How certain a fit is, from the residual Jacobian at the optimum: standard
// errors and correlations of the estimates, how the inputs follow each other
// along a valley, and the warnings where an input has no effect or two
// inputs' effects are one.

#include <optional>
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
  std::vector<std::optional<double>> standardErrorUnit;  // in the unit cube; empty where it cannot say
  std::vector<std::optional<double>> standardError;      // in the input's own unit
  std::vector<std::vector<double>> correlation;          // NaN where the Jacobian does not determine it
  std::vector<std::vector<double>> follow;               // [j][k]: how input k follows input j along its valley
  std::vector<FitWarning> warnings;
  std::vector<FitEvaluation> log;  // the runs of the differences, phase "errors"
  int runs = 0;
};

/// The estimates from the residual Jacobian at `best`, by central differences.
Estimates jacobianEstimates(const FitSettings& s, const Trial& best, const FitTuning& tuning = kFitTuning);

}  // namespace fb
