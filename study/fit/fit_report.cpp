#include "study/fit/fit_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/number_writer.h"
#include "study/fit/adequacy.h"
#include "study/studies/summaries.h"
#include "study/studies/summary_table.h"

namespace fb {
namespace {

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

// JSON has no NaN or infinity: such a value is unknown, null.
std::string jsonNumber(double value) { return std::isfinite(value) ? exactText(value) : "null"; }
std::string jsonNumber(const std::optional<double>& value) { return value ? jsonNumber(*value) : "null"; }

std::string fieldName(Field f) { return jsonString(fieldInfo(f).name); }

// The fitted inputs' values by name; null for none.
std::string valuesJson(const FitSettings& s, const std::vector<double>& values) {
  if (values.empty()) return "null";
  std::string out;
  for (std::size_t j = 0; j < values.size() && j < s.free.size(); ++j)
    out += (j == 0 ? "" : ", ") + fieldName(s.free[j].field) + ": " + jsonNumber(values[j]);
  return "{" + out + "}";
}

std::string adequacyJson(const std::optional<FitAdequacy>& a) {
  if (!a) return "null";
  const auto count = [](const std::optional<int>& n) { return n ? std::to_string(*n) : std::string("null"); };
  return "{\"adequate\": " + std::string(a->adequate ? "true" : "false") + ", \"p\": " + jsonNumber(a->p) +
         ", \"points\": " + std::to_string(a->points) + ", \"dof\": " + std::to_string(a->dof) +
         ", \"set_aside\": " + std::to_string(a->setAside) + ", \"chi_square\": " + jsonNumber(a->chiSquare) +
         ", \"chi_square_p\": " + jsonNumber(a->chiSquareP) + ", \"sign_runs\": " + count(a->runs) +
         ", \"sign_runs_expected\": " + jsonNumber(a->runsExpected) + ", \"runs_z\": " + jsonNumber(a->runsZ) +
         ", \"runs_p\": " + jsonNumber(a->runsP) + ", \"noise_ratio\": " + jsonNumber(a->noiseRatio) +
         ", \"noise_p\": " + jsonNumber(a->noiseP) + "}";
}

// What a robust fit's loss scale is, in the measured values' own units where they have one.
std::string softL1Text(const FitSettings& s, double scale) {
  const std::string loss = "a soft-L1 loss, residuals beyond ";
  if (s.weighted()) return loss + "one standard deviation counting less than their square";
  const int kinds = !s.specimens.empty() + !s.pullouts.empty() + !s.beams.tests.empty();
  const std::string where = significantText(scale, 3) + (kinds > 1 ? std::string(" of each curve's largest value")
                                                                   : " " + std::string(fitRmsUnit(s)));
  return loss + where + " counting less than their square (the points' own noise, read robustly off their chords)";
}

}  // namespace

std::string roundedToInterval(double value, double low, double high) {
  const double half = (high - low) / 2;
  if (!(half > 0) || !std::isfinite(half) || !std::isfinite(value)) return formatShortest(value);
  // Two significant digits of the half width fix the last decimal shown.
  const int decimals = 1 - static_cast<int>(std::floor(std::log10(half)));
  if (decimals <= 0) {
    const double unit = std::pow(10.0, -decimals);
    return formatFixed(std::round(value / unit) * unit, 0);
  }
  return formatFixed(value, std::min(decimals, 15));
}

std::string fitReportJson(const FitSettings& s, const FitResult& r) {
  std::string out = "{\n";
  // With pullout tests alone, the RMS is theirs, in N: the stress RMS is unknown.
  const bool stresses = !s.specimens.empty();
  out += "  \"rms\": " + (stresses ? jsonNumber(r.rmsAfter) : "null") + ",\n";
  out += "  \"rms_before\": " + (stresses ? jsonNumber(r.rmsBefore) : "null") + ",\n";
  out += "  \"pullout_rms\": " + jsonNumber(r.pulloutRmsAfter) + ",\n";
  out += "  \"pullout_rms_before\": " + jsonNumber(r.pulloutRmsBefore) + ",\n";
  out += "  \"beam_rms\": " + jsonNumber(r.beamRmsAfter) + ",\n";
  out += "  \"beam_rms_before\": " + jsonNumber(r.beamRmsBefore) + ",\n";
  out += "  \"chi_square_per_dof\": " + jsonNumber(r.chiSquarePerDof) + ",\n";
  out += "  \"robust_scale\": " + jsonNumber(r.softL1Scale) + ",\n";
  out += "  \"adequacy\": " + adequacyJson(r.adequacy) + ",\n";
  out += "  \"outliers\": [";
  for (std::size_t k = 0; k < r.outliers.size(); ++k) {
    const FitOutlier& o = r.outliers[k];
    out += std::string(k == 0 ? "\n" : ",\n") + "    {\"file\": " + jsonString(o.file) +
           ", \"line\": " + std::to_string(o.line) + ", \"point\": " + std::to_string(o.point) +
           ", \"x\": " + jsonNumber(o.x) + ", \"y\": " + jsonNumber(o.y) + ", \"t\": " + jsonNumber(o.t) +
           ", \"threshold\": " + jsonNumber(o.threshold) + "}";
  }
  out += r.outliers.empty() ? "],\n" : "\n  ],\n";
  out += "  \"runs\": " + std::to_string(r.runs) + ",\n";
  out += "  \"seconds\": " + jsonNumber(r.seconds) + ",\n";
  out += "  \"starts\": " + std::to_string(r.startCount) + ",\n";
  out += "  \"inputs\": [";
  for (std::size_t j = 0; j < r.inputs.size(); ++j) {
    const FittedInput& in = r.inputs[j];
    out += std::string(j == 0 ? "\n" : ",\n") + "    {\"name\": " + fieldName(in.field) +
           ", \"unit\": " + jsonString(fieldInfo(in.field).unit) + ", \"value\": " + jsonNumber(in.value) +
           ", \"low\": " + jsonNumber(in.low) + ", \"high\": " + jsonNumber(in.high) +
           ", \"low_on_bound\": " + (in.lowOnBound ? "true" : "false") +
           ", \"high_on_bound\": " + (in.highOnBound ? "true" : "false") +
           ", \"spans_answers\": " + (in.spansAnswers ? "true" : "false") +
           ", \"fit_low\": " + (in.fitInterval ? jsonNumber(in.fitInterval->first) : "null") +
           ", \"fit_high\": " + (in.fitInterval ? jsonNumber(in.fitInterval->second) : "null") +
           ", \"low_end\": " + valuesJson(s, in.lowEnd) + ", \"high_end\": " + valuesJson(s, in.highEnd) + "}";
  }
  out += r.inputs.empty() ? "],\n" : "\n  ],\n";
  if (s.prior.empty()) {
    out += "  \"prior\": null,\n";
  } else {
    std::string names;
    for (const PriorInput& p : s.prior) names += (names.empty() ? "" : ", ") + fieldName(p.field);
    out += "  \"prior\": {\"file\": " + jsonString(s.priorName) + ", \"inputs\": [" + names + "]},\n";
  }
  out += "  \"warnings\": [";
  for (std::size_t w = 0; w < r.warnings.size(); ++w) {
    std::string names;
    for (Field f : r.warnings[w].inputs) names += (names.empty() ? "" : ", ") + fieldName(f);
    out += std::string(w == 0 ? "\n" : ",\n") + "    {\"inputs\": [" + names +
           "], \"text\": " + jsonString(r.warnings[w].text) + "}";
  }
  out += r.warnings.empty() ? "],\n" : "\n  ],\n";
  out += "  \"basins\": [";
  for (std::size_t b = 0; b < r.basins.size(); ++b) {
    const FitBasin& basin = r.basins[b];
    out += std::string(b == 0 ? "\n" : ",\n") + "    {\"rms\": " + jsonNumber(basin.rms) +
           ", \"starts\": " + std::to_string(basin.starts) + ", \"values\": " + valuesJson(s, basin.values) + "}";
  }
  out += r.basins.empty() ? "]\n" : "\n  ]\n";
  return out + "}\n";
}

std::string fitReportText(const FitSettings& settings, const FitResult& r) {
  const auto name = [](Field f) { return std::string(fieldInfo(f).name); };
  std::string out, names;
  for (const FreeInput& f : settings.free) names += (names.empty() ? "" : ", ") + name(f.field);
  const std::size_t curves = settings.specimens.size(), tests = settings.pullouts.size(),
                    beams = settings.beams.tests.size();
  const auto count = [](std::size_t n, const std::string& what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
  };
  std::vector<std::string> parts;
  if (curves > 1) parts.push_back(count(curves, "specimen"));
  if (curves == 1 && tests + beams > 0) parts.push_back("a specimen");
  if (tests > 0) parts.push_back(count(tests, "pullout test"));
  if (beams > 0) parts.push_back(count(beams, "beam test"));
  std::string of;
  for (std::size_t k = 0; k < parts.size(); ++k)
    of += (k == 0 ? " of " : k + 1 == parts.size() ? " and " : ", ") + parts[k];
  out += "fit of " + names + " to " + std::to_string(settings.pointCount()) + " measured points" + of + ": " +
         std::to_string(r.runs) + " runs in " + formatFixed(r.seconds, 2) + " s\n";
  std::size_t widest = 0;
  for (const FittedInput& in : r.inputs) widest = std::max(widest, name(in.field).size());
  for (const FittedInput& in : r.inputs) {
    const std::string unit(fieldInfo(in.field).unit);
    std::string line = "  " + name(in.field) + std::string(widest - name(in.field).size(), ' ') + " = " +
                       roundedToInterval(in.value, in.low, in.high) + (unit.empty() ? "" : " " + unit);
    line += std::string(std::max<std::size_t>(2, 24 - std::min<std::size_t>(24, line.size())), ' ');
    line += "95 % interval " + roundedToInterval(in.low, in.low, in.high) + " to " +
            roundedToInterval(in.high, in.low, in.high);
    if (in.lowOnBound || in.highOnBound) line += in.lowOnBound && in.highOnBound ? " (its bounds)" : " (to its bound)";
    if (in.spansAnswers) line += " (spans two answers)";
    if (in.fitInterval)
      line += " (stage 2 alone: " + roundedToInterval(in.fitInterval->first, in.low, in.high) + " to " +
              roundedToInterval(in.fitInterval->second, in.low, in.high) + ")";
    out += line + "\n";
  }
  if (!settings.prior.empty()) {
    std::string held;
    for (const PriorInput& p : settings.prior) held += (held.empty() ? "" : ", ") + name(p.field);
    out += "intervals widened by the stage-1 fit of " + settings.priorName + ": stage 2 fitted again with each of " +
           held + " at the ends of its 95 % interval, the largest shift added in quadrature\n";
  }
  for (std::size_t a = 0; a < r.inputs.size(); ++a)
    for (std::size_t b = a + 1; b < r.inputs.size(); ++b)
      if (a < r.correlation.size() && std::abs(r.correlation[a][b]) >= 0.8)
        out += "correlation of " + name(r.inputs[a].field) + " and " + name(r.inputs[b].field) + ": " +
               formatFixed(r.correlation[a][b], 2) + "\n";
  // No start's search ends in the best basin when a profile walked past the
  // searches' optimum into a lower valley: the optimum is the profiles'.
  if (!r.basins.empty() && r.basins[0].starts > 0)
    out += "starts: " + std::to_string(r.basins[0].starts) + " of " + std::to_string(r.startCount) +
           " ended in the best basin\n";
  else if (!r.basins.empty())
    out += "starts: none of " + std::to_string(r.startCount) +
           " ended in the best basin; the optimum came from the intervals' profiles, which found it below every "
           "start's\n";
  if (curves > 0)
    out += "RMS difference to the measured curve: " + (r.rmsBefore ? significantText(*r.rmsBefore, 4) : "(no run)") +
           " MPa before, " + significantText(r.rmsAfter, 4) + " MPa after";
  if (curves > 0 && tests > 0) out += "\n";
  if (tests > 0)
    out += "RMS difference to the pullout curves: " +
           (r.pulloutRmsBefore ? significantText(*r.pulloutRmsBefore, 4) : "(no run)") + " N before, " +
           (r.pulloutRmsAfter ? significantText(*r.pulloutRmsAfter, 4) : "(no run)") + " N after";
  if (curves + tests > 0 && beams > 0) out += "\n";
  if (beams > 0)
    out +=
        "RMS difference to the beam tests: " + (r.beamRmsBefore ? significantText(*r.beamRmsBefore, 4) : "(no run)") +
        " kN before, " + (r.beamRmsAfter ? significantText(*r.beamRmsAfter, 4) : "(no run)") + " kN after";
  if (r.chiSquarePerDof) out += " (chi-square per degree of freedom " + formatFixed(*r.chiSquarePerDof, 2) + ")";
  out += "\n";
  if (r.softL1Scale) out += "robust: " + softL1Text(settings, *r.softL1Scale) + "\n";
  if (settings.robust && !r.softL1Scale)
    out += "robust: the points give no noise to scale the soft-L1 loss by: a least-squares fit\n";
  if (r.adequacy) out += "adequacy: " + adequacyText(*r.adequacy) + "\n";
  for (const std::string& note : r.notes) out += "note: " + note + "\n";
  for (const FitWarning& warning : r.warnings) out += "warning: " + warning.text + "\n";
  return out;
}

std::string fitLogCsv(const FitSettings& settings, const FitResult& result) {
  std::string out = "phase";
  for (const FreeInput& f : settings.free) out += "," + std::string(fieldInfo(f.field).name);
  // The RMS as summary.csv heads it; of the loads (N, kN) where no measured curve is fitted.
  std::string rms(summaryColumnInfo(SummaryColumn::rms).header);
  rms.replace(rms.rfind("MPa"), 3, fitRmsUnit(settings));
  out += "," + rms + ",note\n";
  for (const FitEvaluation& e : result.log) {
    out += csvField(e.phase);
    for (double v : e.values) out += "," + exactText(v);
    out += "," + (e.rms ? exactText(*e.rms) : std::string()) + "," + csvField(e.note) + "\n";
  }
  return out;
}

}  // namespace fb
