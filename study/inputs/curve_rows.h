#pragma once

// What the curve files of a fit share: rows of two or three numbers, a
// header of words, comments that set a specimen's inputs. Measured bridging
// curves and pullout tests read their files through it.

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/expected.h"
#include "engine/field_table.h"
#include "study/inputs/measured_curve.h"

namespace fb {

// What the columns of one kind of curve hold, for messages.
struct Columns {
  const char* x;      // "crack width"
  const char* xUnit;  // "mm"
  const char* y;      // "stress"
  const char* yUnit;  // "MPa"
  std::string values() const { return std::string(x) + " in " + xUnit + ", " + y + " in " + yUnit; }
  std::string expected(std::size_t columns) const {
    return columns == 2 ? "expected 2 values (" + values() + ")"
                        : "expected 3 values (" + values() + ", standard deviation in " + yUnit + ")";
  }
};

// The inputs a specimen sets in its "# NAME = VALUE" comments.
struct SpecimenInputs {
  std::vector<SpecimenInput>& inputs;
  std::map<Field, int> lineOf;
  // The comments a kind of curve reads itself: nothing when `name` is not
  // one of them, else whether it is taken or why it is refused.
  std::function<std::optional<Expected<void>>(std::string_view name, std::string_view value, int lineNumber)> own;

  // Fine for an ordinary comment or an input taken, else the reason the comment is refused.
  [[nodiscard]] Expected<void> read(std::string_view comment, int lineNumber, bool afterPoints);
};

// The rows of a curve file of either kind, each checked by `check`.
struct CurveRow {
  double x = 0, y = 0, sd = 0;
  int line = 0;
};
using RowCheck = std::function<Expected<void>(const CurveRow& row)>;

[[nodiscard]] Expected<std::vector<CurveRow>> parseCurveRows(std::string_view text, const std::string& fileName,
                                                             const Columns& names, SpecimenInputs& specimen,
                                                             const RowCheck& check);

}  // namespace fb
