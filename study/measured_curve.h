#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fb {

/// A point of a measured bridging law.
struct MeasuredPoint {
  double Wcr = 0;    // mm
  double sigma = 0;  // MPa
};

struct MeasuredCurve {
  std::vector<MeasuredPoint> points;
  std::optional<std::string> error;  // "file:line: reason"
};

/// Reads a measured curve: crack width (mm) and stress (MPa) per line,
/// separated by comma, semicolon or tab (the first line decides which). An
/// optional header line comes first; blank lines and `#` comments are skipped.
/// With semicolons or tabs a decimal comma is read as a point, as spreadsheets
/// in such locales write it.
MeasuredCurve parseMeasuredCurve(std::string_view content, const std::string& fileName);
MeasuredCurve readMeasuredCurve(const std::string& path);

}  // namespace fb
