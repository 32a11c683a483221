// Whether a fit says when its model is wrong: the tests of the residuals,
// the outliers named by file and line, and the tails they are read against.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "study/fit/adequacy.h"
#include "study/fit/distributions.h"
#include "study/fit/uncertainty.h"

namespace {

using fb::Field;

TEST(FitDistributions, tails_and_quantiles_match_the_tables) {
  EXPECT_NEAR(fb::normalUpperQuantile(0.025), 1.959964, 1e-6);
  EXPECT_NEAR(fb::studentTUpperQuantile(0.025, 10), 2.228139, 1e-6);
  EXPECT_NEAR(fb::studentTUpperQuantile(0.025, 1), 12.706205, 1e-5);
  EXPECT_NEAR(fb::studentTUpperQuantile(0.025, 60), fb::studentT975(60), 1e-5);
  EXPECT_NEAR(fb::chiSquareUpperTail(3.841459, 1), 0.05, 1e-7);
  EXPECT_NEAR(fb::chiSquareUpperTail(124.342, 100), 0.05, 1e-5);  // the continued fraction's side
  EXPECT_NEAR(fb::chiSquareUpperTail(18.307, 10), 0.05, 1e-5);
  EXPECT_NEAR(fb::fUpperTail(4.964603, 1, 10), 0.05, 1e-6);
  EXPECT_NEAR(fb::fUpperTail(2.347878, 10, 20), 0.05, 1e-6);
  EXPECT_NEAR(fb::fUpperTail(1, 7, 7), 0.5, 1e-12);
}

// A curve of `n` points read from "curve.csv" (points on lines 3, 4, ...),
// in pairs 0.01 mm apart, 0.1 mm from pair to pair, so that a point's chord
// of its neighbours weighs them unequally; optionally with standard deviations `sd`.
fb::FitSettings curve(int n, double sd = 0) {
  fb::FitSettings s;
  s.free = {{Field::A, 0.5, 4}, {Field::D, 0.1, 1.5}};
  fb::Specimen specimen{"curve.csv", {}, {}};
  for (int i = 0; i < n; ++i) {
    const double w = 0.1 * (i / 2) + 0.01 * (i % 2) + 0.01;
    specimen.measured.push_back({w, 3 * w * std::exp(-w), sd, i + 3});
  }
  s.specimens.push_back(specimen);
  return s;
}

// The measured curve's own noise added to each of its points, `residuals` unchanged.
void addNoise(fb::FitSettings& s, double noise, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> normal(0, noise);
  for (fb::MeasuredPoint& p : s.specimens[0].measured) p.sigma += normal(random);
}

std::vector<double> gaussian(std::size_t n, double sd, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> normal(0, sd);
  std::vector<double> r(n);
  for (double& v : r) v = normal(random);
  return r;
}

TEST(FitAdequacy, residuals_like_the_points_noise_pass_and_a_pattern_as_large_fails) {
  fb::FitSettings s = curve(60);
  addNoise(s, 0.02, 1);
  const std::vector<double> noise = gaussian(60, 0.02, 2);
  const auto fine = fb::judgeAdequacy(s, noise, 2);
  ASSERT_TRUE(fine && fine->noiseRatio && fine->runsZ);
  EXPECT_TRUE(fine->adequate) << fb::adequacyText(*fine);
  double ratios = 0;
  for (std::uint64_t seed = 10; seed < 30; ++seed) {
    fb::FitSettings noisy = curve(60);
    addNoise(noisy, 0.02, seed);
    ratios += *fb::judgeAdequacy(noisy, gaussian(60, 0.02, seed + 100), 2)->noiseRatio;
  }
  EXPECT_NEAR(ratios / 20, 1, 0.06) << "the chords' noise is the points' noise";
  EXPECT_FALSE(fb::adequacyWarning(*fine));

  // A model that misses a wave: long runs of one sign, twice the noise.
  std::vector<double> wave = noise;
  for (std::size_t i = 0; i < wave.size(); ++i) wave[i] += 0.04 * std::sin(static_cast<double>(i) / 6);
  const auto wrong = fb::judgeAdequacy(s, wave, 2);
  ASSERT_TRUE(wrong);
  EXPECT_FALSE(wrong->adequate) << fb::adequacyText(*wrong);
  EXPECT_LT(*wrong->runsZ, -3);
  EXPECT_GT(*wrong->noiseRatio, 1.5);
  EXPECT_LT(*wrong->p, fb::kInadequateBelow);
  ASSERT_TRUE(fb::adequacyWarning(*wrong));
  EXPECT_NE(fb::adequacyWarning(*wrong)->text.find("does not reproduce this curve within its noise"),
            std::string::npos);

  // The same pattern far below the points' scatter is no misfit; nor is a
  // pattern within noise the size of the residuals' own.
  std::vector<double> small = wave;
  for (double& r : small) r /= 100;
  EXPECT_TRUE(fb::judgeAdequacy(s, small, 2)->adequate);
  EXPECT_GT(*fb::judgeAdequacy(s, small, 2)->p, 0) << "the runs test still sees the pattern";
  EXPECT_LT(*fb::judgeAdequacy(s, small, 2)->runsP, fb::kInadequateBelow);
}

TEST(FitAdequacy, with_standard_deviations_chi_square_decides_and_too_few_points_say_nothing) {
  const fb::FitSettings s = curve(40, 0.02);
  const auto fine = fb::judgeAdequacy(s, gaussian(40, 0.02, 3), 2);
  ASSERT_TRUE(fine && fine->chiSquare);
  EXPECT_EQ(fine->dof, 38);
  EXPECT_TRUE(fine->adequate) << fb::adequacyText(*fine);
  EXPECT_FALSE(fine->runs) << "chi-square alone judges a weighted fit";
  const auto wide = fb::judgeAdequacy(s, gaussian(40, 0.04, 3), 2);
  EXPECT_FALSE(wide->adequate) << fb::adequacyText(*wide);
  EXPECT_NEAR(*wide->chiSquare, 4 * *fine->chiSquare, 1e-9);
  EXPECT_EQ(*wide->chiSquareP, fb::chiSquareUpperTail(*wide->chiSquare, 38));

  EXPECT_FALSE(fb::judgeAdequacy(curve(2), {0.1, -0.1}, 2)) << "no degree of freedom";
}

TEST(FitOutliers, a_point_far_beyond_the_others_is_named_by_file_and_line_and_none_in_plain_noise) {
  fb::FitSettings s = curve(40);
  std::vector<double> r = gaussian(40, 0.02, 4);
  EXPECT_TRUE(fb::findOutliers(s, r, 2).empty());
  r[17] += 0.3;   // 15 sigma
  r[30] -= 0.15;  // 7.5 sigma, hidden by the first until that is set aside
  const std::vector<fb::FitOutlier> out = fb::findOutliers(s, r, 2);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].point, 17u) << "the most extreme first";
  EXPECT_EQ(out[0].line, 20);
  EXPECT_EQ(out[1].point, 30u);
  EXPECT_LT(out[1].t, 0);
  // Bonferroni over 40 points, Student's t with 40 - 2 - 1 degrees of freedom.
  EXPECT_NEAR(out[0].threshold, fb::studentTUpperQuantile(0.05 / 80, 37), 1e-12);
  EXPECT_GT(out[0].t, 8) << "measured against the others, not inflated by itself (5.1 with itself)";
  const std::string text = fb::outlierWarning(out[0], 40).text;
  EXPECT_NE(text.find("curve.csv line 20 (0.82 mm"), std::string::npos) << text;

  // A point just inside the threshold is not named.
  std::vector<double> near = gaussian(40, 0.02, 4);
  near[5] = 0;
  double others = 0;
  for (double v : near) others += v * v;
  near[5] = 0.98 * out[0].threshold * std::sqrt(others / 37);
  EXPECT_TRUE(fb::findOutliers(s, near, 2).empty());
  near[5] = 1.02 * out[0].threshold * std::sqrt(others / 37);
  EXPECT_EQ(fb::findOutliers(s, near, 2).size(), 1u);
}

