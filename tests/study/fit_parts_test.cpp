// The intervals read off hand-made profiles and the basins of hand-made
// search ends: no model runs, so every case is exact and quick.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/number_writer.h"
#include "study/fit/basins.h"
#include "study/fit/fit_prior.h"
#include "study/fit/fit_report.h"
#include "study/fit/fit_settings.h"
#include "study/fit/profiles.h"
#include "study/fit/search.h"

namespace {

using fb::Field;

// A profile point of input 0 of two: the other input where the refit left it.
fb::ProfilePoint at(double unit, double objective, double other = 0.5) {
  return {unit, objective, {unit, other}, {10 * unit, other}};
}

// Input A in 0:10 and D in 0:1, the optimum at A = 5, D = 0.5; its
// objective 0 and the threshold 1, so the margin is 1.
const std::vector<fb::FreeInput> kFree{{Field::A, 0, 10}, {Field::D, 0, 1}};
const fb::Optimum kOptimum{{0.5, 0.5}, 0, 1};

fb::ProfileInterval intervalOf(const std::vector<fb::ProfilePoint>& down, const std::vector<fb::ProfilePoint>& up) {
  return fb::profileInterval(down, up, kOptimum, 0, 5, kFree);
}

TEST(FitProfiles, each_side_ends_where_the_profile_crosses_the_threshold) {
  struct Case {
    const char* what;
    std::vector<fb::ProfilePoint> down;
    double low;
  };
  const std::vector<fb::ProfilePoint> up{at(0.75, 6.25), at(0.8, 9)};  // beyond at once: as a parabola, 0.6
  const Case cases[] = {
      // Before the first point the profile rises as a parabola from the
      // optimum: a quarter of the way up is half the way out.
      {"beyond at the first point", {at(0.3, 4), at(0.2, 9)}, 4},
      // Past a point inside, linearly between it and the first beyond.
      {"inside, then beyond", {at(0.4, 0.5), at(0.3, 2.5), at(0.2, 5)}, 3.75},
      // One point beyond alone is a jump of the stress; the next two close it.
      {"a jump, then beyond twice", {at(0.4, 2), at(0.3, 0.6), at(0.2, 4.6), at(0.1, 7)}, 2.9},
  };
  for (const Case& c : cases) {
    const fb::ProfileInterval r = intervalOf(c.down, up);
    EXPECT_NEAR(r.low, c.low, 1e-12) << c.what;
    EXPECT_NEAR(r.high, 6, 1e-12) << c.what;
    EXPECT_FALSE(r.lowOnBound || r.highOnBound) << c.what;
    EXPECT_FALSE(fb::undecidedWarning(kFree[0], r)) << c.what;
  }
  // A later stage holds the inputs where each side's profile last lay inside.
  EXPECT_EQ(intervalOf(cases[1].down, up).lowEnd, (std::vector<double>{4, 0.5}));
  EXPECT_TRUE(intervalOf(cases[0].down, up).lowEnd.empty());
}

TEST(FitProfiles, a_profile_inside_up_to_its_bound_names_the_inputs_that_moved_along) {
  // Down to A = 0 inside the threshold, D following far; up it closes.
  const fb::ProfileInterval r = intervalOf({at(0, 0.5, 0.8)}, {at(0.6, 0.5, 0.5), at(0.7, 5.5), at(0.8, 5)});
  EXPECT_EQ(r.low, 0);
  EXPECT_TRUE(r.lowOnBound);
  EXPECT_FALSE(r.highOnBound);
  EXPECT_EQ(r.partners, std::vector<Field>{Field::D});
  ASSERT_EQ(r.band.size(), 2u);  // the furthest inside point of each side
  EXPECT_EQ(r.band[0], (std::vector<double>{0, 0.8}));
  EXPECT_EQ(r.band[1], (std::vector<double>{6, 0.5}));
  const auto warning = fb::undecidedWarning(kFree[0], r);
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->text,
            "A is not decided by the measured curve: its 95 % interval reaches its bound 0; it trades off with D");
  EXPECT_EQ(warning->inputs, (std::vector<Field>{Field::A, Field::D}));
  // D hardly moved: A alone is undecided.
  const auto alone = fb::undecidedWarning(kFree[0], intervalOf({at(0, 0.5, 0.55)}, {at(0.7, 5.5), at(0.8, 5)}));
  ASSERT_TRUE(alone);
  EXPECT_EQ(alone->text, "A is not decided by the measured curve: its 95 % interval reaches its bound 0");
}

