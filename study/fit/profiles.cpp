#include "study/fit/profiles.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/number_writer.h"

namespace fb {

std::vector<ProfilePoint> walkProfile(Evaluator& e, Track& track, const Optimum& optimum, std::size_t j,
                                      double direction, std::optional<double> standardErrorUnit,
                                      const std::vector<double>& follow, const SearchShared& shared,
                                      const FitTuning& tuning) {
  std::vector<ProfilePoint> points;
  const std::size_t n = optimum.unit.size();
  const double threshold = optimum.threshold;
  const double centre = optimum.unit[j];
  const double room = direction < 0 ? centre : 1 - centre;
  if (room <= 0) return points;
  // Steps of the standard error, where the Jacobian knows it, growing by half each time.
  const double first = std::clamp(standardErrorUnit.value_or(tuning.profileFirstStep), tuning.profileShortestStep,
                                  tuning.profileLongestStep);
  std::vector<std::size_t> others;
  for (std::size_t k = 0; k < n; ++k)
    if (k != j) others.push_back(k);
  std::vector<double> at = optimum.unit, previous = optimum.unit;
  int beyond = 0, shrunk = 0;
  double offset = first;
  const int count = tuning.profilePointsPerSide;
  for (int p = 0; p < count && beyond < tuning.profileEndsBeyond && !shared.stopped();
       ++p, offset *= tuning.profileStepGrowth) {
    const bool last = offset >= room || p == count - 1;
    const double target = last ? (direction < 0 ? 0.0 : 1.0) : centre + direction * offset;
    // The others start where the valley goes: along the Jacobian's partial
    // regression at first, then along the line through the last two points,
    // so that inputs which trade off follow it over long steps.
    const std::vector<double> here = at;
    for (std::size_t k : others) {
      const double slope = here[j] != previous[j] ? (here[k] - previous[k]) / (here[j] - previous[j]) : follow[k];
      at[k] = std::clamp(here[k] + slope * (target - here[j]), 0.0, 1.0);
    }
    at[j] = target;
    track.recent.reset();
    minimise(e, track, at, others, Minimiser::bobyqa, tuning.profileStep, tuning.evaluationsPerProfilePoint(n),
             tuning.profileTolerance, shared);
    if (!track.recent) break;  // the model refuses the inputs there: the profile ends
    const double objective = *track.recent->objective;
    points.push_back({track.recent->unit[j], objective, track.recent->unit, track.recent->values});
    // A first step far beyond the threshold says little of where it is
    // crossed: step back towards the optimum, a few times at most.
    if (points.size() == 1 + static_cast<std::size_t>(shrunk) && shrunk < tuning.profileStepBacks && !last &&
        objective > threshold + tuning.profileOvershoot * (threshold - optimum.objective)) {
      ++shrunk;
      at = optimum.unit;
      offset /= tuning.profileStepBack;
      continue;
    }
    previous = here;
    at = track.recent->unit;
    beyond = objective > threshold ? beyond + 1 : 0;
    if (last) break;
  }
  return points;
}

std::optional<std::pair<double, double>> smoothedInterval(const std::vector<ProfilePoint>& points,
                                                          const Optimum& optimum, std::size_t j,
                                                          const FitTuning& tuning) {
  const double best = optimum.objective, margin = optimum.threshold - best;
  const double centre = optimum.unit[j];
  std::vector<std::pair<double, double>> near{{centre, best}};
  for (const ProfilePoint& p : points)
    if (p.objective <= best + tuning.smoothedWithin * margin) near.emplace_back(p.unit, p.objective);
  if (near.size() < tuning.smoothedPoints || !(margin > 0)) return std::nullopt;
  // The normal equations of the three coefficients, in the objective's units of the margin.
  Eigen::Matrix3d A = Eigen::Matrix3d::Zero();
  Eigen::Vector3d b = Eigen::Vector3d::Zero();
  for (const auto& [unit, objective] : near) {
    const double x = unit - centre;
    const Eigen::Vector3d row(1, x, x * x);
    A += row * row.transpose();
    b += row * (objective / margin);
  }
  const Eigen::Vector3d c = A.partialPivLu().solve(b);
  if (!(c(2) > 0) || !c.allFinite()) return std::nullopt;
  double squares = 0;
  for (const auto& [unit, objective] : near) {
    const double x = unit - centre;
    const double r = c(0) + c(1) * x + c(2) * x * x - objective / margin;
    squares += r * r;
  }
  const double scatter = std::sqrt(squares / static_cast<double>(near.size()));
  const double vertex = centre - c(1) / (2 * c(2));
  const double half = std::sqrt((1 + tuning.smoothedScatter * scatter) / c(2));
  return std::pair{vertex - half, vertex + half};
}

ProfileInterval profileInterval(const std::vector<ProfilePoint>& down, const std::vector<ProfilePoint>& up,
                                const Optimum& optimum, std::size_t j, double value, const std::vector<FreeInput>& free,
                                const FitTuning& tuning) {
  ProfileInterval out;
  const FreeInput& f = free[j];
  const double threshold = optimum.threshold;
  // Both sides' points in order of the input, so that an optimum that moved
  // during the profiles still finds its interval around it.
  std::vector<ProfilePoint> all = down;
  all.insert(all.end(), up.begin(), up.end());
  std::stable_sort(all.begin(), all.end(),
                   [](const ProfilePoint& a, const ProfilePoint& b) { return a.unit < b.unit; });
  const double centre = optimum.unit[j];
  const std::optional<std::pair<double, double>> smooth = smoothedInterval(all, optimum, j, tuning);
  for (int side = 0; side < 2; ++side) {
    std::vector<const ProfilePoint*> points;  // outward from the optimum
    for (const ProfilePoint& p : all)
      if (side == 0 ? p.unit < centre : p.unit > centre) points.push_back(&p);
    if (side == 0) std::reverse(points.begin(), points.end());
    double inner = centre, innerObjective = optimum.objective, edge = inner;
    const ProfilePoint* reached = nullptr;
    bool closed = false;
    for (std::size_t p = 0; p < points.size(); ++p) {
      if (points[p]->objective <= threshold) {
        inner = edge = points[p]->unit;
        innerObjective = points[p]->objective;
        reached = points[p];
        continue;
      }
      // Outside; two in a row close the interval, one alone is a jump of the stress.
      if (p + 1 < points.size() && points[p + 1]->objective <= threshold) continue;
      // The profile rises as a parabola from the optimum, about linearly further out.
      double t = (threshold - innerObjective) / (points[p]->objective - innerObjective);
      if (!reached) t = std::sqrt(std::max(t, 0.0));
      edge = inner + std::clamp(t, 0.0, 1.0) * (points[p]->unit - inner);
      closed = true;
      break;
    }
    const double bound = side == 0 ? 0.0 : 1.0;
    bool onBound = !closed && (centre == bound || (!points.empty() && points.back()->unit == bound));
    if (onBound) edge = bound;
    // The smoothed profile reaches further: the interval takes the wider end.
    if (smooth) {
      const double end = side == 0 ? smooth->first : smooth->second;
      if (side == 0 ? end < edge : end > edge) edge = end;
      if (side == 0 ? edge <= 0 : edge >= 1) {
        edge = bound;
        onBound = true;
      }
    }
    const double reachedValue = f.low + edge * (f.high - f.low);
    if (side == 0) {
      out.low = std::min(reachedValue, value);
      out.lowOnBound = onBound;
    } else {
      out.high = std::max(reachedValue, value);
      out.highOnBound = onBound;
    }
    if (reached) (side == 0 ? out.lowEnd : out.highEnd) = reached->values;
    // The band's curves: the furthest inside point, else the nearest one probed.
    if (const ProfilePoint* member = reached ? reached : points.empty() ? nullptr : points.front())
      out.band.push_back(member->values);
    if (onBound && reached)
      for (std::size_t k = 0; k < free.size(); ++k)
        if (k != j && std::abs(reached->at[k] - optimum.unit[k]) > tuning.tradeOffMove &&
            std::find(out.partners.begin(), out.partners.end(), free[k].field) == out.partners.end())
          out.partners.push_back(free[k].field);
  }
  return out;
}

std::optional<FitWarning> undecidedWarning(const FreeInput& f, const ProfileInterval& interval) {
  if (!interval.lowOnBound && !interval.highOnBound) return std::nullopt;
  const std::string name(fieldInfo(f.field).name);
  std::string text = name + " is not decided by the measured curve: its 95 % interval reaches its bound";
  if (interval.lowOnBound && interval.highOnBound)
    text = name + " is not decided by the measured curve: its 95 % interval spans its bounds";
  else
    text += " " + formatShortest(interval.lowOnBound ? f.low : f.high);
  std::vector<Field> named{f.field};
  if (!interval.partners.empty()) {
    const std::vector<Field>& partners = interval.partners;
    text += "; it trades off with";
    for (std::size_t k = 0; k < partners.size(); ++k)
      text += (k == 0 ? " " : k + 1 == partners.size() ? " and " : ", ") + std::string(fieldInfo(partners[k]).name);
    named.insert(named.end(), partners.begin(), partners.end());
  }
  return FitWarning{named, text};
}

}  // namespace fb
