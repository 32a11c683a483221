// The installed scalable icon against the icon the window paints: both come
// from one list of shapes, and the SVG writer's mapping of pixels to
// coordinates must keep them the same picture.
#include "ui/program_icon.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "ui/pictures.h"

namespace {

int channelDistance(QRgb a, QRgb b) {
  return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) +
         std::abs(qAlpha(a) - qAlpha(b));
}

TEST(ProgramIcon, the_svg_rendered_at_32_pixels_is_the_painted_icon) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string svg = fb::programIconSvg();
  QFile file(dir.filePath("icon.svg"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(svg.data(), static_cast<qint64>(svg.size()));
  file.close();

  QProcess rsvg;
  rsvg.start(FIBERBRIDGE_RSVG_CONVERT, {"-w", "32", "-h", "32", "-o", dir.filePath("icon.png"), file.fileName()});
  ASSERT_TRUE(rsvg.waitForFinished(30000));
  ASSERT_EQ(rsvg.exitCode(), 0) << rsvg.readAllStandardError().toStdString() << "\n" << svg;

  const QImage rendered = QImage(dir.filePath("icon.png")).convertToFormat(QImage::Format_ARGB32);
  const QImage painted = fb::programIconImage().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(rendered.size(), painted.size());
  // Only the smoothed edges of the slanting fibers may differ much; a shape
  // half a pixel off, or of another colour, changes dozens of pixels.
  int different = 0;
  for (int y = 0; y < painted.height(); ++y)
    for (int x = 0; x < painted.width(); ++x)
      if (channelDistance(rendered.pixel(x, y), painted.pixel(x, y)) > 200) ++different;
  EXPECT_LE(different, 16) << svg;
}

}  // namespace
