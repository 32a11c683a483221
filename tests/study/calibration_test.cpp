// Calibration: curves made by the model itself from known inputs, fitted back.
#include "study/fit/calibration.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/number_reader.h"
#include "run/curve_runner.h"
#include "study/fit/adequacy.h"
#include "study/fit/fit_report.h"
#include "study/studies/metrics.h"
#include "tests/support/cli_folder.h"
#include "tests/support/reason.h"

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
std::vector<fb::MeasuredPoint> measuredCurve(const fb::FieldTexts& truth, int count, double noise,
                                             std::uint32_t state = 12345) {
  fb::CurveRunner runner;
  const auto curve = runner.run(truth, 2.5);
  double peak = 0;
  for (const fb::StepResult& r : curve.steps) peak = std::max(peak, r.sigma);
  std::vector<fb::MeasuredPoint> points;
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
  s.specimens = {{"measured.csv", {}, std::move(measured)}};
  s.starts = 3;
  return s;
}

const fb::FitWarning* warningNaming(const fb::FitResult& r, Field field, const std::string& words) {
  for (const fb::FitWarning& w : r.warnings)
    if (std::find(w.inputs.begin(), w.inputs.end(), field) != w.inputs.end() && w.text.find(words) != std::string::npos)
      return &w;
  return nullptr;
}

void expectInside(const fb::FittedInput& input, double truth) {
  EXPECT_LE(input.low, truth) << input.text;
  EXPECT_GE(input.high, truth) << input.text;
  EXPECT_LE(input.low, input.value);
  EXPECT_GE(input.high, input.value);
}

TEST(Calibration, recovers_known_inputs_inside_their_intervals_the_same_on_any_number_of_workers) {
  fb::FieldTexts truth = unbrokenFibers();
  truth[Field::A] = "4.2";
  truth[Field::D] = "0.35";
  const auto measured = measuredCurve(truth, 24, 0.005);
  fb::FitSettings s = settingsFor(unbrokenFibers(), {{Field::A, 1, 8}, {Field::D, 0.1, 1.5}}, measured);
  s.base[Field::A] = "9";  // outside its bounds: the search starts from 8
  const fb::FitResult one = fb::fitMeasuredCurves(s);
  s.jobs = 3;
  const fb::FitResult three = fb::fitMeasuredCurves(s);

  ASSERT_EQ(one.inputs.size(), 2u);
  EXPECT_EQ(one.notes, std::vector<std::string>{"A = 9 lies outside its bounds 1:8; its search starts from 8"});
  fb::FieldTexts given = s.base;
  given[Field::A] = "8";
  ASSERT_TRUE(one.rmsBefore);
  EXPECT_NEAR(*one.rmsBefore, rmsOf(given, measured), 1e-9) << "the RMS before is that of the given values";
  for (std::size_t j = 0; j < 2; ++j) {
    const fb::FittedInput& fitted = one.inputs[j];
    expectInside(fitted, j == 0 ? 4.2 : 0.35);
    EXPECT_FALSE(fitted.lowOnBound || fitted.highOnBound) << fitted.text;
    EXPECT_LT(fitted.high - fitted.low, 0.1 * (s.free[j].high - s.free[j].low)) << "the curve decides it";
    EXPECT_EQ(fitted.text, three.inputs[j].text) << "the same fit on three workers";
    EXPECT_EQ(fitted.low, three.inputs[j].low);
    EXPECT_EQ(fitted.high, three.inputs[j].high);
  }
  EXPECT_LE(one.rmsAfter, rmsOf(truth, measured)) << "never worse than the inputs that made the curve";
  EXPECT_EQ(one.rmsAfter, rmsOf(one.texts, measured)) << "the RMS a run of the fitted inputs reports";
  EXPECT_EQ(one.rmsAfter, three.rmsAfter);
  EXPECT_EQ(one.log.size(), three.log.size());
  EXPECT_EQ(fb::numberReader(one.texts[Field::A]), one.inputs[0].value);
  ASSERT_FALSE(one.basins.empty());
  EXPECT_EQ(one.basins[0].rms, one.rmsAfter);
  EXPECT_GE(one.basins[0].starts, 1);
  EXPECT_TRUE(one.warnings.empty()) << one.warnings.front().text;
  EXPECT_FALSE(one.bandValues.empty());
}

