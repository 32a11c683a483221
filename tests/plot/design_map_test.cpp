// The design map's contour lines; the command line's map test reads its cells and titles.
#include "plot/design_map.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A map of v = x + 10 y over x in {3, 1, 2} (out of order) and y in {0, 1}, one run refused.
fb::DesignMap plane() {
  fb::DesignMap m;
  m.across = {"x", {3, 1, 2}};
  m.up = {"y", {0, 1}};
  for (double x : m.across.values)
    for (double y : m.up.values) m.values.push_back(x + 10 * y);
  m.title = "v";
  return m;
}

TEST(DesignMap, contours_of_a_plane_lie_on_its_level_and_skip_cells_without_a_value) {
  fb::DesignMap m = plane();
  for (double level : {2.5, 6.0, 11.5}) {
    const auto points = fb::contourSegments(m, level);
    ASSERT_FALSE(points.empty()) << level;
    ASSERT_EQ(points.size() % 2, 0u);
    for (const auto& [x, y] : points) {
      EXPECT_NEAR(x + 10 * y, level, 1e-12) << level;
      EXPECT_GE(x, 1);
      EXPECT_LE(x, 3);
    }
  }
  // v = 6 crosses y at 0.3 to 0.5 between x = 3 and x = 1: two segments, one per column of cells.
  EXPECT_EQ(fb::contourSegments(m, 6).size(), 4u);
  EXPECT_TRUE(fb::contourSegments(m, 20).empty());
  m.values[0] = std::nullopt;  // x = 3, y = 0: the cell between x = 2 and 3 has no contour
  EXPECT_EQ(fb::contourSegments(m, 6).size(), 2u);
}

}  // namespace
