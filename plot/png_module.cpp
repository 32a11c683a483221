// fiberbridge-png.so: paints a figure's primitives with Qt and writes the PNG.
// Loaded by the command line only when a PNG is asked for (see png_module.h).
#include "plot/png_module.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLibraryInfo>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <type_traits>

namespace {

// Qt ends the process when it finds no platform plugin; look first.
bool offscreenPlatformFound() {
  QStringList dirs{QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms")};
  for (const QString& dir : qEnvironmentVariable("QT_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts))
    dirs << dir + QStringLiteral("/platforms");
  const QString own = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
  if (!own.isEmpty()) dirs << own;
  for (const QString& dir : dirs)
    if (!QDir(dir).entryList({QStringLiteral("*qoffscreen*")}, QDir::Files).isEmpty()) return true;
  return false;
}

// Qt's notes while it starts for the painting (no runtime folder, font
// fall-backs) are not the user's business; its errors still show.
struct QuietQt {
  QuietQt() : previous(qInstallMessageHandler(&onlyErrors)) {}
  ~QuietQt() { qInstallMessageHandler(previous); }
  QuietQt(const QuietQt&) = delete;
  QuietQt& operator=(const QuietQt&) = delete;
  static void onlyErrors(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
  }
  QtMessageHandler previous;
};

QColor colourOf(const FbPngPrimitive& p) { return QColor(p.r, p.g, p.b); }

void paint(QImage& image, const FbPngPrimitive* primitives, size_t count) {
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  painter.setFont(font);
  const QFontMetricsF metrics(font);
  for (size_t i = 0; i < count; ++i) {
    const FbPngPrimitive& p = primitives[i];
    switch (p.kind) {
      case FB_PNG_CLEAR:
        image.fill(Qt::white);
        break;
      case FB_PNG_POINT:
        painter.setPen(Qt::NoPen);
        painter.setBrush(colourOf(p));
        painter.drawEllipse(QPointF(p.x1, p.y1), 1.5, 1.5);
        break;
      case FB_PNG_LINE:
        painter.setPen(QPen(colourOf(p), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawLine(QPointF(p.x1, p.y1), QPointF(p.x2, p.y2));
        break;
      case FB_PNG_TEXT: {
        const QString s = QString::fromUtf8(p.text, static_cast<qsizetype>(p.textSize));
        painter.setPen(colourOf(p));
        painter.drawText(QPointF(p.x1 - metrics.horizontalAdvance(s) * p.anchor, p.y1), s);
        break;
      }
      default:
        break;
    }
  }
}

// The reason, without the path: the caller names the file.
std::string encode(int width, int height, const FbPngPrimitive* primitives, size_t count, QByteArray& png) {
  const QuietQt quiet;
  std::unique_ptr<QGuiApplication> app;
  if (!QCoreApplication::instance()) {
    if (!offscreenPlatformFound())
      return "PNG needs Qt's offscreen platform plugin (Debian: qt6-qpa-plugins); name an .svg file instead";
    static int argc = 3;
    static char name[] = "fiberbridge-cli", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
  }

  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return "no memory for a " + std::to_string(width) + "x" + std::to_string(height) + " image";
  image.fill(Qt::white);
  paint(image, primitives, count);
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return "the image could not be encoded as PNG";
  return {};
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int fiberbridge_png_encode_v2(int width, int height,
                                                                                const FbPngPrimitive* primitives,
                                                                                size_t count, unsigned char** data,
                                                                                size_t* size, char* reason,
                                                                                size_t reasonSize) {
  std::string why;
  try {
    QByteArray png;
    why = encode(width, height, primitives, count, png);
    if (why.empty()) {
      *data = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(png.size())));
      if (!*data) throw std::bad_alloc();
      std::memcpy(*data, png.constData(), static_cast<size_t>(png.size()));
      *size = static_cast<size_t>(png.size());
    }
  } catch (const std::exception& e) {
    why = e.what();
  }
  if (why.empty()) return 0;
  if (reasonSize > 0) {
    const size_t n = std::min(why.size(), reasonSize - 1);
    std::memcpy(reason, why.data(), n);
    reason[n] = '\0';
  }
  return 1;
}

static_assert(std::is_same_v<decltype(&fiberbridge_png_encode_v2), FbPngEncode>, "the entry point and its type differ");
