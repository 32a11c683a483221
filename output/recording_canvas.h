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
  const std::vector<Stroke>& strokes() const { return strokes_; }

 protected:
  void drawClear() override { strokes_.clear(); }
  void drawPoint(float x, float y, Rgb colour) override {
    strokes_.push_back({Stroke::Kind::point, x, y, x, y, colour});
  }
  void drawLine(float x1, float y1, float x2, float y2, Rgb colour) override {
    strokes_.push_back({Stroke::Kind::line, x1, y1, x2, y2, colour});
  }

 private:
  std::vector<Stroke> strokes_;
};

}  // namespace fb
