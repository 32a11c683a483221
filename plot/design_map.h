#pragma once

// A design map: one metric of a two-input sweep as coloured cells over the
// grid, the first input across and the second up, with a colour bar and
// contour lines at chosen levels (the margins of the strain-hardening
// indices, say). It draws through the canvas interface, so the SVG writer and
// the PNG painter show the same figure.

#include <optional>
#include <string>
#include <vector>

#include "engine/expected.h"
#include "output/canvas.h"
#include "plot/figure.h"

namespace fb {

struct MapAxis {
  std::string title;           // "Vf, fiber volume fraction"
  std::vector<double> values;  // the swept values, in sweep order
};

struct DesignMap {
  MapAxis across, up;
  /// across.values.size() * up.values.size() values, the across input
  /// varying slowest as in a study's grid; empty where a run has none.
  std::vector<std::optional<double>> values;
  std::string title;           // "PSH energy index J'b/Jtip"
  std::vector<double> levels;  // contour lines
};

FigureSize designMapSize(const DesignMap& map);

/// The contour segments of `level` over the grid's points, in the axes' values:
/// each pair of points is one segment, linear between neighbouring points.
std::vector<std::pair<double, double>> contourSegments(const DesignMap& map, double level);

/// Draws the whole map on `target`, whose coordinates it sets to pixels of
/// designMapSize(map), origin at the top left.
void drawDesignMap(const DesignMap& map, Canvas& target);

/// Writes the map to `path`, SVG or PNG by its extension; the whole file or none, else "path: reason".
[[nodiscard]] Expected<void> writeDesignMap(const std::string& path, const DesignMap& map);

}  // namespace fb
