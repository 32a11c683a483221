#include "plot/band_figure.h"

#include <algorithm>
#include <cmath>

#include "engine/number_writer.h"
#include "plot/figure_parts.h"

namespace fb {

using namespace figure_parts;

namespace {

constexpr FigureSize kPlainSize{900, static_cast<int>(kStressTop + kStressHeight) + 66};
constexpr Rgb kShade{198, 219, 239}, kMedian{33, 102, 172}, kMean{214, 96, 77};

// Linear axes from 0 to the widest and highest of the band and the measured points.
struct Axes {
  double wHigh = 1, sLow = 0, sHigh = 1;
  double px(double w) const { return kLeft + w / wHigh * kPanelWidth; }
  double py(double s) const { return kStressTop + (sHigh - s) / (sHigh - sLow) * kStressHeight; }
};

Axes axesOf(const BandFigure& f) {
  double w = 0, low = 0, high = 0;
  const auto include = [&](double width, double sigma) {
    if (!std::isfinite(width) || !std::isfinite(sigma)) return;
    w = std::max(w, width);
    low = std::min(low, sigma);
    high = std::max(high, sigma);
  };
  for (std::size_t k = 0; k < f.band.Wcr.size(); ++k) {
    include(f.band.Wcr[k], f.band.sigma[k].p95);
    include(f.band.Wcr[k], f.band.sigma[k].p05);
    include(f.band.Wcr[k], f.band.sigma[k].mean);
  }
  for (const MeasuredPoint& m : f.measured) include(m.Wcr, m.sigma);
  Axes a;
  a.wHigh = w > 0 ? w * 1.03 : 1;
  const double span = high > low ? high - low : 1;
  a.sLow = low < 0 ? low - 0.07 * span : 0;
  a.sHigh = low + span * 1.07;
  return a;
}

bool inside(double x, double y) {
  return x >= kLeft && x <= kLeft + kPanelWidth && y >= kStressTop && y <= kStressTop + kStressHeight;
}

void line(Canvas& c, const Axes& a, const Band& band, double Spread::*member, Rgb colour) {
  for (std::size_t k = 1; k < band.Wcr.size(); ++k) {
    const double x1 = a.px(band.Wcr[k - 1]), y1 = a.py(band.sigma[k - 1].*member);
    const double x2 = a.px(band.Wcr[k]), y2 = a.py(band.sigma[k].*member);
    if (!inside(x1, y1) || !inside(x2, y2)) continue;
    c.line(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2), static_cast<float>(y2), colour);
  }
}

// The band one pixel column at a time, its edges linear between the widths.
void shade(Canvas& c, const Axes& a, const Band& band) {
  ColumnFill fill(c, kShade);
  for (std::size_t k = 1; k < band.Wcr.size(); ++k) {
    const double x0 = a.px(band.Wcr[k - 1]), x1 = a.px(band.Wcr[k]);
    if (!(x1 > x0)) continue;
    for (double x = std::ceil(x0); x < x1; ++x) {
      const double t = (x - x0) / (x1 - x0);
      const double lowAt = band.sigma[k - 1].p05 + t * (band.sigma[k].p05 - band.sigma[k - 1].p05);
      const double highAt = band.sigma[k - 1].p95 + t * (band.sigma[k].p95 - band.sigma[k - 1].p95);
      const double top = std::max(a.py(highAt), kStressTop), bottom = std::min(a.py(lowAt), kStressTop + kStressHeight);
      if (top <= bottom) fill.column(x, top, bottom);
    }
  }
}

std::vector<LegendEntry> legendEntries(const BandFigure& f) {
  std::vector<LegendEntry> entries{
      {f.bandLabel, kShade, LegendEntry::Sample::shade}, {"median", kMedian}, {"mean", kMean}};
  if (!f.measured.empty()) entries.push_back({"measured", kMeasuredColour, LegendEntry::Sample::marker});
  return entries;
}

}  // namespace

FigureSize bandFigureSize(const BandFigure& figure) { return withLegend(kPlainSize, legendEntries(figure)); }

void drawBandFigure(const BandFigure& f, Canvas& target) {
  const FigureSize size = bandFigureSize(f);
  target.clear();
  target.setScale(0, 0, static_cast<float>(size.width), static_cast<float>(size.height));
  const Axes a = axesOf(f);
  shade(target, a, f.band);
  line(target, a, f.band, &Spread::mean, kMean);
  line(target, a, f.band, &Spread::p50, kMedian);
  for (const MeasuredPoint& m : f.measured)
    if (const double x = a.px(m.Wcr), y = a.py(m.sigma); inside(x, y)) marker(target, x, y, kMeasuredColour);

  const double bottom = kStressTop + kStressHeight;
  frame(target, kLeft, kStressTop, kLeft + kPanelWidth, bottom);
  for (double w : ticks(0, a.wHigh)) {
    const float x = static_cast<float>(a.px(w));
    target.line(x, static_cast<float>(bottom), x, static_cast<float>(bottom + 5), kFrameColour);
    target.text(x, static_cast<float>(bottom + 19), formatShortest(w), kTextColour, 0.5f);
  }
  for (double s : ticks(a.sLow, a.sHigh)) {
    const float y = static_cast<float>(a.py(s));
    target.line(static_cast<float>(kLeft - 5), y, static_cast<float>(kLeft), y, kFrameColour);
    target.text(static_cast<float>(kLeft - 8), y + 4, formatShortest(s == 0 ? 0 : s), kTextColour, 1.0f);
  }
  target.text(static_cast<float>(kLeft + kPanelWidth / 2), static_cast<float>(bottom + 38), "Crack width Wcr (mm)",
              kTextColour, 0.5f);
  target.text(static_cast<float>(kLeft), static_cast<float>(kStressTop - 14), "Bridging stress σ (MPa)", kTextColour,
              0.0f);
  drawLegend(target, legendEntries(f), kPlainSize.width);
}

Expected<void> writeBandFigure(const std::string& path, const BandFigure& figure) {
  return writePlotFile(path, bandFigureSize(figure), [&](Canvas& c) { drawBandFigure(figure, c); });
}

}  // namespace fb
