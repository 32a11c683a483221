#pragma once

// The plot file: the window's two graphs, as the graph code drew them into
// recording canvases, laid out one above the other with a frame, ticks,
// labels and units, and a legend when several runs or a measured curve share
// the figure; below them a run's notched beam, when it has one. The layout draws through the canvas interface, so the
// SVG writer and the PNG painter show the same figure.

#include <optional>
#include <string>
#include <vector>

#include "engine/expected.h"
#include "output/canvas.h"
#include "output/recording_canvas.h"
#include "study/design/notched_beam.h"
#include "study/inputs/measured_curve.h"

namespace fb {

struct FigureCurve {
  std::string label;  // the varied values, "kxy=0.5, Vf=0.01"
  const RecordingCanvas* stress = nullptr;
  const RecordingCanvas* ratio = nullptr;
};

struct Figure {
  std::vector<FigureCurve> curves;
  std::vector<MeasuredPoint> measured;
  std::string measuredLabel = "measured";
  std::vector<BeamPoint> beam = {};  // a run's notched beam, load against CMOD, in a panel below the others
};

struct FigureSize {
  int width = 0, height = 0;  // pixels
};

/// The size of a figure without a legend or a beam; a legend widens it (and a
/// long one makes it taller), a beam's panel makes it taller.
inline constexpr FigureSize kPlainFigureSize{900, 790};

FigureSize figureSize(const Figure& figure);

/// Draws the whole figure on `target`, whose coordinates it sets to pixels
/// of figureSize(figure), origin at the top left.
void drawFigure(const Figure& figure, Canvas& target);

/// Writes the figure to `path`: SVG for ".svg", PNG for ".png" (through the
/// painter module, when built with Qt). Gives the reason when the file cannot be written.
[[nodiscard]] Expected<void> writeFigure(const std::string& path, const Figure& figure);

/// Refuses a `path` that names no kind of plot file this build writes, saying why.
[[nodiscard]] Expected<void> checkPlotPath(const std::string& path);

}  // namespace fb
