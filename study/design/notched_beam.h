#pragma once

// The notched beam of EN 14651 (a 150 x 150 mm prism on a 500 mm span, a
// 25 mm notch, three-point bending) computed from a tension law with the
// cracked hinge of Olesen (2001, "Fictitious crack propagation in
// fiber-reinforced concrete beams", Journal of Engineering Mechanics 127(3),
// 272-280): a strip of width s = h/2 about the notched section, its layers
// elastic until they crack and then following the law, its two faces plane
// and turning about the neutral axis; the beam halves outside it rigid. The
// crack mouth opens by the hinge's elongation extrapolated to the beam's
// bottom face.

#include <array>
#include <span>
#include <vector>

#include "engine/expected.h"
#include "study/design/tension_law.h"

namespace fb {

/// Width b, depth h, span and notch depth, all in mm.
struct BeamGeometry {
  double b = 150, h = 150, span = 500, notch = 25;
};

struct BeamPoint {
  double cmod = 0;  // mm
  double load = 0;  // kN
};

/// The beam's load against crack-mouth opening and the figures EN 14651 reads
/// from it: the limit of proportionality fL (the greatest load up to a CMOD
/// of 0.05 mm) and the residual strengths fR1 to fR4 at CMOD 0.5, 1.5, 2.5 and
/// 3.5 mm, each f = 3 F span / (2 b hsp^2) in MPa with hsp the ligament's depth.
struct BeamResult {
  std::vector<BeamPoint> curve;
  double fL = 0;
  std::array<double, 4> fR{};
};

/// The CMODs of fR1 to fR4 (mm).
inline constexpr std::array<double, 4> kResidualCmods = {0.5, 1.5, 2.5, 3.5};

/// The load against CMOD of the beam of `geometry` with the tension law `law`
/// (its stress at zero opening the strength at which a layer cracks) and the
/// modulus E (GPa), from no load until the CMOD reaches `lastCmod` (mm); or
/// why it cannot be computed.
[[nodiscard]] Expected<std::vector<BeamPoint>> beamCurve(const TensionLaw& law, double E, const BeamGeometry& geometry,
                                                         double lastCmod);

/// The load (kN) of `curve` at `cmod`, linear between its points; its last load beyond them.
double beamLoadAt(std::span<const BeamPoint> curve, double cmod);

/// The beam's curve until the CMOD passes 4 mm, and its figures.
[[nodiscard]] Expected<BeamResult> notchedBeam(const TensionLaw& law, double E, const BeamGeometry& geometry = {});

/// The beams of many laws (a scatter's samples) on up to `jobs` threads, in
/// the laws' order, each the same as notchedBeam gives it alone.
std::vector<Expected<BeamResult>> notchedBeams(std::span<const TensionLaw> laws, double E, const BeamGeometry& geometry,
                                               unsigned jobs);

}  // namespace fb
