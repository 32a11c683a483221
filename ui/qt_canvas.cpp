#include "ui/qt_canvas.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

#include "output/segment_clip.h"

namespace fb {

namespace {

QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

int toPixelIndex(double v) { return static_cast<int>(std::floor(v + 0.5)); }

}  // namespace

QtCanvas::QtCanvas(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
}

void QtCanvas::resizeEvent(QResizeEvent*) { fitImage(); }

// A hidden widget gets its resize event only when shown; the run may draw before that.
void QtCanvas::fitImage() {
  if (image_.size() == size()) return;
  QImage fitted(size(), QImage::Format_RGB32);
  fitted.fill(Qt::white);
  if (!image_.isNull()) {
    QPainter p(&fitted);
    p.drawImage(0, 0, image_);
  }
  image_ = fitted;
}

void QtCanvas::paintEvent(QPaintEvent* event) {
  fitImage();
  QPainter p(this);
  p.drawImage(event->rect(), image_, event->rect());
}

void QtCanvas::drawClear() {
  fitImage();
  image_.fill(Qt::white);
  markDrawn(rect());
}

// The corners map onto the outermost pixel centres, so that lines drawn along
// the edges of the user range (the grid at ratio 0 and 1) stay visible. Until
// a run sets a scale, the user coordinates are the pixels.
QtCanvas::PixelPoint QtCanvas::toPixel(float x, float y) const {
  if (!corners().set) return {x, y};
  return {fractionX(x) * (image_.width() - 1), fractionY(y) * (image_.height() - 1)};
}

void QtCanvas::drawPoint(float x, float y, Rgb colour) {
  fitImage();
  const PixelPoint p = toPixel(x, y);
  if (!(p.x > -0.5 && p.x < image_.width() - 0.5 && p.y > -0.5 && p.y < image_.height() - 0.5)) return;
  const int px = toPixelIndex(p.x), py = toPixelIndex(p.y);
  image_.setPixelColor(px, py, toQColor(colour));
  markDrawn(QRect(px, py, 1, 1));
}

void QtCanvas::drawLine(float x1, float y1, float x2, float y2, Rgb colour) {
  fitImage();
  drawPixelLine(toPixel(x1, y1), toPixel(x2, y2), colour);
}

void QtCanvas::drawPixelLine(PixelPoint from, PixelPoint to, Rgb colour) {
  // Far-off or infinite ends of a curve stay out of the integer pixel maths.
  double x0 = from.x, y0 = from.y, x1 = to.x, y1 = to.y;
  if (!clipSegment(x0, y0, x1, y1, {-1, -1, double(image_.width()), double(image_.height())})) return;
  const QPoint a(toPixelIndex(x0), toPixelIndex(y0));
  const QPoint b(toPixelIndex(x1), toPixelIndex(y1));
  QPainter p(&image_);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(toQColor(colour), 1));
  p.drawLine(a, b);
  markDrawn(QRect(a, b).normalized());
}

void QtCanvas::markDrawn(const QRect& r) {
  const QRect visible = r.intersected(rect());
  if (visible.isEmpty()) return;
  drawn_ |= visible;
  update(visible);
}

QRect QtCanvas::takeDrawnRect() {
  const QRect r = drawn_;
  drawn_ = QRect();
  return r;
}

QtCanvas::State QtCanvas::state() {
  fitImage();
  return {image_, corners(), position()};
}

void QtCanvas::restore(const State& s) {
  image_ = s.image;
  restoreScaleAndPosition(s.corners, s.position);
  markDrawn(rect());
}

}  // namespace fb
