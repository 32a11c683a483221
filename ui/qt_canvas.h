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

  const QImage& image() const { return image_; }

  /// Everything a run can change, so that a refused run can be undone.
  struct State {
    QImage image;
    Corners corners;
    Position position;
  };
  State state();
  void restore(const State& state);

  /// The part of the widget drawn on since the last call.
  QRect takeDrawnRect();

 protected:
  void drawClear() override;
  void drawPoint(float x, float y, Rgb colour) override;
  void drawLine(float x1, float y1, float x2, float y2, Rgb colour) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct PixelPoint {
    double x, y;
  };
  void fitImage();
  PixelPoint toPixel(float x, float y) const;
  void drawPixelLine(PixelPoint from, PixelPoint to, Rgb colour);
  void markDrawn(const QRect& rect);

  QImage image_;
  QRect drawn_;
};

}  // namespace fb
