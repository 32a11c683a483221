#pragma once

// The figure of a scatter: the band between the 5 % and 95 % quantiles of the
// samples' bridging stress, their median and mean, and the measured points.
// It draws through the canvas interface, so the SVG writer and the PNG
// painter show the same figure.

#include <optional>
#include <string>
#include <vector>

#include "engine/expected.h"
#include "output/canvas.h"
#include "plot/figure.h"
#include "study/design/scatter.h"
#include "study/inputs/measured_curve.h"

namespace fb {

struct BandFigure {
  Band band;
  std::string bandLabel = "5 to 95 %";  // "5 to 95 % of 64 samples"
  std::vector<MeasuredPoint> measured;
};

FigureSize bandFigureSize(const BandFigure& figure);

/// Draws the whole figure on `target`, whose coordinates it sets to pixels of
/// bandFigureSize(figure), origin at the top left.
void drawBandFigure(const BandFigure& figure, Canvas& target);

/// Writes the figure to `path`, SVG or PNG by its extension; the whole file or none, else "path: reason".
[[nodiscard]] Expected<void> writeBandFigure(const std::string& path, const BandFigure& figure);

}  // namespace fb