TEST(FitProfiles, the_smoothed_profile_widens_by_its_points_scatter_about_the_parabola) {
  // Points on 100 x^2 about the optimum, moved by eps * (1, -4, 6, -4, 1):
  // a change that no parabola follows, so the fit stays 100 x^2 and the
  // points scatter about it by eps * sqrt(14).
  for (const double eps : {0.0, 0.01}) {
    const fb::Optimum optimum{{0.5, 0.5}, 6 * eps, 1 + 6 * eps};
    std::vector<fb::ProfilePoint> points;
    const double xs[] = {-0.1, -0.05, 0.05, 0.1}, moves[] = {1, -4, -4, 1};
    for (int i = 0; i < 4; ++i) points.push_back(at(0.5 + xs[i], 100 * xs[i] * xs[i] + eps * moves[i]));
    const auto smooth = fb::smoothedInterval(points, optimum, 0);
    ASSERT_TRUE(smooth) << eps;
    const double half = std::sqrt((1 + 2 * eps * std::sqrt(14.0)) / 100);
    EXPECT_NEAR(smooth->first, 0.5 - half, 1e-9) << eps;
    EXPECT_NEAR(smooth->second, 0.5 + half, 1e-9) << eps;
    points.pop_back();
    EXPECT_TRUE(fb::smoothedInterval(points, optimum, 0)) << "the optimum and three points make a parabola";
    points.pop_back();
    EXPECT_FALSE(fb::smoothedInterval(points, optimum, 0)) << "three points do not make a parabola";
  }
}

// A search end: where it ended in the unit cube of A alone, and its objective.
fb::Trial end(double unit, double objective) {
  fb::Trial t;
  t.unit = {unit};
  t.values = {10 * unit};
  t.objective = objective;
  t.rms = std::sqrt(objective);
  return t;
}

const std::vector<fb::FreeInput> kA{{Field::A, 0, 10}};

std::vector<fb::FittedInput> interval(double low, double high) {
  return {{Field::A, "5", 5, low, high, false, false, std::nullopt}};
}

TEST(FitBasins, the_best_basin_reaches_over_its_intervals_and_never_less_than_the_basin_radius) {
  EXPECT_EQ(fb::bestBasinReach(kA, interval(2, 8)), std::vector<double>{0.6});
  EXPECT_EQ(fb::bestBasinReach(kA, interval(4.9, 5)), std::vector<double>{0.05});
}

TEST(FitBasins, ends_group_into_the_best_basin_and_rivals_and_only_rivals_outside_the_intervals_warn) {
  const fb::Trial best = end(0.5, 1);
  // 0.75 lies beyond the basin radius of the best but inside its interval (3 to 7).
  const std::vector<fb::Trial> ends{end(0.75, 1.02), end(0.05, 1.04), end(0.07, 1.03), end(0.95, 4), end(0.5, 1)};
  const std::vector<fb::FitBasin> basins = fb::groupBasins(ends, {}, best, fb::bestBasinReach(kA, interval(3, 7)));
  ASSERT_EQ(basins.size(), 3u);
  EXPECT_EQ(basins[0].starts, 2);
  EXPECT_EQ(basins[0].rms, 1);
  EXPECT_EQ(basins[1].starts, 2);  // 0.05 and 0.07: one basin, its best end first
  EXPECT_EQ(basins[1].values, end(0.07, 0).values);
  EXPECT_EQ(basins[2].starts, 1);
  EXPECT_EQ(basins[2].values, end(0.95, 0).values);

  // The first rival fits within 5 % and lies outside A's interval; the
  // second fits far worse.
  const std::vector<fb::FitWarning> warnings = fb::rivalWarnings(basins, 1, kA, interval(3, 7), "MPa");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].inputs, std::vector<Field>{Field::A});
  EXPECT_EQ(warnings[0].text, "the measured curve fits about as well (RMS " + fb::formatShortest(basins[1].rms) +
                                  " MPa, 2 starts) with A = " + fb::formatShortest(basins[1].values[0]) +
                                  ": it does not decide between the two answers");
  EXPECT_TRUE(fb::rivalWarnings(basins, 1, kA, interval(0, 8), "MPa").empty()) << "inside the interval";

  // A rival inside the 95 % region's threshold widens the interval to hold
  // it; one beyond the threshold does not.
  std::vector<fb::FittedInput> held = interval(3, 7);
  fb::holdRivalAnswers(basins, 1.035, held);
  EXPECT_EQ(held[0].low, basins[1].values[0]);
  EXPECT_EQ(held[0].high, 7);
  EXPECT_TRUE(held[0].spansAnswers);
  held = interval(3, 7);
  fb::holdRivalAnswers(basins, 1.025, held);
  EXPECT_EQ(held[0].low, 3);
  EXPECT_FALSE(held[0].spansAnswers);
}

