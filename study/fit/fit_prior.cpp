#include "study/fit/fit_prior.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>

#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "output/text_file.h"
#include "run/task_pool.h"
#include "study/fit/evaluator.h"
#include "study/fit/search.h"
#include "study/fit/trial.h"
#include "study/studies/sweep.h"

namespace fb {
namespace {

std::string name(Field f) { return std::string(fieldInfo(f).name); }

// The line of the byte at which the reader gave up (its count is one past it).
int lineAt(std::string_view text, std::size_t byte) {
  const std::size_t end = std::min(text.size(), byte > 0 ? byte - 1 : 0);
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
}

}  // namespace

Expected<std::vector<PriorInput>> parseFitPrior(std::string_view text, const std::string& fileName) {
  nlohmann::json report;
  try {
    report = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error& e) {
    return unexpected(fileName + ":" + std::to_string(lineAt(text, e.byte)) +
                      ": not JSON, so no fit report (--fit-report writes one)");
  }
  const std::string notReport = fileName + ": not a fit report (--fit-report writes one): ";
  if (!report.is_object() || !report.contains("inputs") || !report["inputs"].is_array())
    return unexpected(notReport + "it has no \"inputs\" list");
  std::vector<PriorInput> prior;
  const nlohmann::json& inputs = report["inputs"];
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    const nlohmann::json& in = inputs[k];
    const std::string which = notReport + "input " + std::to_string(k + 1);
    if (!in.is_object() || !in.contains("name") || !in["name"].is_string()) return unexpected(which + " has no name");
    const std::string inputName = in["name"].get<std::string>();
    const std::optional<Field> field = fieldByName(inputName);
    if (!field || *field == Field::dataFile)
      return unexpected(which + ": unknown input name " + quotedToken(inputName));
    double values[3];
    const char* keys[] = {"value", "low", "high"};
    for (int i = 0; i < 3; ++i) {
      if (!in.contains(keys[i]) || !in[keys[i]].is_number())
        return unexpected(which + " (" + inputName + ") has no number " + keys[i] +
                          (in.contains(keys[i]) && in[keys[i]].is_null() ? " (the fit gave no interval)" : ""));
      values[i] = in[keys[i]].get<double>();
    }
    if (!(std::isfinite(values[1]) && std::isfinite(values[2]) && values[1] <= values[0] && values[0] <= values[2]))
      return unexpected(which + " (" + inputName + "): its value does not lie in its interval");
    for (const PriorInput& p : prior)
      if (p.field == *field) return unexpected(which + ": " + inputName + " is given twice");
    PriorInput input{*field, values[0], values[1], values[2]};
    // The other inputs where the profile reached each end; a report without them holds the others still.
    for (const auto& [key, end] : {std::pair{"low_end", &input.lowEnd}, {"high_end", &input.highEnd}}) {
      if (!in.contains(key) || in[key].is_null()) continue;
      if (!in[key].is_object()) return unexpected(which + " (" + inputName + "): " + key + " is no set of inputs");
      for (const auto& [endName, endValue] : in[key].items()) {
        const std::optional<Field> endField = fieldByName(endName);
        if (!endField || *endField == Field::dataFile || !endValue.is_number())
          return unexpected(which + " (" + inputName + "): " + key + " holds " + quotedToken(endName) +
                            ", no input with a number");
        end->emplace_back(*endField, endValue.get<double>());
      }
    }
    prior.push_back(std::move(input));
  }
  if (prior.empty()) return unexpected(notReport + "its \"inputs\" list is empty");
  return prior;
}

Expected<std::vector<PriorInput>> readFitPrior(const std::string& path) {
  return readTextFile(path).and_then([&](const std::string& text) { return parseFitPrior(text, path); });
}

