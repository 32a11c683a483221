#include "study/design/design_indices.h"

#include <cmath>

#include "engine/number_reader.h"
#include "engine/number_writer.h"

namespace fb {

double crackTipToughness(double Km, double Em) {
  // (MPa m^0.5)^2 / GPa = 1e12 Pa^2 m / 1e9 Pa = 1e3 J/m2.
  return Km * Km / Em * 1000;
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
         (indices.meetsMargins ? "meets" : "misses") + " the margins " + formatShortest(margins.energy) + " and " +
         formatShortest(margins.strength);
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
