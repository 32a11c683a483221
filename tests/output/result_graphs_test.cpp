#include "output/result_graphs.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/inputs.h"
#include "output/recording_canvas.h"

namespace {

using fb::Stroke;

fb::GraphScales defaultScales() {
  const fb::ParameterSet p = fb::readParameterSet(fb::FieldTexts::defaults()).params;
  return fb::graphScales(p, fb::deriveValues(p));
}

TEST(ResultGraphs, default_scales_put_the_axes_where_the_window_expects_them) {
  const fb::GraphScales s = defaultScales();
  EXPECT_EQ(s.xLeft, -0.3f);
  EXPECT_EQ(s.xRight, 6.0f * 1.05);
  EXPECT_DOUBLE_EQ(s.stressScale, 6366.1831f * 3.0 / 2500);  // every fiber at its 3 N peak

  fb::RecordingCanvas stress, ratio;
  stress.point(1, 1, fb::kStressColour);  // an earlier run's curve
  int yields = 0;
  ASSERT_TRUE(fb::prepareGraphs(stress, ratio, s, [&] { return ++yields, true; }));
  EXPECT_EQ(yields, 2);
  ASSERT_EQ(stress.strokes().size(), 2u) << "cleared, then the two axes";
  EXPECT_EQ(stress.corners().y1, static_cast<float>(-s.stressScale));
  EXPECT_EQ(stress.corners().y2, static_cast<float>(s.stressScale / 10));  // sigma = 0 lies 1/11 above the bottom
  EXPECT_EQ(stress.strokes()[0].colour, fb::kAxisColour);
  EXPECT_EQ(stress.position().x, 0.0f) << "the vertical axis is drawn last";
}

TEST(ResultGraphs, the_ratio_grid_has_eleven_lines_from_the_bottom_to_the_top_edge) {
  fb::RecordingCanvas stress, ratio;
  fb::prepareGraphs(stress, ratio, defaultScales(), {});
  std::vector<float> grid;
  for (const Stroke& s : ratio.strokes())
    if (s.kind == Stroke::Kind::line && s.colour == fb::kGridColour) grid.push_back(s.y1);
  ASSERT_EQ(grid.size(), 11u);
  EXPECT_EQ(grid.front(), 0.0f);
  EXPECT_EQ(grid.back(), -1.0f);
}

TEST(ResultGraphs, a_zero_stress_scale_still_gives_the_graph_a_height) {
  fb::GraphScales s = defaultScales();
  s.stressScale = 0;
  fb::RecordingCanvas stress, ratio;
  fb::prepareGraphs(stress, ratio, s, {});
  EXPECT_NE(stress.corners().y1, stress.corners().y2);
}

TEST(ResultGraphs, each_step_adds_a_point_then_one_segment_per_graph_from_the_last_point) {
  fb::RecordingCanvas stress, ratio;
  fb::StepResult r{0, 0.0, 0.0, 0.0, 0.4};
  fb::plotStep(stress, ratio, r);
  r = {1, 0.5, 100.0, 2.0, 0.3};
  fb::plotStep(stress, ratio, r);
  ASSERT_EQ(stress.strokes().size(), 2u);
  EXPECT_EQ(stress.strokes()[0].kind, Stroke::Kind::point);
  EXPECT_EQ(stress.strokes()[1], (Stroke{Stroke::Kind::line, 0, 0, 0.5f, -2.0f, fb::kStressColour}));
  EXPECT_EQ(ratio.strokes()[1], (Stroke{Stroke::Kind::line, 0, -0.4f, 0.5f, -0.3f, fb::kRatioColour}));

  stress.clear();  // as Data File Name does during a run: the next segment starts at the origin
  fb::plotStep(stress, ratio, {2, 1.0, 50.0, 1.0, 0.2});
  EXPECT_EQ(stress.strokes().back(), (Stroke{Stroke::Kind::line, 0, 0, 1.0f, -1.0f, fb::kStressColour}));
}

}  // namespace
