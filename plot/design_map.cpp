#include "plot/design_map.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

#include "engine/number_writer.h"
#include "plot/figure_parts.h"

namespace fb {

using namespace figure_parts;

namespace {

constexpr double kMapWidth = 560, kMapHeight = kStressHeight, kBarGap = 28, kBarWidth = 18;
constexpr double kBarLeft = kLeft + kMapWidth + kBarGap;
constexpr FigureSize kSize{static_cast<int>(kBarLeft + kBarWidth + 80), static_cast<int>(kStressTop + kMapHeight) + 66};
constexpr Rgb kNoValue{225, 225, 225}, kContour{0, 0, 0};

// A perceptually even ramp from dark blue through green to yellow.
Rgb rampColour(double t) {
  static constexpr Rgb kRamp[] = {{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}};
  t = std::clamp(std::isfinite(t) ? t : 0.0, 0.0, 1.0) * 4;
  const std::size_t i = std::min<std::size_t>(3, static_cast<std::size_t>(t));
  const double f = t - double(i);
  const auto mix = [f](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * f));
  };
  return {mix(kRamp[i].r, kRamp[i + 1].r), mix(kRamp[i].g, kRamp[i + 1].g), mix(kRamp[i].b, kRamp[i + 1].b)};
}

// An axis's values in ascending order, with the edges of their cells midway
// between neighbours and half a step beyond the ends.
struct SortedAxis {
  std::vector<std::size_t> order;  // indices into the values, ascending
  std::vector<double> at;          // the values in that order
  std::vector<double> edges;       // at.size() + 1
  double lo() const { return edges.front(); }
  double hi() const { return edges.back(); }
};

SortedAxis sortedAxis(const std::vector<double>& values) {
  SortedAxis a;
  a.order.resize(values.size());
  std::iota(a.order.begin(), a.order.end(), 0);
  std::stable_sort(a.order.begin(), a.order.end(), [&](std::size_t i, std::size_t j) { return values[i] < values[j]; });
  for (std::size_t i : a.order) a.at.push_back(values[i]);
  if (a.at.empty()) return a;
  if (a.at.size() == 1) {
    const double half = a.at[0] != 0 ? std::abs(a.at[0]) / 10 : 0.5;
    a.edges = {a.at[0] - half, a.at[0] + half};
    return a;
  }
  a.edges.push_back(a.at[0] - (a.at[1] - a.at[0]) / 2);
  for (std::size_t i = 1; i < a.at.size(); ++i) a.edges.push_back((a.at[i - 1] + a.at[i]) / 2);
  a.edges.push_back(a.at.back() + (a.at.back() - a.at[a.at.size() - 2]) / 2);
  return a;
}

struct Layout {
  SortedAxis x, y;
  double low = 0, high = 1;  // the colour bar's range
  double px(double v) const { return kLeft + (v - x.lo()) / (x.hi() - x.lo()) * kMapWidth; }
  double py(double v) const { return kStressTop + (y.hi() - v) / (y.hi() - y.lo()) * kMapHeight; }
  double fraction(double v) const { return (v - low) / (high - low); }
};

// The value at sorted positions (i across, j up).
std::optional<double> valueAt(const DesignMap& m, const Layout& l, std::size_t i, std::size_t j) {
  const std::size_t index = l.x.order[i] * m.up.values.size() + l.y.order[j];
  if (index >= m.values.size() || !m.values[index] || !std::isfinite(*m.values[index])) return std::nullopt;
  return m.values[index];
}

Layout layoutOf(const DesignMap& m) {
  Layout l{sortedAxis(m.across.values), sortedAxis(m.up.values)};
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (const auto& v : m.values)
    if (v && std::isfinite(*v)) {
      lo = std::min(lo, *v);
      hi = std::max(hi, *v);
    }
  if (!(lo <= hi)) {
    lo = 0;
    hi = 1;
  }
  if (lo == hi) {
    const double half = lo != 0 ? std::abs(lo) / 10 : 0.5;
    lo -= half;
    hi += half;
  }
  l.low = lo;
  l.high = hi;
  return l;
}

void cells(Canvas& c, const DesignMap& m, const Layout& l) {
  for (std::size_t i = 0; i < l.x.at.size(); ++i)
    for (std::size_t j = 0; j < l.y.at.size(); ++j) {
      const std::optional<double> v = valueAt(m, l, i, j);
      ColumnFill fill(c, v ? rampColour(l.fraction(*v)) : kNoValue);
      const double top = l.py(l.y.edges[j + 1]), bottom = l.py(l.y.edges[j]);
      for (double x = std::round(l.px(l.x.edges[i])); x < std::round(l.px(l.x.edges[i + 1])); ++x)
        fill.column(x + 0.5, top, bottom);
    }
}

void colourBar(Canvas& c, const Layout& l, const std::vector<double>& levels) {
  const float left = static_cast<float>(kBarLeft), right = static_cast<float>(kBarLeft + kBarWidth);
  for (double y = kStressTop; y <= kStressTop + kMapHeight; ++y) {
    const double t = 1 - (y - kStressTop) / kMapHeight;
    c.line(left, static_cast<float>(y), right, static_cast<float>(y), rampColour(t));
  }
  frame(c, kBarLeft, kStressTop, kBarLeft + kBarWidth, kStressTop + kMapHeight);
  const auto yOf = [&l](double v) { return kStressTop + (1 - l.fraction(v)) * kMapHeight; };
  for (double v : ticks(l.low, l.high)) {
    const float y = static_cast<float>(yOf(v));
    c.line(right, y, right + 5, y, kFrameColour);
    c.text(right + 8, y + 4, formatShortest(v == 0 ? 0 : v), kTextColour, 0.0f);
  }
  for (double v : levels)
    if (v >= l.low && v <= l.high) {
      const float y = static_cast<float>(yOf(v));
      c.line(left - 4, y, right, y, kContour);
    }
}

