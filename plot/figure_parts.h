#pragma once

// What the plot figures share: the pixel layout of the stress panel, tick
// steps, run colours, the measured marker, the legend beside the panels, and
// writing a drawing as SVG or PNG by the file's extension.

#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "engine/expected.h"
#include "output/canvas.h"
#include "plot/figure.h"

namespace fb::figure_parts {

inline constexpr double kLeft = 76, kPanelWidth = 796;
inline constexpr double kStressTop = 48, kStressHeight = 400;
inline constexpr double kLegendRow = 18, kCharWidth = 7;

inline constexpr Rgb kFrameColour{64, 64, 64};
inline constexpr Rgb kTextColour{32, 32, 32};
inline constexpr Rgb kMeasuredColour{0, 0, 0};

/// 1, 2 or 5 times a power of ten, about six ticks across [lo, hi]; none for
/// an empty or unbounded range.
std::vector<double> ticks(double lo, double hi);

/// Distinct colours for up to ten runs; beyond, a ramp from blue to red in grid order.
Rgb curveColour(std::size_t index, std::size_t count);

struct LegendEntry {
  enum class Sample { line, dashed, marker, shade, none };
  std::string label;
  Rgb colour;
  Sample sample = Sample::line;
};

/// The figure's size once the legend is beside the panels: wider, and taller
/// when the legend is longer than the panels.
FigureSize withLegend(FigureSize plain, const std::vector<LegendEntry>& entries);

/// Draws the legend in the column right of `plainWidth`.
void drawLegend(Canvas& target, const std::vector<LegendEntry>& entries, double plainWidth);

/// The square marker of a measured point, centred on (x, y) in pixels.
void marker(Canvas& target, double x, double y, Rgb colour);

/// A panel's frame, in pixels.
void frame(Canvas& target, double left, double top, double right, double bottom);

/// Shades an area one pixel column at a time. Each column's stroke joins the
/// one before along the area's edge, so the SVG holds an area as one polyline.
class ColumnFill {
 public:
  ColumnFill(Canvas& target, Rgb colour) : target_(target), colour_(colour) {}
  void column(double x, double top, double bottom);

 private:
  Canvas& target_;
  Rgb colour_;
  double last_ = std::numeric_limits<double>::quiet_NaN();  // the column before; none at first
  bool endsAtTop_ = true;
};

/// Draws a figure on a canvas whose coordinates are pixels of the figure's size.
using DrawOn = std::function<void(Canvas&)>;

/// The drawing as an SVG document.
std::string svgDocument(FigureSize size, const DrawOn& draw);

/// Writes the drawing to `path`: SVG for ".svg", PNG for ".png" (through the
/// painter module); the whole file or none, else "path: reason".
[[nodiscard]] Expected<void> writePlotFile(const std::string& path, FigureSize size, const DrawOn& draw);

}  // namespace fb::figure_parts
