#include "study/fit/uncertainty.h"

#include <Eigen/Dense>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>

#include "engine/number_writer.h"
#include "study/fit/evaluator.h"
#include "study/fit/trial.h"

namespace fb {

double studentT975(double dof) {
  // The tabulated quantiles up to 30 degrees of freedom; beyond, the
  // Cornish-Fisher expansion about the normal quantile, within 1e-5 there.
  static constexpr double kTable[] = {12.706204736, 4.302652730, 3.182446305, 2.776445105, 2.570581836, 2.446911851,
                                      2.364624252,  2.306004135, 2.262157163, 2.228138852, 2.200985160, 2.178812830,
                                      2.160368656,  2.144786688, 2.131449546, 2.119905299, 2.109815578, 2.100922040,
                                      2.093024054,  2.085963447, 2.079613845, 2.073873068, 2.068657610, 2.063898562,
                                      2.059538553,  2.055529439, 2.051830516, 2.048407142, 2.045229642, 2.042272456};
  if (dof < 30.5) return kTable[static_cast<int>(std::max(1.0, std::round(dof))) - 1];
  const double z = 1.959963984540054, z2 = z * z;
  const double g1 = (z2 + 1) * z / 4;
  const double g2 = ((5 * z2 + 16) * z2 + 3) * z / 96;
  const double g3 = (((3 * z2 + 19) * z2 + 17) * z2 - 15) * z / 384;
  const double g4 = ((((79 * z2 + 776) * z2 + 1482) * z2 - 1920) * z2 - 945) * z / 92160;
  const double v = dof;
  return z + g1 / v + g2 / (v * v) + g3 / (v * v * v) + g4 / (v * v * v * v);
}

Estimates jacobianEstimates(const FitSettings& s, const Trial& best, const FitTuning& tuning) {
  const std::size_t n = s.free.size();
  const std::size_t m = best.residuals.size();
  Estimates out;
  out.standardErrorUnit.assign(n, std::nullopt);
  out.standardError.assign(n, std::nullopt);
  out.correlation.assign(n, std::vector<double>(n, std::nan("")));
  Eigen::MatrixXd J = Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(m), static_cast<Eigen::Index>(n));
  std::vector<double> weight = s.residualScales();
  for (double& w : weight) w = 1 / w;
  std::vector<bool> known(n, true);
  std::atomic<int> runs{0};
  Evaluator evaluator(s, s.jobs, runs);  // on the caller's thread alone: all the jobs' threads
  Track track{"errors", {}, {}, {}, {}};
  for (std::size_t j = 0; j < n; ++j) {
    std::vector<double> up = best.unit, down = best.unit;
    up[j] = std::min(best.unit[j] + tuning.jacobianStep, 1.0);
    down[j] = std::max(best.unit[j] - tuning.jacobianStep, 0.0);
    const Trial a = evaluator.evaluate(up), b = evaluator.evaluate(down);
    track.keep(a);
    track.keep(b);
    if (!a.objective || !b.objective || a.values[j] == b.values[j]) {
      known[j] = false;
      continue;
    }
    // In the unit of the input's range, so that inputs of any unit compare.
    const double range = s.free[j].high - s.free[j].low;
    for (std::size_t i = 0; i < m; ++i)
      J(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) =
          (a.residuals[i] - b.residuals[i]) * weight[i] / ((a.values[j] - b.values[j]) / range);
  }
  out.runs = runs.load();
  out.log = std::move(track.log);

  // With input j held at a new value, the others that fit best move by the
  // regression of j's column on theirs (none where it is not determined).
  out.follow.assign(n, std::vector<double>(n, 0.0));
  for (std::size_t j = 0; j < n && n > 1; ++j) {
    if (!known[j]) continue;
    std::vector<Eigen::Index> others;
    for (std::size_t k = 0; k < n; ++k)
      if (k != j && known[k]) others.push_back(static_cast<Eigen::Index>(k));
    if (others.empty()) continue;
    Eigen::MatrixXd O(static_cast<Eigen::Index>(m), static_cast<Eigen::Index>(others.size()));
    for (std::size_t c = 0; c < others.size(); ++c) O.col(static_cast<Eigen::Index>(c)) = J.col(others[c]);
    const Eigen::VectorXd move =
        O.jacobiSvd(Eigen::ComputeThinU | Eigen::ComputeThinV).solve(-J.col(static_cast<Eigen::Index>(j)));
    for (std::size_t c = 0; c < others.size(); ++c)
      if (std::isfinite(move(static_cast<Eigen::Index>(c))))
        out.follow[j][static_cast<std::size_t>(others[c])] = move(static_cast<Eigen::Index>(c));
  }

