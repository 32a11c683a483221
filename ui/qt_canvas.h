#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

#include "output/canvas.h"

namespace fb {

/// A graph surface of the window: the run draws into a backing image of the
/// widget's size, and painting only shows that image, so a graph survives
/// being covered or minimised without being drawn again.
class QtCanvas : public QWidget, public Canvas {
  Q_OBJECT

 public:
  explicit QtCanvas(QWidget* parent = nullptr);

  void clear() override;
  void setScale(float x1, float y1, float x2, float y2) override;
  void point(float x, float y, Rgb colour) override;
  void line(float x1, float y1, float x2, float y2, Rgb colour) override;
  void lineTo(float x, float y, Rgb colour) override;

  const QImage& image() const { return image_; }

  /// Everything a run can change, so that a refused run can be undone.
  struct State {
    QImage image;
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    float currentX = 0, currentY = 0;
  };
  State state();
  void restore(const State& state);

  /// The part of the widget drawn on since the last call.
  QRect takeDrawnRect();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct PixelPoint {
    double x, y;
  };
  void fitImage();
  PixelPoint toPixel(float x, float y) const;
  void drawLine(PixelPoint from, PixelPoint to, Rgb colour);
  void markDrawn(const QRect& rect);

  QImage image_;
  // Until the run sets a scale the user coordinates are the pixels.
  float x1_ = 0, y1_ = 0, x2_ = 1, y2_ = 1;
  bool pixelScale_ = true;
  float currentX_ = 0, currentY_ = 0;
  QRect drawn_;
};

}  // namespace fb
