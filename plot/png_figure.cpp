#include "plot/png_figure.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLibraryInfo>
#include <QPainter>
#include <QSaveFile>
#include <cstdio>
#include <memory>

namespace fb {
namespace {

class PainterCanvas : public Canvas {
 public:
  explicit PainterCanvas(QImage& image) : image_(image), painter_(&image) {
    painter_.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    painter_.setFont(font);
  }

 protected:
  void drawClear() override { image_.fill(Qt::white); }
  void drawPoint(float x, float y, Rgb colour) override {
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(qColour(colour));
    painter_.drawEllipse(map(x, y), 1.5, 1.5);
  }
  void drawLine(float x1, float y1, float x2, float y2, Rgb colour) override {
    painter_.setPen(QPen(qColour(colour), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter_.drawLine(map(x1, y1), map(x2, y2));
  }
  void drawText(float x, float y, std::string_view utf8, Rgb colour, float anchor) override {
    const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    const QPointF p = map(x, y);
    painter_.setPen(qColour(colour));
    painter_.drawText(QPointF(p.x() - QFontMetricsF(painter_.font()).horizontalAdvance(s) * anchor, p.y()), s);
  }

 private:
  static QColor qColour(Rgb c) { return QColor(c.r, c.g, c.b); }
  QPointF map(float x, float y) const { return {fractionX(x) * image_.width(), fractionY(y) * image_.height()}; }

  QImage& image_;
  QPainter painter_;
};

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

}  // namespace

std::optional<std::string> writePngFigure(const std::string& path, const Figure& figure) {
  const QuietQt quiet;
  std::unique_ptr<QGuiApplication> app;
  if (!QCoreApplication::instance()) {
    if (!offscreenPlatformFound())
      return path + ": PNG needs Qt's offscreen platform plugin (Debian: qt6-qpa-plugins); name an .svg file instead";
    static int argc = 3;
    static char name[] = "fiberbridge-cli", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
  }

  const FigureSize size = figureSize(figure);
  QImage image(size.width, size.height, QImage::Format_RGB32);
  if (image.isNull())
    return path + ": no memory for a " + std::to_string(size.width) + "x" + std::to_string(size.height) + " image";
  {
    PainterCanvas canvas(image);
    drawFigure(figure, canvas);
  }
  // QSaveFile replaces an earlier file only once the new one is complete.
  QSaveFile file(QFile::decodeName(QByteArray::fromStdString(path)));
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly)) return path + ": " + file.errorString().toStdString();
  if (!image.save(&file, "PNG")) {
    file.cancelWriting();
    return path + ": the PNG could not be written (" + file.errorString().toStdString() + ")";
  }
  if (!file.commit()) return path + ": " + file.errorString().toStdString();
  return std::nullopt;
}

}  // namespace fb
