#include "plot/figure.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "engine/number_writer.h"
#include "output/result_graphs.h"
#include "output/segment_clip.h"
#include "plot/figure_parts.h"

namespace fb {

using namespace figure_parts;

namespace {

// Pixel layout: the stress panel above the (smaller) fiber-ratio panel.
constexpr double kRatioTop = 534, kRatioHeight = 200;
// The beam's panel, as tall as the ratio's, below it.
constexpr double kBeamTop = kPlainFigureSize.height + 34, kBeamHeight = kRatioHeight;
constexpr FigureSize kBeamFigureSize{kPlainFigureSize.width, static_cast<int>(kBeamTop + kBeamHeight) + 66};
constexpr Rgb kBeamColour{0, 114, 178};

// A panel's visible range in the graph code's user coordinates: y grows
// downward there (the graphs draw -sigma and -ratio), so y1 is the top.
struct Window {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool set = false;
  void include(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (!set) {
      *this = {x, y, x, y, true};
      return;
    }
    x1 = std::min(x1, x);
    x2 = std::max(x2, x);
    y1 = std::min(y1, y);
    y2 = std::max(y2, y);
  }
  void widenIfFlat() {
    if (!set) *this = {0, -1, 1, 0, true};
    if (x2 - x1 <= 0) {
      x1 -= 0.5;
      x2 += 0.5;
    }
    if (y2 - y1 <= 0) {
      y1 -= 0.5;
      y2 += 0.5;
    }
  }
};

struct Panel {
  Window window;
  double top = 0, height = 0;
  double px(double x) const { return kLeft + (x - window.x1) / (window.x2 - window.x1) * kPanelWidth; }
  double py(double y) const { return top + (y - window.y1) / (window.y2 - window.y1) * height; }
  double bottom() const { return top + height; }
};

// An axis or grid line across a graph's whole range spans the whole panel,
// so runs with different ranges share one set of axes.
Stroke spanPanel(Stroke s, const Canvas::Corners& k, const Window& w) {
  if (s.kind != Stroke::Kind::line) return s;
  const auto across = [](float a, float b, float lo, float hi) {
    return std::min(a, b) == std::min(lo, hi) && std::max(a, b) == std::max(lo, hi);
  };
  if (s.y1 == s.y2 && across(s.x1, s.x2, k.x1, k.x2)) {
    s.x1 = static_cast<float>(w.x1);
    s.x2 = static_cast<float>(w.x2);
  } else if (s.x1 == s.x2 && across(s.y1, s.y2, k.y1, k.y2)) {
    s.y1 = static_cast<float>(w.y1);
    s.y2 = static_cast<float>(w.y2);
  }
  return s;
}

bool inside(double x, double y, const Window& w) { return x >= w.x1 && x <= w.x2 && y >= w.y1 && y <= w.y2; }

bool finite(const Stroke& s) {
  return std::isfinite(s.x1) && std::isfinite(s.y1) && std::isfinite(s.x2) && std::isfinite(s.y2);
}

void drawStroke(Canvas& target, const Panel& panel, const Stroke& s, Rgb colour) {
  if (!finite(s)) return;
  if (s.kind == Stroke::Kind::point) {
    if (inside(s.x1, s.y1, panel.window))
      target.point(static_cast<float>(panel.px(s.x1)), static_cast<float>(panel.py(s.y1)), colour);
    return;
  }
  double x1 = s.x1, y1 = s.y1, x2 = s.x2, y2 = s.y2;
  if (!clipSegment(x1, y1, x2, y2, {panel.window.x1, panel.window.y1, panel.window.x2, panel.window.y2})) return;
  target.line(static_cast<float>(panel.px(x1)), static_cast<float>(panel.py(y1)), static_cast<float>(panel.px(x2)),
              static_cast<float>(panel.py(y2)), colour);
}

// A legend longer than this lists every n-th run; the colour ramp tells the rest.
constexpr std::size_t kMaxLegendRuns = 24;

std::vector<LegendEntry> legendEntries(const Figure& figure) {
  std::vector<LegendEntry> entries;
  const std::size_t n = figure.curves.size();
  if (n == 1 && !figure.measured.empty()) entries.push_back({"computed", kStressColour});
  if (n > 1) {
    const std::size_t stride = (n + kMaxLegendRuns - 1) / kMaxLegendRuns;
    for (std::size_t i = 0; i < n; i += stride) entries.push_back({figure.curves[i].label, curveColour(i, n)});
    if ((n - 1) % stride != 0) entries.push_back({figure.curves[n - 1].label, curveColour(n - 1, n)});
    if (stride > 1)
      entries.push_back({"(" + std::to_string(n) + " runs, one in " + std::to_string(stride) + " listed)",
                         {},
                         LegendEntry::Sample::none});
  }
  if (!figure.measured.empty()) entries.push_back({figure.measuredLabel, kMeasuredColour, LegendEntry::Sample::marker});
  return entries;
}

void frameAndTicks(Canvas& target, const Panel& panel, const char* xLabel, const char* yLabel) {
  const float l = static_cast<float>(kLeft), r = static_cast<float>(kLeft + kPanelWidth);
  const float t = static_cast<float>(panel.top), b = static_cast<float>(panel.bottom());
  frame(target, l, t, r, b);

  for (double x : ticks(panel.window.x1, panel.window.x2)) {
    const float px = static_cast<float>(panel.px(x));
    target.line(px, b, px, b + 5, kFrameColour);
    target.text(px, b + 19, formatShortest(x), kTextColour, 0.5f);
  }
  // The panel's y runs over -sigma (or -ratio); the labels show the quantity.
  for (double v : ticks(-panel.window.y2, -panel.window.y1)) {
    const float py = static_cast<float>(panel.py(-v));
    target.line(l - 5, py, l, py, kFrameColour);
    target.text(l - 8, py + 4, formatShortest(v), kTextColour, 1.0f);
  }
  const float centre = static_cast<float>(kLeft + kPanelWidth / 2);
  target.text(centre, b + 38, xLabel, kTextColour, 0.5f);
  target.text(l, t - 14, yLabel, kTextColour, 0.0f);
}

// The beam's load against CMOD, load upward as the panels' y runs over its negative.
void drawBeam(Canvas& target, const std::vector<BeamPoint>& beam) {
  Panel panel{{}, kBeamTop, kBeamHeight};
  double highest = 0;
  for (const BeamPoint& p : beam) {
    panel.window.include(p.cmod, -p.load);
    if (std::isfinite(p.load)) highest = std::max(highest, p.load);
  }
  panel.window.include(0, -1.07 * highest);  // headroom above the peak
  panel.window.widenIfFlat();
  for (std::size_t i = 1; i < beam.size(); ++i)
    drawStroke(target, panel,
               {Stroke::Kind::line, static_cast<float>(beam[i - 1].cmod), static_cast<float>(-beam[i - 1].load),
                static_cast<float>(beam[i].cmod), static_cast<float>(-beam[i].load), kBeamColour},
               kBeamColour);
  frameAndTicks(target, panel, "Crack mouth opening CMOD (mm)", "Notched beam (EN 14651): load F (kN)");
}

}  // namespace

FigureSize figureSize(const Figure& figure) {
  return withLegend(figure.beam.empty() ? kPlainFigureSize : kBeamFigureSize, legendEntries(figure));
}

void drawFigure(const Figure& figure, Canvas& target) {
  const FigureSize size = figureSize(figure);
  target.clear();
  target.setScale(0, 0, static_cast<float>(size.width), static_cast<float>(size.height));

  Panel stress{{}, kStressTop, kStressHeight};
  Panel ratio{{}, kRatioTop, kRatioHeight};
  for (const FigureCurve& c : figure.curves) {
    for (auto [canvas, panel] : {std::pair{c.stress, &stress}, std::pair{c.ratio, &ratio}}) {
      if (!canvas || !canvas->corners().set) continue;
      const auto& k = canvas->corners();
      panel->window.include(k.x1, k.y1);
      panel->window.include(k.x2, k.y2);
    }
  }
  for (const MeasuredPoint& m : figure.measured) stress.window.include(m.Wcr, -m.sigma);
  stress.window.widenIfFlat();
  ratio.window.widenIfFlat();

  // Axes and grid as the graph code drew them, once even when every run drew them.
  std::vector<Stroke> drawn;
  for (const FigureCurve& c : figure.curves) {
    for (auto [canvas, panel, curve] :
         {std::tuple{c.stress, &stress, kStressColour}, std::tuple{c.ratio, &ratio, kRatioColour}}) {
      if (!canvas) continue;
      for (const Stroke& recorded : canvas->strokes()) {
        if (recorded.colour == curve) continue;
        const Stroke s = spanPanel(recorded, canvas->corners(), panel->window);
        if (std::find(drawn.begin(), drawn.end(), s) != drawn.end()) continue;
        drawn.push_back(s);
        drawStroke(target, *panel, s, s.colour);
      }
    }
  }
  // The curves; with several runs each gets its own colour for the legend.
  const bool several = figure.curves.size() > 1;
  for (std::size_t i = 0; i < figure.curves.size(); ++i) {
    const FigureCurve& c = figure.curves[i];
    for (auto [canvas, panel, curve] :
         {std::tuple{c.stress, &stress, kStressColour}, std::tuple{c.ratio, &ratio, kRatioColour}}) {
      if (!canvas) continue;
      const Rgb colour = several ? curveColour(i, figure.curves.size()) : curve;
      for (const Stroke& s : canvas->strokes())
        if (s.colour == curve) drawStroke(target, *panel, s, colour);
    }
  }
  for (const MeasuredPoint& m : figure.measured)
    if (inside(m.Wcr, -m.sigma, stress.window)) marker(target, stress.px(m.Wcr), stress.py(-m.sigma), kMeasuredColour);

  frameAndTicks(target, stress, "Crack width Wcr (mm)", "Bridging stress σ (MPa)");
  frameAndTicks(target, ratio, "Crack width Wcr (mm)", "Effective fiber ratio (0 to 1)");
  if (!figure.beam.empty()) drawBeam(target, figure.beam);

  drawLegend(target, legendEntries(figure), kPlainFigureSize.width);
}

}  // namespace fb
