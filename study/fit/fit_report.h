#pragma once

// What a fit found, for people and for scripts: the report with the values
// rounded to the digits their intervals support, the whole result as JSON,
// and the log of its runs.

#include <string>

#include "study/fit/calibration.h"

namespace fb {

/// `value` rounded to the decimal place that two significant digits of the
/// interval's half width give: "2.02" for 2.0219 in [1.93, 2.13].
std::string roundedToInterval(double value, double low, double high);

/// The fit as a JSON document: rms, rms_before (MPa), pullout_rms,
/// pullout_rms_before (N; each null without curves of its kind), chi_square_per_dof,
/// robust_scale (null for least squares), adequacy (null where too few points:
/// adequate, p, points, dof, set_aside, and chi_square and chi_square_p with
/// standard deviations, else sign_runs, sign_runs_expected, runs_z, runs_p,
/// noise_ratio, noise_p), outliers (file, line, point, x, y, t, threshold),
/// runs, seconds, starts, inputs (name, unit, value, low, high, whether each end
/// reaches its bound and whether it spans two answers), warnings (inputs, text)
/// and basins (rms, starts, values).
std::string fitReportJson(const FitSettings& settings, const FitResult& result);

/// The fit as the command line reports it, line by line: the runs and time,
/// each value rounded to its interval with the interval, strong correlations,
/// the starts in the best basin, the RMS before and after, the robust loss,
/// the adequacy, notes and warnings.
std::string fitReportText(const FitSettings& settings, const FitResult& result);

/// One CSV row per run of the fit: its phase, the free inputs, the RMS and a note.
std::string fitLogCsv(const FitSettings& settings, const FitResult& result);

}  // namespace fb
