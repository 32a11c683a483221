#pragma once

#include <optional>
#include <string>
#include <string_view>
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

/// A named orientation in place of the two elliptical densities. The model's
/// two angles are a fiber's azimuth in the X-Y plane and its elevation towards
/// Z, so a density in them is one over directions: a preset weighs the same
/// classes by its own.
enum class OrientationPreset {
  none,       // the kxy and kzx densities
  planar,     // random in the X-Y plane: uniform azimuth, elevation 0
  isotropic,  // uniform over the sphere: uniform azimuth, elevation by its cosine
};

/// The preset a text names: "" none, "planar", "isotropic"; empty for any other text.
std::optional<OrientationPreset> orientationPreset(std::string_view text);

struct Orientation {
  PlaneOrientation xy;
  PlaneOrientation zx;
  OrientationPreset preset = OrientationPreset::none;
};

/// The density coefficients of both planes, X-Y first.
Orientation prepareOrientation(const ParameterSet& p, const RunConstants& k);

/// The fiber density per radian of one plane at angle `theta` (rad).
double orientationDensity(double theta, const PlaneOrientation& plane);

/// The share of the fibers in the angle class at `angle` (degrees) of the X-Y
/// plane, or of the Z-X plane when `zx`: the density times the class width.
double classShare(const Orientation& o, bool zx, int angle, const RunConstants& k);

/// The share of a plane's fibers that its 90 angle classes hold: the sum of
/// p(theta)*angleClassWidth over the class angles. It is 1 while the classes
/// resolve the density; the model uses the sum as it is, without renormalising.
double classDensitySum(const PlaneOrientation& plane, const RunConstants& k);

/// A warning for each plane whose orientation is too sharp for its angle
/// classes (the sum above off 1 by more than 1 %); empty when both resolve.
std::vector<std::string> orientationWarnings(const ParameterSet& p, const RunConstants& k, const Orientation& o);

}  // namespace fb
