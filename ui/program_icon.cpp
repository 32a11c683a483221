#include "ui/program_icon.h"

#include <cstdio>

namespace fb {
namespace {

std::string hex(IconColour c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c.red, c.green, c.blue);
  return text;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// Pixel (x, y) has its centre at (x + 0.5, y + 0.5) in the view box.
std::string centre(int pixel) { return number(pixel + 0.5); }

}  // namespace

std::string programIconSvg() {
  const std::string size = std::to_string(kIconSize);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    size + "\" height=\"" + size + "\" viewBox=\"0 0 " + size + " " + size + "\">\n";
  for (const IconShape& s : kIconShapes) {
    switch (s.kind) {
      case IconShapeKind::outlinedBox:
        // The outline's centre line runs through the edge pixels' centres.
        svg += "  <rect x=\"" + centre(s.x) + "\" y=\"" + centre(s.y) + "\" width=\"" + std::to_string(s.w) +
               "\" height=\"" + std::to_string(s.h) + "\" fill=\"" + hex(s.fill) + "\" stroke=\"" + hex(s.outline) +
               "\" stroke-width=\"" + std::to_string(s.width) + "\"/>\n";
        break;
      case IconShapeKind::filledBox:
        svg += "  <rect x=\"" + std::to_string(s.x) + "\" y=\"" + std::to_string(s.y) + "\" width=\"" +
               std::to_string(s.w) + "\" height=\"" + std::to_string(s.h) + "\" fill=\"" + hex(s.fill) + "\"/>\n";
        break;
      case IconShapeKind::fiber:
        // A painter's aliased two-pixel line covers the pixel rows (or columns)
        // on both sides of the pixel corner (x, y): its centre line runs there.
        svg += "  <line x1=\"" + number(s.x) + "\" y1=\"" + number(s.y) + "\" x2=\"" + number(s.x + s.w) + "\" y2=\"" +
               number(s.y + s.h) + "\" stroke=\"" + hex(s.outline) + "\" stroke-width=\"" + std::to_string(s.width) +
               "\" stroke-linecap=\"square\"/>\n";
        break;
    }
  }
  return svg + "</svg>\n";
}

}  // namespace fb
