// Calibration: curves made by the model itself from known inputs, fitted back.
#include "study/calibration.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/curve_runner.h"
#include "engine/number_reader.h"
#include "study/metrics.h"
#include "tests/support/cli_folder.h"

namespace {

using fb::Field;

// A model where no fiber ruptures, so that A and D shape the whole curve.
fb::FieldTexts unbrokenFibers() {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[Field::ruptureStrength] = "2000";
  t[Field::division] = "12";
  return t;
}

// The model's stress at `count` widths up to 2.5 mm, with noise of `noise` times
// the peak from a fixed generator, so every run of the test fits the same curve.
std::vector<fb::MeasuredPoint> measuredCurve(const fb::FieldTexts& truth, int count, double noise) {
  fb::CurveRunner runner;
  const auto curve = runner.run(truth, 2.5);
  double peak = 0;
  for (const fb::StepResult& r : curve.steps) peak = std::max(peak, r.sigma);
  std::vector<fb::MeasuredPoint> points;
  std::uint32_t state = 12345;
  for (int i = 0; i < count; ++i) {
    state = state * 1103515245u + 12345u;
    const double u = (state >> 8) / double(1u << 24) * 2 - 1;
    const double w = 0.05 + 2.45 * i / (count - 1);
    points.push_back({w, *fb::stressAt(curve.steps, w) + noise * peak * u});
  }
  return points;
}

double rmsOf(const fb::FieldTexts& texts, const std::vector<fb::MeasuredPoint>& measured) {
  fb::CurveRunner runner;
  return fb::compareMeasured(runner.run(texts, 2.5).steps, measured)->rms;
}

fb::FitSettings settingsFor(const fb::FieldTexts& base, std::vector<fb::FreeInput> free,
                            std::vector<fb::MeasuredPoint> measured) {
  fb::FitSettings s;
  s.base = base;
  s.free = std::move(free);
  s.measured = std::move(measured);
  s.starts = 3;
  return s;
}

TEST(Calibration, recovers_known_inputs_within_their_error_the_same_on_any_number_of_workers) {
  fb::FieldTexts truth = unbrokenFibers();
  truth[Field::A] = "4.2";
  truth[Field::D] = "0.35";
  const auto measured = measuredCurve(truth, 24, 0.005);
  fb::FitSettings s = settingsFor(unbrokenFibers(), {{Field::A, 1, 8}, {Field::D, 0.1, 1.5}}, measured);
  s.base[Field::A] = "9";  // outside its bounds: the search starts from 8
  const fb::FitResult one = fb::fitMeasuredCurve(s);
  s.jobs = 3;
  const fb::FitResult three = fb::fitMeasuredCurve(s);

  ASSERT_EQ(one.inputs.size(), 2u);
  EXPECT_EQ(one.notes, std::vector<std::string>{"A = 9 lies outside its bounds 1:8; its search starts from 8"});
  for (std::size_t j = 0; j < 2; ++j) {
    const fb::FittedInput& fitted = one.inputs[j];
    ASSERT_TRUE(fitted.standardError);
    const double known = j == 0 ? 4.2 : 0.35;
    EXPECT_LE(std::abs(fitted.value - known), 3 * *fitted.standardError) << fitted.text;
    EXPECT_EQ(fitted.text, three.inputs[j].text) << "the same fit on three workers";
  }
  EXPECT_LE(one.rmsAfter, rmsOf(truth, measured)) << "never worse than the inputs that made the curve";
  EXPECT_EQ(one.rmsAfter, three.rmsAfter);
  EXPECT_EQ(one.log.size(), three.log.size());
  EXPECT_EQ(fb::numberReader(one.texts[Field::A]), one.inputs[0].value);
  EXPECT_TRUE(one.warnings.empty()) << one.warnings.front();
}

TEST(Calibration, inputs_the_curve_cannot_decide_give_warnings_not_a_confident_answer) {
  const fb::FieldTexts truth = unbrokenFibers();
  const auto measured = measuredCurve(truth, 16, 0.002);
  // The stress is P/Am with P proportional to Am.
  const fb::FitResult am =
      fb::fitMeasuredCurve(settingsFor(truth, {{Field::Am, 1000, 5000}, {Field::A, 1, 8}}, measured));
  EXPECT_NE(std::find(am.warnings.begin(), am.warnings.end(), "Am has no effect on the computed stress: fix it"),
            am.warnings.end());
  EXPECT_FALSE(am.inputs[0].standardError);
  // With no fiber rupturing, only Vf/Af counts.
  const fb::FitResult ratio =
      fb::fitMeasuredCurve(settingsFor(truth, {{Field::Vf, 0.01, 0.04}, {Field::Af, 0.004, 0.016}}, measured));
  EXPECT_NE(
      std::find(ratio.warnings.begin(), ratio.warnings.end(), "Vf and Af trade off on this curve: fix one of them"),
      ratio.warnings.end());
  for (const fb::FittedInput& input : ratio.inputs) EXPECT_FALSE(input.standardError) << input.text;
}

using FitCommand = fbtest::CliFolder;

TEST_F(FitCommand, the_saved_fit_repeats_the_fitted_run_and_bad_requests_are_usage_errors) {
  fbtest::writeFile(at("m.csv"), "0.1,1.2\n0.3,1.9\n0.8,1.0\n2,0.3\n");
  const fbtest::Outcome fit = run({"--measured", "m.csv", "--fit", "A=1:8", "--fit-starts", "2", "--division", "6",
                                   "-o", "fitted.p-d", "--save-inputs", "fitted.inputs", "--fit-log", "log.csv"});
  ASSERT_EQ(fit.status, 0) << fit.err;
  EXPECT_NE(fit.out.find("RMS difference to the measured curve: "), std::string::npos) << fit.out;
  ASSERT_EQ(run({"--inputs", "fitted.inputs", "-o", "again.p-d"}).status, 0);
  EXPECT_EQ(fbtest::withoutClockLine(fbtest::readFile(at("again.p-d"))),
            fbtest::withoutClockLine(fbtest::readFile(at("fitted.p-d"))));
  EXPECT_EQ(fbtest::lines(fbtest::readFile(at("log.csv")))[0], "start,A,RMS difference to measured (MPa),note");

  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"--fit", "A=1:8"}, "--fit needs --measured"},
      {{"--measured", "m.csv", "--fit", "Vff=1:8"}, "unknown input name \"Vff\""},
      {{"--measured", "m.csv", "--fit", "division=1:8"}, "division is a count"},
      {{"--measured", "m.csv", "--fit", "A=8:1"}, "LO must be below HI"},
      {{"--measured", "m.csv", "--fit", "A=1:inf"}, "LO and HI must be finite numbers"},
      {{"--measured", "m.csv", "--fit", "A"}, "expected NAME=LO:HI"},
      {{"--measured", "m.csv", "--fit", "A=1:8", "--fit", "A=2:3"}, "--fit A is given twice"},
      {{"--measured", "m.csv", "--fit", "A=1:8", "--fit", "B=0:1", "--fit", "C=0:1", "--fit", "D=0.1:1", "--fit",
        "Aa=0:1"},
       "4 points, fewer than the 5 inputs"},
      {{"--measured", "m.csv", "--fit", "A=1:8", "--Lf", "2"}, "lies outside the run's crack widths"},
      {{"--measured", "m.csv", "--fit", "A=1:8", "--sweep", "kxy=1,2"}, "--fit and --sweep cannot go together"},
      {{"--seed", "3", "-o", "x.p-d"}, "go with --fit"},
  };
  for (const auto& c : cases) {
    const fbtest::Outcome r = run(c.args);
    EXPECT_EQ(r.status, 2) << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
  const fbtest::Outcome refused = run({"--measured", "m.csv", "--fit", "Af=-2:-1", "--fit-starts", "2"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("no start of the fit gave a run the model accepts: Af (fiber sectional area) must be "
                             "positive"),
            std::string::npos)
      << refused.err;
}

}  // namespace
