#pragma once

// Whether the model is right for the measured curves, judged from the
// residuals at the optimum: chi-square where the points carry standard
// deviations, else the pattern of the residuals' signs and their size against
// the points' own noise; and the points the fit lies too far from.

#include <optional>
#include <vector>

#include "study/fit/fit_result.h"
#include "study/fit/fit_settings.h"
#include "study/fit/fit_warning.h"

namespace fb {

/// A model is judged wrong below this probability of residuals as patterned or as large.
inline constexpr double kInadequateBelow = 0.001;
/// The chance, over all points together, of naming a point that is no outlier.
inline constexpr double kOutlierFamilyRate = 0.05;

/// The adequacy of the fit whose residuals (computed minus measured, in the
/// order of FitSettings::residualScales) are `residuals`, with `fitted` inputs,
/// the points `setAside` left out (the outliers of a robust fit, which did not
/// pull it). Empty where there are too few points to say.
std::optional<FitAdequacy> judgeAdequacy(const FitSettings& s, std::vector<double> residuals, std::size_t fitted,
                                         const std::vector<FitOutlier>& setAside = {});

/// The points whose standardised residual, against the residuals of the
/// points not yet named, exceeds Student's t at a Bonferroni-corrected
/// kOutlierFamilyRate (the normal quantile with standard deviations): the
/// most extreme first, each set aside before the next is sought.
std::vector<FitOutlier> findOutliers(const FitSettings& s, const std::vector<double>& residuals, std::size_t fitted);

/// What the report says of adequacy, a line without its "adequacy: ".
std::string adequacyText(const FitAdequacy& a);

/// The warning of a model that does not reproduce its curves; empty for one that does.
std::optional<FitWarning> adequacyWarning(const FitAdequacy& a);

/// The warning that names an outlier.
FitWarning outlierWarning(const FitOutlier& o, std::size_t points);

}  // namespace fb
