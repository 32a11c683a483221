#include "ui/window_toolkit.h"

#include <QMessageBox>
#include <QPainter>
#include <QPixmapCache>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleOptionFrame>
#include <QWidget>
#include <cmath>

namespace fb {
namespace {

class BoxPanelStyle : public QProxyStyle {
 public:
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    if (element != PE_PanelLineEdit || !frame || option->rect.isEmpty()) {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
      return;
    }
    const qreal ratio = painter->device()->devicePixelRatio();
    const QString key = QStringLiteral("fb-box-panel-%1x%2-%3-%4-%5-%6-%7-%8")
                            .arg(option->rect.width())
                            .arg(option->rect.height())
                            .arg(static_cast<uint>(option->state))
                            .arg(option->palette.cacheKey())
                            .arg(frame->lineWidth)
                            .arg(static_cast<int>(frame->features))
                            .arg(static_cast<int>(option->direction))
                            .arg(ratio);
    QPixmap panel;
    if (!QPixmapCache::find(key, &panel)) {
      panel = QPixmap(option->rect.size() * ratio);
      panel.setDevicePixelRatio(ratio);
      panel.fill(Qt::transparent);
      QStyleOptionFrame at = *frame;
      at.rect = QRect(QPoint(0, 0), option->rect.size());
      QPainter p(&panel);
      QProxyStyle::drawPrimitive(element, &at, &p, widget);
      p.end();
      QPixmapCache::insert(key, panel);
    }
    painter->drawPixmap(option->rect.topLeft(), panel);
  }
};

}  // namespace

QRect twipsRect(int left, int top, int width, int height) {
  return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

QFont programFont(qreal pointSize) {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(pointSize);
  return font;
}

void centreOnScreen(QWidget* window) {
  const QScreen* screen = window->screen();
  if (!screen) return;
  const QRect area = screen->geometry();
  const QSize outer = window->frameGeometry().size();
  // A window larger than the screen gets a negative corner, as the formula gives it.
  const double left = area.width() / 2.0 - outer.width() / 2.0;
  const double top = area.height() / 2.0 - outer.height() / 2.0;
  window->move(area.x() + static_cast<int>(std::floor(left)), area.y() + static_cast<int>(std::floor(top)));
}

QStyle* boxPanelStyle(QWidget* owner) {
  auto* style = new BoxPanelStyle;
  style->setParent(owner);
  return style;
}

void showWarning(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace fb
