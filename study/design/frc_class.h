#pragma once

// The classification of fiber-reinforced concrete by the fib Model Code 2010
// (section 5.6.3): a strength class from the characteristic residual strength
// fR1k and a letter from the ratio fR3k/fR1k, the conditions for structural
// use, and the simplified constitutive laws in tension (section 5.6.4).

#include <optional>
#include <string>

namespace fb {

/// fR1k's classes in MPa, the lower end of each interval.
inline constexpr double kStrengthClasses[] = {1, 1.5, 2, 2.5, 3, 4, 5, 6, 7, 8};

/// The class, "4c": the greatest strength class not above fR1k and the letter
/// of fR3k/fR1k (a 0.5-0.7, b 0.7-0.9, c 0.9-1.1, d 1.1-1.3, e 1.3 and more,
/// each interval closed below); none when fR1k is below 1 MPa or the ratio
/// below 0.5.
std::optional<std::string> frcClass(double fR1k, double fR3k);

/// The Model Code's figures of a set of residual strengths (MPa).
struct FrcDesign {
  std::optional<std::string> frcClass;
  bool structuralUse = false;  // fR1k/fLk > 0.4 and fR3k/fR1k > 0.5
  double rigidPlasticFtu = 0;  // fFtu = fR3/3
  double linearFts = 0;        // fFts = 0.45 fR1
  double linearFtu = 0;        // fFtu = fFts - wu/CMOD3 (fFts - 0.5 fR3 + 0.2 fR1), at 0 or more
  double linearWu = 2.5;       // mm, the ultimate crack opening the linear law is given at (CMOD3)
};

/// The class, the conditions and the simplified laws from fL, fR1 and fR3.
FrcDesign frcDesign(double fL, double fR1, double fR3);

}  // namespace fb