TEST(FitOutliers, known_standard_deviations_floor_the_others_scatter_at_one) {
  // Residuals far inside their standard deviations: one of 3 sd is no outlier
  // (the normal threshold for 40 points is 3.23), one of 3.5 is.
  fb::FitSettings s = curve(40, 0.1);
  std::vector<double> r(40, 0.001);
  r[3] = 0.3;
  EXPECT_TRUE(fb::findOutliers(s, r, 2).empty());
  r[3] = 0.35;
  ASSERT_EQ(fb::findOutliers(s, r, 2).size(), 1u);
  EXPECT_NEAR(fb::findOutliers(s, r, 2)[0].threshold, fb::normalUpperQuantile(0.05 / 80), 1e-12);
}

TEST(FitJacobianDoubts, a_trade_off_is_an_instruction_only_where_an_interval_reaches_a_bound) {
  fb::FitSettings s = curve(10);
  fb::Estimates e;
  e.correlation = {{1, -0.995}, {-0.995, 1}};
  e.tradeOffs = {{0, 1}};
  std::vector<fb::FittedInput> inputs = {{Field::A, "1", 1, 0.9, 1.1, false, false, std::nullopt},
                                         {Field::D, "0.4", 0.4, 0.35, 0.45, false, false, std::nullopt}};
  std::vector<fb::FitWarning> warnings;
  std::vector<std::string> notes;
  fb::tradeOffReports(s, e, inputs, warnings, notes);
  EXPECT_TRUE(warnings.empty());
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("A and D trade off on this curve (correlation -0.995), yet the profiles decide both"),
            std::string::npos)
      << notes[0];
  inputs[1].highOnBound = true;
  notes.clear();
  fb::tradeOffReports(s, e, inputs, warnings, notes);
  EXPECT_TRUE(notes.empty());
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].text, "A and D trade off on this curve: fix one of them");
}

}  // namespace
