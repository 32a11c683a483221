#include "study/fit/adequacy.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/number_writer.h"
#include "study/fit/distributions.h"
#include "study/fit/point_noise.h"

namespace fb {
namespace {

// The runs test of the residuals' signs, curve by curve (zeros skipped),
// summed over the curves: too few runs means the residuals follow a pattern.
void runsTest(const std::vector<MeasuredCurvePoints>& curves, const std::vector<double>& residuals, FitAdequacy& a) {
  double runs = 0, expected = 0, variance = 0;
  for (const MeasuredCurvePoints& c : curves) {
    double positive = 0, negative = 0, curveRuns = 0;
    int last = 0;
    for (std::size_t i = 0; i < c.x.size(); ++i) {
      const double r = residuals[c.first + i];
      const int sign = r > 0 ? 1 : r < 0 ? -1 : 0;
      if (sign == 0) continue;
      (sign > 0 ? positive : negative) += 1;
      if (sign != last) curveRuns += 1;
      last = sign;
    }
    const double n = positive + negative;
    if (positive == 0 || negative == 0 || n < 2) continue;
    runs += curveRuns;
    expected += 2 * positive * negative / n + 1;
    variance += 2 * positive * negative * (2 * positive * negative - n) / (n * n * (n - 1));
  }
  if (!(variance > 0)) return;
  a.runs = static_cast<int>(runs);
  a.runsExpected = expected;
  a.runsZ = (runs - expected) / std::sqrt(variance);
  a.runsP = normalUpperTail(-*a.runsZ);
}

// The residuals' mean square against the points' own noise, an F test;
// the chords' estimate has about 18/35 of their count as its degrees of
// freedom (neighbouring chords share points).
void noiseTest(const FitSettings& s, const std::vector<double>& scaledResiduals, int dof,
               const std::vector<bool>& aside, FitAdequacy& a) {
  const std::vector<double> chords = chordDeviations(s, aside);
  double squares = 0;
  for (double d : chords) squares += d * d;
  const double triples = static_cast<double>(chords.size());
  if (triples < 3 || !(squares > 0)) return;
  double sum = 0;
  for (double e : scaledResiduals) sum += e * e;
  const double ratio = std::sqrt((sum / dof) / (squares / triples));
  a.noiseRatio = ratio;
  a.noiseP = fUpperTail(ratio * ratio, dof, triples * 18 / 35);
}

}  // namespace

std::optional<FitAdequacy> judgeAdequacy(const FitSettings& s, std::vector<double> residuals, std::size_t fitted,
                                         const std::vector<FitOutlier>& setAside) {
  const std::vector<double> scales = s.residualScales();
  if (residuals.size() != scales.size() || residuals.size() <= fitted + setAside.size()) return std::nullopt;
  FitAdequacy a;
  a.points = static_cast<int>(residuals.size() - setAside.size());
  a.dof = a.points - static_cast<int>(fitted);
  a.setAside = static_cast<int>(setAside.size());
  // A point set aside counts in no test: its residual is taken as none, and
  // no chord through it measures the noise.
  std::vector<bool> aside(setAside.empty() ? 0 : residuals.size(), false);
  for (const FitOutlier& o : setAside)
    if (o.residual < residuals.size()) {
      residuals[o.residual] = 0;
      aside[o.residual] = true;
    }
  std::vector<double> scaled(residuals.size());
  for (std::size_t i = 0; i < residuals.size(); ++i) scaled[i] = residuals[i] / scales[i];
  if (s.weighted()) {
    double chi = 0;
    for (double e : scaled) chi += e * e;
    a.chiSquare = chi;
    a.chiSquareP = a.p = chiSquareUpperTail(chi, a.dof);
    a.adequate = !(*a.p < kInadequateBelow);
    return a;
  }
  const std::vector<MeasuredCurvePoints> curves = measuredCurvesOf(s);
  runsTest(curves, residuals, a);
  noiseTest(s, scaled, a.dof, aside, a);
  if (!a.noiseRatio) return a.runsP ? std::optional(a) : std::nullopt;
  a.p = a.runsP ? chiSquareUpperTail(-2 * (std::log(*a.runsP) + std::log(*a.noiseP)), 4) : *a.noiseP;
  // Patterned residuals smaller than the points' own scatter are no misfit.
  const bool misfit = *a.p<kInadequateBelow&& * a.noiseRatio> 1;
  a.adequate = !misfit;
  return a;
}

std::vector<FitOutlier> findOutliers(const FitSettings& s, const std::vector<double>& residuals, std::size_t fitted) {
  const std::vector<double> scales = s.residualScales();
  const double n = static_cast<double>(residuals.size());
  const double dof = n - static_cast<double>(fitted) - 1;
  if (residuals.size() != scales.size() || dof < 1) return {};
  std::vector<double> e(residuals.size());
  double sum = 0;
  for (std::size_t i = 0; i < residuals.size(); ++i) {
    e[i] = residuals[i] / scales[i];
    sum += e[i] * e[i];
  }
  // Known standard deviations make the statistic normal (its variance floored
  // at 1, as the intervals'); estimated ones, Student's t.
  const double tail = kOutlierFamilyRate / (2 * n);
  const double threshold = s.weighted() ? normalUpperQuantile(tail) : studentTUpperQuantile(tail, dof);
  std::vector<const MeasuredCurvePoints*> curveOf(residuals.size());
  const std::vector<MeasuredCurvePoints> curves = measuredCurvesOf(s);
  for (const MeasuredCurvePoints& c : curves)
    for (std::size_t i = 0; i < c.x.size(); ++i) curveOf[c.first + i] = &c;
  // The most extreme point against the others, set aside while it exceeds the
  // threshold, so that a gross outlier does not hide a lesser one.
  std::vector<bool> aside(residuals.size(), false);
  std::vector<FitOutlier> out;
  for (double others = dof; others >= 1; others -= 1) {
    std::optional<std::size_t> worst;
    double worstT = 0;
    for (std::size_t k = 0; k < e.size(); ++k) {
      if (aside[k]) continue;
      double variance = (sum - e[k] * e[k]) / others;
      if (s.weighted()) variance = std::max(1.0, variance);
      if (!(variance > 0)) continue;
      const double t = e[k] / std::sqrt(variance);
      if (std::abs(t) > std::abs(worstT)) {
        worst = k;
        worstT = t;
      }
    }
    if (!worst || !(std::abs(worstT) > threshold)) break;
    const MeasuredCurvePoints& c = *curveOf[*worst];
    const std::size_t i = *worst - c.first;
    out.push_back({*c.file, c.lines[i], i, *worst, c.x[i], c.y[i], worstT, threshold, c.yUnit});
    aside[*worst] = true;
    sum -= e[*worst] * e[*worst];
  }
  return out;
}

std::string adequacyText(const FitAdequacy& a) {
  const auto p = [](double value) { return "p = " + significantText(value, 2); };
  const std::string aside = a.setAside == 0   ? ""
                            : a.setAside == 1 ? " (the outlier set aside)"
                                              : " (the " + std::to_string(a.setAside) + " outliers set aside)";
  if (a.chiSquare)
    return "chi-square " + formatFixed(*a.chiSquare, 1) + " for " + std::to_string(a.dof) + " degrees of freedom (" +
           p(*a.chiSquareP) + ")" + aside;
  std::string out;
  if (a.runs)
    out += "the residuals change sign in " + std::to_string(*a.runs) + " runs where " +
           formatFixed(*a.runsExpected, 1) + " are expected (runs test z = " + formatFixed(*a.runsZ, 2) + ", " +
           p(*a.runsP) + ")";
  if (a.noiseRatio)
    out += std::string(out.empty() ? "" : "; ") + "their RMS is " + formatFixed(*a.noiseRatio, 2) +
           " times the noise of the points themselves (" + p(*a.noiseP) + ")";
  if (a.runs && a.noiseRatio) out += "; together " + p(*a.p);
  return out + aside;
}

std::optional<FitWarning> adequacyWarning(const FitAdequacy& a) {
  if (a.adequate) return std::nullopt;
  return FitWarning{{},
                    "the model does not reproduce this curve within its noise: the intervals describe the best fit "
                    "of this model, not the truth; free another input or check the data"};
}

FitWarning outlierWarning(const FitOutlier& o, std::size_t points) {
  const std::string where =
      o.line > 0 ? o.file + " line " + std::to_string(o.line) : o.file + " point " + std::to_string(o.point + 1);
  return FitWarning{{},
                    "outlier: " + where + " (" + formatShortest(o.x) + " mm, " + formatShortest(o.y) + " " + o.yUnit +
                        ") lies " + formatFixed(std::abs(o.t), 1) +
                        " standard deviations of the other residuals from the fit, beyond the " +
                        formatFixed(o.threshold, 2) + " that 5 % over " + std::to_string(points) +
                        " points allows (Bonferroni): check it"};
}

}  // namespace fb