TEST(Calibration, a_robust_fit_is_not_pulled_by_a_gross_outlier_and_names_it_alone) {
  fb::FieldTexts truth = unbrokenFibers();
  truth[Field::A] = "4.2";
  truth[Field::D] = "0.35";
  std::vector<fb::MeasuredPoint> measured = measuredCurve(truth, 24, 0.01);
  measured[5].sigma += 1.5;  // far off near the peak, on line 9 of its file
  measured[5].line = 9;
  fb::FitSettings s = settingsFor(unbrokenFibers(), {{Field::A, 1, 8}, {Field::D, 0.1, 1.5}}, measured);
  s.starts = 2;
  const fb::FitResult plain = fb::fitMeasuredCurves(s);
  s.robust = true;
  const fb::FitResult robust = fb::fitMeasuredCurves(s);
  ASSERT_TRUE(robust.softL1Scale);
  // The loss's scale is the points' noise, read past the outlier: uniform
  // noise of 1 % of the peak has the standard deviation 0.01 peak / sqrt(3).
  double peak = 0;
  for (const fb::MeasuredPoint& p : measuredCurve(truth, 24, 0)) peak = std::max(peak, p.sigma);
  EXPECT_NEAR(*robust.softL1Scale / (0.01 * peak / std::sqrt(3.0)), 1, 0.35) << *robust.softL1Scale;
  expectInside(robust.inputs[0], 4.2);
  expectInside(robust.inputs[1], 0.35);
  EXPECT_LT(std::abs(robust.inputs[0].value - 4.2), std::abs(plain.inputs[0].value - 4.2) / 3)
      << plain.inputs[0].text << " " << robust.inputs[0].text;
  ASSERT_EQ(robust.outliers.size(), 1u);
  EXPECT_EQ(robust.outliers[0].line, 9);
  ASSERT_TRUE(robust.adequacy);
  EXPECT_EQ(robust.adequacy->setAside, 1);
  EXPECT_TRUE(robust.adequacy->adequate) << fb::adequacyText(*robust.adequacy);
  EXPECT_GT(plain.outliers.size(), 0u);
  EXPECT_EQ(plain.adequacy->setAside, 0) << "a least-squares fit was pulled by every point";
}

TEST(Calibration, an_optimum_a_profile_moved_is_polished_again) {
  // A curve of kxy 2 fitted with kxy 1.5: its sum of squares is a staircase on
  // which a profile steps below the searches' optimum.
  fb::FieldTexts truth = unbrokenFibers();
  truth[Field::kxy] = "2";
  truth[Field::B] = "0.5";
  fb::FieldTexts base = unbrokenFibers();
  base[Field::kxy] = "1.5";
  fb::FitSettings s = settingsFor(base, {{Field::A, 0.5, 8}, {Field::D, 0.1, 1.5}, {Field::B, 0, 1}},
                                  measuredCurve(truth, 20, 0.01, 1));
  s.starts = 2;
  s.jobs = 2;
  const fb::FitResult r = fb::fitMeasuredCurves(s);
  bool profiled = false, polishedAfter = false, bestPolished = false;
  for (const fb::FitEvaluation& e : r.log) {
    profiled = profiled || e.phase.starts_with("profile");
    polishedAfter = polishedAfter || (profiled && e.phase == "polish");
    bestPolished = bestPolished || (e.phase == "polish" && e.rms == r.rmsAfter);
  }
  EXPECT_TRUE(polishedAfter);
  EXPECT_TRUE(bestPolished) << "the optimum is a polish's, not a profile point's";
}

