#include "study/fit_report.h"

#include <cmath>
#include <cstdio>

#include "engine/number_writer.h"

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
  out += "  \"chi_square_per_dof\": " + jsonNumber(r.chiSquarePerDof) + ",\n";
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
           ", \"high_on_bound\": " + (in.highOnBound ? "true" : "false") + "}";
  }
  out += r.inputs.empty() ? "],\n" : "\n  ],\n";
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
    std::string values;
    for (std::size_t j = 0; j < basin.values.size() && j < s.free.size(); ++j)
      values += (j == 0 ? "" : ", ") + fieldName(s.free[j].field) + ": " + jsonNumber(basin.values[j]);
    out += std::string(b == 0 ? "\n" : ",\n") + "    {\"rms\": " + jsonNumber(basin.rms) +
           ", \"starts\": " + std::to_string(basin.starts) + ", \"values\": {" + values + "}}";
  }
  out += r.basins.empty() ? "]\n" : "\n  ]\n";
  return out + "}\n";
}

}  // namespace fb