void axes(Canvas& c, const DesignMap& m, const Layout& l) {
  const double bottom = kStressTop + kMapHeight;
  frame(c, kLeft, kStressTop, kLeft + kMapWidth, bottom);
  for (double v : ticks(l.x.lo(), l.x.hi())) {
    const float x = static_cast<float>(l.px(v));
    c.line(x, static_cast<float>(bottom), x, static_cast<float>(bottom + 5), kFrameColour);
    c.text(x, static_cast<float>(bottom + 19), formatShortest(v == 0 ? 0 : v), kTextColour, 0.5f);
  }
  for (double v : ticks(l.y.lo(), l.y.hi())) {
    const float y = static_cast<float>(l.py(v));
    c.line(static_cast<float>(kLeft - 5), y, static_cast<float>(kLeft), y, kFrameColour);
    c.text(static_cast<float>(kLeft - 8), y + 4, formatShortest(v == 0 ? 0 : v), kTextColour, 1.0f);
  }
  c.text(static_cast<float>(kLeft + kMapWidth / 2), static_cast<float>(bottom + 38), m.across.title, kTextColour, 0.5f);
  c.text(static_cast<float>(kLeft), static_cast<float>(kStressTop - 10), "↑ " + m.up.title, kTextColour, 0.0f);
  std::string title = m.title;
  for (std::size_t k = 0; k < m.levels.size(); ++k) title += (k ? ", " : "; contour at ") + formatShortest(m.levels[k]);
  c.text(static_cast<float>(kLeft), 18.0f, title, kTextColour, 0.0f);
}

}  // namespace

FigureSize designMapSize(const DesignMap&) { return kSize; }

std::vector<std::pair<double, double>> contourSegments(const DesignMap& m, double level) {
  std::vector<std::pair<double, double>> out;
  const Layout l = layoutOf(m);
  for (std::size_t i = 0; i + 1 < l.x.at.size(); ++i)
    for (std::size_t j = 0; j + 1 < l.y.at.size(); ++j) {
      // Corners counter-clockwise from the bottom left; edge k joins corner k and k + 1.
      const std::size_t ci[] = {i, i + 1, i + 1, i}, cj[] = {j, j, j + 1, j + 1};
      double v[4];
      bool complete = true;
      for (int k = 0; k < 4; ++k) {
        const auto value = valueAt(m, l, ci[k], cj[k]);
        complete = complete && value;
        v[k] = value.value_or(0);
      }
      if (!complete) continue;
      std::optional<std::pair<double, double>> cross[4];
      int crossings = 0;
      for (int k = 0; k < 4; ++k) {
        const int n = (k + 1) % 4;
        if ((v[k] >= level) == (v[n] >= level)) continue;
        const double t = (level - v[k]) / (v[n] - v[k]);
        cross[k] = {std::lerp(l.x.at[ci[k]], l.x.at[ci[n]], t), std::lerp(l.y.at[cj[k]], l.y.at[cj[n]], t)};
        ++crossings;
      }
      const auto segment = [&](int a, int b) {
        out.push_back(*cross[a]);
        out.push_back(*cross[b]);
      };
      if (crossings == 2) {
        int a = -1, b = -1;
        for (int k = 0; k < 4; ++k)
          if (cross[k]) (a < 0 ? a : b) = k;
        segment(a, b);
      } else if (crossings == 4) {
        // A saddle: the mean of the corners decides which corners the level joins.
        const bool centreAbove = (v[0] + v[1] + v[2] + v[3]) / 4 >= level;
        if (centreAbove == (v[0] >= level)) {
          segment(0, 1);
          segment(2, 3);
        } else {
          segment(3, 0);
          segment(1, 2);
        }
      }
    }
  return out;
}

void drawDesignMap(const DesignMap& m, Canvas& target) {
  target.clear();
  target.setScale(0, 0, static_cast<float>(kSize.width), static_cast<float>(kSize.height));
  const Layout l = layoutOf(m);
  if (!l.x.at.empty() && !l.y.at.empty()) cells(target, m, l);
  for (double level : m.levels) {
    const auto points = contourSegments(m, level);
    for (std::size_t k = 0; k + 1 < points.size(); k += 2)
      target.line(static_cast<float>(l.px(points[k].first)), static_cast<float>(l.py(points[k].second)),
                  static_cast<float>(l.px(points[k + 1].first)), static_cast<float>(l.py(points[k + 1].second)),
                  kContour);
  }
  if (!l.x.at.empty() && !l.y.at.empty()) axes(target, m, l);
  colourBar(target, l, m.levels);
}

Expected<void> writeDesignMap(const std::string& path, const DesignMap& map) {
  return writePlotFile(path, designMapSize(map), [&](Canvas& c) { drawDesignMap(map, c); });
}

}  // namespace fb
