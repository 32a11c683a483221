#include "study/inputs/beam_test.h"

#include "engine/number_writer.h"
#include "output/text_file.h"
#include "study/inputs/curve_rows.h"

namespace fb {
namespace {

constexpr Columns kBeam{"CMOD", "mm", "load", "kN"};

}  // namespace

Expected<void> checkBeamTestPoint(double cmod, double load, std::optional<double> previous) {
  const std::string at = "CMOD " + formatShortest(cmod) + " mm";
  if (!(cmod >= 0 && cmod <= kWidestBeamCmod))
    return unexpected(at + " lies outside 0 to " + formatShortest(kWidestBeamCmod) + " mm");
  if (previous && cmod < *previous)
    return unexpected(at + " goes back from " + formatShortest(*previous) + " mm: a beam test's CMOD only grows");
  if (!(load >= 0)) return unexpected("load " + formatShortest(load) + " kN is below 0");
  return {};
}

Expected<BeamTestCurve> parseBeamTest(std::string_view text, const std::string& fileName) {
  BeamTestCurve out;
  SpecimenInputs specimen{out.inputs, {}, {}};
  std::optional<double> last;
  const auto check = [&](const CurveRow& row) -> Expected<void> {
    Expected<void> fine = checkBeamTestPoint(row.x, row.y, last);
    last = row.x;
    return fine;
  };
  const Expected<std::vector<CurveRow>> rows = parseCurveRows(text, fileName, kBeam, specimen, check);
  if (!rows) return unexpected(rows.error());
  for (const CurveRow& r : *rows) out.points.push_back({r.x, r.y, r.sd, r.line});
  return out;
}

Expected<BeamTestCurve> readBeamTest(const std::string& path) {
  return readTextFile(path).and_then([&](const std::string& text) { return parseBeamTest(text, path); });
}

}  // namespace fb
