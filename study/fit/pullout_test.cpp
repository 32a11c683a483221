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

namespace {

// Whether `peak` lies below `first` at some embedded length of the model's
// fibers. The lengths run from about a hundredth of the half fiber up to it;
// each comparison is monotonic in lb, so its ends decide.
template <class Peak, class First>
bool peakBelowFirst(const ParameterSet& p, Peak peak, First first) {
  const double shortest = p.Lf / 200.0, longest = p.Lf / 2.0;
  return peak(shortest) < first(shortest) || peak(longest) < first(longest);
}

}  // namespace

std::vector<FitWarning> lawWarnings(const FieldTexts& texts) {
  const ParameterSet p = readParameterSet(texts).params;
  std::vector<FitWarning> out;
  if (!(p.Lf > 0)) return out;
  if (peakBelowFirst(
          p, [&](double lb) { return p.C * lb + p.D; }, [&](double lb) { return p.Ca * lb + p.Da; }))
    out.push_back({{Field::C, Field::D, Field::Ca, Field::Da},
                   "the fitted pullout law is not physical: its peak width C*lb+D lies below its first-point width "
                   "Ca*lb+Da for some embedded lengths"});
  return out;
}

std::vector<std::string> lawNotes(const FieldTexts& texts) {
  const ParameterSet p = readParameterSet(texts).params;
  if (!(p.Lf > 0)) return {};
  // A chemically bonded fiber (PVA) loses its bond's share of the load once
  // fully debonded, and slips on under friction alone: a shape, not a fault.
  if (peakBelowFirst(
          p, [&](double lb) { return p.A * std::pow(lb, p.B); }, [&](double lb) { return p.Aa * std::pow(lb, p.Ba); }))
    return {
        "the fitted pullout law drops its load after full debonding: its first-point load Aa*lb^Ba lies above "
        "its peak load A*lb^B for some embedded lengths, as with chemically bonded fibers such as PVA"};
  return {};
}

}  // namespace fb
