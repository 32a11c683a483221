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

std::optional<std::string> figure_parts::writePlotFile(const std::string& path, FigureSize size, const DrawOn& draw) {
  std::string reason;
  if (!isPlotPath(path, &reason)) return path + ": " + reason;
#ifdef FIBERBRIDGE_HAVE_PNG
  if (endsWith(path, ".png")) return writePngFile(path, size, draw);
#endif
  return writeTextFile(path, svgDocument(size, draw));
}

std::string svgFigure(const Figure& figure) {
  return figure_parts::svgDocument(figureSize(figure), [&](Canvas& c) { drawFigure(figure, c); });
}

bool isPlotPath(const std::string& path, std::string* reason) {
  if (endsWith(path, ".svg")) return true;
  if (endsWith(path, ".png")) {
#ifdef FIBERBRIDGE_HAVE_PNG
    return true;
#else
    if (reason) *reason = "this build writes no PNG (it was built without Qt); name an .svg file";
    return false;
#endif
  }
  if (reason) *reason = "a plot file must end in .svg or .png";
  return false;
}

std::optional<std::string> writeFigure(const std::string& path, const Figure& figure) {
  return figure_parts::writePlotFile(path, figureSize(figure), [&](Canvas& c) { drawFigure(figure, c); });
}

}  // namespace fb
