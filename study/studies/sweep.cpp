#include "study/studies/sweep.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <set>

#include "engine/field_table.h"
#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "study/inputs/input_set.h"

namespace fb {

std::string rangeValueText(Field field, double value) {
  switch (fieldInfo(field).precision()) {
    case Precision::int16:
      if (const auto whole = roundDivision(value)) return std::to_string(*whole);
      return exactText(value);
    case Precision::single: {
      const float single = static_cast<float>(value);
      return std::isfinite(single) ? exactText(single) : exactText(value);
    }
    default:
      return exactText(value);
  }
}

Expected<Sweep> parseSweep(std::string_view text) {
  const auto fail = [&](const std::string& reason) {
    return unexpected("--sweep " + quotedToken(text, 60) + ": " + reason);
  };
  const Expected<InputAssignment> named = splitInputAssignment(text, "NAME=FROM:TO:COUNT or NAME=V1,V2,...");
  if (!named) return fail(named.error());
  Sweep sweep{named->field, std::string(text), {}};
  const std::string_view values = named->value;
  const bool wholeOnly = sweep.field == Field::division;

  if (values.find(':') != std::string_view::npos) {
    const auto c1 = values.find(':');
    const auto c2 = values.find(':', c1 + 1);
    if (c2 == std::string_view::npos || values.find(':', c2 + 1) != std::string_view::npos)
      return fail("a range is FROM:TO:COUNT");
    // A range's ends and count must be plain numbers: a typo would otherwise
    // quietly read as 0 and give a different study.
    const auto from = strictNumber(trim(values.substr(0, c1)));
    const auto to = strictNumber(trim(values.substr(c1 + 1, c2 - c1 - 1)));
    const auto count = strictNumber(trim(values.substr(c2 + 1)));
    if (!from) return fail("FROM is not a number");
    if (!to) return fail("TO is not a number");
    if (!count || *count != std::floor(*count) || *count < 2 || *count > double(kLargeStudyRuns))
      return fail("COUNT must be a whole number from 2 to " + std::to_string(kLargeStudyRuns) +
                  " (both ends are included)");
    const int n = static_cast<int>(*count);
    for (int i = 0; i < n; ++i) {
      // lerp is exact at both ends, so FROM and TO themselves are studied.
      const double value = std::lerp(*from, *to, static_cast<double>(i) / (n - 1));
      // Rounded, a fraction would run a division other than the one the range names.
      if (wholeOnly && value != std::floor(value))
        return fail("division takes whole numbers, and this range gives " + exactText(value) +
                    "; choose FROM, TO and COUNT so that every step is whole");
      sweep.values.push_back(rangeValueText(sweep.field, value));
    }
  } else {
    std::string_view rest = values;
    for (;;) {
      const auto comma = rest.find(',');
      const std::string_view value = trim(rest.substr(0, comma));
      if (value.empty()) return fail("an empty value in the list");
      // As strict as a range: a typo such as the letter O for a zero would
      // otherwise read as 0 and run another study than the one meant.
      const NumberReading reading = readNumber(value);
      if (!reading.whole) return fail(quotedToken(value) + " is not a number");
      if (!std::isfinite(reading.value)) return fail(quotedToken(value) + " is not a finite number");
      if (wholeOnly && reading.value != std::floor(reading.value))
        return fail(quotedToken(value) + " is not a whole number, which division takes");
      sweep.values.emplace_back(value);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return sweep;
}

std::string fileSafe(std::string_view text) {
  std::string safe(text);
  for (char& c : safe) {
    const bool plain =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-';
    if (!plain) c = '_';
  }
  return safe;
}

std::vector<std::size_t> Grid::picks(std::size_t index) const {
  std::vector<std::size_t> picks(sweeps_.size());
  // The last sweep varies fastest.
  for (std::size_t s = sweeps_.size(); s-- > 0;) {
    picks[s] = index % sweeps_[s].values.size();
    index /= sweeps_[s].values.size();
  }
  return picks;
}

std::vector<std::string> Grid::values(std::size_t index) const {
  const std::vector<std::size_t> picked = picks(index);
  std::vector<std::string> values;
  values.reserve(sweeps_.size());
  for (std::size_t s = 0; s < sweeps_.size(); ++s) values.push_back(sweeps_[s].values[picked[s]]);
  return values;
}

std::string Grid::name(std::size_t index) const {
  const std::vector<std::size_t> picked = picks(index);
  std::string name;
  for (std::size_t s = 0; s < sweeps_.size(); ++s)
    name +=
        (s ? "_" : "") + std::string(fieldInfo(sweeps_[s].field).name) + "=" + fileSafe(sweeps_[s].values[picked[s]]);
  return name;
}

std::optional<std::size_t> Grid::find(std::string_view name) const {
  std::size_t index = 0;
  for (std::size_t s = 0; s < sweeps_.size(); ++s) {
    const std::string prefix = (s ? "_" : "") + std::string(fieldInfo(sweeps_[s].field).name) + "=";
    if (!name.starts_with(prefix)) return std::nullopt;
    name.remove_prefix(prefix.size());
    // A safe value holds no "=", so the next sweep's name ends this value.
    const std::size_t end =
        s + 1 < sweeps_.size() ? name.find("_" + std::string(fieldInfo(sweeps_[s + 1].field).name) + "=") : name.size();
    if (end == std::string_view::npos) return std::nullopt;
    const auto pick = picksBySafeValue_[s].find(name.substr(0, end));
    if (pick == picksBySafeValue_[s].end()) return std::nullopt;
    index = index * sweeps_[s].values.size() + pick->second;
    name.remove_prefix(end);
  }
  return name.empty() ? std::optional(index) : std::nullopt;
}

GridRun Grid::run(std::size_t index) const {
  GridRun run;
  run.texts = base_;
  run.picks = picks(index);
  for (std::size_t s = 0; s < sweeps_.size(); ++s) {
    const std::string& value = sweeps_[s].values[run.picks[s]];
    const std::string name(fieldInfo(sweeps_[s].field).name);
    run.values.push_back(value);
    run.texts[sweeps_[s].field] = value;
    run.name += (s ? "_" : "") + name + "=" + fileSafe(value);
    run.label += (s ? ", " : "") + name + "=" + value;
  }
  return run;
}

Expected<Grid> makeGrid(const FieldTexts& base, const std::vector<Sweep>& sweeps, std::size_t mostRuns) {
  Grid grid;
  grid.base_ = base;
  grid.sweeps_ = sweeps;
  for (const Sweep& s : sweeps) {
    if (s.values.empty()) return unexpected("--sweep " + s.text + " has no values");
    if (grid.size_ > mostRuns / s.values.size())
      return unexpected(mostRuns == SIZE_MAX ? std::string("the sweeps make more runs than can be counted")
                                             : "the sweeps make more than " + std::to_string(mostRuns) + " runs");
    grid.size_ *= s.values.size();
  }
  // A run's name is its sweeps' names and safe values joined by "_", and a
  // safe value holds no "=": two runs share a name exactly when one sweep has
  // two values that are the same once made safe.
  for (std::size_t s = 0; s < sweeps.size(); ++s) {
    auto& seen = grid.picksBySafeValue_.emplace_back();
    for (std::size_t v = 0; v < sweeps[s].values.size(); ++v) {
      if (seen.emplace(fileSafe(sweeps[s].values[v]), v).second) continue;
      // The first run that takes the repeated value.
      std::size_t index = 0;
      for (std::size_t t = 0; t < sweeps.size(); ++t) index = index * sweeps[t].values.size() + (t == s ? v : 0);
      return unexpected("two runs would both be named " + grid.name(index) +
                        " (a value is repeated or differs only in symbols)");
    }
  }
  return grid;
}

}  // namespace fb
