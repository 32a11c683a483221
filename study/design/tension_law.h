#pragma once

// The composite's tension law that structural analyses take: the stress a
// crack carries against its opening, the fibers' bridging stress plus, once
// the matrix is described, the softening of the matrix itself.

#include <optional>
#include <span>
#include <vector>

#include "engine/crack_steps.h"
#include "study/inputs/measured_curve.h"

namespace fb {

/// The plain matrix in tension: its strength ft (MPa), fracture energy Gf
/// (N/mm) and, where a crack band's strain is wanted, its modulus Ec (GPa).
struct MatrixTension {
  double ft = 0;
  double Gf = 0;
  std::optional<double> Ec;
};

/// The exponential softening of Hordijk (1991, "Local approach to fatigue of
/// concrete", thesis, TU Delft), which FE codes offer for plain concrete: sigma/ft = (1 + (c1 x)^3) e^(-c2 x) - x (1 +
/// c1^3) e^(-c2) with x = w/wc, c1 = 3, c2 = 6.93, and wc = 5.14 Gf/ft, where the stress reaches 0 (and stays there).
/// Its area is Gf.
double hordijkStress(const MatrixTension& matrix, double w);

/// A tension law: crack widths w (mm, rising from 0) and stresses (MPa).
struct TensionLaw {
  std::vector<double> w, sigma;
};

/// The composite's law at the run's step widths and, given the matrix, at
/// 40 widths through its softening: the bridging stress (linear between the
/// steps) plus the matrix's stress at the same width.
TensionLaw compositeLaw(std::span<const StepResult> steps, const std::optional<MatrixTension>& matrix);

/// A tabulated law (the measured-curve format) as it stands, for a law taken
/// from elsewhere; a point at zero opening is added at the first stress when
/// the table has none.
TensionLaw tabulatedLaw(std::span<const MeasuredPoint> points);

}  // namespace fb
