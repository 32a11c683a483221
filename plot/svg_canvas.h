#pragma once

#include <string>

#include "output/canvas.h"

namespace fb {

/// A canvas that writes SVG: consecutive lines of one colour become one
/// polyline, points small dots, text SVG text in UTF-8.
class SvgCanvas : public Canvas {
 public:
  SvgCanvas(int width, int height);

  /// The complete document.
  std::string document();

 protected:
  void drawClear() override;
  void drawPoint(float x, float y, Rgb colour) override;
  void drawLine(float x1, float y1, float x2, float y2, Rgb colour) override;
  void drawText(float x, float y, std::string_view utf8, Rgb colour, float anchor) override;

 private:
  void endPolyline();
  double px(float x) const;
  double py(float y) const;

  int width_, height_;
  std::string body_;
  std::string polyline_;  // the points of the polyline being drawn
  Rgb polylineColour_;
  bool inPolyline_ = false;
};

}  // namespace fb
