#include "output/recording_canvas.h"

namespace fb {

void RecordingCanvas::clear() {
  strokes_.clear();
  x_ = 0;
  y_ = 0;
}

void RecordingCanvas::setScale(float x1, float y1, float x2, float y2) { corners_ = {x1, y1, x2, y2, true}; }

void RecordingCanvas::point(float x, float y, Rgb colour) {
  strokes_.push_back({Stroke::Kind::point, x, y, x, y, colour});
  x_ = x;
  y_ = y;
}

void RecordingCanvas::line(float x1, float y1, float x2, float y2, Rgb colour) {
  strokes_.push_back({Stroke::Kind::line, x1, y1, x2, y2, colour});
  x_ = x2;
  y_ = y2;
}

void RecordingCanvas::lineTo(float x, float y, Rgb colour) { line(x_, y_, x, y, colour); }

}  // namespace fb
