// fiberbridge-icons: writes the program's icon as the installed 32 by 32 PNG
// and the scalable SVG, both from the shapes the window paints. Build-time only.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QSaveFile>
#include <cstdio>
#include <string>

#include "ui/pictures.h"
#include "ui/program_icon.h"

namespace {

// Whole or not at all: the file appears only once it is complete.
bool save(const char* path, const QByteArray& content) {
  QSaveFile file(QString::fromLocal8Bit(path));
  if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit()) return true;
  std::fprintf(stderr, "fiberbridge-icons: %s: %s\n", path, qPrintable(file.errorString()));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fiberbridge-icons OUTPUT.png OUTPUT.svg\n");
    return 2;
  }
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!fb::programIconImage().save(&buffer, "PNG")) {
    std::fprintf(stderr, "fiberbridge-icons: the icon cannot be encoded as PNG\n");
    return 1;
  }
  const std::string svg = fb::programIconSvg();
  const bool ok = save(argv[1], png) && save(argv[2], QByteArray(svg.data(), static_cast<qsizetype>(svg.size())));
  return ok ? 0 : 1;
}
