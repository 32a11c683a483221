#include "study/design/frc_class.h"

#include <algorithm>
#include <iterator>

#include "engine/number_writer.h"

namespace fb {

std::optional<std::string> frcClass(double fR1k, double fR3k) {
  if (!(fR1k >= kStrengthClasses[0])) return std::nullopt;
  const double ratio = fR3k / fR1k;
  if (!(ratio >= 0.5)) return std::nullopt;
  double strength = kStrengthClasses[0];
  for (const double c : kStrengthClasses)
    if (fR1k >= c) strength = c;
  const char letter = ratio < 0.7 ? 'a' : ratio < 0.9 ? 'b' : ratio < 1.1 ? 'c' : ratio < 1.3 ? 'd' : 'e';
  return formatShortest(strength) + letter;
}

FrcDesign frcDesign(double fL, double fR1, double fR3) {
  FrcDesign d;
  d.frcClass = frcClass(fR1, fR3);
  d.structuralUse = fR1 / fL > 0.4 && fR3 / fR1 > 0.5;
  d.rigidPlasticFtu = fR3 / 3;
  d.linearFts = 0.45 * fR1;
  constexpr double kCmod3 = 2.5;
  d.linearFtu = std::max(0.0, d.linearFts - d.linearWu / kCmod3 * (d.linearFts - 0.5 * fR3 + 0.2 * fR1));
  return d;
}

}  // namespace fb
