#pragma once

// The noise of measured points read off the points themselves: each inner
// point's distance from the chord of its two neighbours. With noise sigma on
// every point that distance has the variance sigma^2 (1 + wl^2 + wr^2), wl and
// wr the chord's weights, so divided by that root it estimates sigma.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "study/fit/fit_settings.h"

namespace fb {

/// One measured curve's points as the fit's residuals see them: bridging
/// curves first (width, stress), then pullout tests (slip, load), then beam
/// tests (CMOD, load).
struct MeasuredCurvePoints {
  const std::string* file;
  const char* yUnit = "MPa";
  std::size_t first = 0;  // its first residual
  std::vector<double> x, y;
  std::vector<int> lines;
};

/// Every curve of a fit, in the order of its residuals.
std::vector<MeasuredCurvePoints> measuredCurvesOf(const FitSettings& s);

/// The chord distances of every curve's inner points, each over its root, in
/// the units the fit's residuals are scaled to (FitSettings::residualScales).
/// Points out of order of their widths or slips give none, nor do chords that
/// touch a point `aside` marks (by residual index; empty marks none).
std::vector<double> chordDeviations(const FitSettings& s, const std::vector<bool>& aside = {});

/// The points' noise in those units, robustly: 1.4826 times the median
/// absolute chord deviation, so that a gross outlier does not inflate it.
/// 0 with fewer than three inner points.
double robustPointNoise(const FitSettings& s);

/// The scale of a robust fit's soft-L1 loss, in the residuals' scaled units:
/// one standard deviation with them, else the points' robust noise; empty for
/// a least-squares fit, or where the points give no noise to go by.
std::optional<double> softL1Scale(const FitSettings& s);

}  // namespace fb
