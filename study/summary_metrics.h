#pragma once

// The figures a run's summary gives, by name, so that a design map or a
// scatter can take any of them.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "study/design_indices.h"
#include "study/metrics.h"

namespace fb {

enum class SummaryMetric {
  peakForce,
  peakStress,
  peakWidth,
  energy,
  halfPeakWidth,
  complementaryEnergy,
  energyIndex,
  strengthIndex,
  rms
};

struct SummaryMetricInfo {
  SummaryMetric metric;
  std::string_view key;     // "peak-stress", for the command line
  std::string_view column;  // "peak stress (MPa)", as summary.csv heads it
  std::string_view name;    // "peak stress", for axes and reports
  std::string_view unit;    // "MPa", or "" for a ratio
};

inline constexpr SummaryMetricInfo kSummaryMetrics[] = {
    {SummaryMetric::peakForce, "peak-force", "peak force (kN)", "peak force", "kN"},
    {SummaryMetric::peakStress, "peak-stress", "peak stress (MPa)", "peak stress sigma0", "MPa"},
    {SummaryMetric::peakWidth, "peak-width", "Wcr at peak (mm)", "Wcr at peak delta0", "mm"},
    {SummaryMetric::energy, "energy", "bridging energy (N/mm)", "bridging energy", "N/mm"},
    {SummaryMetric::halfPeakWidth, "half-peak-width", "Wcr at half peak (mm)", "Wcr at half peak", "mm"},
    {SummaryMetric::complementaryEnergy, "Jb", "J'b (J/m2)", "complementary energy J'b", "J/m2"},
    {SummaryMetric::energyIndex, "energy-index", "PSH energy index", "PSH energy index J'b/Jtip", ""},
    {SummaryMetric::strengthIndex, "strength-index", "PSH strength index", "PSH strength index sigma0/sigma_fc", ""},
    {SummaryMetric::rms, "rms", "RMS difference to measured (MPa)", "RMS difference to measured", "MPa"},
};

const SummaryMetricInfo& summaryMetricInfo(SummaryMetric metric);

/// A metric by its key or its summary.csv column.
std::optional<SummaryMetric> summaryMetricByName(std::string_view name);

/// "peak-force, peak-stress, ...", for help texts and messages.
std::string summaryMetricKeys();

/// The metric of a finished run; empty when the run has no such figure (no
/// half-peak width, no measured curve, no matrix for an index).
std::optional<double> summaryMetricValue(SummaryMetric metric, const RunMetrics& metrics,
                                         const std::optional<MatrixProperties>& matrix);

}  // namespace fb
