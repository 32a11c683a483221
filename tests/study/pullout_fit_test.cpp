// Fitting the pullout law to single-fiber pullout tests that the law itself made.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/inputs.h"
#include "engine/number_writer.h"
#include "engine/parameter_set.h"
#include "engine/pullout_law.h"
#include "run/curve_runner.h"
#include "study/fit/adequacy.h"
#include "study/fit/calibration.h"
#include "study/fit/fit_prior.h"
#include "study/fit/fit_report.h"
#include "study/fit/regime.h"
#include "study/studies/metrics.h"
#include "tests/support/cli_folder.h"
#include "tests/support/reason.h"

namespace {

using fb::Field;

// A thin fiber that ruptures when inclined far enough.
fb::FieldTexts truthLaw() {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  const std::pair<Field, const char*> law[] = {{Field::Af, "0.0012566"},
                                               {Field::ruptureStrength, "1400"},
                                               {Field::strengthReduction, "0.5"},
                                               {Field::Aa, "0.3"},
                                               {Field::Ba, "0.5"},
                                               {Field::Ca, "0.01"},
                                               {Field::Da, "0.05"},
                                               {Field::A, "0.5"},
                                               {Field::B, "0.5"},
                                               {Field::C, "0.05"},
                                               {Field::D, "0.15"},
                                               {Field::fp0, "0.6"},
                                               {Field::fd0, "0.3"},
                                               {Field::division, "12"}};
  for (const auto& [field, text] : law) t[field] = text;
  return t;
}

// The law's loads at 40 slips crowded towards the start, where the load
// changes fastest, with normal noise of `noise` times the peak.
fb::PulloutSpecimen pulloutTest(const fb::FieldTexts& truth, double lb, double angle, double noise,
                                std::uint64_t seed) {
  fb::PulloutSpecimen test{"lb" + std::to_string(lb) + "-" + std::to_string(angle), {}, lb, angle, 1, {}};
  std::vector<double> slips, loads(40);
  for (int i = 0; i < 40; ++i) slips.push_back(lb * (i / 39.0) * (i / 39.0));
  const fb::ParameterSet p = fb::readParameterSet(truth).params;
  fb::pulloutCurve(fb::pulloutFiber(p, static_cast<float>(lb), fb::pulloutInclination(angle)), slips, loads);
  double peak = 0;
  for (double load : loads) peak = std::max(peak, load);
  std::mt19937_64 random(seed);
  std::normal_distribution<double> normal;
  for (int i = 0; i < 40; ++i) test.measured.push_back({slips[i], loads[i] + noise * peak * normal(random), 0});
  return test;
}

const Field kLaw[] = {Field::Aa, Field::Ba, Field::Ca, Field::Da, Field::A, Field::B, Field::C, Field::D};

fb::FitSettings straightFit(double noise) {
  fb::FitSettings s;
  s.base = truthLaw();
  const fb::FieldTexts defaults = fb::FieldTexts::defaults();
  for (Field f : kLaw) s.base[f] = defaults[f];  // the search starts from the window's law
  s.free = {{Field::Aa, 0.05, 2}, {Field::Ba, 0, 1.5}, {Field::Ca, 0, 0.05}, {Field::Da, 0.005, 0.3},
            {Field::A, 0.1, 3},   {Field::B, 0, 1.5},  {Field::C, 0, 0.2},   {Field::D, 0.02, 1}};
  std::uint64_t seed = 7;
  for (double lb : {1.0, 2.0, 3.0, 4.5, 6.0}) s.pullouts.push_back(pulloutTest(truthLaw(), lb, 0, noise, seed++));
  s.starts = 8;
  return s;
}

double truthOf(Field f) { return std::stod(truthLaw()[f]); }

TEST(PulloutFit, recovers_the_eight_law_coefficients_from_straight_tests_inside_their_intervals) {
  // Without noise the intervals shrink to the search's own tolerance: the
  // values themselves must hit the truth.
  const fb::FitResult exact = fb::fitMeasuredCurves(straightFit(0));
  ASSERT_EQ(exact.inputs.size(), 8u);
  for (const fb::FittedInput& in : exact.inputs)
    EXPECT_NEAR(in.value, truthOf(in.field), 2e-3 * std::abs(truthOf(in.field)) + 1e-5) << in.text;
  EXPECT_LT(*exact.pulloutRmsAfter, 1e-4);
  EXPECT_EQ(exact.rmsAfter, *exact.pulloutRmsAfter);  // with pullout tests alone, the RMS is theirs

  const fb::FitSettings noisy = straightFit(0.01);
  const fb::FitResult r = fb::fitMeasuredCurves(noisy);
  ASSERT_EQ(r.inputs.size(), 8u);
  for (const fb::FittedInput& in : r.inputs) {
    EXPECT_LE(in.low, truthOf(in.field)) << in.text;
    EXPECT_GE(in.high, truthOf(in.field)) << in.text;
    EXPECT_LT(in.high - in.low, 0.25 * std::abs(truthOf(in.field))) << in.text;  // the tests decide it
  }
  EXPECT_GT(*r.pulloutRmsBefore, 10 * *r.pulloutRmsAfter);
  EXPECT_LT(r.seconds, 2.0);
  const std::string json = fb::fitReportJson(noisy, r);
  for (const char* stress : {"\"rms\": null", "\"rms_before\": null"})  // no bridging stress to compare
    EXPECT_NE(json.find(stress), std::string::npos) << json;
  EXPECT_NE(json.find("\"pullout_rms\": 0.0"), std::string::npos) << json;
  // The law's coefficients correlate strongly (A and B about -0.95), yet
  // only a pair beyond 0.99 is said to trade off.
  for (std::size_t a = 0; a < r.inputs.size(); ++a)
    for (std::size_t b = a + 1; b < r.inputs.size(); ++b) {
      if (std::abs(r.correlation[a][b]) > 0.99) continue;
      const std::string pair = std::string(fb::fieldInfo(r.inputs[a].field).name) + " and " +
                               std::string(fb::fieldInfo(r.inputs[b].field).name) + " trade off";
      for (const std::string& note : r.notes) EXPECT_EQ(note.find(pair), std::string::npos) << note;
      for (const fb::FitWarning& w : r.warnings) EXPECT_EQ(w.text.find(pair), std::string::npos) << w.text;
    }
}

// A rig that stretches by 0.02 mm/N adds that to every measured slip: told
// so, the fit finds the law again; not told, it takes the stretch for the
// fiber's and misses. A free fiber length with its modulus is the same stretch.
TEST(PulloutFit, the_stretch_of_the_rig_or_the_free_fiber_is_taken_off_the_slips) {
  constexpr double kCompliance = 0.02;  // mm/N
  fb::FitSettings s;
  s.base = truthLaw();
  s.base[Field::A] = "1";
  s.base[Field::D] = "0.5";
  s.free = {{Field::A, 0.1, 3}, {Field::D, 0.02, 1}};
  std::uint64_t seed = 3;
  for (double lb : {1.0, 3.0, 6.0}) {
    fb::PulloutSpecimen test = pulloutTest(truthLaw(), lb, 0, 0, seed++);
    for (fb::PulloutPoint& m : test.measured) m.slip += kCompliance * m.load;
    test.stretch.compliance = kCompliance;
    s.pullouts.push_back(test);
  }
  s.starts = 4;
  const auto fitted = [](const fb::FitSettings& settings) {
    const fb::FitResult r = fb::fitMeasuredCurves(settings);
    EXPECT_EQ(r.outcome, fb::FitOutcome::fitted);
    return std::pair{r.inputs.at(0).value, r.inputs.at(1).value};
  };
  const auto [A, D] = fitted(s);
  EXPECT_NEAR(A, truthOf(Field::A), 1e-3);
  EXPECT_NEAR(D, truthOf(Field::D), 1e-3);

  // The same stretch from 10 mm of free fiber of the truth's area.
  fb::FitSettings free = s;
  const double Ef = 10 / (kCompliance * 1000 * std::stod(truthLaw()[Field::Af]));  // GPa
  for (fb::PulloutSpecimen& test : free.pullouts) test.stretch = {10, Ef, 0};
  const auto [freeA, freeD] = fitted(free);
  EXPECT_NEAR(freeA, A, 1e-6);
  EXPECT_NEAR(freeD, D, 1e-6);

  fb::FitSettings untold = s;
  for (fb::PulloutSpecimen& test : untold.pullouts) test.stretch = {};
  EXPECT_GT(fitted(untold).second, truthOf(Field::D) + 0.01);  // the stretch read as a later peak
}

TEST(PulloutFit, inclined_tests_recover_snubbing_and_strength_reduction) {
  fb::FitSettings s;
  s.base = truthLaw();
  s.base[Field::fp0] = "0.2";
  s.base[Field::fd0] = "0";
  s.base[Field::strengthReduction] = "0.1";
  s.free = {{Field::fp0, 0, 1.5}, {Field::fd0, -0.5, 1}, {Field::strengthReduction, 0, 1.5}};
  std::uint64_t seed = 30;
  for (double angle : {30.0, 45.0, 60.0}) s.pullouts.push_back(pulloutTest(truthLaw(), 3, angle, 0.01, seed++));
  s.starts = 6;
  const fb::FitResult r = fb::fitMeasuredCurves(s);
  ASSERT_EQ(r.inputs.size(), 3u);
  for (const fb::FittedInput& in : r.inputs) {
    EXPECT_LE(in.low, truthOf(in.field)) << in.text;
    EXPECT_GE(in.high, truthOf(in.field)) << in.text;
    EXPECT_LT(in.high - in.low, 0.2) << in.text;
  }
  for (const fb::FitWarning& w : r.warnings) ADD_FAILURE() << w.text;
  ASSERT_TRUE(r.adequacy);
  EXPECT_TRUE(r.adequacy->adequate) << fb::adequacyText(*r.adequacy);
}

// Two stages: the law from straight tests, then snubbing and strength
// reduction from inclined ones with the law held. Holding the law's report
// as a prior fits stage 2 again at each end of the law's intervals, its
// coefficients moved together as their profiles moved them, and widens
// stage 2's intervals by the shifts: wider, but not by the several-fold that
// moving each correlated coefficient alone would give.
TEST(PulloutFit, a_second_stage_holding_the_first_widens_its_intervals_by_the_first_stages_uncertainty) {
  const fb::FitSettings first = straightFit(0.02);
  const fb::FitResult law = fb::fitMeasuredCurves(first);
  const auto prior = fb::parseFitPrior(fb::fitReportJson(first, law), "law.json");
  ASSERT_TRUE(prior) << prior.error();
  fb::FitSettings s;
  s.base = law.texts;
  s.free = {{Field::fp0, 0, 1.5}, {Field::fd0, -0.5, 1}, {Field::strengthReduction, 0, 1.5}};
  std::uint64_t seed = 60;
  for (double angle : {30.0, 45.0, 60.0}) s.pullouts.push_back(pulloutTest(truthLaw(), 3, angle, 0.02, seed++));
  s.starts = 4;
  s.prior = *prior;
  s.priorName = "law.json";
  ASSERT_TRUE(fb::checkFitPrior(s)) << fb::checkFitPrior(s).error();
  const fb::FitResult r = fb::fitMeasuredCurves(s);
  ASSERT_EQ(r.inputs.size(), 3u);
  double widest = 0;
  for (const fb::FittedInput& in : r.inputs) {
    ASSERT_TRUE(in.fitInterval) << in.text;
    const auto [low, high] = *in.fitInterval;
    EXPECT_LE(in.low, low) << in.text;
    EXPECT_GE(in.high, high) << in.text;
    if (in.field != Field::strengthReduction) widest = std::max(widest, (in.high - in.low) / (high - low));
  }
  EXPECT_GT(widest, 1.03);
  EXPECT_LT(widest, 2.5);
  const std::string text = fb::fitReportText(s, r);
  EXPECT_NE(text.find("intervals widened by the stage-1 fit of law.json: stage 2 fitted again with each of Aa, Ba"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("(stage 2 alone: "), std::string::npos) << text;
  EXPECT_NE(fb::fitReportJson(s, r).find("\"prior\": {\"file\": \"law.json\", \"inputs\": [\"Aa\""), std::string::npos);

  // A prior input fitted again here, or held at another value, is refused.
  fb::FitSettings twice = s;
  twice.free.push_back({Field::A, 0.1, 3});
  EXPECT_NE(fbtest::reasonOf(fb::checkFitPrior(twice)).find("A is fitted here and was fitted in stage 1"),
            std::string::npos);
  fb::FitSettings other = s;
  other.base[Field::D] = "0.3";
  EXPECT_NE(fbtest::reasonOf(fb::checkFitPrior(other)).find("D is 0.3 here but stage 1 found"), std::string::npos);
}

TEST(PulloutFit, standard_deviations_given_too_large_widen_the_intervals_and_never_narrow_them) {
  // chi-square per degree of freedom far below 1 says the deviations were
  // overstated; the intervals then keep the deviations' own width rather
  // than shrink with the fit's scatter.
  fb::FitSettings s;
  s.base = truthLaw();
  s.free = {{Field::fp0, 0, 1.5}, {Field::fd0, -0.5, 1}};
  std::uint64_t seed = 30;
  for (double angle : {30.0, 45.0}) s.pullouts.push_back(pulloutTest(truthLaw(), 3, angle, 0.01, seed++));
  const auto widthWith = [&](double sdOfPeak) {
    fb::FitSettings weighted = s;
    for (fb::PulloutSpecimen& test : weighted.pullouts) {
      double peak = 0;
      for (const fb::PulloutPoint& p : test.measured) peak = std::max(peak, p.load);
      for (fb::PulloutPoint& p : test.measured) p.sd = sdOfPeak * peak;
    }
    const fb::FitResult r = fb::fitMeasuredCurves(weighted);
    return r.inputs.at(0).high - r.inputs.at(0).low;
  };
  const double right = widthWith(0.01), tenfold = widthWith(0.1);
  EXPECT_GT(tenfold, 5 * right) << right << " " << tenfold;
}

TEST(PulloutFit, an_input_the_differences_see_no_effect_of_is_judged_by_its_profile) {
  // With these draws the Jacobian's step crosses no rupture, so its column of
  // the strength reduction is nil; the profile finds the ruptures.
  fb::FitSettings s;
  s.base = truthLaw();
  s.free = {{Field::fp0, 0, 1.5}, {Field::strengthReduction, 0, 1.5}};
  std::uint64_t seed = 36;
  for (double angle : {30.0, 45.0, 60.0}) s.pullouts.push_back(pulloutTest(truthLaw(), 3, angle, 0.01, seed++));
  const fb::FitResult r = fb::fitMeasuredCurves(s);
  ASSERT_EQ(r.inputs.size(), 2u);
  EXPECT_LE(r.inputs[1].low, 0.5);
  EXPECT_GE(r.inputs[1].high, 0.5);
  EXPECT_LT(r.inputs[1].high - r.inputs[1].low, 0.2);
  for (const fb::FitWarning& w : r.warnings) ADD_FAILURE() << w.text;
}

TEST(PulloutFit, a_joint_fit_weighs_each_curve_by_its_own_scale_and_reports_both_differences) {
  fb::FitSettings s;
  s.base = truthLaw();
  s.base[Field::A] = "1.5";
  s.free = {{Field::A, 0.1, 3}};
  s.pullouts = {pulloutTest(truthLaw(), 2, 0, 0.01, 1), pulloutTest(truthLaw(), 5, 0, 0.01, 2)};
  fb::CurveRunner runner;
  const auto curve = runner.run(truthLaw(), 1.5);
  std::vector<fb::MeasuredPoint> measured;
  for (int i = 1; i <= 12; ++i) measured.push_back({0.125 * i, *fb::stressAt(curve.steps, 0.125 * i), 0});
  s.specimens = {{"tension.csv", {}, measured}};

  // Loads and stresses count relative to their curve's largest value; with
  // standard deviations everywhere, those decide.
  const std::vector<double> scales = s.residualScales();
  ASSERT_EQ(scales.size(), 12u + 80u);
  double peakStress = 0, peakLoad = 0;
  for (const auto& m : measured) peakStress = std::max(peakStress, m.sigma);
  for (const auto& m : s.pullouts[0].measured) peakLoad = std::max(peakLoad, std::abs(m.load));
  EXPECT_EQ(scales[0], peakStress);
  EXPECT_EQ(scales[12], peakLoad);
  fb::FitSettings alone = s;
  alone.specimens.clear();
  EXPECT_EQ(alone.residualScales()[0], 1.0);  // one kind alone: the plain sum of squares
  fb::FitSettings weighted = s;
  for (auto& m : weighted.specimens[0].measured) m.sd = 0.05;
  EXPECT_TRUE(fbtest::reasonOf(fb::checkFitSettings(weighted)).find("either every curve gives standard deviations") !=
              std::string::npos);
  for (auto& test : weighted.pullouts)
    for (auto& m : test.measured) m.sd = 0.02;
  EXPECT_EQ(weighted.residualScales()[12], 0.02);

  s.starts = 1;
  const fb::FitResult r = fb::fitMeasuredCurves(s);
  ASSERT_EQ(r.inputs.size(), 1u);
  EXPECT_NEAR(r.inputs[0].value, 0.5, 0.01);
  ASSERT_TRUE(r.pulloutRmsAfter);
  EXPECT_NE(r.rmsAfter, *r.pulloutRmsAfter);  // the stress RMS (MPa) and the load RMS (N) apart
  EXPECT_LT(r.rmsAfter, 0.05 * peakStress);
  EXPECT_EQ(r.rmsAfter, fb::compareMeasured(runner.run(fb::fittedRunTexts(s, r), 1.5).steps, measured)->rms)
      << "the stresses' RMS alone, as a run of the fitted inputs reports it";
}

// A fiber across the crack plane is a test the model knows; its angle turns
// into the inclination with the runs' own pi, so a test at a class angle is
// that class's fiber, bit for bit.
TEST(PulloutFit, a_tests_angle_runs_to_90_degrees_and_converts_as_the_runs_angles_do) {
  EXPECT_TRUE(fb::checkPulloutAngle(0));
  EXPECT_TRUE(fb::checkPulloutAngle(90));
  EXPECT_FALSE(fb::checkPulloutAngle(std::nextafter(90.0, 91.0)));
  EXPECT_FALSE(fb::checkPulloutAngle(-0.001));
  const double runs = fb::deriveValues(fb::readParameterSet(truthLaw()).params).degToRad;
  for (int angle : {2, 30, 46, 90}) EXPECT_EQ(fb::pulloutInclination(angle), angle * runs) << angle;
}

TEST(PulloutFit, a_test_beyond_the_models_fibers_or_setting_a_fitted_input_is_refused) {
  fb::FitSettings s;
  s.base = truthLaw();
  s.free = {{Field::A, 0.1, 3}};
  s.pullouts = {pulloutTest(truthLaw(), 3, 0, 0, 1)};
  EXPECT_TRUE(fb::checkFitSettings(s));
  s.base[Field::Lf] = "6";
  EXPECT_TRUE(fb::checkFitSettings(s)) << "embedded by half the fiber, the most the model holds";
  s.base[Field::Lf] = "5";
  s.pullouts[0].name = "p.csv";
  s.pullouts[0].lbLine = 4;
  EXPECT_EQ(fbtest::reasonOf(fb::checkFitSettings(s)),
            "--pullout p.csv:4: lb = 3 mm lies beyond the longest embedded length of the model, Lf/2 = 2.5 mm");
  s.pullouts[0].inputs = {{Field::Lf, "12"}};  // the test's own fiber is long enough
  EXPECT_TRUE(fb::checkFitSettings(s));
  s.pullouts[0].inputs = {{Field::A, "1"}};
  EXPECT_NE(fbtest::reasonOf(fb::checkFitSettings(s)).find("p.csv sets A, which the fit varies"), std::string::npos);
}

// The law pulls the fiber of the model's inputs: a fit refuses what a run
// of them refuses, in the run's words, whichever test's inputs it lies in.
TEST(PulloutFit, inputs_a_run_refuses_refuse_the_fit_with_the_runs_message) {
  struct Case {
    Field field;
    const char* text;
    bool ownInput;  // set by the second test itself, else by the base
  };
  for (const Case& c :
       {Case{Field::Af, "-0.0012566", false}, Case{Field::Af, "abc", false}, Case{Field::Vf, "2", true}}) {
    fb::FitSettings s;
    s.base = truthLaw();
    s.free = {{Field::A, 0.1, 3}};
    s.pullouts = {pulloutTest(truthLaw(), 3, 0, 0, 1), pulloutTest(truthLaw(), 2, 0, 0, 2)};
    s.starts = 2;
    fb::FieldTexts refused = s.base;
    refused[c.field] = c.text;
    if (c.ownInput)
      s.pullouts[1].inputs.push_back({c.field, c.text});
    else
      s.base = refused;
    const auto run = fb::CurveRunner().run(refused, 1);
    ASSERT_TRUE(run.refusal) << c.text;
    const fb::FitResult r = fb::fitMeasuredCurves(s);
    EXPECT_TRUE(r.inputs.empty()) << c.text;
    ASSERT_TRUE(r.refusal) << c.text;
    EXPECT_EQ(r.refusal->message, (c.ownInput ? s.pullouts[1].name : s.pullouts[0].name) + ": " + run.refusal->message);
    EXPECT_EQ(r.refusal->field, run.refusal->field);
  }
}

TEST(PulloutFit, starts_the_model_refuses_leave_no_refusal_on_a_fit_that_found_its_answer) {
  fb::FitSettings s;
  s.base = truthLaw();
  // Half the fiber areas the hypercube draws are negative: those starts are refused.
  s.free = {{Field::A, 0.1, 3}, {Field::Af, -0.0025, 0.0025}};
  s.pullouts = {pulloutTest(truthLaw(), 3, 0, 0, 1), pulloutTest(truthLaw(), 2, 0, 0, 2)};
  s.starts = 6;
  const fb::FitResult r = fb::fitMeasuredCurves(s);
  ASSERT_EQ(r.outcome, fb::FitOutcome::fitted);
  EXPECT_FALSE(r.inputs.empty());
  EXPECT_FALSE(r.refusal) << r.refusal->message;
  bool refusedStart = false;
  for (const fb::FitEvaluation& e : r.log) refusedStart = refusedStart || (e.phase.starts_with("start") && !e.rms);
  EXPECT_TRUE(refusedStart) << "some start was refused";
}

TEST(PulloutFit, a_search_that_ends_with_rupturing_fibers_is_joined_by_starts_where_they_pull_out) {
  // The law's fiber of 3 mm pulls out below its rupture load of 1.76 N
  // (1400 MPa on 0.0012566 mm2) for A up to about 1.0; the one start given
  // lies far above, where it ruptures.
  fb::FitSettings s;
  s.base = truthLaw();
  s.base[Field::A] = "2.8";
  s.free = {{Field::A, 0.1, 3}};
  s.pullouts = {pulloutTest(truthLaw(), 3, 0, 0.01, 3)};
  s.starts = 1;
  const std::vector<bool> pulls = fb::ruptureRegime(s, {0.5}), ruptures = fb::ruptureRegime(s, {2.8});
  EXPECT_EQ(pulls, std::vector<bool>{false});
  EXPECT_EQ(ruptures, std::vector<bool>{true});
  const auto starts = fb::otherRegimeStarts(s, ruptures, 64, 2, 9);
  ASSERT_EQ(starts.size(), 2u);
  for (const auto& u : starts) EXPECT_EQ(fb::ruptureRegime(s, {0.1 + u[0] * 2.9}), pulls) << u[0];
  EXPECT_TRUE(fb::otherRegimeStarts(s, pulls, 64, 2, 9).size() == 2u);

  const fb::FitResult r = fb::fitMeasuredCurves(s);
  ASSERT_EQ(r.inputs.size(), 1u);
  EXPECT_LE(r.inputs[0].low, 0.5);
  EXPECT_GE(r.inputs[0].high, 0.5);
  // Whichever side the given start ended on, the other was searched too.
  bool searchedBoth = false;
  for (const fb::FitEvaluation& e : r.log) searchedBoth = searchedBoth || e.phase.ends_with("(other regime)");
  EXPECT_TRUE(searchedBoth);
  EXPECT_EQ(r.startCount, 3);
}

using PulloutCommand = fbtest::CliFolder;

TEST_F(PulloutCommand, the_predicted_bridging_curve_is_the_run_of_the_saved_inputs_byte_for_byte) {
  for (double lb : {1.5, 4.0}) {
    std::string text = "# lb = " + fb::formatShortest(lb) + "\nslip (mm),load (N)\n";
    for (const fb::PulloutPoint& m : pulloutTest(truthLaw(), lb, 0, 0.01, 5).measured)
      text += fb::exactText(m.slip) + "," + fb::exactText(m.load) + "\n";
    fbtest::writeFile(at("p" + fb::formatShortest(lb) + ".csv"), text);
  }
  // The fiber and its law as made, but A and D, which the tests decide again.
  const std::vector<std::string> fiber{"--division", "12",   "--Af", "0.0012566", "--ruptureStrength",
                                       "1400",       "--Aa", "0.3",  "--Ba",      "0.5",
                                       "--Ca",       "0.01", "--Da", "0.05",      "--B",
                                       "0.5",        "--C",  "0.05"};
  std::vector<std::string> args = fiber;
  for (const char* a :
       {"--pullout",    "p1.5.csv", "--pullout", "p4.csv",        "--fit",         "A=0.1:3",    "--fit",  "D=0.02:1",
        "--fit-starts", "3",        "-o",        "predicted.p-d", "--save-inputs", "law.inputs", "--plot", "fit.svg",
        "--fit-report", "fit.json", "--fit-log", "log.csv"})
    args.push_back(a);
  const fbtest::Outcome fit = run(args);
  ASSERT_EQ(fit.status, 0) << fit.err;
  EXPECT_NE(fit.out.find("to 80 measured points of 2 pullout tests"), std::string::npos) << fit.out;
  EXPECT_NE(fit.out.find("RMS difference to the pullout curves: "), std::string::npos) << fit.out;
  EXPECT_EQ(fit.out.find("MPa"), std::string::npos) << fit.out;
  // The saved set is the given inputs with the fitted law (A about 0.5, not the window's 3).
  const std::string saved = fbtest::readFile(at("law.inputs"));
  const auto A = saved.find("\nA = ");
  ASSERT_NE(A, std::string::npos) << saved;
  EXPECT_NEAR(std::stod(saved.substr(A + 5)), 0.5, 0.01) << saved;
  EXPECT_NE(saved.find("fitted to p1.5.csv p4.csv"), std::string::npos) << saved;
  ASSERT_EQ(run({"--inputs", "law.inputs", "-o", "again.p-d"}).status, 0);
  EXPECT_EQ(fbtest::withoutClockLine(fbtest::readFile(at("again.p-d"))),
            fbtest::withoutClockLine(fbtest::readFile(at("predicted.p-d"))));
  const std::string svg = fbtest::readFile(at("fit.svg"));
  EXPECT_NE(svg.find("Pullout load P (N)"), std::string::npos);
  EXPECT_NE(svg.find("lb 4 mm, angle 0°"), std::string::npos);
  EXPECT_EQ(svg.find("Bridging stress"), std::string::npos);  // no bridging curve: no stress panel
  EXPECT_NE(fbtest::readFile(at("fit.json")).find("\"pullout_rms\": "), std::string::npos);
  EXPECT_EQ(fbtest::lines(fbtest::readFile(at("log.csv")))[0], "phase,A,D,RMS difference to measured (N),note");

  fbtest::writeFile(at("long.csv"), "# lb = 7\n0,0\n1,1\n");
  fbtest::writeFile(at("bad.csv"), "# lb = 2\n0,0\n2.5,1\n");
  fbtest::writeFile(at("again.csv"), fbtest::readFile(at("p4.csv")));
  fbtest::writeFile(at("inclined.csv"), "# angle = 30\n" + fbtest::readFile(at("p4.csv")));
  expectRefused({
      {{"--pullout", "p4.csv", "-o", "x.p-d"}, "--pullout goes with --fit"},
      {{"--pullout", "bad.csv", "--fit", "A=0.1:3"}, "bad.csv:3: slip 2.5 mm lies beyond lb = 2 mm"},
      {{"--pullout", "long.csv", "--fit", "A=0.1:3"}, "long.csv:1: lb = 7 mm lies beyond the longest embedded"},
      {{"--pullout", "p4.csv", "--pullout", "p4.csv", "--fit", "A=0.1:3", "--save-inputs", "p4.csv"},
       "name the same file"},
      {{"--pullout", "p4.csv", "--pullout", "again.csv", "--fit", "A=0.1:3"},
       "hold the same test; give each test once"},
      // Inclined, the same points are another test: the fit goes on to the next check.
      {{"--pullout", "p4.csv", "--pullout", "inclined.csv", "--pullout", "long.csv", "--fit", "A=0.1:3"},
       "long.csv:1: lb = 7 mm lies beyond"},
      // A stage-1 report held by a second stage: only by a fit, of other inputs, at the values it found.
      {{"--fit-prior", "fit.json", "-o", "x.p-d"}, "--fit-prior goes with --fit"},
      {{"--pullout", "inclined.csv", "--fit", "A=0.1:3", "--fit-prior", "fit.json"},
       "--fit-prior fit.json: A is fitted here and was fitted in stage 1"},
      {{"--pullout", "inclined.csv", "--fit", "fp0=0:1", "--fit-prior", "fit.json"},
       "--fit-prior fit.json: A is 3 here but stage 1 found"},
      {{"--pullout", "inclined.csv", "--fit", "fp0=0:1", "--fit-prior", "long.csv"}, "long.csv:1: not JSON"},
  });
  EXPECT_FALSE(std::filesystem::exists(at("x.p-d")));
  // Inputs that a run refuses: the fit fails with the run's message.
  expectRefused({{{"--Af", "-0.0012566", "--pullout", "p4.csv", "--fit", "A=0.1:3"},
                  "no start of the fit gave a run the model accepts: Af (fiber sectional area) must be positive"}},
                1);
}

}  // namespace
