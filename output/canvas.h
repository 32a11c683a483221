#pragma once

#include <cstdint>
#include <string_view>

namespace fb {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

/// A drawing surface with a user coordinate system and a current position,
/// as the graphs need it. The canvas keeps the coordinates and the position
/// itself; the window, the plot files and the recordings only draw, each in
/// a subclass, and find where a user coordinate lies with fractionX/Y. While
/// a primitive is drawn, position() is still where the one before it ended.
class Canvas {
 public:
  /// User coordinates of the top-left (x1, y1) and bottom-right (x2, y2) corners.
  struct Corners {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool set = false;  // false until a scale is given
  };
  struct Position {
    float x = 0, y = 0;
  };

  virtual ~Canvas() = default;

  /// Empties the surface and puts the current position back at (0, 0); the
  /// coordinate system stays.
  void clear() {
    position_ = {};
    drawClear();
  }
  void setScale(float x1, float y1, float x2, float y2) { corners_ = {x1, y1, x2, y2, true}; }
  /// A single point; it becomes the current position.
  void point(float x, float y, Rgb colour) {
    drawPoint(x, y, colour);
    position_ = {x, y};
  }
  /// A line; its end becomes the current position.
  void line(float x1, float y1, float x2, float y2, Rgb colour) {
    drawLine(x1, y1, x2, y2, colour);
    position_ = {x2, y2};
  }
  /// A line from the current position.
  void lineTo(float x, float y, Rgb colour) { line(position_.x, position_.y, x, y, colour); }
  /// UTF-8 text on a baseline through (x, y): `anchor` 0 starts it there, 0.5
  /// centres it on x, 1 ends it there. The live graphs show no text.
  void text(float x, float y, std::string_view utf8, Rgb colour, float anchor) { drawText(x, y, utf8, colour, anchor); }

  const Corners& corners() const { return corners_; }
  Position position() const { return position_; }

 protected:
  /// How far across the corners a user coordinate lies: 0 at x1 (y1), 1 at x2
  /// (y2); 0 for a range of no width, which has no inside.
  double fractionX(float x) const { return fraction(x, corners_.x1, corners_.x2); }
  double fractionY(float y) const { return fraction(y, corners_.y1, corners_.y2); }
  /// Puts back a coordinate system and position saved from corners() and position().
  void restoreScaleAndPosition(const Corners& corners, Position position) {
    corners_ = corners;
    position_ = position;
  }

  virtual void drawClear() = 0;
  virtual void drawPoint(float x, float y, Rgb colour) = 0;
  virtual void drawLine(float x1, float y1, float x2, float y2, Rgb colour) = 0;
  virtual void drawText(float /*x*/, float /*y*/, std::string_view /*utf8*/, Rgb /*colour*/, float /*anchor*/) {}

 private:
  static double fraction(float v, float from, float to) {
    const double span = static_cast<double>(to) - from;
    return span != 0 ? (v - static_cast<double>(from)) / span : 0.0;
  }

  Corners corners_;
  Position position_;
};

/// A canvas that draws nowhere, for runs without a window.
class NullCanvas : public Canvas {
 protected:
  void drawClear() override {}
  void drawPoint(float, float, Rgb) override {}
  void drawLine(float, float, float, float, Rgb) override {}
};

}  // namespace fb