  // An input has no effect when its column is small beside the others' or
  // beside the measured stresses themselves (it may be the only one): across
  // its whole range it moves the stress by less than a ten-thousandth.
  double largest = 0, stresses = 0;
  for (std::size_t j = 0; j < n; ++j) largest = std::max(largest, J.col(static_cast<Eigen::Index>(j)).norm());
  {
    std::size_t i = 0;
    for (const Specimen& specimen : s.specimens)
      for (const MeasuredPoint& p : specimen.measured) {
        stresses += (p.sigma * weight[i]) * (p.sigma * weight[i]);
        ++i;
      }
    for (const PulloutSpecimen& test : s.pullouts)
      for (const PulloutPoint& p : test.measured) {
        stresses += (p.load * weight[i]) * (p.load * weight[i]);
        ++i;
      }
    for (const BeamSpecimen& test : s.beams.tests)
      for (const BeamTestPoint& p : test.measured) {
        stresses += (p.load * weight[i]) * (p.load * weight[i]);
        ++i;
      }
  }
  std::vector<std::size_t> active;
  for (std::size_t j = 0; j < n; ++j) {
    if (!known[j]) continue;
    const double norm = J.col(static_cast<Eigen::Index>(j)).norm();
    if (norm <= tuning.noEffect * largest || norm <= tuning.noEffect * std::sqrt(stresses)) {
      out.noEffect.push_back(j);
      continue;
    }
    active.push_back(j);
  }
  const Eigen::Index k = static_cast<Eigen::Index>(active.size());
  if (k == 0) return out;
  Eigen::MatrixXd A(static_cast<Eigen::Index>(m), k);
  for (Eigen::Index c = 0; c < k; ++c) A.col(c) = J.col(static_cast<Eigen::Index>(active[c]));
  const Eigen::JacobiSVD<Eigen::MatrixXd> svd(A);
  const auto& sv = svd.singularValues();
  const auto tradeOff = [&](std::size_t a, std::size_t b) { out.tradeOffs.emplace_back(a, b); };
  if (sv(k - 1) <= tuning.singular * sv(0)) {
    // No unique optimum: inputs whose effects on the stress are (nearly) one.
    for (Eigen::Index a = 0; a < k; ++a)
      for (Eigen::Index b = a + 1; b < k; ++b)
        if (std::abs(A.col(a).dot(A.col(b)) / (A.col(a).norm() * A.col(b).norm())) > tuning.sameEffect)
          tradeOff(active[a], active[b]);
    return out;
  }
  const double dof = static_cast<double>(m) - static_cast<double>(n);
  if (dof <= 0) return out;  // as many points as inputs: no residual variance to go by
  double sumOfSquares = 0;
  for (std::size_t i = 0; i < m; ++i) sumOfSquares += (best.residuals[i] * weight[i]) * (best.residuals[i] * weight[i]);
  const Eigen::MatrixXd covariance = (A.transpose() * A).inverse() * (sumOfSquares / dof);
  for (Eigen::Index a = 0; a < k; ++a) {
    const std::size_t ja = active[a];
    out.standardErrorUnit[ja] = std::sqrt(covariance(a, a));
    out.standardError[ja] = *out.standardErrorUnit[ja] * (s.free[ja].high - s.free[ja].low);
    for (Eigen::Index b = 0; b < k; ++b) {
      const double rho = covariance(a, b) / std::sqrt(covariance(a, a) * covariance(b, b));
      out.correlation[ja][active[b]] = rho;
      if (b > a && std::abs(rho) > tuning.tradeOffCorrelation) tradeOff(ja, active[b]);
    }
  }
  return out;
}

FitWarning noEffectWarning(const FitSettings& s, std::size_t j) {
  return {{s.free[j].field},
          std::string(fieldInfo(s.free[j].field).name) + (s.specimens.empty()
                                                              ? " has no effect on the computed load: fix it"
                                                              : " has no effect on the computed stress: fix it")};
}

void tradeOffReports(const FitSettings& s, const Estimates& e, const std::vector<FittedInput>& inputs,
                     std::vector<FitWarning>& warnings, std::vector<std::string>& notes) {
  const auto undecided = [&](std::size_t j) { return inputs[j].lowOnBound || inputs[j].highOnBound; };
  for (const auto& [a, b] : e.tradeOffs) {
    const std::string pair =
        std::string(fieldInfo(s.free[a].field).name) + " and " + std::string(fieldInfo(s.free[b].field).name);
    if (undecided(a) || undecided(b)) {
      warnings.push_back({{s.free[a].field, s.free[b].field}, pair + " trade off on this curve: fix one of them"});
      continue;
    }
    const double rho = e.correlation[a][b];
    notes.push_back(pair + " trade off on this curve" +
                    (std::isfinite(rho) ? " (correlation " + formatFixed(rho, 3) + ")" : std::string()) +
                    ", yet the profiles decide both within their intervals, which hold the trade-off");
  }
}

}  // namespace fb
