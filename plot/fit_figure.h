#pragma once

// The figure of a calibration: the measured points of each specimen with the
// bridging law fitted to them, the law of the starting inputs and the
// uncertainty band, above a panel of the residuals; and the pullout tests of
// the fit, each with the fitted single-fiber law, in a panel of load against slip, and its beam tests with
// the fitted beam in one of load against crack mouth opening. Its axes fit the measured
// data rather than the whole computed curve, so that a peak at a small crack
// width is not squeezed into a corner. It draws through the canvas interface,
// so the SVG writer and the PNG painter show the same figure.

#include <optional>
#include <string>
#include <vector>

#include "engine/expected.h"
#include "output/canvas.h"
#include "plot/figure.h"
#include "study/fit/fit_curves.h"

namespace fb {

struct FitFigure {
  std::vector<SpecimenFitCurves> specimens;
  bool logWidth = false;                        // a logarithmic crack-width axis; widths <= 0 are left out
  std::vector<PulloutFitCurves> pullouts = {};  // drawn in a panel of their own, load against slip
  std::vector<BeamFitCurves> beams = {};        // below them, load against CMOD
};

/// The figure's size in pixels, wider with the legend beside the panels.
FigureSize fitFigureSize(const FitFigure& figure);

/// Draws the whole figure on `target`, whose coordinates it sets to pixels
/// of fitFigureSize(figure), origin at the top left. Values that are not
/// numbers are left out.
void drawFitFigure(const FitFigure& figure, Canvas& target);

/// Writes the figure to `path`, SVG or PNG by its extension as writeFigure
/// does; the whole file or none, else "path: reason".
[[nodiscard]] Expected<void> writeFitFigure(const std::string& path, const FitFigure& figure);

}  // namespace fb
