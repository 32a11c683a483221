// fiberbridge-screenshot: opens the window, runs the default inputs into a
// temporary data file and saves a picture of the finished window.
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "ui/main_window.h"
#include "ui/pictures.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setWindowIcon(fb::programIcon());
  if (argc != 2) {
    std::fprintf(stderr, "usage: fiberbridge-screenshot OUTPUT.png\n");
    return 2;
  }
  const QString output = QString::fromLocal8Bit(argv[1]);
  QTemporaryDir folder;
  if (!folder.isValid()) {
    std::fprintf(stderr, "fiberbridge-screenshot: no temporary folder for the data file\n");
    return 1;
  }

  fb::Form1 window;
  int status = 1;
  window.setQuitRequest([] {});
  window.setDataFileChooser(
      [&folder](std::string& dataFile) { dataFile = folder.filePath("bridging.p-d").toStdString(); });
  window.show();
  QTimer::singleShot(300, &window, [&] {
    window.findChild<QPushButton*>("Command2")->click();
    window.findChild<QPushButton*>("Command1")->click();
    if (window.lastRun().end != fb::RunEnd::finished) {
      std::fprintf(stderr, "fiberbridge-screenshot: the run did not finish\n");
    } else if (!window.grab().save(output)) {
      std::fprintf(stderr, "fiberbridge-screenshot: cannot write %s\n", qPrintable(output));
    } else {
      std::printf("%s\n", qPrintable(QDir(output).absolutePath()));
      status = 0;
    }
    QApplication::quit();
  });
  QApplication::exec();
  return status;
}
