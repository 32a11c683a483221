#include "ui/window_toolkit.h"

#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace fb {

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

void showWarning(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace fb