TEST(Calibration, inputs_the_curve_cannot_decide_get_intervals_to_their_bounds_and_warnings_that_name_them) {
  const fb::FieldTexts truth = unbrokenFibers();
  const auto measured = measuredCurve(truth, 16, 0.002);
  // The stress is P/Am with P proportional to Am.
  fb::FitSettings s = settingsFor(truth, {{Field::Am, 1000, 5000}}, measured);
  s.starts = 1;
  const fb::FitResult am = fb::fitMeasuredCurves(s);
  EXPECT_TRUE(warningNaming(am, Field::Am, "has no effect on the computed stress"));
  EXPECT_TRUE(am.inputs[0].lowOnBound && am.inputs[0].highOnBound);
  // With no fiber rupturing, only Vf/Af counts: each slides along the other.
  s = settingsFor(truth, {{Field::Vf, 0.01, 0.04}, {Field::Af, 0.004, 0.016}}, measured);
  s.starts = 2;
  const fb::FitResult ratio = fb::fitMeasuredCurves(s);
  ASSERT_EQ(ratio.inputs.size(), 2u);
  EXPECT_TRUE(ratio.inputs[0].lowOnBound || ratio.inputs[0].highOnBound) << ratio.inputs[0].text;
  const fb::FitWarning* w = warningNaming(ratio, Field::Vf, "is not decided by the measured curve");
  ASSERT_TRUE(w);
  EXPECT_NE(std::find(w->inputs.begin(), w->inputs.end(), Field::Af), w->inputs.end()) << w->text;
  // Af follows Vf as far as Vf's own bounds let it: far beyond any one point's error.
  EXPECT_GT(ratio.inputs[1].high - ratio.inputs[1].low, 0.4 * (0.016 - 0.004)) << ratio.inputs[1].text;
}

// The orientation density is even in the principal angle, so +20 and -20
// degrees give one curve: two answers, both reported.
TEST(Calibration, separate_basins_of_equal_fit_are_reported_with_a_warning) {
  fb::FieldTexts truth = unbrokenFibers();
  truth[Field::kxy] = "3";
  truth[Field::thetaRxy] = "20";
  truth[Field::crackAngleXY] = "0";
  fb::FitSettings s = settingsFor(truth, {{Field::thetaRxy, -60, 60}}, measuredCurve(truth, 20, 0.003));
  s.starts = 6;
  const fb::FitResult r = fb::fitMeasuredCurves(s);
  ASSERT_GE(r.basins.size(), 2u);
  EXPECT_NEAR(std::abs(r.basins[0].values[0]), 20, 1);
  EXPECT_NEAR(r.basins[1].values[0], -r.basins[0].values[0], 1);
  EXPECT_EQ(r.basins[0].starts + r.basins[1].starts <= 6, true);
  EXPECT_TRUE(warningNaming(r, Field::thetaRxy, "does not decide between the two answers"));
  // Both fit within the 95 % region: the interval holds both answers.
  EXPECT_TRUE(r.inputs[0].spansAnswers);
  EXPECT_LT(r.inputs[0].low, -19);
  EXPECT_GT(r.inputs[0].high, 19);
}

// With the stress proportional to Vf, the profile is a parabola: the interval
// is the estimate plus and minus t(0.975, n - 1) standard errors, and the
// residual variance divides by n - 1.
TEST(Calibration, a_linear_input_gets_the_textbook_interval_and_standard_error) {
  const fb::FieldTexts truth = unbrokenFibers();
  const std::vector<fb::MeasuredPoint> measured = {{0.2, 1.0}, {0.5, 2.2}, {1.0, 1.1}, {2.0, 0.35}};
  fb::FitSettings s = settingsFor(truth, {{Field::Vf, 0.001, 0.1}}, measured);
  s.starts = 2;
  const fb::FitResult r = fb::fitMeasuredCurves(s);
  ASSERT_EQ(r.inputs.size(), 1u);

  fb::FieldTexts unit = truth;
  unit[Field::Vf] = "0.02";
  fb::CurveRunner runner;
  const auto curve = runner.run(unit, 2.5);
  double gg = 0, gy = 0;
  std::vector<double> g;
  for (const fb::MeasuredPoint& m : measured) {
    g.push_back(*fb::stressAt(curve.steps, m.Wcr) / 0.02);
    gg += g.back() * g.back();
    gy += g.back() * m.sigma;
  }
  const double vf = gy / gg;
  double ssr = 0;
  for (std::size_t i = 0; i < g.size(); ++i) ssr += (vf * g[i] - measured[i].sigma) * (vf * g[i] - measured[i].sigma);
  const double se = std::sqrt(ssr / 3 / gg);
  EXPECT_NEAR(r.inputs[0].value, vf, 1e-4 * vf);
  ASSERT_TRUE(r.inputs[0].standardError);
  EXPECT_NEAR(*r.inputs[0].standardError, se, 1e-3 * se);
  const double t = fb::studentT975(3);
  EXPECT_NEAR(t, 3.182446305, 1e-6);
  EXPECT_NEAR(r.inputs[0].high - r.inputs[0].value, t * se, 0.05 * t * se);
  EXPECT_NEAR(r.inputs[0].value - r.inputs[0].low, t * se, 0.05 * t * se);
}

