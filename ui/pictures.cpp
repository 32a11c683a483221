#include "ui/pictures.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "ui/program_icon.h"

namespace fb {

namespace {

QFont pictureFont(const QStringList& families, QFont::StyleHint hint, int pixelSize, bool italic = false) {
  QFont f;
  f.setFamilies(families);
  f.setStyleHint(hint);
  f.setPixelSize(pixelSize);
  f.setItalic(italic);
  return f;
}

QFont sketchFont(int pixelSize) {
  // A proportional face with narrow Greek letters; the Japanese faces set δ full width.
  return pictureFont({"DejaVu Sans", "Arial", "IPAPGothic"}, QFont::SansSerif, pixelSize);
}

// Formulas read best in a serif face with italic symbols, as in print.
QFont mathFont(int pixelSize, bool italic) {
  return pictureFont({"DejaVu Serif", "Times New Roman", "IPAPMincho"}, QFont::Serif, pixelSize, italic);
}

// A symbol with an optional subscript, written from (x, baseline); returns the end x.
int drawSymbol(QPainter& p, int x, int baseline, const QString& symbol, const QString& sub, int size) {
  p.setFont(mathFont(size, true));
  p.drawText(x, baseline, symbol);
  x += QFontMetrics(p.font()).horizontalAdvance(symbol);
  if (sub.isEmpty()) return x;
  p.setFont(mathFont(size * 2 / 3 + 1, false));
  p.drawText(x, baseline + size / 4, sub);
  return x + QFontMetrics(p.font()).horizontalAdvance(sub);
}

int drawPlain(QPainter& p, int x, int baseline, const QString& text, int size) {
  p.setFont(mathFont(size, false));
  p.drawText(x, baseline, text);
  return x + QFontMetrics(p.font()).horizontalAdvance(text);
}

int drawSuperscript(QPainter& p, int x, int baseline, const QString& symbol, const QString& sub, int size) {
  const int smaller = size * 2 / 3 + 1;
  p.setFont(mathFont(smaller, true));
  p.drawText(x, baseline - size / 2, symbol);
  x += QFontMetrics(p.font()).horizontalAdvance(symbol);
  if (sub.isEmpty()) return x;
  p.setFont(mathFont(smaller * 2 / 3 + 1, false));
  p.drawText(x, baseline - size / 2 + smaller / 4, sub);
  return x + QFontMetrics(p.font()).horizontalAdvance(sub);
}

// A left brace spanning [top, bottom] at x.
void drawBrace(QPainter& p, int x, int top, int bottom) {
  const double mid = (top + bottom) / 2.0;
  QPainterPath path;
  path.moveTo(x + 5, top);
  path.quadTo(x + 1, top, x + 2, top + 6);
  path.lineTo(x + 2, mid - 4);
  path.quadTo(x + 2, mid, x - 1, mid);
  path.quadTo(x + 2, mid, x + 2, mid + 4);
  path.lineTo(x + 2, bottom - 6);
  path.quadTo(x + 1, bottom, x + 5, bottom);
  p.drawPath(path);
}

}  // namespace

QPixmap pulloutSketch() {
  QImage img(100, 100, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  // Origin, the first point (deltaA, Pa), the peak (deltaMax, Pmax) and full pullout at lb.
  const QPointF origin(22, 76);
  const QPointF a(36, 47), peak(52, 30), end(88, 76);
  const QPen axisPen(Qt::black, 1);
  const QPen curvePen(QColor(0, 0, 192), 1.6);
  QPen dashPen(QColor(96, 96, 96), 0.8);
  dashPen.setDashPattern({2.5, 2.0});

  p.setPen(axisPen);
  p.drawLine(origin, QPointF(origin.x(), 8));
  p.drawLine(origin, QPointF(95, origin.y()));
  p.setBrush(Qt::black);
  p.drawPolygon(QPolygonF({QPointF(origin.x(), 4), QPointF(origin.x() - 2.5, 10), QPointF(origin.x() + 2.5, 10)}));
  p.drawPolygon(QPolygonF({QPointF(99, origin.y()), QPointF(93, origin.y() - 2.5), QPointF(93, origin.y() + 2.5)}));
  p.setBrush(Qt::NoBrush);

  p.setPen(dashPen);
  p.drawLine(a, QPointF(a.x(), origin.y()));
  p.drawLine(peak, QPointF(peak.x(), origin.y()));
  p.drawLine(peak, QPointF(origin.x(), peak.y()));

  p.setPen(curvePen);
  p.drawPolyline(QPolygonF({origin, a, peak, end}));

  p.setPen(Qt::black);
  p.setFont(sketchFont(8));
  p.drawText(QRectF(origin.x() + 2, peak.y() - 11, 30, 10), Qt::AlignLeft | Qt::AlignBottom, "Pmax");
  p.drawText(QRectF(a.x() + 3, a.y() + 1, 16, 10), Qt::AlignLeft | Qt::AlignTop, "Pa");
  p.drawText(QRectF(a.x() - 9, origin.y() + 1, 18, 10), Qt::AlignHCenter | Qt::AlignTop, QString::fromUtf8("δa"));
  p.drawText(QRectF(peak.x() - 6, origin.y() + 1, 26, 10), Qt::AlignHCenter | Qt::AlignTop, QString::fromUtf8("δmax"));
  p.drawText(QRectF(end.x() - 8, origin.y() + 1, 16, 10), Qt::AlignHCenter | Qt::AlignTop, "lb");

  p.setFont(sketchFont(9));
  p.drawText(QRectF(origin.x(), 88, 78, 12), Qt::AlignHCenter | Qt::AlignVCenter, "Crack width");
  p.save();
  p.translate(8, 42);
  p.rotate(-90);
  p.drawText(QRectF(-40, -6, 80, 12), Qt::AlignCenter, "Pullout load");
  p.restore();
  p.end();
  return QPixmap::fromImage(img);
}

QPixmap coefficientFormulas() {
  QImage img(125, 130, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setPen(Qt::black);

  const int size = 13;
  // "P = A·lb" or "δ = C·lb", what both kinds of formula begin with; gives where it ends.
  const auto product = [&](int baseline, const QString& symbol, const QString& symbolSub, const QString& factor,
                           const QString& factorSub) {
    int x = drawSymbol(p, 14, baseline, symbol, symbolSub, size);
    x = drawPlain(p, x + 2, baseline, "=", size);
    x = drawSymbol(p, x + 3, baseline, factor, factorSub, size);
    x = drawPlain(p, x + 1, baseline, QString::fromUtf8("·"), size);
    return drawSymbol(p, x + 1, baseline, "l", "b", size);
  };
  const auto power = [&](int baseline, const QString& load, const QString& loadSub, const QString& factor,
                         const QString& factorSub, const QString& exponent, const QString& exponentSub) {
    const int x = product(baseline, load, loadSub, factor, factorSub);
    drawSuperscript(p, x + 1, baseline, exponent, exponentSub, size);
  };
  const auto linear = [&](int baseline, const QString& width, const QString& widthSub, const QString& factor,
                          const QString& factorSub, const QString& constant, const QString& constantSub) {
    const int x = drawPlain(p, product(baseline, width, widthSub, factor, factorSub) + 3, baseline, "+", size);
    drawSymbol(p, x + 3, baseline, constant, constantSub, size);
  };

  power(30, "P", "a", "A", "a", "B", "a");
  linear(52, QString::fromUtf8("δ"), "a", "C", "a", "D", "a");
  power(92, "P", "max", "A", "", "B", "");
  linear(114, QString::fromUtf8("δ"), "max", "C", "", "D", "");

  p.setPen(QPen(Qt::black, 1.1));
  drawBrace(p, 6, 14, 58);
  drawBrace(p, 6, 76, 120);
  p.end();
  return QPixmap::fromImage(img);
}

QImage programIconImage() {
  // Painted at its own size without smoothing, as a sixteen-colour icon would be.
  QImage img(kIconSize, kIconSize, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  const auto colour = [](IconColour c) { return QColor(c.red, c.green, c.blue); };
  for (const IconShape& s : kIconShapes) {
    switch (s.kind) {
      case IconShapeKind::outlinedBox:
        p.setPen(QPen(colour(s.outline), s.width));
        p.setBrush(colour(s.fill));
        p.drawRect(s.x, s.y, s.w, s.h);
        break;
      case IconShapeKind::filledBox:
        p.fillRect(s.x, s.y, s.w, s.h, colour(s.fill));
        break;
      case IconShapeKind::fiber:
        p.setPen(QPen(colour(s.outline), s.width));
        p.drawLine(s.x, s.y, s.x + s.w, s.y + s.h);
        break;
    }
  }
  p.end();
  return img;
}

QIcon programIcon() { return QIcon(QPixmap::fromImage(programIconImage())); }

}  // namespace fb
