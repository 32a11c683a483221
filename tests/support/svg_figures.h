#pragma once

// The figures as SVG documents, as a .svg plot file holds them.

#include <string>

#include "plot/figure.h"
#include "plot/figure_parts.h"
#include "plot/fit_figure.h"

namespace fbtest {

inline std::string svgFigure(const fb::Figure& figure) {
  return fb::figure_parts::svgDocument(fb::figureSize(figure), [&](fb::Canvas& c) { fb::drawFigure(figure, c); });
}

inline std::string svgFitFigure(const fb::FitFigure& figure) {
  return fb::figure_parts::svgDocument(fb::fitFigureSize(figure), [&](fb::Canvas& c) { fb::drawFitFigure(figure, c); });
}

}  // namespace fbtest
