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
