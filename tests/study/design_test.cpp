// Strain-hardening design: the complementary energy and the PSH indices, the
// scatter's distributions, samples and band, and the command line's options.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <vector>

#include "engine/number_reader.h"
#include "run/curve_runner.h"
#include "study/design/design_indices.h"
#include "study/design/jb_resolution.h"
#include "study/design/latin_hypercube.h"
#include "study/design/scatter.h"
#include "study/inputs/input_set.h"
#include "study/studies/metrics.h"
#include "study/studies/summaries.h"
#include "study/studies/summary_metrics.h"
#include "tests/support/cli_folder.h"
#include "tests/support/hand_curves.h"
#include "tests/support/reason.h"

namespace {

using fb::Field;
using fbtest::curve;

TEST(DesignIndices, complementary_energy_of_hand_made_curves_counts_only_the_rise_to_the_peak) {
  const struct {
    const char* what;
    std::vector<fb::StepResult> steps;
    double Jb;  // J/m2
  } cases[] = {
      // 4 MPa x 1 mm less the area 2 under the rise, in N/mm, times 1000.
      {"rise and fall", curve({{0, 0}, {1, 4}, {2, 3}}), 2000},
      // A dip before the peak: area 0.125 + 0.525 under the rise to 3 MPa at 0.4 mm.
      {"dip before peak", curve({{0, 2}, {0.1, 0.5}, {0.4, 3}, {1.4, 0}}), 550},
      // Equal forces: the later step is the peak, so the plateau counts.
      {"plateau", curve({{0, 0}, {1, 2}, {3, 2}, {4, 0}}), 1000},
      {"peak at the start", curve({{0, 5}, {1, 1}}), 0},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(fb::curveMetrics(c.steps).complementaryEnergy, c.Jb, 1e-9 * (1 + c.Jb)) << c.what;
}

TEST(DesignIndices, crack_tip_toughness_from_Km_in_MPa_root_m_and_Em_in_GPa_is_in_J_per_m2) {
  EXPECT_DOUBLE_EQ(fb::crackTipToughness(0.5, 20), 12.5);
  const auto margins = fb::parsePshMargins("2.5, 1.2");
  ASSERT_TRUE(margins);
  EXPECT_EQ(margins->energy, 2.5);
  EXPECT_EQ(margins->strength, 1.2);
  for (const char* bad : {"3", "3,1.3,1", "3,x", "0,1.3", "-1,2", "3,inf"})
    EXPECT_FALSE(fb::parsePshMargins(bad)) << bad;
}

TEST(DesignIndices, summary_line_and_csv_add_the_design_columns_at_the_end) {
  fb::RunSummary s;
  s.dataFile = "run.p-d";
  s.headerWritten = true;
  fb::RunMetrics f;
  f.curve = fb::curveMetrics(curve({{0, 0}, {1, 4}, {2, 3}}));
  const fb::MatrixProperties matrix{500, 2, {3, 1.3}};
  EXPECT_NE(fb::summaryLine(s, f, false).find(", J'b 2000.000 J/m2; written to"), std::string::npos);
  EXPECT_NE(fb::summaryLine(s, f, false, matrix)
                .find("PSH energy index 4.000 and strength index 2.000: meets the margins 3 and 1.3 (as given)"),
            std::string::npos)
      << fb::summaryLine(s, f, false, matrix);
  EXPECT_NE(fb::summaryLine(s, f, false, fb::MatrixProperties{500, 2, {}})
                .find("meets the margins 2.7 and 1.3 (Kanda and Li 2006)"),
            std::string::npos);
  // Each margin alone can fail the design, and a margin that is only reached is not exceeded.
  for (const fb::PshMargins margins : {fb::PshMargins{5, 1.3}, {3, 2.5}, {4, 1.3}, {3, 2}})
    EXPECT_FALSE(fb::pshIndices(*f.curve, {500, 2, margins}).meetsMargins) << margins.energy << " " << margins.strength;

  const std::vector<fb::Sweep> sweeps{{fb::Field::Vf, "Vf=0.02", {"0.02"}}};
  const std::vector<fb::GridRun> runs{{{"0.02"}, {0}, "Vf=0.02", "Vf=0.02", {}}};
  std::vector<fb::RunOutcome> outcomes(1);
  outcomes[0].status = fb::RunStatus::finished;
  outcomes[0].metrics = f;
  outcomes[0].summary = s;
  const auto without = fbtest::lines(fb::studySummaryCsv(sweeps, runs, outcomes, {}));
  EXPECT_TRUE(
      without[0].ends_with(",message,sigma0 (MPa),delta0 (mm),J'b (J/m2),PSH energy index,PSH strength "
                           "index,meets margins,J'b resolved"))
      << without[0];
  EXPECT_TRUE(without[1].ends_with(",,4,1,2000,,,,")) << without[1];  // J'b not checked: no word on it
  outcomes[0].metrics.jb = fb::JbResolution{true, 6, "", std::nullopt};
  const auto with = fbtest::lines(fb::studySummaryCsv(sweeps, runs, outcomes, {}, matrix));
  EXPECT_TRUE(with[1].ends_with(",,4,1,2000,4,2,yes,yes")) << with[1];
  // Not resolved: the column says no, and the message which division resolves it.
  outcomes[0].metrics.jb = fb::JbResolution{false, 6, "the peak lies at step 2", 24};
  const auto missing = fbtest::lines(fb::studySummaryCsv(sweeps, runs, outcomes, {}, fb::MatrixProperties{500, 4, {}}));
  EXPECT_TRUE(missing[1].ends_with(
      ",\"J'b not resolved at division 6: the peak lies at step 2; division 24 resolves it\",4,1,2000,4,1,no,no"))
      << missing[1];

  EXPECT_EQ(fb::summaryMetricByName("J'b (J/m2)"), fb::SummaryMetric::complementaryEnergy);
  EXPECT_EQ(fb::summaryMetricByName("strength-index"), fb::SummaryMetric::strengthIndex);
  EXPECT_EQ(fb::summaryMetricValue(fb::SummaryMetric::energyIndex, f, matrix), 4.0);
  EXPECT_FALSE(fb::summaryMetricValue(fb::SummaryMetric::energyIndex, f, std::nullopt));
  EXPECT_FALSE(fb::summaryMetricValue(fb::SummaryMetric::rms, f, matrix));
}

// A law that peaks within a micrometre at short embedded lengths puts the
// curve's peak in the first steps: J'b then follows the division. The
// example sample's J'b settles at its own division.
TEST(JbResolution, a_peak_within_a_micrometre_is_not_resolved_and_the_named_division_resolves_it) {
  fb::Calculator calculator(1);
  const auto check = [&](fb::FieldTexts texts, int division) {
    texts[Field::division] = std::to_string(division);
    const auto curve = fb::CurveRunner::run(calculator, texts, std::numeric_limits<double>::infinity());
    EXPECT_FALSE(curve.refusal);
    return fb::checkJbResolution(texts, curve.steps, calculator);
  };
  fb::FieldTexts sharp = fb::FieldTexts::defaults();
  for (const auto& [field, text] : {std::pair{Field::Ca, "0"},
                                    {Field::Da, "0.0001"},
                                    {Field::C, "0.1"},
                                    {Field::D, "0.001"},
                                    {Field::A, "2"},
                                    {Field::B, "0"}})
    sharp[field] = text;
  const fb::JbResolution coarse = check(sharp, 10);
  EXPECT_FALSE(coarse.resolved);
  EXPECT_EQ(coarse.why, "the peak lies at step 1");
  ASSERT_TRUE(coarse.resolvingDivision);
  EXPECT_GT(*coarse.resolvingDivision, 10);
  EXPECT_EQ(fb::jbResolutionText(coarse), "not resolved at division 10: the peak lies at step 1; division " +
                                              std::to_string(*coarse.resolvingDivision) + " resolves it");
  // Past the first steps, it is J'b's move at twice the division that tells.
  const fb::JbResolution middle = check(sharp, 100);
  EXPECT_FALSE(middle.resolved);
  EXPECT_EQ(middle.why.rfind("J'b moves by ", 0), 0u) << middle.why;
  EXPECT_TRUE(check(sharp, *coarse.resolvingDivision).resolved);
  EXPECT_EQ(check(sharp, 1000).why, "J'b moves by 4.7 % at division 2000");  // just beyond the 2 %

  const fb::InputSet sample = fb::readInputSet(FB_SOURCE_DIR "/examples/sample.inputs").value();
  fb::FieldTexts texts = fb::FieldTexts::defaults();
  for (const auto& [field, text] : sample.values) texts[field] = text;
  EXPECT_TRUE(check(texts, 40).resolved);
  EXPECT_TRUE(check(fb::FieldTexts::defaults(), 30).resolved);

  fb::JbTally tally;
  for (const fb::JbResolution& r : {coarse, middle, fb::JbResolution{}}) tally.add(r);
  EXPECT_EQ(tally.text("runs"), "J'b is not resolved in 2 of 3 runs; division " +
                                    std::to_string(std::max(*coarse.resolvingDivision, *middle.resolvingDivision)) +
                                    " resolves them all");
}

TEST(Scatter, distributions_quantiles_and_spreads_match_their_definitions) {
  EXPECT_NEAR(fb::normalQuantile(0.975), 1.959963984540054, 1e-14);
  EXPECT_NEAR(fb::normalQuantile(0.5), 0, 1e-15);
  EXPECT_NEAR(fb::normalQuantile(0.01), -2.3263478740408408, 1e-13);
  EXPECT_NEAR(fb::normalQuantile(1e-10), -6.361340902404056, 1e-11);
  EXPECT_NEAR(fb::normalQuantile(0.999), 3.090232306167813, 1e-12);

  const auto input = [](const char* text) { return fb::parseScatter(text).value(); };
  EXPECT_DOUBLE_EQ(fb::drawnValue(input("Vf=normal:0.02:0.004"), 0.975), 0.02 + 0.004 * 1.959963984540054);
  EXPECT_DOUBLE_EQ(fb::drawnValue(input("Vf=uniform:0.01:0.03"), 0.25), 0.015);
  // A lognormal of mean m and sd s has its median at m / sqrt(1 + (s/m)^2).
  EXPECT_NEAR(fb::drawnValue(input("A=lognormal:4:3"), 0.5), 4 / std::sqrt(1 + 9.0 / 16), 1e-12);
  EXPECT_NEAR(fb::drawnValue(input("A=lognormal:4:3"), 0.975),
              4 / std::sqrt(1 + 9.0 / 16) * std::exp(std::sqrt(std::log(1 + 9.0 / 16)) * 1.959963984540054), 1e-12);

  const fb::Spread s = fb::spreadOf({5, 1, 4, 2, 3});
  EXPECT_DOUBLE_EQ(s.mean, 3);
  EXPECT_DOUBLE_EQ(s.sd, std::sqrt(2.5));
  EXPECT_DOUBLE_EQ(s.p05, 1.2);
  EXPECT_DOUBLE_EQ(s.p50, 3);
  EXPECT_DOUBLE_EQ(s.p95, 4.8);
  const fb::Spread one = fb::spreadOf({7});
  EXPECT_EQ(one.sd, 0);
  EXPECT_EQ(one.p05, 7);
  EXPECT_EQ(one.p95, 7);

  const struct {
    const char* text;
    const char* says;
  } bad[] = {
      {"Vf", "expected NAME="},
      {"Vff=normal:1:2", "unknown input name"},
      {"Vf=normal:1", "expected NAME=normal"},
      {"Vf=gauss:1:2", "\"gauss\" is not a distribution"},
      {"Vf=normal:x:2", "MEAN is not a number"},
      {"Vf=normal:1:-2", "SD must not be negative"},
      {"Vf=lognormal:0:1", "lognormal MEAN must be positive"},
      {"Vf=uniform:2:1", "LO must not exceed HI"},
      {"Vf=uniform:1:2y", "HI is not a number"},
      {"division=normal:30:2", "division is a whole number of steps"},
  };
  for (const auto& b : bad) {
    const std::string reason = fbtest::reasonOf(fb::parseScatter(b.text));
    EXPECT_NE(reason.find(b.says), std::string::npos) << b.text << ": " << reason;
    EXPECT_EQ(reason.rfind("--scatter ", 0), 0u) << reason;
  }
}

TEST(Scatter, samples_fill_every_cell_of_the_hypercube_once_and_repeat_with_their_seed) {
  const fb::FieldTexts base = fb::FieldTexts::defaults();
  const std::vector<fb::ScatterInput> inputs{fb::parseScatter("Vf=uniform:0:1").value(),
                                             fb::parseScatter("fp0=uniform:0:1").value()};
  const auto samples = fb::scatterSamples(base, inputs, 16, 7);
  ASSERT_EQ(samples.size(), 16u);
  double within = 0;  // where each sample lies in its cell, from 0 to 1
  for (fb::Field f : {fb::Field::Vf, fb::Field::fp0}) {
    std::vector<int> cells(16);
    for (const auto& s : samples) {
      const double at = fb::numberReader(s.texts[f]) * 16;
      ++cells[static_cast<int>(at)];
      within += at - std::floor(at);
    }
    EXPECT_EQ(std::count(cells.begin(), cells.end(), 1), 16);
  }
  EXPECT_NEAR(within / 32, 0.5, 0.15) << "anywhere in its cell, not on one of its edges";
  EXPECT_EQ(samples[0].name, "sample-0001");
  EXPECT_EQ(samples[3].texts[fb::Field::Lf], base[fb::Field::Lf]);
  EXPECT_EQ(fb::scatterSamples(base, inputs, 16, 7)[5].texts[fb::Field::Vf], samples[5].texts[fb::Field::Vf]);
  EXPECT_NE(fb::scatterSamples(base, inputs, 16, 8)[5].texts[fb::Field::Vf], samples[5].texts[fb::Field::Vf]);

  // Every order of the cells is as likely as another: 600 seeds give each of
  // the 6 orders of 3 cells about 100 times.
  std::map<std::vector<int>, int> orders;
  for (std::uint64_t seed = 0; seed < 600; ++seed) {
    std::vector<int> order;
    for (const auto& point : fb::latinHypercube(3, 1, seed)) order.push_back(static_cast<int>(point[0] * 3));
    ++orders[order];
  }
  EXPECT_EQ(orders.size(), 6u);
  for (const auto& [order, count] : orders) EXPECT_GT(count, 60) << order[0] << order[1] << order[2];
}

TEST(Scatter, the_band_lies_on_the_widest_runs_steps_and_of_equal_curves_is_the_curve) {
  const auto single = curve({{0, 0}, {0.01, 1.7}, {0.3, 2.1}, {1, 1.3}, {6, 0}});
  const std::vector<std::vector<fb::StepResult>> same(5, single);
  const fb::Band band = fb::scatterBand(same);
  ASSERT_EQ(band.Wcr.size(), single.size());
  for (std::size_t k = 0; k < single.size(); ++k) {
    EXPECT_EQ(band.Wcr[k], single[k].Wcr) << k;
    for (double s : {band.sigma[k].mean, band.sigma[k].p05, band.sigma[k].p50, band.sigma[k].p95})
      EXPECT_EQ(s, single[k].sigma) << k;
    EXPECT_EQ(band.sigma[k].sd, 0) << k;
  }
  // A shorter curve is linear between its steps and 0 beyond its end; the widest sets the widths.
  const std::vector<std::vector<fb::StepResult>> two{curve({{0, 0}, {0.5, 2}}),
                                                     curve({{0, 0}, {1, 2}, {1.5, 3}, {2, 4}})};
  const fb::Band b = fb::scatterBand(two);
  ASSERT_EQ(b.Wcr, (std::vector<double>{0, 1, 1.5, 2}));
  EXPECT_EQ(b.sigma[1].mean, 1);  // 0 and 2
  EXPECT_EQ(b.sigma[3].mean, 2);  // 0 and 4
  EXPECT_EQ(fbtest::lines(fb::bandCsv(b))[0], "Wcr (mm),mean (MPa),sd (MPa),p05 (MPa),p50 (MPa),p95 (MPa)");
  const auto csv = fbtest::lines(fb::bandCsv(b));
  ASSERT_EQ(csv.size(), 5u);
  double row[6];
  ASSERT_EQ(
      std::sscanf(csv[3].c_str(), "%lf,%lf,%lf,%lf,%lf,%lf", &row[0], &row[1], &row[2], &row[3], &row[4], &row[5]), 6);
  const double expected[] = {1.5, 1.5, std::sqrt(4.5), 0.15, 1.5, 2.85};  // 0 and 3
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(row[k], expected[k], 1e-15) << k;
}

class DesignCli : public fbtest::CliFolder {};

TEST_F(DesignCli, a_scatter_writes_its_band_summary_and_plot_and_counts_refused_samples) {
  const fbtest::Outcome r = run({"--scatter",    "Vf=normal:0.02:0.002",
                                 "--samples",    "12",
                                 "--division",   "10",
                                 "--band",       "band.csv",
                                 "--plot",       "band.svg",
                                 "--output-dir", "out",
                                 "--Km",         "0.3",
                                 "--Em",         "30",
                                 "--sigma-fc",   "1.55",
                                 "--jobs",       "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("over 12 samples (seed 1): 12 finished, 0 refused"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("PSH energy index J'b/Jtip: mean "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("share meeting both PSH margins, 2.7 and 1.3 (Kanda and Li 2006): "), std::string::npos)
      << r.out;
  const auto band = fbtest::lines(fbtest::readFile(at("band.csv")));
  EXPECT_EQ(band.size(), 22u);
  const auto summary = fbtest::lines(fbtest::readFile(at("out/summary.csv")));
  ASSERT_EQ(summary.size(), 13u);
  EXPECT_EQ(summary[0].rfind("Vf,data file,status,", 0), 0u) << summary[0];
  EXPECT_NE(summary[1].find("sample-0001.p-d,finished,"), std::string::npos) << summary[1];
  EXPECT_TRUE(std::filesystem::exists(at("out/sample-0012.p-d")));
  // What standard output says of the samples is what their rows say.
  double peakSum = 0;
  int meets = 0;
  for (std::size_t i = 1; i < summary.size(); ++i) {
    double peak = 0;
    ASSERT_EQ(std::sscanf(summary[i].c_str(), "%*[^,],%*[^,],finished,%*[^,],%lf", &peak), 1) << summary[i];
    peakSum += peak;
    // "meets margins" comes before the last column, "J'b resolved".
    meets += summary[i].substr(0, summary[i].rfind(',')).ends_with(",yes");
  }
  double printedMean = 0;
  const auto peakLine = r.out.find("peak stress sigma0 (MPa): mean ");
  ASSERT_NE(peakLine, std::string::npos);
  ASSERT_EQ(std::sscanf(r.out.c_str() + peakLine, "peak stress sigma0 (MPa): mean %lf", &printedMean), 1);
  EXPECT_NEAR(printedMean, peakSum / 12, 5e-5);
  EXPECT_GT(meets, 0);
  EXPECT_LT(meets, 12);
  EXPECT_NE(r.out.find("(" + std::to_string(meets) + " of 12 finished samples)"), std::string::npos) << r.out;
  EXPECT_NE(fbtest::readFile(at("band.svg")).find("5 to 95 % of 12 samples"), std::string::npos);

  // Negative volume fractions are refused samples, not a failed scatter.
  const fbtest::Outcome some = run({"--scatter", "Vf=normal:0.002:0.004", "--samples", "10", "--division", "4"});
  EXPECT_EQ(some.status, 0) << some.err;
  int finished = -1, refused = -1;
  const auto counts = some.out.find("(seed 1): ");
  ASSERT_NE(counts, std::string::npos) << some.out;
  ASSERT_EQ(std::sscanf(some.out.c_str() + counts, "(seed 1): %d finished, %d refused", &finished, &refused), 2);
  EXPECT_EQ(finished + refused, 10);
  EXPECT_GT(refused, 0);
  EXPECT_GT(finished, 0);
  EXPECT_NE(some.out.find("the first: Vf=-"), std::string::npos) << some.out;
  const fbtest::Outcome none = run({"--scatter", "Vf=uniform:-2:-1", "--samples", "3", "--band", "none.csv"});
  EXPECT_EQ(none.status, 1);
  EXPECT_FALSE(std::filesystem::exists(at("none.csv")));
}

TEST_F(DesignCli, a_design_map_draws_the_indices_of_a_two_input_sweep) {
  const fbtest::Outcome r =
      run({"--sweep", "Vf=0.01:0.03:3", "--sweep", "fp0=0.3:0.7:3", "--division", "6", "--map", "energy-index",
           "--Jtip", "2", "--sigma-fc", "1", "--plot", "map.svg", "--output-dir", "out"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string svg = fbtest::readFile(at("map.svg"));
  for (const char* text : {"PSH energy index J'b/Jtip; contour at 2.7", "Vf, fiber volume fraction",
                           "↑ fp0, snubbing coefficient for pullout load"})
    EXPECT_NE(svg.find(text), std::string::npos) << text;
  EXPECT_TRUE(fbtest::lines(fbtest::readFile(at("out/summary.csv")))[1].ends_with(",yes") ||
              fbtest::lines(fbtest::readFile(at("out/summary.csv")))[1].ends_with(",no"));
  // Each index's map draws the contour at its own margin.
  const fbtest::Outcome strength = run({"--sweep", "Vf=0.01:0.03:3", "--sweep", "fp0=0.3:0.7:3", "--division", "6",
                                        "--map", "strength-index", "--Jtip", "2", "--sigma-fc", "1", "--psh-margins",
                                        "3,1.7", "--plot", "strength.svg", "--output-dir", "strength"});
  ASSERT_EQ(strength.status, 0) << strength.err;
  EXPECT_NE(fbtest::readFile(at("strength.svg")).find("; contour at 1.7</text>"), std::string::npos);

  // The cells come first, one polyline each, across then up: the peak stress
  // grows with Vf, so the darkest cell is in the first column and the brightest in the last.
  const fbtest::Outcome peak = run({"--sweep", "Vf=0.01:0.03:3", "--sweep", "fp0=0.3:0.7:3", "--division", "6", "--map",
                                    "peak-stress", "--plot", "peak.svg", "--output-dir", "peak"});
  ASSERT_EQ(peak.status, 0) << peak.err;
  const std::string cells = fbtest::readFile(at("peak.svg"));
  std::vector<std::string> strokes;
  for (auto at = cells.find("<polyline"); at != std::string::npos && strokes.size() < 9;
       at = cells.find("<polyline", at + 1))
    strokes.push_back(cells.substr(cells.find("stroke=\"", at) + 8, 7));
  ASSERT_EQ(strokes.size(), 9u);
  const auto darkest = std::find(strokes.begin(), strokes.end(), "#440154") - strokes.begin();
  const auto brightest = std::find(strokes.begin(), strokes.end(), "#fde725") - strokes.begin();
  EXPECT_LT(darkest, 3) << cells.substr(0, 2000);
  EXPECT_GE(brightest, 6);
  EXPECT_LT(brightest, 9);
}

TEST_F(DesignCli, the_matrix_changes_neither_the_data_file_nor_the_saved_inputs) {
  const fbtest::Outcome with = run({"-o", "with.p-d", "--division", "6", "--Km", "0.4", "--Em", "20", "--sigma-fc",
                                    "1.5", "--save-inputs", "with.inputs"});
  const fbtest::Outcome without = run({"-o", "without.p-d", "--division", "6", "--save-inputs", "without.inputs"});
  ASSERT_EQ(with.status, 0) << with.err;
  ASSERT_EQ(without.status, 0) << without.err;
  EXPECT_EQ(fbtest::withoutClockLine(fbtest::readFile(at("with.p-d"))),
            fbtest::withoutClockLine(fbtest::readFile(at("without.p-d"))));
  EXPECT_EQ(fbtest::readFile(at("with.inputs")), fbtest::readFile(at("without.inputs")));
  EXPECT_NE(with.out.find(", PSH energy index "), std::string::npos) << with.out;
}

TEST_F(DesignCli, wrong_design_options_are_usage_errors_that_name_the_option) {
  expectRefused({
      {{"-o", "x.p-d", "--Jtip", "5"}, "need --sigma-fc"},
      {{"-o", "x.p-d", "--sigma-fc", "2"}, "need --Jtip (or --Km with --Em)"},
      {{"-o", "x.p-d", "--Km", "0.5", "--sigma-fc", "2"}, "--Km and --Em go together"},
      {{"-o", "x.p-d", "--Jtip", "5", "--Km", "0.5", "--Em", "20", "--sigma-fc", "2"}, "not both"},
      {{"-o", "x.p-d", "--Jtip", "-5", "--sigma-fc", "2"}, "--Jtip \"-5\": must be a positive number"},
      {{"-o", "x.p-d", "--Jtip", "5", "--sigma-fc", "2x"}, "--sigma-fc \"2x\": must be a positive number"},
      {{"-o", "x.p-d", "--Jtip", "5", "--sigma-fc", "2", "--psh-margins", "3"}, "--psh-margins \"3\": give two"},
      {{"-o", "x.p-d", "--psh-margins", "3,1.3"}, "--psh-margins goes with the matrix"},
      {{"--sweep", "Vf=0.01,0.02", "--output-dir", "o", "--map", "peak-stress", "--plot", "m.svg"},
       "give exactly two --sweep options"},
      {{"--sweep", "Vf=0.01,0.02", "--sweep", "fp0=0.4,0.5", "--output-dir", "o", "--map", "peak-stress"},
       "--map draws into the file of --plot"},
      {{"--sweep", "Vf=0.01,0.02", "--sweep", "fp0=0.4,0.5", "--output-dir", "o", "--map", "height", "--plot", "m.svg"},
       "--map \"height\": not a metric"},
      {{"--sweep", "Vf=0.01,0.02", "--sweep", "fp0=0.4,0.5", "--output-dir", "o", "--map", "energy-index", "--plot",
        "m.svg"},
       "--map energy-index needs the matrix"},
      {{"-o", "x.p-d", "--map-level", "3"}, "--map-level goes with --map"},
      {{"--scatter", "Vf=normal:0.02"}, "--scatter \"Vf=normal:0.02\": expected"},
      {{"--scatter", "Vf=normal:0.02:0.002", "--samples", "0"}, "--samples \"0\": must be a whole number"},
      {{"--scatter", "Vf=normal:0.02:0.002", "--scatter", "Vf=uniform:0:1"}, "Vf is scattered twice"},
      {{"--scatter", "Vf=normal:0.02:0.002", "-o", "x.p-d"}, "-o names a single run's file"},
      {{"--scatter", "Vf=normal:0.02:0.002", "--sweep", "fp0=0.4,0.5"}, "--scatter goes without --sweep"},
      {{"-o", "x.p-d", "--band", "b.csv"}, "--samples and --band go with --scatter"},
      {{"-o", "x.p-d", "--samples", "10000"}, "--samples and --band go with --scatter"},  // the most samples
      {{"--scatter", "Vf=normal:0.02:0.002", "--band", "b.csv", "--plot", "b.csv"}, "a plot file must end in"},
  });
}

}  // namespace
