#include "plot/fit_figure.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/number_writer.h"
#include "output/result_graphs.h"
#include "output/segment_clip.h"
#include "plot/figure_parts.h"

namespace fb {

using namespace figure_parts;

namespace {

// Pixel layout: the residual panel under the stress panel, sharing its width axis.
constexpr double kResidualTop = kStressTop + kStressHeight + 36, kResidualHeight = 180;
constexpr FigureSize kPlainSize{900, static_cast<int>(kResidualTop + kResidualHeight) + 66};
// The load panels, pullout tests then beam tests: below the residuals, or in
// the stress panel's place when no bridging curve is fitted.
constexpr double kLoadHeight = kStressHeight;
constexpr double kLoadBelow = kPlainSize.height + kStressTop - 12;

bool bridgingPanels(const FitFigure& figure) {
  return !figure.specimens.empty() || (figure.pullouts.empty() && figure.beams.empty());
}

double pulloutTop(const FitFigure& figure) { return bridgingPanels(figure) ? kLoadBelow : kStressTop; }

double beamTop(const FitFigure& figure) {
  return figure.pullouts.empty() ? pulloutTop(figure) : pulloutTop(figure) + kLoadHeight + 96;
}

FigureSize plainSize(const FitFigure& figure) {
  if (figure.pullouts.empty() && figure.beams.empty()) return kPlainSize;
  const double bottom = figure.beams.empty() ? pulloutTop(figure) + kLoadHeight : beamTop(figure) + kLoadHeight;
  return {kPlainSize.width, static_cast<int>(bottom) + 66};
}

constexpr Rgb kStartColour{165, 165, 165};
constexpr Rgb kFaintGrid{232, 232, 232};
constexpr Rgb kBandLegendGrey{127, 127, 127};
constexpr double kShadeKeep = 0.22, kBandEdgeKeep = 0.5;  // how much of a run's colour its band keeps
constexpr double kDash = 6, kDashGap = 4;                 // pixels of the start curve's dashes

Rgb tint(Rgb c, double keep) {
  const auto towardWhite = [keep](std::uint8_t v) {
    return static_cast<std::uint8_t>(std::lround(255 - (255 - v) * keep));
  };
  return {towardWhite(c.r), towardWhite(c.g), towardWhite(c.b)};
}

struct Extent {
  double lo = std::numeric_limits<double>::infinity(), hi = -std::numeric_limits<double>::infinity();
  void include(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  bool empty() const { return !(lo <= hi); }
};

struct WidthAxis {
  double lo = 0, hi = 1;  // mm
  bool log = false;
  bool drawable(double w) const { return std::isfinite(w) && (!log || w > 0); }
  bool covers(double w) const { return drawable(w) && w >= lo && w <= hi; }
  double fraction(double w) const {
    return log ? (std::log10(w) - std::log10(lo)) / (std::log10(hi) - std::log10(lo)) : (w - lo) / (hi - lo);
  }
};

struct Pixel {
  double x = 0, y = 0;
};

struct Panel {
  WidthAxis width;
  double low = 0, high = 1;  // MPa at the bottom and the top
  double top = 0, height = 0;
  double bottom() const { return top + height; }
  ClipBox box() const { return {kLeft, top, kLeft + kPanelWidth, bottom()}; }
  double px(double w) const { return kLeft + width.fraction(w) * kPanelWidth; }
  double py(double v) const { return top + (high - v) / (high - low) * height; }
  // Where a point lies in pixels; nothing for one the axes cannot place.
  std::optional<Pixel> at(double w, double v) const {
    if (!width.drawable(w) || !std::isfinite(v)) return std::nullopt;
    const Pixel p{px(w), py(v)};
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return std::nullopt;
    return p;
  }
  bool inside(const Pixel& p) const {
    const ClipBox b = box();
    return p.x >= b.left && p.x <= b.right && p.y >= b.top && p.y <= b.bottom;
  }
};

template <typename Point>
void includeWidths(Extent& e, const WidthAxis& axis, const std::vector<Point>& points) {
  for (const Point& p : points)
    if (axis.drawable(p.Wcr) && std::isfinite(p.sigma)) e.include(p.Wcr);
}

// The measured widths decide; without any, the fitted laws, then whatever was given.
WidthAxis widthAxis(const FitFigure& figure) {
  WidthAxis axis;
  axis.log = figure.logWidth;
  Extent e;
  for (const SpecimenFitCurves& s : figure.specimens) includeWidths(e, axis, s.measured);
  for (const SpecimenFitCurves& s : figure.specimens)
    if (e.empty()) includeWidths(e, axis, s.fitted);
  for (const SpecimenFitCurves& s : figure.specimens) {
    if (!e.empty()) break;
    for (const auto* series : {&s.start, &s.bandLow, &s.bandHigh, &s.residuals}) includeWidths(e, axis, *series);
  }
  if (axis.log) {
    if (e.empty()) e = {1e-2, 1};
    // A little below the smallest width, at least a decade across, within what a double holds.
    double a = std::log10(e.lo) - 0.1, b = std::log10(e.hi) + 0.05;
    if (b - a < 1) {
      const double middle = (a + b) / 2;
      a = middle - 0.5;
      b = middle + 0.5;
    }
    a = std::clamp(a, -300.0, 299.0);
    b = std::clamp(b, a + 1, 300.0);
    axis.lo = std::pow(10, a);
    axis.hi = std::pow(10, b);
    return axis;
  }
  const double lo = e.empty() ? 0 : std::min(0.0, e.lo), hi = e.empty() ? 1 : std::max(0.0, e.hi);
  const double span = hi > lo ? hi - lo : 1;
  axis.lo = lo < 0 ? lo - 0.03 * span : 0;
  axis.hi = lo + span * 1.03;
  if (!std::isfinite(axis.hi - axis.lo)) axis = {0, 1, false};
  return axis;
}

// From zero (or below it) to the highest measured or fitted stress within the
// width axis, with headroom.
std::pair<double, double> stressRange(const FitFigure& figure, const WidthAxis& axis) {
  Extent e;
  e.include(0);
  for (const SpecimenFitCurves& s : figure.specimens) {
    for (const MeasuredPoint& m : s.measured)
      if (axis.covers(m.Wcr)) e.include(m.sigma);
    for (const auto* series : {&s.fitted, &s.bandLow, &s.bandHigh})
      for (const CurvePoint& p : *series)
        if (axis.covers(p.Wcr)) e.include(p.sigma);
  }
  const double span = e.hi > e.lo ? e.hi - e.lo : 1;
  const double lo = e.lo < 0 ? e.lo - 0.07 * span : 0, hi = e.lo + span * 1.07;
  if (!std::isfinite(hi - lo)) return {0, 1};
  return {lo, hi};
}

// Symmetric about zero around the largest residual; a tenth of the stress
// axis's top when every residual is zero.
double residualLimit(const FitFigure& figure, const WidthAxis& axis, double stressHigh) {
  double largest = 0;
  for (const SpecimenFitCurves& s : figure.specimens)
    for (const CurvePoint& r : s.residuals)
      if (axis.covers(r.Wcr) && std::isfinite(r.sigma)) largest = std::max(largest, std::abs(r.sigma));
  const double limit = largest > 0 ? largest * 1.1 : stressHigh / 10;
  return std::isfinite(limit) && limit > 0 ? limit : 1;
}

struct Tick {
  double value = 0;
  bool labelled = true;
};

// A logarithmic axis has ticks at 1, 2 and 5 times each decade; over more
// decades than a label fits, only the decades carry labels, and over very
// many only every n-th decade is marked.
std::vector<Tick> widthTicks(const WidthAxis& axis) {
  std::vector<Tick> out;
  if (!axis.log) {
    for (double v : ticks(axis.lo, axis.hi)) out.push_back({v, true});
    return out;
  }
  const double decades = std::log10(axis.hi) - std::log10(axis.lo);
  const int stride = std::max(1, static_cast<int>(std::ceil(decades / 8)));
  const int first = static_cast<int>(std::floor(std::log10(axis.lo)));
  const int last = static_cast<int>(std::ceil(std::log10(axis.hi)));
  for (int k = first; k <= last; ++k) {
    if (k % stride != 0) continue;
    for (double m : {1.0, 2.0, 5.0}) {
      if (m != 1 && decades > 8) continue;
      const double v = m * std::pow(10, k);
      if (v >= axis.lo && v <= axis.hi) out.push_back({v, m == 1 || decades <= 5});
    }
  }
  return out;
}

void clippedLine(Canvas& target, const Panel& panel, Pixel a, Pixel b, Rgb colour) {
  if (!clipSegment(a.x, a.y, b.x, b.y, panel.box())) return;
  target.line(static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(b.x), static_cast<float>(b.y),
              colour);
}

// Dashes run on across the curve's corners; the segment is clipped first, so
// a far-off point costs no more dashes than the panel holds.
void dashedLine(Canvas& target, const Panel& panel, Pixel a, Pixel b, Rgb colour, double& phase) {
  if (!clipSegment(a.x, a.y, b.x, b.y, panel.box())) return;
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  if (!(length > 0)) return;
  const auto along = [&](double t) { return Pixel{a.x + (b.x - a.x) * t / length, a.y + (b.y - a.y) * t / length}; };
  for (double t = 0; t < length;) {
    phase = std::fmod(phase, kDash + kDashGap);
    const bool on = phase < kDash;
    const double run = std::min(length - t, (on ? kDash : kDash + kDashGap) - phase);
    if (on) {
      const Pixel p = along(t), q = along(t + run);
      target.line(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(q.x), static_cast<float>(q.y),
                  colour);
    }
    t += run;
    phase += run;
  }
}

// A point the axes cannot place breaks the curve: the segments to and from it are dropped.
void curve(Canvas& target, const Panel& panel, const std::vector<CurvePoint>& points, Rgb colour, bool dashed = false) {
  std::optional<Pixel> previous;
  double phase = 0;
  for (const CurvePoint& p : points) {
    const std::optional<Pixel> here = panel.at(p.Wcr, p.sigma);
    if (previous && here) {
      if (dashed)
        dashedLine(target, panel, *previous, *here, colour, phase);
      else
        clippedLine(target, panel, *previous, *here, colour);
    }
    previous = here;
  }
}

// The band's two edges share their widths, those of the lower edge.
void shadeBand(Canvas& target, const Panel& panel, const SpecimenFitCurves& s, Rgb colour) {
  const std::size_t n = std::min(s.bandLow.size(), s.bandHigh.size());
  const ClipBox box = panel.box();
  ColumnFill fill(target, colour);
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const std::optional<Pixel> low0 = panel.at(s.bandLow[i].Wcr, s.bandLow[i].sigma);
    const std::optional<Pixel> low1 = panel.at(s.bandLow[i + 1].Wcr, s.bandLow[i + 1].sigma);
    const std::optional<Pixel> high0 = panel.at(s.bandLow[i].Wcr, s.bandHigh[i].sigma);
    const std::optional<Pixel> high1 = panel.at(s.bandLow[i + 1].Wcr, s.bandHigh[i + 1].sigma);
    if (!low0 || !low1 || !high0 || !high1 || low0->x == low1->x) continue;
    // Columns from the left end up to, not including, the right one, which the next step shades.
    const double from = std::max(std::min(low0->x, low1->x), box.left);
    const double to = std::min(std::max(low0->x, low1->x), box.right);
    for (double x = std::ceil(from); x < to; ++x) {
      const double t = (x - low0->x) / (low1->x - low0->x);
      double y1 = low0->y + t * (low1->y - low0->y), y2 = high0->y + t * (high1->y - high0->y);
      if (y1 > y2) std::swap(y1, y2);
      y1 = std::max(y1, box.top);
      y2 = std::min(y2, box.bottom);
      if (y1 <= y2) fill.column(x, y1, y2);
    }
  }
}

// Measured points on the stress panel, residuals on theirs.
template <typename Point>
void markers(Canvas& target, const Panel& panel, const std::vector<Point>& points, Rgb colour) {
  for (const Point& m : points)
    if (const std::optional<Pixel> p = panel.at(m.Wcr, m.sigma); p && panel.inside(*p))
      marker(target, p->x, p->y, colour);
}

void grid(Canvas& target, const Panel& panel, const std::vector<Tick>& xTicks, const std::vector<double>& yTicks) {
  const float l = static_cast<float>(kLeft), r = static_cast<float>(kLeft + kPanelWidth);
  const float t = static_cast<float>(panel.top), b = static_cast<float>(panel.bottom());
  for (const Tick& x : xTicks) {
    const float px = static_cast<float>(panel.px(x.value));
    target.line(px, t, px, b, kFaintGrid);
  }
  for (double v : yTicks) {
    const float py = static_cast<float>(panel.py(v));
    target.line(l, py, r, py, kFaintGrid);
  }
}

void axes(Canvas& target, const Panel& panel, const std::vector<Tick>& xTicks, const std::vector<double>& yTicks,
          bool widthLabels) {
  const float l = static_cast<float>(kLeft), b = static_cast<float>(panel.bottom());
  frame(target, kLeft, panel.top, kLeft + kPanelWidth, panel.bottom());
  for (const Tick& x : xTicks) {
    const float px = static_cast<float>(panel.px(x.value));
    target.line(px, b, px, b + (x.labelled ? 5 : 3), kFrameColour);
    if (widthLabels && x.labelled) target.text(px, b + 19, formatShortest(x.value), kTextColour, 0.5f);
  }
  for (double v : yTicks) {
    const float py = static_cast<float>(panel.py(v));
    target.line(l - 5, py, l, py, kFrameColour);
    target.text(l - 8, py + 4, formatShortest(v == 0 ? 0 : v), kTextColour, 1.0f);
  }
}

Rgb specimenColour(const FitFigure& figure, std::size_t i) { return curveColour(i, figure.specimens.size()); }

Rgb measuredColour(const FitFigure& figure, std::size_t i) {
  return figure.specimens.size() > 1 ? specimenColour(figure, i) : kMeasuredColour;
}

std::vector<LegendEntry> legendEntries(const FitFigure& figure) {
  std::vector<LegendEntry> entries;
  const std::size_t n = figure.specimens.size();
  bool start = false, band = false;
  for (std::size_t i = 0; i < n; ++i) {
    const SpecimenFitCurves& s = figure.specimens[i];
    std::string name = s.label;
    if (name.empty() && n > 1) name = "specimen " + std::to_string(i + 1);
    const std::string suffix = name.empty() ? "" : " (" + name + ")";
    entries.push_back({"fitted" + suffix, specimenColour(figure, i)});
    if (!s.measured.empty())
      entries.push_back({"measured" + suffix, measuredColour(figure, i), LegendEntry::Sample::marker});
    start = start || !s.start.empty();
    band = band || (!s.bandLow.empty() && !s.bandHigh.empty());
  }
  if (start) entries.push_back({"start", kStartColour, LegendEntry::Sample::dashed});
  if (band)
    entries.push_back({"95 % band", tint(n == 1 ? specimenColour(figure, 0) : kBandLegendGrey, kShadeKeep),
                       LegendEntry::Sample::shade});
  const std::size_t tests = figure.pullouts.size();
  for (std::size_t i = 0; i < tests; ++i)
    entries.push_back({"pullout " + figure.pullouts[i].label, curveColour(i, tests)});
  if (tests > 0) entries.push_back({"pullout measured", kBandLegendGrey, LegendEntry::Sample::marker});
  const std::size_t beams = figure.beams.size();
  for (std::size_t i = 0; i < beams; ++i) entries.push_back({"beam " + figure.beams[i].label, curveColour(i, beams)});
  if (beams > 0) entries.push_back({"beam measured", kBandLegendGrey, LegendEntry::Sample::marker});
  return entries;
}

// One test's fitted and measured loads, in the x and y a load panel draws.
struct LoadSeries {
  std::vector<CurvePoint> fitted, measured;
};

template <typename Point, typename X, typename Y>
std::vector<CurvePoint> loadCurve(const std::vector<Point>& points, X x, Y y) {
  std::vector<CurvePoint> out;
  for (const Point& p : points) out.push_back({x(p), y(p)});
  return out;
}

// Load against slip or CMOD of every test, from zero to the largest x and the
// highest load, each test in its colour.
void drawLoadPanel(const std::vector<LoadSeries>& tests, double top, const char* xLabel, const char* yLabel,
                   Canvas& target) {
  Extent x, load;
  x.include(0);
  load.include(0);
  for (const LoadSeries& t : tests)
    for (const auto* series : {&t.measured, &t.fitted})
      for (const CurvePoint& p : *series)
        if (std::isfinite(p.sigma)) {
          x.include(p.Wcr);
          load.include(p.sigma);
        }
  const double xSpan = x.hi > x.lo ? x.hi - x.lo : 1, loadSpan = load.hi > load.lo ? load.hi - load.lo : 1;
  WidthAxis axis{x.lo, x.lo + xSpan * 1.03, false};
  const double low = load.lo < 0 ? load.lo - 0.07 * loadSpan : 0, high = load.lo + loadSpan * 1.07;
  if (!std::isfinite(axis.hi) || !std::isfinite(high)) return;
  const Panel panel{axis, low, high, top, kLoadHeight};
  const std::vector<Tick> xTicks = widthTicks(axis);
  const std::vector<double> yTicks = ticks(low, high);
  grid(target, panel, xTicks, yTicks);
  const std::size_t n = tests.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Rgb colour = curveColour(i, n);
    curve(target, panel, tests[i].fitted, colour);
    markers(target, panel, tests[i].measured, colour);
  }
  axes(target, panel, xTicks, yTicks, true);
  target.text(static_cast<float>(kLeft + kPanelWidth / 2), static_cast<float>(panel.bottom() + 38), xLabel, kTextColour,
              0.5f);
  target.text(static_cast<float>(kLeft), static_cast<float>(panel.top - 14), yLabel, kTextColour, 0.0f);
}

void drawPullouts(const FitFigure& figure, Canvas& target) {
  std::vector<LoadSeries> tests;
  const auto slip = [](const PulloutPoint& p) { return p.slip; };
  const auto load = [](const PulloutPoint& p) { return p.load; };
  for (const PulloutFitCurves& t : figure.pullouts)
    tests.push_back({loadCurve(t.fitted, slip, load), loadCurve(t.measured, slip, load)});
  drawLoadPanel(tests, pulloutTop(figure), "Slip δ (mm)", "Pullout load P (N)", target);
}

void drawBeams(const FitFigure& figure, Canvas& target) {
  std::vector<LoadSeries> tests;
  for (const BeamFitCurves& t : figure.beams)
    tests.push_back(
        {loadCurve(
             t.fitted, [](const BeamPoint& p) { return p.cmod; }, [](const BeamPoint& p) { return p.load; }),
         loadCurve(
             t.measured, [](const BeamTestPoint& p) { return p.cmod; },
             [](const BeamTestPoint& p) { return p.load; })});
  drawLoadPanel(tests, beamTop(figure), "Crack mouth opening CMOD (mm)", "Beam load F (kN)", target);
}

}  // namespace

