#include "ui/qt_canvas.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace fb {

namespace {

QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

// Clips the segment to the box (Liang-Barsky); false when nothing is left.
// Keeps far-off or infinite ends of a curve out of the integer pixel maths.
bool clipToBox(double& x0, double& y0, double& x1, double& y1, double left, double top, double right,
               double bottom) {
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      if (t > t0) t0 = t;
    } else {
      if (t < t0) return false;
      if (t < t1) t1 = t;
    }
  }
  const double sx = x0, sy = y0;
  if (t1 < 1) {
    x1 = sx + t1 * dx;
    y1 = sy + t1 * dy;
  }
  if (t0 > 0) {
    x0 = sx + t0 * dx;
    y0 = sy + t0 * dy;
  }
  return std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1);
}

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
  if (pixelScale_) {
    x2_ = static_cast<float>(width() - 1);
    y2_ = static_cast<float>(height() - 1);
  }
}

void QtCanvas::paintEvent(QPaintEvent* event) {
  fitImage();
  QPainter p(this);
  p.drawImage(event->rect(), image_, event->rect());
}

void QtCanvas::clear() {
  fitImage();
  image_.fill(Qt::white);
  currentX_ = currentY_ = 0;
  markDrawn(rect());
}

void QtCanvas::setScale(float x1, float y1, float x2, float y2) {
  x1_ = x1;
  y1_ = y1;
  x2_ = x2;
  y2_ = y2;
  pixelScale_ = false;
}

// The corners map onto the outermost pixel centres, so that lines drawn along
// the edges of the user range (the grid at ratio 0 and 1) stay visible.
QtCanvas::PixelPoint QtCanvas::toPixel(float x, float y) const {
  const double spanX = static_cast<double>(x2_) - x1_;
  const double spanY = static_cast<double>(y2_) - y1_;
  // A range of zero width has no inside; everything lands on its first edge.
  const double fx = spanX != 0 ? (x - static_cast<double>(x1_)) / spanX : 0.0;
  const double fy = spanY != 0 ? (y - static_cast<double>(y1_)) / spanY : 0.0;
  return {fx * (image_.width() - 1), fy * (image_.height() - 1)};
}

void QtCanvas::point(float x, float y, Rgb colour) {
  fitImage();
  currentX_ = x;
  currentY_ = y;
  const PixelPoint p = toPixel(x, y);
  if (!(p.x > -0.5 && p.x < image_.width() - 0.5 && p.y > -0.5 && p.y < image_.height() - 0.5)) return;
  const int px = toPixelIndex(p.x), py = toPixelIndex(p.y);
  image_.setPixelColor(px, py, toQColor(colour));
  markDrawn(QRect(px, py, 1, 1));
}

void QtCanvas::line(float x1, float y1, float x2, float y2, Rgb colour) {
  fitImage();
  drawLine(toPixel(x1, y1), toPixel(x2, y2), colour);
  currentX_ = x2;
  currentY_ = y2;
}

void QtCanvas::lineTo(float x, float y, Rgb colour) { line(currentX_, currentY_, x, y, colour); }

void QtCanvas::drawLine(PixelPoint from, PixelPoint to, Rgb colour) {
  double x0 = from.x, y0 = from.y, x1 = to.x, y1 = to.y;
  if (!clipToBox(x0, y0, x1, y1, -1, -1, image_.width(), image_.height())) return;
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
  return {image_, x1_, y1_, x2_, y2_, currentX_, currentY_};
}

void QtCanvas::restore(const State& s) {
  image_ = s.image;
  x1_ = s.x1;
  y1_ = s.y1;
  x2_ = s.x2;
  y2_ = s.y2;
  currentX_ = s.currentX;
  currentY_ = s.currentY;
  markDrawn(rect());
}

}  // namespace fb
