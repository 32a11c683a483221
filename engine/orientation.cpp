#include "engine/orientation.h"

#include <cmath>

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

Orientation prepareOrientation(const ParameterSet& p, const RunConstants& k) {
  Orientation o;
  o.xy = planeOrientation(p.kxy, k.thetaRxyRad);
  o.zx = planeOrientation(p.kzx, k.thetaRzxRad);
  return o;
}

double orientationDensity(double theta, const PlaneOrientation& plane) {
  const double s = std::sin(theta);
  const double c = std::cos(theta);
  return std::sqrt(plane.k) / kPi * plane.c3 / (c * c + plane.c1 * s * c + plane.c2 * (s * s));
}

}  // namespace fb
