#pragma once

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace fb {

/// `count` points of a Latin hypercube in the unit cube of `dimensions`, each
/// coordinate in [0, 1): every dimension's range is cut into `count` cells and
/// each cell holds one point. The generator and the mapping to [0, 1) are
/// spelled out, so that a seed gives the same points with any standard library.
inline std::vector<std::vector<double>> latinHypercube(int count, std::size_t dimensions, std::uint64_t seed) {
  std::vector<std::vector<double>> points;
  if (count <= 0) return points;
  std::mt19937_64 random(seed);
  const auto unit = [&random] { return static_cast<double>(random() >> 11) * 0x1.0p-53; };
  std::vector<std::vector<double>> columns;
  for (std::size_t j = 0; j < dimensions; ++j) {
    std::vector<int> cell(count);
    for (int i = 0; i < count; ++i) cell[i] = i;
    for (int i = count - 1; i > 0; --i) std::swap(cell[i], cell[random() % static_cast<std::uint64_t>(i + 1)]);
    std::vector<double> column(count);
    for (int i = 0; i < count; ++i) column[i] = (cell[i] + unit()) / count;
    columns.push_back(column);
  }
  for (int i = 0; i < count; ++i) {
    std::vector<double> point;
    for (const auto& column : columns) point.push_back(column[i]);
    points.push_back(point);
  }
  return points;
}

}  // namespace fb
