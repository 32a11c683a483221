#pragma once

// Parameter studies: each --sweep varies one input over a list of texts;
// several sweeps form a grid whose first sweep varies slowest.

#include <cstddef>
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

struct Grid {
  std::vector<GridRun> runs;  // in grid order
};

/// Every combination of the sweeps' values over `base`, the first sweep
/// outermost; refused when there are too many or two runs would share a file name.
[[nodiscard]] Expected<Grid> expandGrid(const FieldTexts& base, const std::vector<Sweep>& sweeps);

/// `text` with every character outside [A-Za-z0-9.+-] replaced by '_'.
std::string fileSafe(std::string_view text);

/// Most runs a study may have.
inline constexpr std::size_t kMaxStudyRuns = 10000;

}  // namespace fb
