// fiberbridge: the calculator's window.
#include <QApplication>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/version.h"
#include "ui/main_window.h"
#include "ui/pictures.h"

namespace {

constexpr std::string_view kHelp =
    "Usage: fiberbridge [OPTION]...\n"
    "Opens the FiberBridge window, which computes the fiber bridging law of a cracked\n"
    "short-fiber-reinforced cementitious composite: type the matrix, fiber, orientation and\n"
    "pullout-law inputs, choose a data file with \"Data File Name\" and press \"Start\". The\n"
    "window draws the bridging stress and the effective fiber ratio against the crack width\n"
    "and writes every crack-opening step to the data file.\n"
    "\n"
    "The window needs a display. Without one, fiberbridge-cli runs the same calculation\n"
    "and writes the same data file.\n"
    "\n"
    "Options:\n"
    "  -h, --help       print this help and exit\n"
    "  --version        print the version and exit\n"
    "Qt's own options, such as -platform NAME or -style NAME, go to the toolkit.\n";

}  // namespace

int main(int argc, char** argv) {
  // Answered before the toolkit starts, so that they work without a display.
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fwrite(kHelp.data(), 1, kHelp.size(), stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("%s\n", std::string(fb::kVersion).c_str());
      return 0;
    }
  }

  QApplication app(argc, argv);
  // The toolkit has taken its own options out; anything left is a mistake.
  const QStringList rest = QApplication::arguments().mid(1);
  if (!rest.isEmpty()) {
    std::fprintf(stderr, "fiberbridge: unknown argument '%s'; see fiberbridge --help\n", qPrintable(rest.front()));
    return 2;
  }
  QApplication::setApplicationName("FiberBridge");
  // Desktops (Wayland's in particular) find the menu entry, and so the icon, by this name.
  QApplication::setDesktopFileName("fiberbridge");
  QApplication::setApplicationVersion(QString::fromUtf8(fb::kVersion.data(), fb::kVersion.size()));
  // The data file name dialog shows the same icon as the window.
  QApplication::setWindowIcon(fb::programIcon());

  fb::Form1 window;
  window.show();
  return QApplication::exec();
}
