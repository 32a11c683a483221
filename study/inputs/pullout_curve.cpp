#include "study/inputs/pullout_curve.h"

#include <cmath>

#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "output/text_file.h"
#include "study/inputs/curve_rows.h"

namespace fb {
namespace {

constexpr Columns kPullout{"slip", "mm", "load", "N"};

}  // namespace

Expected<void> checkPulloutLength(double lb) {
  if (lb > 0 && std::isfinite(lb)) return {};
  return unexpected("lb (embedded length) must be greater than 0 mm, not " + formatShortest(lb));
}

Expected<void> checkPulloutAngle(double angle) {
  if (angle >= 0 && angle <= 90) return {};
  return unexpected("angle (inclination) must lie from 0 to 90 degrees, not " + formatShortest(angle));
}

Expected<void> checkPulloutSlip(double slip, double lb, std::optional<double> previous) {
  if (!std::isfinite(slip)) return unexpected("the slip is not a finite number");
  if (slip < 0) return unexpected("slip " + formatShortest(slip) + " mm is below 0");
  if (slip > lb)
    return unexpected("slip " + formatShortest(slip) + " mm lies beyond lb = " + formatShortest(lb) + " mm");
  if (previous && slip < *previous)
    return unexpected("slip " + formatShortest(slip) + " mm goes back from " + formatShortest(*previous) +
                      " mm: a pullout test's slip only grows");
  return {};
}

Expected<PulloutCurve> parsePulloutCurve(std::string_view text, const std::string& fileName) {
  PulloutCurve out;
  int angleLine = 0;
  const auto own = [&](std::string_view name, std::string_view value, int lineNumber) -> std::optional<Expected<void>> {
    const bool lb = name == "lb";
    if (!lb && name != "angle") return std::nullopt;
    int& line = lb ? out.lbLine : angleLine;
    if (line != 0)
      return unexpected(std::string(name) + " is given twice (first on line " + std::to_string(line) + ")");
    const auto number = strictNumber(value);
    if (!number) return unexpected(std::string(name) + ": " + quotedToken(value) + " is not a finite number");
    if (auto fine = lb ? checkPulloutLength(*number) : checkPulloutAngle(*number); !fine) return fine;
    (lb ? out.lb : out.angle) = *number;
    line = lineNumber;
    return Expected<void>();
  };
  SpecimenInputs specimen{out.inputs, {}, own};
  std::optional<double> lastSlip;
  const auto check = [&](const CurveRow& row) -> Expected<void> {
    if (out.lbLine == 0) return unexpected("the embedded length, `# lb = ` in mm, goes before the first point");
    Expected<void> fine = checkPulloutSlip(row.x, out.lb, lastSlip);
    lastSlip = row.x;
    return fine;
  };
  const Expected<std::vector<CurveRow>> rows = parseCurveRows(text, fileName, kPullout, specimen, check);
  if (!rows) return unexpected(rows.error());
  for (const CurveRow& r : *rows) out.points.push_back({r.x, r.y, r.sd});
  return out;
}

Expected<PulloutCurve> readPulloutCurve(const std::string& path) {
  return readTextFile(path).and_then([&](const std::string& text) { return parsePulloutCurve(text, path); });
}

}  // namespace fb
