#include "study/inputs/pullout_curve.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "output/text_file.h"
#include "study/inputs/curve_rows.h"

namespace fb {
namespace {

constexpr Columns kPullout{"slip", "mm", "load", "N"};

Expected<void> nonNegative(double value) {
  if (value >= 0 && std::isfinite(value)) return {};
  return unexpected("must be 0 or more, not " + formatShortest(value));
}

Expected<void> positive(double value) {
  if (value > 0 && std::isfinite(value)) return {};
  return unexpected("must be greater than 0, not " + formatShortest(value));
}

}  // namespace

Expected<void> checkPulloutStretch(const PulloutStretch& s) {
  for (const auto& [value, name] : {std::pair{s.freeLength, "free length"}, {s.compliance, "compliance"}})
    if (auto fine = nonNegative(value); !fine) return unexpected(std::string(name) + ": " + fine.error());
  if (s.Ef != 0)
    if (auto fine = positive(s.Ef); !fine) return unexpected("Ef: " + fine.error());
  // A free length stretches by the fiber's modulus; a compliance holds it already.
  if (s.freeLength > 0 && s.Ef == 0) return unexpected("a free length needs the fiber's modulus, Ef in GPa");
  if (s.Ef != 0 && !(s.freeLength > 0)) return unexpected("Ef goes with the free length, in mm");
  if (s.freeLength > 0 && s.compliance > 0)
    return unexpected("give the free length with Ef, or the compliance, not both: a compliance holds both");
  return {};
}

double stretchPerNewton(const PulloutStretch& stretch, double Af) {
  // GPa is 1000 N/mm2: the free fiber stretches L / (E A) mm per newton.
  const double freeFiber = stretch.freeLength > 0 ? stretch.freeLength / (stretch.Ef * 1000 * Af) : 0.0;
  return stretch.compliance + freeFiber;
}

std::vector<double> fiberSlips(const std::vector<PulloutPoint>& measured, double perNewton) {
  std::vector<double> slips;
  double last = 0;
  for (const PulloutPoint& m : measured) {
    last = perNewton > 0 ? std::max(last, m.slip - perNewton * m.load) : m.slip;
    slips.push_back(last);
  }
  return slips;
}

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
  // The comments a pullout test reads itself: where each goes, its line, and its check.
  struct Own {
    const char* name;
    double* value;
    int line;
    Expected<void> (*check)(double);
    bool checkNames = false;  // the check's reason names the comment itself
  };
  Own owns[] = {{"lb", &out.lb, 0, checkPulloutLength, true},
                {"angle", &out.angle, 0, checkPulloutAngle, true},
                {"free length", &out.stretch.freeLength, 0, nonNegative},
                {"Ef", &out.stretch.Ef, 0, positive},
                {"compliance", &out.stretch.compliance, 0, nonNegative}};
  const auto own = [&](std::string_view name, std::string_view value, int lineNumber) -> std::optional<Expected<void>> {
    Own* it = std::find_if(std::begin(owns), std::end(owns), [&](const Own& o) { return name == o.name; });
    if (it == std::end(owns)) return std::nullopt;
    if (it->line != 0)
      return unexpected(std::string(name) + " is given twice (first on line " + std::to_string(it->line) + ")");
    const auto number = strictNumber(value);
    if (!number) return unexpected(std::string(name) + ": " + quotedToken(value) + " is not a finite number");
    if (auto fine = it->check(*number); !fine)
      return unexpected(it->checkNames ? fine.error() : std::string(name) + ": " + fine.error());
    *it->value = *number;
    it->line = lineNumber;
    if (it == &owns[0]) out.lbLine = lineNumber;
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
  if (auto fine = checkPulloutStretch(out.stretch); !fine)
    return unexpected(fileName + ":" + std::to_string(std::max({owns[2].line, owns[3].line, owns[4].line})) + ": " +
                      fine.error());
  for (const CurveRow& r : *rows) out.points.push_back({r.x, r.y, r.sd, r.line});
  return out;
}

Expected<PulloutCurve> readPulloutCurve(const std::string& path) {
  return readTextFile(path).and_then([&](const std::string& text) { return parsePulloutCurve(text, path); });
}

}  // namespace fb