TEST(FitBasins, the_best_basins_within_reach_of_the_best_are_polished_once_each_best_first) {
  std::vector<fb::Track> searches;
  for (const auto& [unit, objective] : {std::pair{0.9, 2.0}, {0.52, 1.1}, {0.2, 1.2}, {0.5, 1.0}, {0.3, 1.05}}) {
    searches.emplace_back();
    searches.back().best = end(unit, objective);
  }
  searches.emplace_back();  // a start the model refused throughout
  // 0.52 shares the basin of 0.5; 0.9 fits far worse; three at most.
  std::vector<double> polished;
  for (const fb::Trial& t : fb::polishStarts(searches, end(0.5, 1))) polished.push_back(t.unit[0]);
  EXPECT_EQ(polished, (std::vector<double>{0.5, 0.3, 0.2}));

  // A best on its bound: the best end inside the bounds is polished too, far above as it ended.
  searches.clear();
  for (const auto& [unit, objective] : {std::pair{0.0, 1.0}, {0.9, 3.0}, {0.6, 2.0}, {1.0, 1.1}}) {
    searches.emplace_back();
    searches.back().best = end(unit, objective);
  }
  polished.clear();
  for (const fb::Trial& t : fb::polishStarts(searches, end(0.0, 1))) polished.push_back(t.unit[0]);
  EXPECT_EQ(polished, (std::vector<double>{0.0, 1.0, 0.6}));
  searches[0].best = end(0.1, 1.0);  // inside, the best needs no other
  polished.clear();
  for (const fb::Trial& t : fb::polishStarts(searches, end(0.1, 1))) polished.push_back(t.unit[0]);
  EXPECT_EQ(polished, (std::vector<double>{0.1, 1.0}));
}

TEST(FitBasins, a_search_that_ended_where_a_polish_began_ended_where_the_polish_led) {
  const fb::Trial best = end(0.5, 1);
  const std::vector<fb::FitBasin> basins =
      fb::groupBasins({end(0.2, 1.5), end(0.22, 1.6)}, {{end(0.21, 1.5), end(0.49, 1)}}, best, {0.05});
  ASSERT_EQ(basins.size(), 1u);
  EXPECT_EQ(basins[0].starts, 2);
}

// Four measured points of a specimen, at widths the default run reaches.
fb::FitSettings fourPoints() {
  fb::FitSettings s;
  s.base = fb::FieldTexts::defaults();
  s.free = {{Field::A, 1, 8}};
  s.specimens = {{"m.csv", {}, {{0.1, 1.2, 0}, {0.3, 1.9, 0}, {0.8, 1, 0}, {2, 0.3, 0}}}};
  s.starts = 3;
  return s;
}

