// The statistics of a fit that need no search: quantiles, and what a fitted
// law must satisfy to describe a fiber at all.
#include <cmath>

#include "engine/inputs.h"
#include "study/calibration.h"

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
