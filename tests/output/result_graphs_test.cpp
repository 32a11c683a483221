#include "output/result_graphs.h"
#include "engine/inputs.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Stroke {
  char kind;  // 'c'lear, 's'cale, 'p'oint, 'l'ine, 't'o
  float a = 0, b = 0, c = 0, d = 0;
  fb::Rgb colour{};
};

class RecordingCanvas : public fb::Canvas {
 public:
  std::vector<Stroke> strokes;
  void clear() override { strokes.push_back({'c'}); }
  void setScale(float x1, float y1, float x2, float y2) override { strokes.push_back({'s', x1, y1, x2, y2}); }
  void point(float x, float y, fb::Rgb c) override { strokes.push_back({'p', x, y, 0, 0, c}); }
  void line(float x1, float y1, float x2, float y2, fb::Rgb c) override { strokes.push_back({'l', x1, y1, x2, y2, c}); }
  void lineTo(float x, float y, fb::Rgb c) override { strokes.push_back({'t', x, y, 0, 0, c}); }
};

fb::GraphScales defaultScales() {
  const fb::ParameterSet p = fb::readParameterSet(fb::FieldTexts::defaults()).params;
  return fb::graphScales(p, fb::deriveValues(p));
}

TEST(ResultGraphs, default_scales_put_the_axes_where_the_window_expects_them) {
  const fb::GraphScales s = defaultScales();
  EXPECT_EQ(s.xLeft, -0.3f);
  EXPECT_EQ(s.xRight, 6.0f * 1.05);
  EXPECT_DOUBLE_EQ(s.stressScale, 6366.1831f * 3.0 / 2500);  // every fiber at its 3 N peak

  RecordingCanvas stress, ratio;
  int yields = 0;
  ASSERT_TRUE(fb::prepareGraphs(stress, ratio, s, [&] { return ++yields, true; }));
  EXPECT_EQ(yields, 2);
  ASSERT_EQ(stress.strokes.size(), 4u);
  EXPECT_EQ(stress.strokes[0].kind, 'c');
  const Stroke& scale = stress.strokes[1];
  EXPECT_EQ(scale.b, static_cast<float>(-s.stressScale));
  EXPECT_EQ(scale.d, static_cast<float>(s.stressScale / 10));  // sigma = 0 lies 1/11 above the bottom
  EXPECT_EQ(stress.strokes[2].colour, fb::kAxisColour);
}

TEST(ResultGraphs, the_ratio_grid_has_eleven_lines_from_the_bottom_to_the_top_edge) {
  RecordingCanvas stress, ratio;
  fb::prepareGraphs(stress, ratio, defaultScales(), {});
  std::vector<float> grid;
  for (const Stroke& s : ratio.strokes)
    if (s.kind == 'l' && s.colour == fb::kGridColour) grid.push_back(s.b);
  ASSERT_EQ(grid.size(), 11u);
  EXPECT_EQ(grid.front(), 0.0f);
  EXPECT_EQ(grid.back(), -1.0f);
}

TEST(ResultGraphs, a_zero_stress_scale_still_gives_the_graph_a_height) {
  fb::GraphScales s = defaultScales();
  s.stressScale = 0;
  RecordingCanvas stress, ratio;
  fb::prepareGraphs(stress, ratio, s, {});
  EXPECT_NE(stress.strokes[1].b, stress.strokes[1].d);
}

TEST(ResultGraphs, each_step_adds_a_point_then_one_segment_per_graph) {
  RecordingCanvas stress, ratio;
  fb::StepResult r{0, 0.0, 0.0, 0.0, 0.4};
  fb::plotStep(stress, ratio, r);
  r = {1, 0.5, 100.0, 2.0, 0.3};
  fb::plotStep(stress, ratio, r);
  ASSERT_EQ(stress.strokes.size(), 2u);
  EXPECT_EQ(stress.strokes[0].kind, 'p');
  EXPECT_EQ(stress.strokes[1].kind, 't');
  EXPECT_EQ(stress.strokes[1].b, -2.0f);  // stress drawn upwards
  EXPECT_EQ(ratio.strokes[1].b, -0.3f);
  EXPECT_EQ(ratio.strokes[1].colour, fb::kRatioColour);
}

}  // namespace
