#include "study/design/tension_law.h"

#include <algorithm>
#include <cmath>

namespace fb {
namespace {

constexpr double kC1 = 3, kC2 = 6.93, kWcPerGfFt = 5.14;
constexpr int kSofteningPoints = 40;

// The bridging stress at width w, linear between the steps, 0 beyond the last.
double bridgingAt(std::span<const StepResult> steps, double w) {
  if (steps.empty() || w > steps.back().Wcr) return 0;
  const auto above =
      std::lower_bound(steps.begin(), steps.end(), w, [](const StepResult& r, double width) { return r.Wcr < width; });
  if (above == steps.begin()) return above->sigma;
  const StepResult& b = *above;
  const StepResult& a = *(above - 1);
  if (b.Wcr == a.Wcr) return b.sigma;
  return a.sigma + (b.sigma - a.sigma) * (w - a.Wcr) / (b.Wcr - a.Wcr);
}

}  // namespace

double hordijkStress(const MatrixTension& m, double w) {
  const double wc = kWcPerGfFt * m.Gf / m.ft;
  if (w >= wc) return 0;
  const double x = std::max(0.0, w / wc);
  return m.ft * ((1 + std::pow(kC1 * x, 3)) * std::exp(-kC2 * x) - x * (1 + std::pow(kC1, 3)) * std::exp(-kC2));
}

TensionLaw compositeLaw(std::span<const StepResult> steps, const std::optional<MatrixTension>& matrix) {
  std::vector<double> widths{0};
  for (const StepResult& r : steps) widths.push_back(r.Wcr);
  if (matrix) {
    // Closer where the matrix's stress falls fastest, near the crack's opening.
    const double wc = kWcPerGfFt * matrix->Gf / matrix->ft;
    for (int i = 1; i <= kSofteningPoints; ++i) {
      const double f = static_cast<double>(i) / kSofteningPoints;
      widths.push_back(wc * f * f);
    }
  }
  std::sort(widths.begin(), widths.end());
  widths.erase(std::unique(widths.begin(), widths.end()), widths.end());
  TensionLaw law;
  for (const double w : widths) {
    law.w.push_back(w);
    law.sigma.push_back(bridgingAt(steps, w) + (matrix ? hordijkStress(*matrix, w) : 0.0));
  }
  return law;
}

TensionLaw tabulatedLaw(std::span<const MeasuredPoint> points) {
  TensionLaw law;
  for (const MeasuredPoint& p : points) {
    if (law.w.empty() && p.Wcr > 0) {
      law.w.push_back(0);
      law.sigma.push_back(p.sigma);
    }
    law.w.push_back(p.Wcr);
    law.sigma.push_back(p.sigma);
  }
  return law;
}

}  // namespace fb
