#pragma once

#include <string>
#include <vector>

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

/// The share of a plane's fibers that its 90 angle classes hold: the sum of
/// p(theta)*angleClassWidth over the class angles. It is 1 while the classes
/// resolve the density; the model uses the sum as it is, without renormalising.
double classDensitySum(const PlaneOrientation& plane, const RunConstants& k);

/// A warning for each plane whose orientation is too sharp for its angle
/// classes (the sum above off 1 by more than 1 %); empty when both resolve.
std::vector<std::string> orientationWarnings(const ParameterSet& p, const RunConstants& k, const Orientation& o);

}  // namespace fb
