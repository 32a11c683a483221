#pragma once

#include <string>

#include "output/canvas.h"

namespace fb {

/// A canvas that writes SVG: consecutive lines of one colour become one
/// polyline, points small dots, text SVG text in UTF-8.
class SvgCanvas : public Canvas {
 public:
  SvgCanvas(int width, int height);

  void clear() override;
  void setScale(float x1, float y1, float x2, float y2) override;
  void point(float x, float y, Rgb colour) override;
  void line(float x1, float y1, float x2, float y2, Rgb colour) override;
  void lineTo(float x, float y, Rgb colour) override;
  void text(float x, float y, std::string_view utf8, Rgb colour, float anchor) override;

  /// The complete document.
  std::string document();

 private:
  void endPolyline();
  double px(float x) const;
  double py(float y) const;

  int width_, height_;
  float x1_ = 0, y1_ = 0, x2_ = 1, y2_ = 1;
  float x_ = 0, y_ = 0;  // current position
  std::string body_;
  std::string polyline_;  // the points of the polyline being drawn
  Rgb polylineColour_;
  bool inPolyline_ = false;
};

}  // namespace fb
