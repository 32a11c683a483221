// Fits to notched-beam tests: the beam of each run's composite law against
// a measured load-CMOD curve, read from its file.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "run/curve_runner.h"
#include "study/fit/calibration.h"
#include "study/fit/evaluator.h"
#include "study/fit/fit_report.h"
#include "study/inputs/beam_test.h"
#include "tests/support/reason.h"

namespace {

using fb::Field;

constexpr fb::MatrixTension kMatrix{3, 0.1, std::nullopt};
constexpr double kE = 30;

fb::FieldTexts fibers() {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[Field::division] = "12";
  return t;
}

// The forward beam of `truth` (the same path as --beam) read at CMODs from
// 0.01 to 3.5 mm, with noise of `noise` times each load from a fixed generator.
std::vector<fb::BeamTestPoint> beamTest(const fb::FieldTexts& truth, double noise) {
  fb::CurveRunner runner;
  const auto run = runner.run(truth, 100);
  const auto beam = fb::notchedBeam(fb::compositeLaw(run.steps, kMatrix), kE);
  EXPECT_TRUE(beam) << beam.error();
  std::vector<fb::BeamTestPoint> points;
  std::uint32_t state = 4242;
  for (const double cmod :
       {0.01, 0.02, 0.03, 0.05, 0.08, 0.12, 0.2, 0.3, 0.45, 0.6, 0.8, 1.0, 1.3, 1.6, 2.0, 2.5, 3.0, 3.5}) {
    state = state * 1103515245u + 12345u;
    const double u = (state >> 8) / double(1u << 24) * 2 - 1;
    const double load = fb::beamLoadAt(beam->curve, cmod);
    points.push_back({cmod, load * (1 + noise * u), 0, 0});
  }
  return points;
}

fb::FitSettings beamFit(std::vector<fb::BeamTestPoint> measured) {
  fb::FitSettings s;
  s.base = fibers();
  s.free = {{Field::A, 1, 3}, {Field::D, 0.2, 0.6}};
  s.beams = {{{"beam.csv", {}, std::move(measured)}}, kMatrix, kE, {}};
  s.starts = 3;
  s.jobs = 2;
  return s;
}

fb::FieldTexts truth() {
  fb::FieldTexts t = fibers();
  t[Field::A] = "2";
  t[Field::D] = "0.4";
  return t;
}

// At the inputs that made it, the fit's beam is the forward beam: no residual.
// A beam of the fibers alone, a law cut at the wrong width or another
// geometry would leave one at the peak or along the tail.
TEST(BeamFit, the_fits_beam_at_the_true_inputs_is_the_forward_beam) {
  const fb::FitSettings s = beamFit(beamTest(truth(), 0));
  std::atomic<int> runs{0};
  fb::Evaluator evaluator(s, 1, runs);
  const fb::Trial at = evaluator.evaluate({0.5, 0.5});  // A = 2, D = 0.4
  ASSERT_TRUE(at.objective) << at.note;
  ASSERT_EQ(at.residuals.size(), s.beams.tests[0].measured.size());
  for (std::size_t i = 0; i < at.residuals.size(); ++i)
    EXPECT_NEAR(at.residuals[i], 0, 1e-9 * s.beams.tests[0].measured[i].load) << i;
  EXPECT_EQ(at.rms, *at.beamRms);
  const fb::Trial off = evaluator.evaluate({0.6, 0.5});
  EXPECT_GT(*off.beamRms, 0.01);
}

TEST(BeamFit, recovers_two_inputs_from_a_noisy_beam_test_inside_their_intervals) {
  const fb::FitSettings s = beamFit(beamTest(truth(), 0.02));
  ASSERT_TRUE(fb::checkFitSettings(s)) << fb::checkFitSettings(s).error();
  const fb::FitResult r = fb::fitMeasuredCurves(s);
  ASSERT_EQ(r.outcome, fb::FitOutcome::fitted);
  for (const auto& [j, value] : {std::pair{0, 2.0}, {1, 0.4}}) {
    EXPECT_LE(r.inputs[j].low, value) << r.inputs[j].text;
    EXPECT_GE(r.inputs[j].high, value) << r.inputs[j].text;
    EXPECT_LT(r.inputs[j].high - r.inputs[j].low, 0.3 * value);
  }
  ASSERT_TRUE(r.beamRmsAfter);
  EXPECT_EQ(r.rmsAfter, *r.beamRmsAfter);
  const std::string text = fb::fitReportText(s, r);
  EXPECT_NE(text.find("to 18 measured points of 1 beam test"), std::string::npos) << text;
  EXPECT_NE(text.find("RMS difference to the beam tests: "), std::string::npos) << text;
  EXPECT_NE(fb::fitReportJson(s, r).find("\"beam_rms\": "), std::string::npos);
  // With beam tests alone the fitted run is the first test's.
  EXPECT_EQ(fb::fittedRunTexts(s, r)[Field::A], r.inputs[0].text);
}

TEST(BeamFit, a_fit_without_the_matrix_or_with_a_test_that_sets_a_fitted_input_is_refused) {
  fb::FitSettings s = beamFit(beamTest(truth(), 0));
  s.beams.matrix.reset();
  EXPECT_NE(fbtest::reasonOf(fb::checkFitSettings(s)).find("--ft and --Gf"), std::string::npos);
  s = beamFit(beamTest(truth(), 0));
  s.beams.E = 0;
  EXPECT_NE(fbtest::reasonOf(fb::checkFitSettings(s)).find("--Ec"), std::string::npos);
  s = beamFit(beamTest(truth(), 0));
  s.beams.tests[0].inputs = {{Field::A, "2"}};
  EXPECT_NE(fbtest::reasonOf(fb::checkFitSettings(s)).find("sets A"), std::string::npos);
}

// Beside a bridging curve, loads in kN and stresses in MPa count by each curve's largest value.
TEST(BeamFit, a_joint_fit_weighs_each_curve_by_its_largest_value) {
  fb::FitSettings s = beamFit({{0.5, 10, 0, 0}, {1, 8, 0, 0}});
  s.specimens = {{"tension.csv", {}, {{0.1, 2, 0, 0}, {0.5, 3, 0, 0}}}};
  EXPECT_EQ(s.residualScales(), (std::vector<double>{3, 3, 10, 10}));
}

TEST(BeamTestFile, reads_cmod_and_load_with_the_inputs_it_sets_and_names_a_bad_line) {
  const auto read = fb::parseBeamTest("# Vf = 0.01\nCMOD (mm),load (kN)\n0.05,12.5\n0.5,9\n", "b.csv");
  ASSERT_TRUE(read) << read.error();
  EXPECT_EQ(read->points, (std::vector<fb::BeamTestPoint>{{0.05, 12.5, 0, 3}, {0.5, 9, 0, 4}}));
  ASSERT_EQ(read->inputs.size(), 1u);
  EXPECT_EQ(read->inputs[0].field, Field::Vf);
  const struct {
    const char* text;
    const char* reason;
  } refused[] = {{"0.5,9\n0.4,8\n", "b.csv:2: CMOD 0.4 mm goes back from 0.5 mm"},
                 {"0.5,-1\n", "b.csv:1: load -1 kN is below 0"},
                 {"12,1\n", "b.csv:1: CMOD 12 mm lies outside 0 to 10 mm"},
                 {"-0.1,1\n", "b.csv:1: CMOD -0.1 mm lies outside"}};
  for (const auto& c : refused) {
    const auto bad = fb::parseBeamTest(c.text, "b.csv");
    ASSERT_FALSE(bad) << c.text;
    EXPECT_NE(fbtest::reasonOf(bad).find(c.reason), std::string::npos) << bad.error();
  }
}

}  // namespace
