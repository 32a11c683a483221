#pragma once

// The figures a run's summary gives, by name, so that a design map or a
// scatter can take any of them.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "study/design/design_indices.h"
#include "study/studies/metrics.h"
#include "study/studies/summary_table.h"

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
  std::string_view key;   // "peak-stress", for the command line
  SummaryColumn column;   // where summary.csv holds it
  std::string_view name;  // "peak stress", for axes and reports
  /// "MPa", or "" for a ratio.
  std::string_view unit() const { return summaryColumnInfo(column).unit; }
};

inline constexpr SummaryMetricInfo kSummaryMetrics[] = {
    {SummaryMetric::peakForce, "peak-force", SummaryColumn::peakForce, "peak force"},
    {SummaryMetric::peakStress, "peak-stress", SummaryColumn::peakStress, "peak stress sigma0"},
    {SummaryMetric::peakWidth, "peak-width", SummaryColumn::peakWidth, "Wcr at peak delta0"},
    {SummaryMetric::energy, "energy", SummaryColumn::energy, "bridging energy"},
    {SummaryMetric::halfPeakWidth, "half-peak-width", SummaryColumn::halfPeakWidth, "Wcr at half peak"},
    {SummaryMetric::complementaryEnergy, "Jb", SummaryColumn::complementaryEnergy, "complementary energy J'b"},
    {SummaryMetric::energyIndex, "energy-index", SummaryColumn::energyIndex, "PSH energy index J'b/Jtip"},
    {SummaryMetric::strengthIndex, "strength-index", SummaryColumn::strengthIndex,
     "PSH strength index sigma0/sigma_fc"},
    {SummaryMetric::rms, "rms", SummaryColumn::rms, "RMS difference to measured"},
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
