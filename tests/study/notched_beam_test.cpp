// The EN 14651 beam from a tension law, and the Model Code class of its figures.
#include "study/design/notched_beam.h"

#include <gtest/gtest.h>

#include "study/design/frc_class.h"

namespace {

// A rigid-plastic law of c MPa: at large openings the whole ligament but a
// thin compressed edge carries c, so fR = 3 F span / (2 b hsp^2) tends to 3c,
// which the Model Code's fFtu = fR3/3 rests on. A stiffer matrix leaves a
// thinner compressed edge, and fR3 comes closer.
TEST(NotchedBeam, a_rigid_plastic_law_gives_residual_strengths_that_tend_to_three_times_its_stress) {
  const fb::TensionLaw constant{{0, 10}, {1, 1}};
  const fb::Expected<fb::BeamResult> usual = fb::notchedBeam(constant, 30);
  ASSERT_TRUE(usual) << usual.error();
  EXPECT_NEAR(usual->fR[2] / 3, 1, 0.05);
  for (std::size_t j = 1; j < 4; ++j) EXPECT_GT(usual->fR[j], usual->fR[j - 1]);  // the edge thins as it turns
  const fb::Expected<fb::BeamResult> stiff = fb::notchedBeam(constant, 3000);
  EXPECT_NEAR(stiff->fR[2] / 3, 1, 0.01);
  EXPECT_GT(stiff->fR[2], usual->fR[2]);
  for (std::size_t i = 1; i < usual->curve.size(); ++i) EXPECT_GT(usual->curve[i].cmod, usual->curve[i - 1].cmod);
  EXPECT_GE(usual->curve.back().cmod, 3.5);
}

// Uncracked, the hinge of width h/2 opens the notch's mouth by 2 phi (y0 + a0):
// its compliance lies between Tada's handbook values for a single-edge notched
// beam in three-point bending (S/W = 4) and in pure bending, which bracket
// EN 14651's S/W = 3.33 from the stiff side and the compliant side.
TEST(NotchedBeam, its_elastic_mouth_opening_is_the_handbooks_within_six_percent) {
  const fb::TensionLaw strong{{0, 1}, {1000, 1000}};  // never cracks in the range used
  const fb::Expected<fb::BeamResult> beam = fb::notchedBeam(strong, 30);
  ASSERT_TRUE(beam);
  const fb::BeamPoint& p = beam->curve[1];
  const double M = p.load * 1000 * 500 / 4, b = 150, W = 150, a = 25, E = 30000, alpha = a / W;
  const double sigma = 6 * M / (b * W * W);
  const auto cmod = [&](double V) { return 4 * sigma * a / E * V; };
  const double threePoint = cmod(0.76 - 2.28 * alpha + 3.87 * alpha * alpha - 2.04 * alpha * alpha * alpha +
                                 0.66 / ((1 - alpha) * (1 - alpha)));
  const double bending = cmod(0.8 - 1.7 * alpha + 2.4 * alpha * alpha + 0.66 / ((1 - alpha) * (1 - alpha)));
  EXPECT_NEAR(p.cmod / threePoint, 1, 0.06);
  EXPECT_NEAR(p.cmod / bending, 1, 0.06);
  // Another beam scales as beam theory says: twice as wide, half the opening at the same load.
  const fb::Expected<fb::BeamResult> wide = fb::notchedBeam(strong, 30, {300, 150, 500, 25});
  EXPECT_NEAR(wide->curve[1].cmod / wide->curve[1].load, 0.5 * p.cmod / p.load, 1e-6 * p.cmod / p.load);
}

TEST(NotchedBeam, a_law_without_strength_or_a_beam_without_size_is_refused) {
  EXPECT_FALSE(fb::notchedBeam(fb::TensionLaw{{0, 1}, {0, 1}}, 30));
  EXPECT_FALSE(fb::notchedBeam(fb::TensionLaw{{0, 1}, {1, 1}}, 0));
  EXPECT_FALSE(fb::notchedBeam(fb::TensionLaw{{0, 1}, {1, 1}}, 30, {150, 150, 500, 150}));
}

TEST(FrcClass, the_class_edges_hold_their_lower_ends) {
  struct Case {
    double fR1k, fR3k;
    const char* frcClass;  // "" for none
  };
  const Case cases[] = {
      {4, 3.6, "4c"}, {4, 3.5996, "4b"}, {3.999, 3.6, "3c"}, {3, 2.7, "3c"},     {2.999, 2.7, "2.5c"},
      {4, 2, "4a"},   {4, 1.9999, ""},   {1, 1.3, "1e"},     {0.999, 2, ""},     {8.5, 8.5, "8c"},
      {4, 5.2, "4e"}, {4, 2.8, "4b"},    {4, 4.4, "4d"},     {1.5, 1.5, "1.5c"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(fb::frcClass(c.fR1k, c.fR3k).value_or(""), c.frcClass) << c.fR1k << " " << c.fR3k;
}

TEST(FrcClass, structural_use_and_the_simplified_laws_follow_the_model_code) {
  const fb::FrcDesign d = fb::frcDesign(5, 4, 3.6);
  EXPECT_TRUE(d.structuralUse);
  EXPECT_DOUBLE_EQ(d.rigidPlasticFtu, 1.2);
  EXPECT_DOUBLE_EQ(d.linearFts, 1.8);
  EXPECT_DOUBLE_EQ(d.linearFtu, 0.5 * 3.6 - 0.2 * 4);     // wu = CMOD3
  EXPECT_FALSE(fb::frcDesign(11, 4, 3.6).structuralUse);  // fR1/fL below 0.4
  EXPECT_FALSE(fb::frcDesign(5, 4, 1.9).structuralUse);   // fR3/fR1 below 0.5
  EXPECT_EQ(fb::frcDesign(5, 4, 0.5).linearFtu, 0);       // never a negative stress
}

}  // namespace