Expected<void> checkFitPrior(const FitSettings& s) {
  const std::string option = "--fit-prior " + s.priorName + ": ";
  for (const PriorInput& p : s.prior) {
    for (const FreeInput& f : s.free)
      if (f.field == p.field)
        return unexpected(option + name(p.field) + " is fitted here and was fitted in stage 1: fit it in one of them");
    // The stage-1 value as its saved set gives it: another value means another set of inputs.
    const double here = numberReader(s.base[p.field]);
    if (!(std::abs(here - p.value) <= 1e-12 * std::max(std::abs(here), std::abs(p.value))))
      return unexpected(option + name(p.field) + " is " + s.base[p.field] + " here but stage 1 found " +
                        formatShortest(p.value) + ": give the inputs that fit saved (--inputs)");
  }
  return {};
}

std::vector<std::pair<Field, double>> priorEnd(const FitSettings& s, const PriorInput& p, bool high) {
  const double end = high ? p.high : p.low;
  const std::vector<std::pair<Field, double>>& reached = high ? p.highEnd : p.lowEnd;
  double at = p.value;
  for (const auto& [field, value] : reached)
    if (field == p.field) at = value;
  if (reached.empty() || at == p.value) return {{p.field, end}};
  const double stretch = std::min(3.0, (end - p.value) / (at - p.value));
  std::vector<std::pair<Field, double>> out;
  for (const auto& [field, value] : reached) {
    double given = value;
    for (const PriorInput& q : s.prior)
      if (q.field == field) given = q.value;
    out.emplace_back(field, field == p.field ? end : given + stretch * (value - given));
  }
  return out;
}

std::vector<PriorRefit> refitAtPriorEnds(const FitSettings& s, const std::vector<double>& from,
                                         std::atomic<int>& runs) {
  std::vector<PriorRefit> refits(2 * s.prior.size());
  TaskPoolSettings pool;
  pool.jobs = s.jobs;
  pool.stopped = [&] { return s.stop && s.stop->load(); };
  runTasks(refits.size(), pool, [&](unsigned threads) -> TaskRunner {
    return [&, threads](std::size_t task) {
      PriorRefit& refit = refits[task];
      refit.prior = task / 2;
      refit.high = task % 2 == 1;
      const PriorInput& p = s.prior[refit.prior];
      FitSettings shifted = s;
      for (const auto& [field, value] : priorEnd(s, p, refit.high)) shifted.base[field] = rangeValueText(field, value);
      Evaluator evaluator(shifted, threads, runs);
      std::mutex mutex;
      std::optional<double> bestRms;
      const SearchShared shared{s.stop, &mutex, &bestRms};
      const std::string phase = "prior " + name(p.field) + (refit.high ? " high" : " low");
      Track search{phase, {}, {}, {}, {}}, polished{phase, {}, {}, {}, {}};
      searchFrom(evaluator, search, from, shared);
      if (search.best && search.best->objective) polish(evaluator, polished, *search.best, shared);
      refit.log = std::move(search.log);
      refit.log.insert(refit.log.end(), polished.log.begin(), polished.log.end());
      const std::optional<Trial>& best = polished.best ? polished.best : search.best;
      if (best && best->objective) refit.values = best->values;
    };
  });
  return refits;
}

void widenByPrior(const std::vector<PriorRefit>& refits, const std::vector<FreeInput>& free,
                  std::vector<FittedInput>& inputs) {
  for (std::size_t j = 0; j < inputs.size(); ++j) {
    FittedInput& in = inputs[j];
    // The largest shift below and above the value at any stage-1 end: the
    // ends of inputs that trade off lie near one another, so their shifts are
    // one uncertainty, not several to be added.
    double below = 0, above = 0;
    for (const PriorRefit& r : refits) {
      if (r.values.size() <= j) continue;
      const double shift = r.values[j] - in.value;
      below = std::max(below, -shift);
      above = std::max(above, shift);
    }
    in.fitInterval = std::pair(in.low, in.high);
    in.low = in.value - std::hypot(in.value - in.low, below);
    in.high = in.value + std::hypot(in.high - in.value, above);
    // The bounds are as far as the fit looked.
    if (j < free.size() && in.low <= free[j].low) in.low = free[j].low, in.lowOnBound = true;
    if (j < free.size() && in.high >= free[j].high) in.high = free[j].high, in.highOnBound = true;
  }
}

}  // namespace fb