TEST(Calibration, two_specimens_with_their_own_fiber_content_decide_the_shared_law) {
  fb::FieldTexts truth = unbrokenFibers();
  truth[Field::A] = "4.2";
  truth[Field::D] = "0.35";
  fb::FitSettings s = settingsFor(unbrokenFibers(), {{Field::A, 1, 8}, {Field::D, 0.1, 1.5}}, {});
  s.specimens.clear();
  const double noise = 0.01;
  for (const char* vf : {"0.01", "0.03"}) {
    fb::FieldTexts specimen = truth;
    specimen[Field::Vf] = vf;
    auto points = measuredCurve(specimen, 12, noise, vf[3] == '1' ? 7 : 99);
    double peak = 0;
    for (const auto& p : points) peak = std::max(peak, p.sigma);
    // Uniform noise of half width a has the standard deviation a/sqrt(3).
    for (auto& p : points) p.sd = noise * peak / std::sqrt(3.0);
    s.specimens.push_back({std::string("Vf ") + vf, {{Field::Vf, vf}}, points});
  }
  ASSERT_TRUE(fb::checkFitSettings(s));
  const fb::FitResult r = fb::fitMeasuredCurves(s);
  ASSERT_EQ(r.inputs.size(), 2u);
  expectInside(r.inputs[0], 4.2);
  expectInside(r.inputs[1], 0.35);
  ASSERT_TRUE(r.chiSquarePerDof);
  EXPECT_GT(*r.chiSquarePerDof, 0.2);
  EXPECT_LT(*r.chiSquarePerDof, 3);
  EXPECT_EQ(r.texts[Field::Vf], unbrokenFibers()[Field::Vf]) << "a specimen's inputs stay its own";
}

TEST(Calibration, laws_that_are_not_physical_and_values_on_their_bounds_are_flagged) {
  fb::FieldTexts law = fb::FieldTexts::defaults();
  EXPECT_TRUE(fb::lawWarnings(law).empty());
  EXPECT_TRUE(fb::lawNotes(law).empty());
  // A peak below the first point's 1 N is a load drop after debonding: a note, no warning.
  law[Field::A] = "0.5";
  EXPECT_TRUE(fb::lawWarnings(law).empty());
  ASSERT_EQ(fb::lawNotes(law).size(), 1u);
  EXPECT_NE(fb::lawNotes(law)[0].find("drops its load after full debonding"), std::string::npos);
  law = fb::FieldTexts::defaults();
  law[Field::B] = "0.5";  // equal at lb = 1 mm only: below it the peak lies under the first point
  law[Field::A] = "1";
  law[Field::Aa] = "1";
  EXPECT_EQ(fb::lawNotes(law).size(), 1u);
  law[Field::Aa] = "0.3";  // crosses at lb = 0.09 mm, between Lf/200 and Lf/20
  EXPECT_EQ(fb::lawNotes(law).size(), 1u);
  law = fb::FieldTexts::defaults();
  law[Field::Ca] = "0.01";  // the first-point width grows, yet stays under the peak width's 0.5 mm
  EXPECT_TRUE(fb::lawWarnings(law).empty());
  law[Field::C] = "-0.1";  // the peak width falls below 0.2 mm for long embedded lengths
  ASSERT_EQ(fb::lawWarnings(law).size(), 1u);
  EXPECT_NE(fb::lawWarnings(law)[0].text.find("peak width"), std::string::npos);

  // The truth lies below the bounds: the fit ends within the search's tolerance of 2.5.
  fb::FieldTexts truth = unbrokenFibers();
  truth[Field::A] = "2";
  const fb::FitResult r =
      fb::fitMeasuredCurves(settingsFor(unbrokenFibers(), {{Field::A, 2.5, 4}}, measuredCurve(truth, 10, 0.002)));
  EXPECT_TRUE(warningNaming(r, Field::A, "ended on its bound 2.5"));
  EXPECT_TRUE(r.inputs[0].lowOnBound);
}

