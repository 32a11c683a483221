#include <algorithm>
#include <cctype>

#include "plot/figure.h"
#include "plot/svg_canvas.h"
#include "study/text_files.h"

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

std::string svgFigure(const Figure& figure) {
  const FigureSize size = figureSize(figure);
  SvgCanvas canvas(size.width, size.height);
  drawFigure(figure, canvas);
  return canvas.document();
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
  std::string reason;
  if (!isPlotPath(path, &reason)) return path + ": " + reason;
#ifdef FIBERBRIDGE_HAVE_PNG
  if (endsWith(path, ".png")) return writePngFigure(path, figure);
#endif
  return writeTextFile(path, svgFigure(figure));
}

}  // namespace fb
