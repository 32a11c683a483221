#include "study/inputs/measured_curve.h"

#include "output/text_file.h"
#include "study/inputs/curve_rows.h"

namespace fb {
namespace {

constexpr Columns kBridging{"crack width", "mm", "stress", "MPa"};

}  // namespace

Expected<MeasuredCurve> parseMeasuredCurve(std::string_view text, const std::string& fileName) {
  MeasuredCurve out;
  SpecimenInputs specimen{out.inputs, {}, {}};
  const Expected<std::vector<CurveRow>> rows = parseCurveRows(text, fileName, kBridging, specimen, {});
  if (!rows) return unexpected(rows.error());
  for (const CurveRow& r : *rows) out.points.push_back({r.x, r.y, r.sd, r.line});
  return out;
}

Expected<MeasuredCurve> readMeasuredCurve(const std::string& path) {
  return readTextFile(path).and_then([&](const std::string& text) { return parseMeasuredCurve(text, path); });
}

}  // namespace fb
