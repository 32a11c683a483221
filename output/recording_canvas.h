#pragma once

#include <vector>

#include "output/canvas.h"

namespace fb {

/// One drawing primitive in the user coordinates of the canvas it was drawn on.
struct Stroke {
  enum class Kind { point, line };
  Kind kind = Kind::line;
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // a point uses x1, y1
  Rgb colour;
  friend bool operator==(const Stroke&, const Stroke&) = default;
};

/// A canvas that keeps what the graph code draws, so that a plot file can be
/// laid out after the run, with axes and labels the live graphs do not have.
class RecordingCanvas : public Canvas {
 public:
  struct Corners {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool set = false;
  };

  void clear() override;
  void setScale(float x1, float y1, float x2, float y2) override;
  void point(float x, float y, Rgb colour) override;
  void line(float x1, float y1, float x2, float y2, Rgb colour) override;
  void lineTo(float x, float y, Rgb colour) override;

  const std::vector<Stroke>& strokes() const { return strokes_; }
  /// The coordinate system the graph code set last.
  const Corners& corners() const { return corners_; }

 private:
  std::vector<Stroke> strokes_;
  Corners corners_;
  float x_ = 0, y_ = 0;  // current position
};

}  // namespace fb
