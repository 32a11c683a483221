#include "study/fit/basins.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/number_writer.h"

namespace fb {

std::vector<double> bestBasinReach(const std::vector<FreeInput>& free, const std::vector<FittedInput>& inputs,
                                   const FitTuning& tuning) {
  std::vector<double> reach(free.size(), tuning.basinRadius);
  for (std::size_t j = 0; j < free.size(); ++j) {
    const double range = free[j].high - free[j].low;
    reach[j] = std::max(tuning.basinRadius, (inputs[j].high - inputs[j].low) / range);
  }
  return reach;
}

std::vector<FitBasin> groupBasins(const std::vector<Trial>& searchEnds,
                                  const std::vector<std::pair<Trial, Trial>>& polished, const Trial& best,
                                  const std::vector<double>& reach, const FitTuning& tuning) {
  const auto inBest = [&](const Trial& t) {
    for (std::size_t j = 0; j < reach.size(); ++j)
      if (std::abs(t.unit[j] - best.unit[j]) > reach[j]) return false;
    return true;
  };
  std::vector<const Trial*> ends;
  for (const Trial& searched : searchEnds) {
    const Trial* end = &searched;
    for (const auto& [from, to] : polished)
      if (chebyshev(searched.unit, from.unit) <= tuning.basinRadius) {
        end = &to;
        break;
      }
    ends.push_back(end);
  }
  std::stable_sort(ends.begin(), ends.end(),
                   [](const Trial* a, const Trial* b) { return *a->objective < *b->objective; });
  std::vector<FitBasin> basins{{best.rms, 0, best.values, *best.objective}};
  std::vector<const Trial*> representatives{&best};
  for (const Trial* end : ends) {
    if (inBest(*end)) {
      ++basins[0].starts;
      continue;
    }
    std::size_t b = 1;
    while (b < representatives.size() && chebyshev(end->unit, representatives[b]->unit) > tuning.basinRadius) ++b;
    if (b == representatives.size()) {
      representatives.push_back(end);
      basins.push_back({end->rms, 0, end->values, *end->objective});
    }
    ++basins[b].starts;
  }
  return basins;
}

std::vector<FitWarning> rivalWarnings(const std::vector<FitBasin>& basins, double rms,
                                      const std::vector<FreeInput>& free, const std::vector<FittedInput>& inputs,
                                      const char* unit, const FitTuning& tuning) {
  std::vector<FitWarning> warnings;
  for (std::size_t b = 1; b < basins.size(); ++b) {
    const FitBasin& rival = basins[b];
    if (rival.rms > tuning.rivalRms * rms) continue;
    std::vector<Field> outside;
    std::string values;
    for (std::size_t j = 0; j < free.size(); ++j) {
      values +=
          (j == 0 ? "" : ", ") + std::string(fieldInfo(free[j].field).name) + " = " + formatShortest(rival.values[j]);
      if (rival.values[j] < inputs[j].low || rival.values[j] > inputs[j].high) outside.push_back(free[j].field);
    }
    if (outside.empty()) continue;
    warnings.push_back({outside, "the measured curve fits about as well (RMS " + formatShortest(rival.rms) + " " +
                                     unit + ", " + std::to_string(rival.starts) +
                                     (rival.starts == 1 ? " start" : " starts") + ") with " + values +
                                     ": it does not decide between the two answers"});
  }
  return warnings;
}

void holdRivalAnswers(const std::vector<FitBasin>& basins, double threshold, std::vector<FittedInput>& inputs) {
  for (std::size_t b = 1; b < basins.size(); ++b) {
    if (!(basins[b].objective <= threshold)) continue;
    for (std::size_t j = 0; j < inputs.size() && j < basins[b].values.size(); ++j) {
      FittedInput& in = inputs[j];
      const double v = basins[b].values[j];
      if (v >= in.low && v <= in.high) continue;
      in.low = std::min(in.low, v);
      in.high = std::max(in.high, v);
      in.spansAnswers = true;
    }
  }
}

}  // namespace fb