TEST(FitSettingsCheck, starts_points_and_widths_are_held_to_what_a_fit_can_use) {
  struct Case {
    const char* what;
    void (*change)(fb::FitSettings&);
    const char* reason;  // empty: accepted
  };
  const Case cases[] = {
      {"the most starts", [](fb::FitSettings& s) { s.starts = 1000; }, ""},
      {"one start too many", [](fb::FitSettings& s) { s.starts = 1001; }, "--fit-starts must lie between 1 and 1000"},
      {"as many points as inputs",
       [](fb::FitSettings& s) {
         s.free = {{Field::A, 1, 8}, {Field::B, 0, 1}, {Field::C, 0, 1}, {Field::D, 0.1, 1}};
       },
       ""},
      {"a width below 0", [](fb::FitSettings& s) { s.specimens[0].measured[0].Wcr = -0.1; },
       "--measured m.csv: the width -0.1 mm lies outside the run's crack widths"},
  };
  for (const Case& c : cases) {
    fb::FitSettings s = fourPoints();
    c.change(s);
    const auto checked = fb::checkFitSettings(s);
    if (*c.reason == 0)
      EXPECT_TRUE(checked) << c.what << ": " << checked.error();
    else
      EXPECT_TRUE(!checked && checked.error().starts_with(c.reason))
          << c.what << ": " << (checked ? "" : checked.error());
  }
}

