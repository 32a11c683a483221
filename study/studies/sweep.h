#pragma once

// Parameter studies: each --sweep varies one input over a list of texts;
// several sweeps form a grid whose first sweep varies slowest.

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/expected.h"
#include "engine/field_table.h"

namespace fb {

struct Sweep {
  Field field = Field::Am;
  std::string text;                 // as given, "kxy=0.5:2:4"
  std::vector<std::string> values;  // texts for the field, read by the number reader
};

/// "NAME=FROM:TO:COUNT" (COUNT evenly spaced values, both ends included) or
/// "NAME=V1,V2,...". A range's values are written as the shortest texts that
/// read back to exactly the value the field stores. Every value must be a
/// finite number, and a whole one for `division`; else "--sweep 'TEXT': reason".
[[nodiscard]] Expected<Sweep> parseSweep(std::string_view text);

/// The text of a range value for `field`: rounded to the field's precision
/// and written so that it reads back exactly.
std::string rangeValueText(Field field, double value);

/// One run of a study.
struct GridRun {
  std::vector<std::string> values;  // one per sweep
  std::vector<std::size_t> picks;   // which of each sweep's values
  std::string name;                 // "kxy=0.5_Vf=0.01", safe as a file name
  std::string label;                // "kxy=0.5, Vf=0.01", for legends
  FieldTexts texts;                 // the base texts with the varied values in
};

/// Runs a study may have without --allow-large: a larger grid is more often
/// a typo in a COUNT than a study someone means to run.
inline constexpr std::size_t kLargeStudyRuns = 10'000'000;

/// The runs of a study: every combination of the sweeps' values over the base
/// inputs, the first sweep outermost. Run i is made from i alone (a mixed-radix
/// number whose last digit is the last sweep's pick), so a grid of millions of
/// runs costs the memory of its sweeps, and a shard makes only its own runs.
class Grid {
 public:
  Grid() = default;
  std::size_t size() const { return size_; }
  const std::vector<Sweep>& sweeps() const { return sweeps_; }
  const FieldTexts& base() const { return base_; }
  /// Run `index` (from 0) whole: values, picks, name, label and texts.
  GridRun run(std::size_t index) const;
  /// Which of each sweep's values run `index` takes.
  std::vector<std::size_t> picks(std::size_t index) const;
  /// Run `index`'s values, one per sweep, and its file name (without ".p-d").
  std::vector<std::string> values(std::size_t index) const;
  std::string name(std::size_t index) const;
  /// The run named `name` (as name() gives it), if the grid has one.
  std::optional<std::size_t> find(std::string_view name) const;

 private:
  friend Expected<Grid> makeGrid(const FieldTexts&, const std::vector<Sweep>&, std::size_t);
  FieldTexts base_;
  std::vector<Sweep> sweeps_;
  std::vector<std::map<std::string, std::size_t, std::less<>>> picksBySafeValue_;  // per sweep
  std::size_t size_ = 1;
};

/// The grid of the sweeps over `base`; refused when it would have more than
/// `mostRuns` runs or two runs would share a file name.
[[nodiscard]] Expected<Grid> makeGrid(const FieldTexts& base, const std::vector<Sweep>& sweeps,
                                      std::size_t mostRuns = kLargeStudyRuns);

/// `text` with every character outside [A-Za-z0-9.+-] replaced by '_'.
std::string fileSafe(std::string_view text);

}  // namespace fb
