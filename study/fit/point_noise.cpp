#include "study/fit/point_noise.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace fb {
namespace {

void addCurve(const std::vector<double>& x, const std::vector<double>& y, const double* scales, const bool* aside,
              std::vector<double>& out) {
  for (std::size_t i = 1; i + 1 < x.size(); ++i) {
    if (aside && (aside[i - 1] || aside[i] || aside[i + 1])) continue;
    const double span = x[i + 1] - x[i - 1];
    if (!(span > 0) || x[i] < x[i - 1] || x[i] > x[i + 1]) continue;
    const double left = (x[i + 1] - x[i]) / span, right = 1 - left;
    const double d = y[i] / scales[i] - (left * (y[i - 1] / scales[i - 1]) + right * (y[i + 1] / scales[i + 1]));
    out.push_back(d / std::sqrt(1 + left * left + right * right));
  }
}

}  // namespace

std::vector<MeasuredCurvePoints> measuredCurvesOf(const FitSettings& s) {
  std::vector<MeasuredCurvePoints> curves;
  std::size_t first = 0;
  const auto add = [&](const std::string& file, const char* yUnit, const auto& points, auto x, auto y) {
    MeasuredCurvePoints c{&file, yUnit, first, {}, {}, {}};
    for (const auto& p : points) {
      c.x.push_back(x(p));
      c.y.push_back(y(p));
      c.lines.push_back(p.line);
    }
    first += c.x.size();
    curves.push_back(std::move(c));
  };
  for (const Specimen& specimen : s.specimens)
    add(
        specimen.name, "MPa", specimen.measured, [](const MeasuredPoint& p) { return p.Wcr; },
        [](const MeasuredPoint& p) { return p.sigma; });
  for (const PulloutSpecimen& test : s.pullouts)
    add(
        test.name, "N", test.measured, [](const PulloutPoint& p) { return p.slip; },
        [](const PulloutPoint& p) { return p.load; });
  for (const BeamSpecimen& test : s.beams.tests)
    add(
        test.name, "kN", test.measured, [](const BeamTestPoint& p) { return p.cmod; },
        [](const BeamTestPoint& p) { return p.load; });
  return curves;
}

std::vector<double> chordDeviations(const FitSettings& s, const std::vector<bool>& aside) {
  const std::vector<double> scales = s.residualScales();
  // std::vector<bool> has no data(): a plain copy to point into.
  const std::unique_ptr<bool[]> marks = aside.empty() ? nullptr : std::make_unique<bool[]>(scales.size());
  for (std::size_t i = 0; i < aside.size() && i < scales.size(); ++i) marks[i] = aside[i];
  std::vector<double> out;
  for (const MeasuredCurvePoints& c : measuredCurvesOf(s))
    addCurve(c.x, c.y, scales.data() + c.first, marks ? marks.get() + c.first : nullptr, out);
  return out;
}

double robustPointNoise(const FitSettings& s) {
  std::vector<double> d = chordDeviations(s);
  if (d.size() < 3) return 0;
  for (double& v : d) v = std::abs(v);
  const auto middle = d.begin() + static_cast<std::ptrdiff_t>(d.size() / 2);
  std::nth_element(d.begin(), middle, d.end());
  double median = *middle;
  if (d.size() % 2 == 0) median = (median + *std::max_element(d.begin(), middle)) / 2;
  return 1.4826 * median;
}

std::optional<double> softL1Scale(const FitSettings& s) {
  if (!s.robust) return std::nullopt;
  if (s.weighted()) return 1.0;
  const double noise = robustPointNoise(s);
  if (!(noise > 0) || !std::isfinite(noise)) return std::nullopt;
  return noise;
}

}  // namespace fb
