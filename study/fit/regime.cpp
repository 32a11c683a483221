#include "study/fit/regime.h"

#include <cmath>

#include "engine/inputs.h"
#include "engine/pullout_law.h"
#include "study/fit/pullout_test.h"
#include "study/fit/search.h"
#include "study/studies/sweep.h"

namespace fb {
namespace {

bool rupturesBeforePeak(const FieldTexts& texts, const std::vector<FreeInput>& free, const std::vector<double>& values,
                        double lb, double psi, bool& readable) {
  FieldTexts t = texts;
  for (std::size_t j = 0; j < free.size(); ++j) t[free[j].field] = rangeValueText(free[j].field, values[j]);
  const ReadOutcome read = readParameterSet(t);
  if (read.refusal) {
    readable = false;
    return false;
  }
  const ParameterSet& p = read.params;
  return pulloutPoints(p, static_cast<float>(lb), psi).Pmax > ruptureLoad(p, psi);
}

}  // namespace

std::vector<bool> ruptureRegime(const FitSettings& s, const std::vector<double>& values) {
  std::vector<bool> regime;
  bool readable = true;
  for (std::size_t k = 0; k < s.specimens.size(); ++k) {
    const FieldTexts texts = specimenTexts(s, k);
    const double Lf = readParameterSet(texts).params.Lf;
    regime.push_back(rupturesBeforePeak(texts, s.free, values, Lf / 2, 0, readable));
  }
  for (std::size_t k = 0; k < s.pullouts.size(); ++k)
    regime.push_back(rupturesBeforePeak(pulloutTexts(s, k), s.free, values, s.pullouts[k].lb,
                                        pulloutInclination(s.pullouts[k].angle), readable));
  for (std::size_t k = 0; k < s.beams.tests.size(); ++k) {
    const FieldTexts texts = beamTexts(s, k);
    const double Lf = readParameterSet(texts).params.Lf;
    regime.push_back(rupturesBeforePeak(texts, s.free, values, Lf / 2, 0, readable));
  }
  return readable ? regime : std::vector<bool>{};
}

std::vector<std::vector<double>> otherRegimeStarts(const FitSettings& s, const std::vector<bool>& regime,
                                                   int candidates, int count, std::uint64_t seed) {
  std::vector<std::vector<double>> out;
  if (regime.empty()) return out;
  const std::vector<double> centre(s.free.size(), 0.5);
  const std::vector<std::vector<double>> drawn = startingPoints(centre, candidates + 1, seed);
  for (std::size_t i = 1; i < drawn.size() && static_cast<int>(out.size()) < count; ++i) {
    std::vector<double> values(s.free.size());
    for (std::size_t j = 0; j < values.size(); ++j)
      values[j] = s.free[j].low + drawn[i][j] * (s.free[j].high - s.free[j].low);
    const std::vector<bool> other = ruptureRegime(s, values);
    if (!other.empty() && other != regime) out.push_back(drawn[i]);
  }
  return out;
}

}  // namespace fb
