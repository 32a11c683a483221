#include "plot/figure_parts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace fb::figure_parts {
namespace {

std::size_t codePoints(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

double legendWidth(const std::vector<LegendEntry>& entries) {
  std::size_t longest = 0;
  for (const LegendEntry& e : entries) longest = std::max(longest, codePoints(e.label));
  return entries.empty() ? 0 : std::ceil(16 + 32 + double(longest) * kCharWidth + 16);
}

}  // namespace

std::vector<double> ticks(double lo, double hi) {
  std::vector<double> out;
  if (!(hi > lo) || !std::isfinite(hi - lo)) return out;
  const double raw = (hi - lo) / 6;
  const double magnitude = std::pow(10, std::floor(std::log10(raw)));
  const double norm = raw / magnitude;
  const double step = (norm < 1.5 ? 1 : norm < 3 ? 2 : norm < 7 ? 5 : 10) * magnitude;
  const double first = std::ceil(lo / step), last = std::floor(hi / step);
  for (double k = first; k <= last && out.size() < 50; ++k) out.push_back(k * step);
  return out;
}

Rgb curveColour(std::size_t index, std::size_t count) {
  static constexpr Rgb kTen[] = {{31, 119, 180}, {255, 127, 14},  {44, 160, 44},   {214, 39, 40},  {148, 103, 189},
                                 {140, 86, 75},  {227, 119, 194}, {127, 127, 127}, {188, 189, 34}, {23, 190, 207}};
  if (count <= 10) return kTen[index];
  static constexpr Rgb kRamp[] = {{49, 54, 149}, {69, 117, 180}, {90, 160, 90}, {230, 120, 30}, {180, 20, 30}};
  const double t = double(index) / double(count - 1) * 4;
  const std::size_t i = std::min<std::size_t>(3, static_cast<std::size_t>(t));
  const double f = t - double(i);
  const auto mix = [f](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * f));
  };
  return {mix(kRamp[i].r, kRamp[i + 1].r), mix(kRamp[i].g, kRamp[i + 1].g), mix(kRamp[i].b, kRamp[i + 1].b)};
}

FigureSize withLegend(FigureSize plain, const std::vector<LegendEntry>& entries) {
  const double height = std::max<double>(plain.height, kStressTop + kLegendRow * double(entries.size()) + 24);
  return {plain.width + static_cast<int>(legendWidth(entries)), static_cast<int>(height)};
}

void drawLegend(Canvas& target, const std::vector<LegendEntry>& entries, double plainWidth) {
  const double x = plainWidth + 16;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const LegendEntry& e = entries[i];
    const double y = kStressTop + kLegendRow * double(i) + 8;
    switch (e.sample) {
      case LegendEntry::Sample::marker:
        marker(target, x + 12, y, e.colour);
        break;
      case LegendEntry::Sample::line:
        target.line(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + 24), static_cast<float>(y),
                    e.colour);
        break;
      case LegendEntry::Sample::dashed:
        for (int from : {0, 10, 20})
          target.line(static_cast<float>(x + from), static_cast<float>(y), static_cast<float>(x + from + 5),
                      static_cast<float>(y), e.colour);
        break;
      case LegendEntry::Sample::shade:
        for (int c = 0; c <= 24; ++c)
          target.line(static_cast<float>(x + c), static_cast<float>(y - 5), static_cast<float>(x + c),
                      static_cast<float>(y + 5), e.colour);
        break;
      case LegendEntry::Sample::none:
        break;
    }
    target.text(static_cast<float>(x + 32), static_cast<float>(y + 4), e.label, kTextColour, 0.0f);
  }
}

void marker(Canvas& target, double x, double y, Rgb colour) {
  const float l = static_cast<float>(x - 3), r = static_cast<float>(x + 3);
  const float t = static_cast<float>(y - 3), b = static_cast<float>(y + 3);
  target.line(l, t, r, t, colour);
  target.lineTo(r, b, colour);
  target.lineTo(l, b, colour);
  target.lineTo(l, t, colour);
}

void frame(Canvas& target, double left, double top, double right, double bottom) {
  const float l = static_cast<float>(left), r = static_cast<float>(right);
  const float t = static_cast<float>(top), b = static_cast<float>(bottom);
  target.line(l, t, r, t, kFrameColour);
  target.lineTo(r, b, kFrameColour);
  target.lineTo(l, b, kFrameColour);
  target.lineTo(l, t, kFrameColour);
}

void ColumnFill::column(double x, double top, double bottom) {
  const float fx = static_cast<float>(x), t = static_cast<float>(top), b = static_cast<float>(bottom);
  if (x > last_ && x - last_ <= 1.5) {
    target_.lineTo(fx, endsAtTop_ ? t : b, colour_);
    target_.lineTo(fx, endsAtTop_ ? b : t, colour_);
    endsAtTop_ = !endsAtTop_;
  } else {
    target_.line(fx, b, fx, t, colour_);
    endsAtTop_ = true;
  }
  last_ = x;
}

}  // namespace fb::figure_parts