FigureSize fitFigureSize(const FitFigure& figure) { return withLegend(plainSize(figure), legendEntries(figure)); }

void drawFitFigure(const FitFigure& figure, Canvas& target) {
  const FigureSize size = fitFigureSize(figure);
  target.clear();
  target.setScale(0, 0, static_cast<float>(size.width), static_cast<float>(size.height));
  if (!figure.pullouts.empty()) drawPullouts(figure, target);
  if (!figure.beams.empty()) drawBeams(figure, target);
  if (!bridgingPanels(figure)) {
    drawLegend(target, legendEntries(figure), kPlainSize.width);
    return;
  }

  const WidthAxis width = widthAxis(figure);
  const auto [low, high] = stressRange(figure, width);
  const double limit = residualLimit(figure, width, high);
  const Panel stress{width, low, high, kStressTop, kStressHeight};
  const Panel residual{width, -limit, limit, kResidualTop, kResidualHeight};
  const std::vector<Tick> xTicks = widthTicks(width);
  const std::vector<double> stressTicks = ticks(low, high), residualTicks = ticks(-limit, limit);

  grid(target, stress, xTicks, stressTicks);
  grid(target, residual, xTicks, residualTicks);
  const float l = static_cast<float>(kLeft), r = static_cast<float>(kLeft + kPanelWidth);
  const float zero = static_cast<float>(residual.py(0));
  target.line(l, zero, r, zero, kAxisColour);

  // Bands first, so that every curve and point lies on top of them.
  const std::size_t n = figure.specimens.size();
  for (std::size_t i = 0; i < n; ++i)
    shadeBand(target, stress, figure.specimens[i], tint(specimenColour(figure, i), kShadeKeep));
  for (std::size_t i = 0; i < n; ++i) {
    const SpecimenFitCurves& s = figure.specimens[i];
    const Rgb edge = tint(specimenColour(figure, i), kBandEdgeKeep);
    curve(target, stress, s.bandLow, edge);
    curve(target, stress, s.bandHigh, edge);
  }
  for (const SpecimenFitCurves& s : figure.specimens) curve(target, stress, s.start, kStartColour, true);
  for (std::size_t i = 0; i < n; ++i) curve(target, stress, figure.specimens[i].fitted, specimenColour(figure, i));
  for (std::size_t i = 0; i < n; ++i) {
    markers(target, stress, figure.specimens[i].measured, measuredColour(figure, i));
    markers(target, residual, figure.specimens[i].residuals, measuredColour(figure, i));
  }

  axes(target, stress, xTicks, stressTicks, false);
  axes(target, residual, xTicks, residualTicks, true);
  const float centre = static_cast<float>(kLeft + kPanelWidth / 2);
  target.text(centre, static_cast<float>(residual.bottom() + 38),
              width.log ? "Crack width Wcr (mm, logarithmic)" : "Crack width Wcr (mm)", kTextColour, 0.5f);
  target.text(l, static_cast<float>(stress.top - 14), "Bridging stress σ (MPa)", kTextColour, 0.0f);
  target.text(l, static_cast<float>(residual.top - 14), "Residual σ fitted − measured (MPa)", kTextColour, 0.0f);

  drawLegend(target, legendEntries(figure), kPlainSize.width);
}

Expected<void> writeFitFigure(const std::string& path, const FitFigure& figure) {
  return writePlotFile(path, fitFigureSize(figure), [&](Canvas& c) { drawFitFigure(figure, c); });
}

}  // namespace fb
