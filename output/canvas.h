#pragma once

#include <cstdint>
#include <string_view>

namespace fb {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

/// A drawing surface with a user coordinate system and a current position,
/// as the graphs need it. The window, the plot files and the tests each
/// provide their own.
class Canvas {
 public:
  virtual ~Canvas() = default;
  /// Empties the surface and puts the current position back at (0, 0).
  virtual void clear() = 0;
  /// User coordinates of the top-left (x1, y1) and bottom-right (x2, y2) corners.
  virtual void setScale(float x1, float y1, float x2, float y2) = 0;
  /// A single point; it becomes the current position.
  virtual void point(float x, float y, Rgb colour) = 0;
  /// A line; its end becomes the current position.
  virtual void line(float x1, float y1, float x2, float y2, Rgb colour) = 0;
  /// A line from the current position.
  virtual void lineTo(float x, float y, Rgb colour) = 0;
  /// UTF-8 text on a baseline through (x, y): `anchor` 0 starts it there, 0.5
  /// centres it on x, 1 ends it there. The live graphs show no text.
  virtual void text(float /*x*/, float /*y*/, std::string_view /*utf8*/, Rgb /*colour*/, float /*anchor*/) {}
};

/// A canvas that draws nowhere, for runs without a window.
class NullCanvas : public Canvas {
 public:
  void clear() override {}
  void setScale(float, float, float, float) override {}
  void point(float, float, Rgb) override {}
  void line(float, float, float, float, Rgb) override {}
  void lineTo(float, float, Rgb) override {}
};

}  // namespace fb
