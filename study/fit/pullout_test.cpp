#include "study/fit/pullout_test.h"

#include <cmath>

#include "engine/inputs.h"
#include "engine/number_writer.h"
#include "engine/parameter_set.h"

namespace fb {

double pulloutInclination(double degrees) { return degrees * kDegToRad; }

Expected<void> checkPulloutInsideFiber(double lb, const FieldTexts& texts) {
  // The model's fibers are embedded by at most half their length.
  const float halfLf = readParameterSet(texts).params.Lf / 2;
  if (static_cast<float>(lb) <= halfLf) return {};
  return unexpected("lb = " + formatShortest(lb) + " mm lies beyond the longest embedded length of the model, Lf/2 = " +
                    formatShortest(halfLf) + " mm");
}

std::vector<FitWarning> lawWarnings(const FieldTexts& texts) {
  const ParameterSet p = readParameterSet(texts).params;
  std::vector<FitWarning> out;
  if (!(p.Lf > 0)) return out;
  // The embedded lengths run from about a hundredth of the half fiber up to it;
  // each comparison is monotonic in lb, so its ends decide.
  const double shortest = p.Lf / 200.0, longest = p.Lf / 2.0;
  const auto below = [&](auto peak, auto first) {
    return peak(shortest) < first(shortest) || peak(longest) < first(longest);
  };
  if (below([&](double lb) { return p.A * std::pow(lb, p.B); }, [&](double lb) { return p.Aa * std::pow(lb, p.Ba); }))
    out.push_back({{Field::A, Field::B, Field::Aa, Field::Ba},
                   "the fitted pullout law is not physical: its peak load A*lb^B lies below its first-point load "
                   "Aa*lb^Ba for some embedded lengths"});
  if (below([&](double lb) { return p.C * lb + p.D; }, [&](double lb) { return p.Ca * lb + p.Da; }))
    out.push_back({{Field::C, Field::D, Field::Ca, Field::Da},
                   "the fitted pullout law is not physical: its peak width C*lb+D lies below its first-point width "
                   "Ca*lb+Da for some embedded lengths"});
  return out;
}

}  // namespace fb