TEST(Calibration, a_fit_stopped_before_its_first_start_ended_is_stopped_and_not_refused) {
  const std::atomic<bool> stop{true};
  fb::FitSettings s = settingsFor(unbrokenFibers(), {{Field::A, 1, 8}}, measuredCurve(unbrokenFibers(), 6, 0));
  s.stop = &stop;
  const fb::FitResult r = fb::fitMeasuredCurves(s);
  EXPECT_EQ(r.outcome, fb::FitOutcome::stopped);
  EXPECT_TRUE(r.inputs.empty());
}

TEST(Calibration, values_are_rounded_to_the_digits_their_interval_supports) {
  EXPECT_EQ(fb::roundedToInterval(2.0219, 1.93, 2.13), "2.02");
  EXPECT_EQ(fb::roundedToInterval(0.25069, 0.2402, 0.2597), "0.2507");
  EXPECT_EQ(fb::roundedToInterval(1234.5, 1000, 1500), "1230");
  EXPECT_EQ(fb::roundedToInterval(7.98, 7.98, 7.98), "7.98");
}

using FitCommand = fbtest::CliFolder;

TEST_F(FitCommand, the_saved_fit_repeats_the_fitted_run_and_bad_requests_are_usage_errors) {
  fbtest::writeFile(at("m.csv"), "0.1,1.2\n0.3,1.9\n0.8,1.0\n2,0.3\n");
  const fbtest::Outcome fit =
      run({"--measured", "m.csv",   "--fit",        "A=1:8",      "--fit-starts",  "2",
           "--division", "6",       "-o",           "fitted.p-d", "--save-inputs", "fitted.inputs",
           "--fit-log",  "log.csv", "--fit-report", "fit.json",   "--Jtip",        "5",
           "--sigma-fc", "1"});
  ASSERT_EQ(fit.status, 0) << fit.err;
  // The design indices are those of the fitted run that -o wrote: its peak over sigma_fc of 1 MPa.
  const auto design = fit.out.find("design of the fitted run: sigma0 ");
  ASSERT_NE(design, std::string::npos) << fit.out;
  double sigma0 = 0, strength = 0;
  ASSERT_EQ(std::sscanf(fit.out.c_str() + design, "design of the fitted run: sigma0 %lf", &sigma0), 1);
  ASSERT_EQ(std::sscanf(fit.out.c_str() + fit.out.find("strength index ", design), "strength index %lf", &strength), 1);
  EXPECT_NEAR(strength, sigma0, 1e-3);
  double peak = 0;
  for (const std::string& row : fbtest::lines(fbtest::readFile(at("fitted.p-d")))) {
    double step = 0, w = 0, P = 0, sigma = 0;
    if (std::sscanf(row.c_str(), "%lf %lf %lf %lf", &step, &w, &P, &sigma) == 4) peak = std::max(peak, sigma);
  }
  EXPECT_NEAR(sigma0, peak, 1e-4);
  EXPECT_NE(fit.out.find("RMS difference to the measured curve: "), std::string::npos) << fit.out;
  EXPECT_NE(fit.out.find("95 % interval "), std::string::npos) << fit.out;
  EXPECT_NE(fit.out.find(" N "), std::string::npos) << "A's unit: " << fit.out;
  ASSERT_EQ(run({"--inputs", "fitted.inputs", "-o", "again.p-d"}).status, 0);
  EXPECT_EQ(fbtest::withoutClockLine(fbtest::readFile(at("again.p-d"))),
            fbtest::withoutClockLine(fbtest::readFile(at("fitted.p-d"))));
  EXPECT_EQ(fbtest::lines(fbtest::readFile(at("log.csv")))[0], "phase,A,RMS difference to measured (MPa),note");
  const std::string json = fbtest::readFile(at("fit.json"));
  for (const char* key : {"\"rms\": ", "\"rms_before\": ", "\"runs\": ", "\"seconds\": ", "\"inputs\": [",
                          "{\"name\": \"A\", \"unit\": \"N\", \"value\": ", "\"low\": ", "\"high\": ",
                          "\"warnings\": [", "\"basins\": [", "\"values\": {\"A\": "})
    EXPECT_NE(json.find(key), std::string::npos) << key << " in " << json;

  // A value the curve did not decide is saved with its warning, which every
  // run of the set repeats.
  ASSERT_EQ(run({"--measured", "m.csv", "--fit", "A=1:8", "--fit", "Am=1000:5000", "--fit-starts", "1", "--division",
                 "6", "--save-inputs", "doubt.inputs"})
                .status,
            0);
  EXPECT_NE(fbtest::readFile(at("doubt.inputs")).find("\n# warning: Am has no effect on the computed stress: fix it\n"),
            std::string::npos)
      << fbtest::readFile(at("doubt.inputs"));
  const fbtest::Outcome doubtful = run({"--inputs", "doubt.inputs", "-o", "doubt.p-d"});
  EXPECT_EQ(doubtful.status, 0);
  EXPECT_NE(doubtful.err.find("warning: Am has no effect on the computed stress: fix it (saved in doubt.inputs)"),
            std::string::npos)
      << doubtful.err;

  fbtest::writeFile(at("specimen.csv"), "# Vf = 0.01\n0.1,1.2\n0.3,1.9\n");
  expectRefused({
      {{"--fit", "A=1:8"}, "--fit needs --measured"},
      {{"--measured", "m.csv", "--fit", "Vff=1:8"}, "unknown input name \"Vff\""},
      {{"--measured", "m.csv", "--fit", "division=1:8"}, "division is a count"},
      {{"--measured", "m.csv", "--fit", "A=3:3"}, "LO must be below HI"},
      {{"--measured", "m.csv", "--fit", "A=1:inf"}, "LO and HI must be finite numbers"},
      {{"--measured", "m.csv", "--fit", "A=-1e308:1e308"}, "the range from LO to HI is not a finite number"},
      {{"--measured", "m.csv", "--fit", "Vf=0:1e39"}, "single-precision input"},
      {{"--measured", "m.csv", "--fit", "A"}, "expected NAME=LO:HI"},
      {{"--measured", "m.csv", "--fit", "A=1:8", "--fit", "A=2:3"}, "--fit A is given twice"},
      {{"--measured", "m.csv", "--fit", "A=1:8", "--fit", "B=0:1", "--fit", "C=0:1", "--fit", "D=0.1:1", "--fit",
        "Aa=0:1"},
       "4 points, fewer than the 5 inputs"},
      {{"--measured", "m.csv", "--fit", "A=1:8", "--Lf", "2"}, "lies outside the run's crack widths"},
      {{"--measured", "m.csv", "--fit", "A=1:8", "--sweep", "kxy=1,2"}, "--fit and --sweep cannot go together"},
      {{"--seed", "3", "-o", "x.p-d"}, "go with --fit"},
      {{"--fit-report", "r.json", "-o", "x.p-d"}, "go with --fit"},
      {{"--measured", "m.csv", "--measured", "m.csv", "-o", "x.p-d"}, "several --measured curves go with --fit"},
      {{"--measured", "specimen.csv", "-o", "x.p-d"}, "sets Vf for its specimen"},
      {{"--measured", "specimen.csv", "--fit", "Vf=0.01:0.02"}, "sets Vf, which the fit varies"},
  });
  // The reason is the given values' run's, where later starts are refused for another.
  expectRefused({{{"--measured", "m.csv", "--fit", "Af=-2:-1", "--fit-starts", "2"},
                  "no start of the fit gave a run the model accepts: Af (fiber sectional area) must be positive"},
                 {{"--measured", "m.csv", "--fit", "Vf=-1:0.01", "--Vf", "0.005", "--Af", "-1", "--fit-starts", "2"},
                  "no start of the fit gave a run the model accepts: Af (fiber sectional area) must be positive"}},
                1);
}

}  // namespace
