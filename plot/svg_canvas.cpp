#include "plot/svg_canvas.h"

#include <array>
#include <charconv>
#include <cmath>

namespace fb {
namespace {

std::string number(double v) {
  if (!std::isfinite(v)) v = 0;
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::round(v * 100) / 100);
  return std::string(buffer.data(), result.ptr);
}

std::string colourText(Rgb c) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string s = "#";
  for (std::uint8_t v : {c.r, c.g, c.b}) {
    s += kHex[v >> 4];
    s += kHex[v & 15];
  }
  return s;
}

// Length of the UTF-8 sequence that starts at `s[i]`, 0 when it is not one.
std::size_t utf8Length(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size() || (n == 2 && c < 0xC2)) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  return n;
}

// Texts from the command line may hold anything; the document must stay well formed.
std::string xmlText(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = utf8Length(s, i);
    if (n == 0 || (n == 1 && static_cast<unsigned char>(s[i]) < 0x20)) {
      out += '?';
      ++i;
      continue;
    }
    switch (s[i]) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out.append(s.substr(i, n));
    }
    i += n;
  }
  return out;
}

}  // namespace

SvgCanvas::SvgCanvas(int width, int height) : width_(width), height_(height) {}

void SvgCanvas::drawClear() {
  body_.clear();
  polyline_.clear();
  inPolyline_ = false;
}

double SvgCanvas::px(float x) const { return fractionX(x) * width_; }
double SvgCanvas::py(float y) const { return fractionY(y) * height_; }

void SvgCanvas::endPolyline() {
  if (!inPolyline_) return;
  body_ += "<polyline fill=\"none\" stroke=\"" + colourText(polylineColour_) + "\" points=\"" + polyline_ + "\"/>\n";
  polyline_.clear();
  inPolyline_ = false;
}

void SvgCanvas::drawPoint(float x, float y, Rgb colour) {
  endPolyline();
  body_ += "<circle cx=\"" + number(px(x)) + "\" cy=\"" + number(py(y)) + "\" r=\"1.5\" fill=\"" + colourText(colour) +
           "\"/>\n";
}

void SvgCanvas::drawLine(float x1, float y1, float x2, float y2, Rgb colour) {
  const bool continues = inPolyline_ && colour == polylineColour_ && x1 == position().x && y1 == position().y;
  if (!continues) {
    endPolyline();
    polyline_ = number(px(x1)) + "," + number(py(y1));
    polylineColour_ = colour;
    inPolyline_ = true;
  }
  polyline_ += " " + number(px(x2)) + "," + number(py(y2));
}

void SvgCanvas::drawText(float x, float y, std::string_view utf8, Rgb colour, float anchor) {
  endPolyline();
  const char* textAnchor = anchor <= 0.25f ? "start" : anchor >= 0.75f ? "end" : "middle";
  body_ += "<text x=\"" + number(px(x)) + "\" y=\"" + number(py(y)) + "\" fill=\"" + colourText(colour) +
           "\" text-anchor=\"" + textAnchor + "\">" + xmlText(utf8) + "</text>\n";
}

std::string SvgCanvas::document() {
  endPolyline();
  const std::string w = std::to_string(width_), h = std::to_string(height_);
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " +
         h +
         "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"12\">\n"
         "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"
         "<g stroke-width=\"1.2\" stroke-linejoin=\"round\" stroke-linecap=\"round\">\n" +
         body_ + "</g>\n</svg>\n";
}

}  // namespace fb
