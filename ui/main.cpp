// fiberbridge: the calculator's window.
#include <QApplication>

#include "engine/version.h"
#include "ui/main_window.h"
#include "ui/pictures.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("FiberBridge");
  QApplication::setApplicationVersion(QString::fromUtf8(fb::kVersion.data(), fb::kVersion.size()));
  // The data file name dialog shows the same icon as the window.
  QApplication::setWindowIcon(fb::programIcon());

  fb::Form1 window;
  window.show();
  return QApplication::exec();
}
