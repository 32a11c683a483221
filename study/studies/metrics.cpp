#include "study/studies/metrics.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace fb {

CurveMetrics curveMetrics(std::span<const StepResult> steps) {
  CurveMetrics d;
  std::size_t peakIndex = 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    // The same rule as the result boxes, so the summary quotes their peak.
    d.peak.update(steps[i]);
    if (d.peak.P == steps[i].P && d.peak.Wcr == steps[i].Wcr) peakIndex = i;
    if (i > 0) d.energy += (steps[i].sigma + steps[i - 1].sigma) / 2 * (steps[i].Wcr - steps[i - 1].Wcr);
  }
  double areaToPeak = 0;  // N/mm
  for (std::size_t i = 1; i <= peakIndex; ++i)
    areaToPeak += (steps[i].sigma + steps[i - 1].sigma) / 2 * (steps[i].Wcr - steps[i - 1].Wcr);
  // MPa times mm is N/mm, a thousand J/m2.
  d.complementaryEnergy = (d.peak.sigma * d.peak.Wcr - areaToPeak) * 1000;
  d.peakIndex = peakIndex;
  const double half = d.peak.sigma / 2;
  if (!(half > 0)) return d;  // no tension peak to halve
  for (std::size_t i = peakIndex + 1; i < steps.size(); ++i) {
    if (steps[i].sigma > half) continue;
    const StepResult& a = steps[i - 1];
    const StepResult& b = steps[i];
    d.halfPeakWcr = a.Wcr + (half - a.sigma) * (b.Wcr - a.Wcr) / (b.sigma - a.sigma);
    break;
  }
  return d;
}

std::optional<double> stressAt(std::span<const StepResult> steps, double Wcr) {
  if (steps.size() == 1 && steps[0].Wcr == Wcr) return steps[0].sigma;
  for (std::size_t i = 1; i < steps.size(); ++i) {
    const StepResult& a = steps[i - 1];
    const StepResult& b = steps[i];
    if (Wcr < std::min(a.Wcr, b.Wcr) || Wcr > std::max(a.Wcr, b.Wcr)) continue;
    if (a.Wcr == b.Wcr) return b.sigma;
    return a.sigma + (Wcr - a.Wcr) * (b.sigma - a.sigma) / (b.Wcr - a.Wcr);
  }
  return std::nullopt;
}

double rootMeanSquare(std::span<const double> differences) {
  const double count = static_cast<double>(differences.size());
  double sumOfSquares = 0;
  for (double d : differences) sumOfSquares += d * d;
  const double rms = std::sqrt(sumOfSquares / count);
  if (std::isfinite(rms)) return rms;
  // Differences so large that their squares overflow: scale by the largest.
  double largest = 0;
  for (double d : differences) largest = std::max(largest, std::abs(d));
  sumOfSquares = 0;
  for (double d : differences) sumOfSquares += (d / largest) * (d / largest);
  return largest * std::sqrt(sumOfSquares / count);
}

std::optional<MeasuredFit> compareMeasured(std::span<const StepResult> steps, std::span<const MeasuredPoint> measured) {
  MeasuredFit fit;
  fit.total = static_cast<int>(measured.size());
  std::vector<double> differences;
  for (const MeasuredPoint& m : measured)
    if (const auto computed = stressAt(steps, m.Wcr)) differences.push_back(*computed - m.sigma);
  fit.used = static_cast<int>(differences.size());
  if (fit.used == 0) return std::nullopt;
  fit.rms = rootMeanSquare(differences);
  return fit;
}

RunMetrics runMetrics(std::span<const StepResult> steps, std::span<const MeasuredPoint> measured) {
  RunMetrics f;
  if (steps.empty()) return f;
  f.curve = curveMetrics(steps);
  if (!measured.empty()) f.fit = compareMeasured(steps, measured);
  return f;
}

}  // namespace fb
