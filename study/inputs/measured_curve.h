#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/expected.h"
#include "engine/field_table.h"

namespace fb {

/// A point of a measured bridging law.
struct MeasuredPoint {
  double Wcr = 0;    // mm
  double sigma = 0;  // MPa
  double sd = 0;     // MPa, the point's standard deviation; 0 where the file gives none
  int line = 0;      // of its file, for messages; 0 where it came from no file
  bool operator==(const MeasuredPoint&) const = default;
};

/// An input of the model that holds for one specimen alone, its text read as
/// the window reads its box.
struct SpecimenInput {
  Field field;
  std::string value;
  bool operator==(const SpecimenInput&) const = default;
};

struct MeasuredCurve {
  std::vector<MeasuredPoint> points;
  std::vector<SpecimenInput> inputs;  // "# NAME = VALUE" lines, in file order
};

/// Reads a measured curve: crack width (mm), stress (MPa) and optionally the
/// stress's standard deviation (MPa, on every line or on none) per line,
/// separated by comma, semicolon or tab (the first line decides which). An
/// optional header line comes first; blank lines and `#` comments are skipped.
/// With semicolons or tabs a decimal comma is read as a point, as spreadsheets
/// in such locales write it.
///
/// Comments `# NAME = VALUE` before the first point set the inputs of this
/// specimen (any input but the data file and the division); a comment that
/// looks like one with an unknown NAME is refused, so a typo is not dropped.
/// A curve that cannot be read gives "file:line: reason".
[[nodiscard]] Expected<MeasuredCurve> parseMeasuredCurve(std::string_view content, const std::string& fileName);
[[nodiscard]] Expected<MeasuredCurve> readMeasuredCurve(const std::string& path);

}  // namespace fb