TEST(FitReport, each_interval_end_on_its_bound_two_answers_and_strong_correlations_of_either_sign_are_reported) {
  const fb::FitSettings s = fourPoints();
  fb::FitResult r;
  r.inputs = {{Field::A, "1", 1, 1, 3, true, false, std::nullopt},
              {Field::D, "0.9", 0.9, 0.5, 1, false, true, 0.1, true}};
  r.correlation = {{1, -0.9}, {-0.9, 1}};
  const std::string json = fb::fitReportJson(s, r);
  EXPECT_NE(json.find("\"name\": \"A\", \"unit\": \"N\", \"value\": 1, \"low\": 1, \"high\": 3, \"low_on_bound\": "
                      "true, \"high_on_bound\": false, \"spans_answers\": false, \"fit_low\": null"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"low_on_bound\": false, \"high_on_bound\": true, \"spans_answers\": true,"), std::string::npos)
      << json;
  const std::string text = fb::fitReportText(s, r);
  EXPECT_NE(text.find("0.50 to 1.00 (to its bound) (spans two answers)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("correlation of A and D: -0.90\n"), std::string::npos) << text;
  r.correlation = {{1, 0.5}, {0.5, 1}};
  EXPECT_EQ(fb::fitReportText(s, r).find("correlation"), std::string::npos);
}

}  // namespace

// The report's line on the starts: a count of those in the best basin, or,
// when none is, that the profiles found the optimum, not a failure of the search.
TEST(FitReport, says_how_many_starts_found_the_best_basin_or_that_the_profiles_did) {
  fb::FitSettings settings;
  settings.free = {kFree[0]};
  settings.specimens.push_back({"curve", {}, {{0.1, 1, 0}, {0.2, 2, 0}}});
  fb::FitResult result;
  result.outcome = fb::FitOutcome::fitted;
  result.inputs = {{Field::A, "5", 5, 4, 6, false, false, std::nullopt}};
  result.startCount = 8;
  const auto startsLine = [&](int inBest) {
    result.basins = {{0.1, inBest, {5}}, {0.2, 8 - inBest, {9}}};
    const std::string report = fb::fitReportText(settings, result);
    const auto from = report.find("starts: ");
    return from == std::string::npos ? report : report.substr(from, report.find('\n', from) - from);
  };
  EXPECT_EQ(startsLine(3), "starts: 3 of 8 ended in the best basin");
  EXPECT_EQ(startsLine(0),
            "starts: none of 8 ended in the best basin; the optimum came from the intervals' profiles, which found "
            "it below every start's");
}

// A stage-1 report read back as the inputs stage 2 holds: its values,
// intervals and the others' values at each end; what is no report is named.
TEST(FitPrior, a_fit_report_reads_back_as_the_inputs_it_found) {
  fb::FitSettings s;
  s.free = kFree;
  fb::FitResult r;
  r.inputs = {{Field::A, "5", 5, 4, 6, false, false, std::nullopt},
              {Field::D, "0.5", 0.5, 0.4, 0.7, false, true, std::nullopt}};
  r.inputs[0].lowEnd = {4.1, 0.45};
  const auto prior = fb::parseFitPrior(fb::fitReportJson(s, r), "law.json");
  ASSERT_TRUE(prior) << prior.error();
  ASSERT_EQ(prior->size(), 2u);
  EXPECT_EQ((*prior)[1].field, Field::D);
  EXPECT_EQ((*prior)[1].high, 0.7);
  EXPECT_EQ((*prior)[0].lowEnd, (std::vector<std::pair<Field, double>>{{Field::A, 4.1}, {Field::D, 0.45}}));
  EXPECT_TRUE((*prior)[0].highEnd.empty());
  const struct {
    const char* text;
    const char* says;
  } refused[] = {{"{\n  \"inputs\": [\n  oops", "law.json:3: not JSON"},
                 {"{\"rms\": 1}", "it has no \"inputs\" list"},
                 {"{\"inputs\": [{\"name\": \"Q\", \"value\": 1, \"low\": 0, \"high\": 2}]}", "unknown input name"},
                 {"{\"inputs\": [{\"name\": \"A\", \"value\": 3, \"low\": 0, \"high\": 2}]}", "does not lie"},
                 {"{\"inputs\": [{\"name\": \"A\", \"value\": 1, \"low\": null, \"high\": 2}]}", "gave no interval"}};
  for (const auto& c : refused) {
    const auto bad = fb::parseFitPrior(c.text, "law.json");
    ASSERT_FALSE(bad) << c.text;
    EXPECT_NE(bad.error().find(c.says), std::string::npos) << bad.error();
  }
}

// At an end the others move as the profile moved them, stretched so the
// input lies on its end; without the profile's point, the input alone.
TEST(FitPrior, an_end_holds_the_others_where_the_profile_took_them_stretched_to_the_end) {
  fb::FitSettings s;
  s.prior = {{Field::A, 5, 4, 6, {{Field::A, 4.5}, {Field::B, 1.2}}, {{Field::A, 5.9}, {Field::B, 0.8}}},
             {Field::B, 1, 0.5, 1.5}};
  using Ends = std::vector<std::pair<Field, double>>;
  const Ends low = fb::priorEnd(s, s.prior[0], false);
  ASSERT_EQ(low.size(), 2u);
  EXPECT_EQ(low[0], (std::pair{Field::A, 4.0}));
  EXPECT_NEAR(low[1].second, 1.4, 1e-12);  // twice B's move, as A's end is twice as far
  const Ends high = fb::priorEnd(s, s.prior[0], true);
  EXPECT_NEAR(high[1].second, 1 - 0.2 * 1 / 0.9, 1e-12);
  s.prior[0].lowEnd = {{Field::A, 4.9}, {Field::B, 1.05}};  // ten times as far: held to three
  EXPECT_NEAR(fb::priorEnd(s, s.prior[0], false)[1].second, 1.15, 1e-12);
  EXPECT_EQ(fb::priorEnd(s, s.prior[1], true), (Ends{{Field::B, 1.5}}));
}

// The largest shift on each side, in quadrature with the fit's own half
// width; a refit the model refused adds nothing; the bounds stop it.
TEST(FitPrior, the_largest_shift_each_way_widens_the_interval_within_the_bounds) {
  std::vector<fb::FittedInput> inputs{{Field::A, "5", 5, 4.6, 5.2, false, false, std::nullopt},
                                      {Field::D, "0.5", 0.5, 0.45, 0.55, false, false, std::nullopt}};
  const std::vector<fb::PriorRefit> refits{
      {0, false, {4.7, 0.5}, {}}, {0, true, {5.1, 1}, {}}, {1, false, {5.4, 0.5}, {}}, {1, true, {}, {}}};
  fb::widenByPrior(refits, kFree, inputs);
  EXPECT_NEAR(inputs[0].low, 5 - std::hypot(0.4, 0.3), 1e-12);
  EXPECT_NEAR(inputs[0].high, 5 + std::hypot(0.2, 0.4), 1e-12);
  EXPECT_EQ(inputs[0].fitInterval, std::pair(4.6, 5.2));
  EXPECT_NEAR(inputs[1].low, 0.45, 1e-12);  // no refit moved D down
  EXPECT_EQ(inputs[1].high, 1);             // 0.5 + hypot(0.05, 0.5) stopped at D's bound
  EXPECT_TRUE(inputs[1].highOnBound && !inputs[1].lowOnBound);
}
