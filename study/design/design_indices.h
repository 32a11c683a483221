#pragma once

// Whether a composite will strain-harden with multiple cracking, by the two
// conditions of its micromechanical design: the complementary energy of the
// bridging curve up to its peak must exceed the crack-tip toughness of the
// matrix (energy condition), and the peak bridging stress must exceed the
// first-crack strength (strength condition). Their ratios are the pseudo
// strain-hardening (PSH) indices. The matrix properties describe the matrix,
// not the bridging model: they never enter a run's inputs or data file.

#include <optional>
#include <string>
#include <string_view>

#include "engine/expected.h"
#include "study/studies/metrics.h"

namespace fb {

/// What the indices must exceed for saturated multiple cracking. The energy
/// margin covers the scatter of the matrix's flaws and of the fibers' bridging,
/// which the means of J'b and Jtip hide; the strength margin, that of the
/// first-crack strength along a specimen. By default, the margins of the
/// published recommendation below (as it is read; 3 and 1.2 are quoted from
/// the authors' earlier work).
struct PshMargins {
  double energy = 2.7;    // J'b / Jtip
  double strength = 1.3;  // sigma0 / sigma_fc
  bool operator==(const PshMargins&) const = default;
};

/// The published recommendation the default margins come from.
inline constexpr std::string_view kPshMarginsSource =
    "Kanda and Li (2006), \"Practical design criteria for saturated pseudo strain hardening behavior in ECC\", "
    "Journal of Advanced Concrete Technology 4(1), 59-72";
/// The same, short, as every verdict against the default margins names it.
inline constexpr std::string_view kPshMarginsCitation = "Kanda and Li 2006";

/// The matrix that the fibers bridge, and the margins asked of the design.
struct MatrixProperties {
  double Jtip = 0;     // J/m2, crack-tip toughness of the matrix
  double sigmaFc = 0;  // MPa, first-crack strength of the composite
  PshMargins margins;
};

/// The crack-tip toughness Jtip = Km^2 / Em in J/m2, from the matrix fracture
/// toughness Km (MPa m^0.5) and the matrix modulus Em (GPa).
double crackTipToughness(double Km, double Em);

/// A property of the matrix as the user gives it, each in its own unit.
enum class MatrixQuantity {
  Em,       // GPa, the matrix modulus
  Km,       // MPa m^0.5, the matrix fracture toughness
  Jtip,     // J/m2, the crack-tip toughness
  sigmaFc,  // MPa, the first-crack strength
};

/// Refuses a value that no cementitious matrix has (Em outside 1-100 GPa, Km
/// outside 0.05-5 MPa m^0.5, Jtip outside 0.5-500 J/m2, sigma_fc outside
/// 0.5-20 MPa), naming it as `name` with the unit expected and, where a
/// common slip explains it, the unit it was likely given in: "Em is in GPa:
/// 20000 GPa is not a cementitious matrix; did you give MPa?"
[[nodiscard]] Expected<void> checkMatrixPlausible(MatrixQuantity quantity, double value, std::string_view name);

struct PshIndices {
  double energy = 0;          // J'b / Jtip
  double strength = 0;        // sigma0 / sigma_fc
  bool meetsMargins = false;  // both indices above their margins
};

PshIndices pshIndices(const CurveMetrics& curve, const MatrixProperties& matrix);

/// "2.7 and 1.3 (Kanda and Li 2006)"; margins of the user's own are "(as given)".
std::string pshMarginsText(const PshMargins& margins);

/// "PSH energy index 4.120 and strength index 1.510: meets the margins 2.7 and
/// 1.3 (Kanda and Li 2006)"; margins of the user's own are "(as given)".
std::string pshText(const PshIndices& indices, const PshMargins& margins);

/// "ENERGY,STRENGTH", each a positive number; the reason when it is not.
[[nodiscard]] Expected<PshMargins> parsePshMargins(std::string_view text);

}  // namespace fb
