#pragma once

#include "engine/parameter_set.h"

namespace fb {

/// Coefficients of the expanded elliptical density of one plane.
struct PlaneOrientation {
  double k = 1;   // orientation intensity
  double c1 = 0;  // cross coefficient (1-k)*sin(2*thetaR)/Q
  double c2 = 1;  // sine coefficient (k-(k-1)*S^2)/Q
  double c3 = 1;  // norm coefficient 1/Q
};

struct Orientation {
  PlaneOrientation xy;
  PlaneOrientation zx;
};

/// The density coefficients of both planes, X-Y first.
Orientation prepareOrientation(const ParameterSet& p, const RunConstants& k);

/// The fiber density per radian of one plane at angle `theta` (rad).
double orientationDensity(double theta, const PlaneOrientation& plane);

}  // namespace fb
