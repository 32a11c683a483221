#include <algorithm>
#include <cctype>

#include "output/text_file.h"
#include "plot/figure.h"
#include "plot/figure_parts.h"
#include "plot/svg_canvas.h"

#ifdef FIBERBRIDGE_HAVE_PNG
#include "plot/png_figure.h"
#endif

namespace fb {
namespace {

bool endsWith(const std::string& path, std::string_view suffix) {
  if (path.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), path.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char wanted, char given) { return std::tolower(static_cast<unsigned char>(given)) == wanted; });
}

}  // namespace

std::string figure_parts::svgDocument(FigureSize size, const DrawOn& draw) {
  SvgCanvas canvas(size.width, size.height);
  draw(canvas);
  return canvas.document();
}

Expected<void> figure_parts::writePlotFile(const std::string& path, FigureSize size, const DrawOn& draw) {
  if (const auto plot = checkPlotPath(path); !plot) return unexpected(path + ": " + plot.error());
#ifdef FIBERBRIDGE_HAVE_PNG
  if (endsWith(path, ".png")) return writePngFile(path, size, draw);
#endif
  return writeTextFile(path, svgDocument(size, draw));
}

Expected<void> checkPlotPath(const std::string& path) {
  if (endsWith(path, ".svg")) return {};
  if (endsWith(path, ".png")) {
#ifdef FIBERBRIDGE_HAVE_PNG
    return {};
#else
    return unexpected("this build writes no PNG (it was built without Qt); name an .svg file");
#endif
  }
  return unexpected("a plot file must end in .svg or .png");
}

Expected<void> writeFigure(const std::string& path, const Figure& figure) {
  return figure_parts::writePlotFile(path, figureSize(figure), [&](Canvas& c) { drawFigure(figure, c); });
}

}  // namespace fb
