#include "study/studies/summary_metrics.h"

namespace fb {

const SummaryMetricInfo& summaryMetricInfo(SummaryMetric metric) {
  for (const SummaryMetricInfo& info : kSummaryMetrics)
    if (info.metric == metric) return info;
  return kSummaryMetrics[0];
}

std::optional<SummaryMetric> summaryMetricByName(std::string_view name) {
  for (const SummaryMetricInfo& info : kSummaryMetrics)
    if (info.key == name || summaryColumnInfo(info.column).header == name) return info.metric;
  return std::nullopt;
}

std::string summaryMetricKeys() {
  std::string keys;
  for (const SummaryMetricInfo& info : kSummaryMetrics) keys += (keys.empty() ? "" : ", ") + std::string(info.key);
  return keys;
}

std::optional<double> summaryMetricValue(SummaryMetric metric, const RunMetrics& metrics,
                                         const std::optional<MatrixProperties>& matrix) {
  if (metric == SummaryMetric::rms) return metrics.fit ? std::optional(metrics.fit->rms) : std::nullopt;
  if (!metrics.curve) return std::nullopt;
  const CurveMetrics& c = *metrics.curve;
  switch (metric) {
    case SummaryMetric::peakForce:
      return c.peak.P / 1000;
    case SummaryMetric::peakStress:
      return c.peak.sigma;
    case SummaryMetric::peakWidth:
      return c.peak.Wcr;
    case SummaryMetric::energy:
      return c.energy;
    case SummaryMetric::halfPeakWidth:
      return c.halfPeakWcr;
    case SummaryMetric::complementaryEnergy:
      return c.complementaryEnergy;
    case SummaryMetric::energyIndex:
      return matrix ? std::optional(pshIndices(c, *matrix).energy) : std::nullopt;
    case SummaryMetric::strengthIndex:
      return matrix ? std::optional(pshIndices(c, *matrix).strength) : std::nullopt;
    case SummaryMetric::rms:
      break;
  }
  return std::nullopt;
}

}  // namespace fb
