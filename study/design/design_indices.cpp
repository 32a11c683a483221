#include "study/design/design_indices.h"

#include <cmath>

#include "engine/number_reader.h"
#include "engine/number_writer.h"

namespace fb {

double crackTipToughness(double Km, double Em) {
  // (MPa m^0.5)^2 / GPa = 1e12 Pa^2 m / 1e9 Pa = 1e3 J/m2.
  return Km * Km / Em * 1000;
}

namespace {

// Where a cementitious matrix lies, and the slip of unit that puts a value
// above or below that.
struct PlausibleRange {
  MatrixQuantity quantity;
  const char* unit;
  double low, high;
  const char* belowMeans;  // "" where no slip explains it
  const char* aboveMeans;
};

constexpr PlausibleRange kPlausible[] = {
    {MatrixQuantity::Em, "GPa", 1, 100, "", "MPa"},
    {MatrixQuantity::Km, "MPa m^0.5", 0.05, 5, "", "MPa mm^0.5"},
    {MatrixQuantity::Jtip, "J/m2", 0.5, 500, "kJ/m2 (N/mm)", ""},
    {MatrixQuantity::sigmaFc, "MPa", 0.5, 20, "", "kPa"},
};

}  // namespace

Expected<void> checkMatrixPlausible(MatrixQuantity quantity, double value, std::string_view name) {
  for (const PlausibleRange& r : kPlausible) {
    if (r.quantity != quantity) continue;
    if (value >= r.low && value <= r.high) return {};
    const std::string unit(r.unit);
    std::string text = std::string(name) + " is in " + unit + ": " + formatShortest(value) + " " + unit +
                       " is not a cementitious matrix, which lies within " + formatShortest(r.low) + " to " +
                       formatShortest(r.high) + " " + unit;
    const std::string likely = value < r.low ? r.belowMeans : r.aboveMeans;
    if (!likely.empty()) text += "; did you give " + likely + "?";
    return unexpected(text);
  }
  return {};
}

PshIndices pshIndices(const CurveMetrics& curve, const MatrixProperties& matrix) {
  PshIndices out;
  out.energy = curve.complementaryEnergy / matrix.Jtip;
  out.strength = curve.peak.sigma / matrix.sigmaFc;
  out.meetsMargins = out.energy > matrix.margins.energy && out.strength > matrix.margins.strength;
  return out;
}

std::string pshText(const PshIndices& indices, const PshMargins& margins) {
  const auto figure = [](double v) { return std::isfinite(v) ? formatFixed(v, 3) : std::string("(beyond range)"); };
  return "PSH energy index " + figure(indices.energy) + " and strength index " + figure(indices.strength) + ": " +
         (indices.meetsMargins ? "meets" : "misses") + " the margins " + pshMarginsText(margins);
}

std::string pshMarginsText(const PshMargins& margins) {
  return formatShortest(margins.energy) + " and " + formatShortest(margins.strength) + " (" +
         (margins == PshMargins{} ? std::string(kPshMarginsCitation) : std::string("as given")) + ")";
}

Expected<PshMargins> parsePshMargins(std::string_view text) {
  const auto comma = text.find(',');
  if (comma == std::string_view::npos || text.find(',', comma + 1) != std::string_view::npos)
    return unexpected("give two margins, ENERGY,STRENGTH");
  const auto energy = strictNumber(trim(text.substr(0, comma)));
  const auto strength = strictNumber(trim(text.substr(comma + 1)));
  for (const auto& [value, name] : {std::pair{energy, "ENERGY"}, {strength, "STRENGTH"}})
    if (!value || !std::isfinite(*value) || !(*value > 0))
      return unexpected(std::string(name) + " must be a positive number");
  return PshMargins{*energy, *strength};
}

}  // namespace fb
