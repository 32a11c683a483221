#include "ui/qt_canvas.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const fb::Rgb kBlue{0, 0, 255};

bool isBlue(const fb::QtCanvas& c, int x, int y) { return c.image().pixelColor(x, y) == QColor(0, 0, 255); }

TEST(QtCanvas, corners_land_on_the_outermost_pixels_and_far_ends_are_clipped) {
  fb::QtCanvas c;
  c.resize(11, 11);
  c.setScale(-1, 1, 1, -1);  // y grows upward
  c.clear();
  c.line(-1, -1, 1, 1, kBlue);
  for (int i = 0; i <= 10; ++i) EXPECT_TRUE(isBlue(c, i, 10 - i)) << "pixel " << i;
  EXPECT_FALSE(isBlue(c, 0, 0));

  c.clear();  // the next line starts at the user origin, the centre pixel
  c.lineTo(1e30f, -1e30f, kBlue);
  EXPECT_TRUE(isBlue(c, 5, 5));
  EXPECT_TRUE(isBlue(c, 10, 10));
  EXPECT_FALSE(isBlue(c, 4, 4));

  const float inf = std::numeric_limits<float>::infinity();
  c.lineTo(inf, inf, kBlue);
  c.point(std::numeric_limits<float>::quiet_NaN(), 0, kBlue);
  c.setScale(0, 0, 0, 0);  // no range at all
  c.point(0, 0, kBlue);
  EXPECT_TRUE(isBlue(c, 0, 0));
}

}  // namespace
