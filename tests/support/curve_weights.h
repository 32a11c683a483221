#pragma once

#include <algorithm>

namespace fbtest {

/// Whether every point of a measured or pullout curve has its standard deviation.
template <class Curve>
bool weighted(const Curve& curve) {
  const auto& points = curve.points;
  return !points.empty() && std::all_of(points.begin(), points.end(), [](const auto& p) { return p.sd > 0; });
}

}  // namespace fbtest
