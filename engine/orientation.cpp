#include "engine/orientation.h"

#include <cmath>

#include "engine/number_writer.h"

namespace fb {
namespace {

PlaneOrientation planeOrientation(double k, double thetaR) {
  const double S = std::sin(thetaR);
  const double Q = 1 + (k - 1) * (S * S);
  PlaneOrientation plane;
  plane.k = k;
  plane.c1 = (1 - k) * std::sin(2 * thetaR) / Q;
  plane.c2 = (k - (k - 1) * (S * S)) / Q;
  plane.c3 = 1 / Q;
  return plane;
}

}  // namespace

std::optional<OrientationPreset> orientationPreset(std::string_view text) {
  if (text.empty()) return OrientationPreset::none;
  if (text == "planar") return OrientationPreset::planar;
  if (text == "isotropic") return OrientationPreset::isotropic;
  return std::nullopt;
}

Orientation prepareOrientation(const ParameterSet& p, const RunConstants& k) {
  Orientation o;
  o.xy = planeOrientation(p.kxy, k.thetaRxyRad);
  o.zx = planeOrientation(p.kzx, k.thetaRzxRad);
  o.preset = orientationPreset(p.orientation).value_or(OrientationPreset::none);
  return o;
}

double classShare(const Orientation& o, bool zx, int angle, const RunConstants& k) {
  const double theta = angle * k.degToRad;
  switch (o.preset) {
    case OrientationPreset::none:
      return orientationDensity(theta, zx ? o.zx : o.xy) * k.angleClassWidth;
    case OrientationPreset::planar:
      // Elevation 0 lies between the two classes at -1 and +1 degree: half each.
      if (zx) return angle == -1 || angle == 1 ? 0.5 : 0.0;
      return k.angleClassWidth / kPi;
    case OrientationPreset::isotropic:
      // Directions uniform over the sphere: cos(elevation) / (2 pi) per
      // radian squared, uniform in azimuth.
      if (zx) return std::cos(theta) / 2 * k.angleClassWidth;
      return k.angleClassWidth / kPi;
  }
  return 0;
}

double classDensitySum(const PlaneOrientation& plane, const RunConstants& k) {
  double sum = 0;
  for (int angle = -89; angle <= 89; angle += 2)
    sum += orientationDensity(angle * k.degToRad, plane) * k.angleClassWidth;
  return sum;
}

std::vector<std::string> orientationWarnings(const ParameterSet& p, const RunConstants& k, const Orientation& o) {
  std::vector<std::string> warnings;
  if (o.preset != OrientationPreset::none) return warnings;  // the preset's classes hold its fibers
  const struct {
    const char* name;
    const char* plane;
    float intensity;
    const PlaneOrientation& orientation;
  } planes[] = {{"kxy", "x-y", p.kxy, o.xy}, {"kzx", "z-x", p.kzx, o.zx}};
  for (const auto& plane : planes) {
    const double sum = classDensitySum(plane.orientation, k);
    if (std::abs(sum - 1) <= 0.01) continue;
    warnings.push_back(std::string(plane.name) + " " + formatGeneral(plane.intensity) +
                       " is too sharp for the 90 angle classes of the " + plane.plane + " plane: they hold " +
                       formatFixed(sum, 4) + " of its fibers instead of 1, and the results count only those");
  }
  return warnings;
}

double orientationDensity(double theta, const PlaneOrientation& plane) {
  const double s = std::sin(theta);
  const double c = std::cos(theta);
  return std::sqrt(plane.k) / kPi * plane.c3 / (c * c + plane.c1 * s * c + plane.c2 * (s * s));
}

}  // namespace fb
