#include "study/studies/metrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "study/studies/summaries.h"
#include "tests/support/hand_curves.h"

namespace {

using fbtest::curve;

TEST(CurveMetrics, peak_energy_and_half_peak_width_of_hand_made_curves) {
  const struct {
    const char* what;
    std::vector<fb::StepResult> steps;
    double peakSigma, peakWcr, energy;
    std::optional<double> halfPeakWcr;
  } cases[] = {
      // Area 2 + 3.5 + 2; half of 4 lies between 3 (at 2 mm) and 1 (at 3 mm).
      {"falls through half", curve({{0, 0}, {1, 4}, {2, 3}, {3, 1}}), 4, 1, 7.5, 2.5},
      {"lands on half", curve({{0, 0}, {1, 2}, {2, 1}}), 2, 1, 2.5, 2.0},
      {"never halves", curve({{0, 0}, {1, 4}, {2, 3}}), 4, 1, 5.5, std::nullopt},
      // Equal forces: the later step is the peak, as in the result boxes.
      {"equal peaks", curve({{0, 1}, {0.5, 2}, {1.5, 2}, {2, 0}}), 2, 1.5, 3.25, 1.75},
      // Uneven steps: the dip before the peak does not count as the fall.
      {"dip before peak", curve({{0, 2}, {0.1, 0.5}, {0.4, 3}, {1.4, 0}}), 3, 0.4, 2.15, 0.9},
      {"no tension", curve({{0, 0}, {1, 0}}), 0, 1, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    const fb::CurveMetrics d = fb::curveMetrics(c.steps);
    EXPECT_DOUBLE_EQ(d.peak.sigma, c.peakSigma) << c.what;
    EXPECT_DOUBLE_EQ(d.peak.P, c.peakSigma * 1000) << c.what;
    EXPECT_DOUBLE_EQ(d.peak.Wcr, c.peakWcr) << c.what;
    EXPECT_DOUBLE_EQ(d.energy, c.energy) << c.what;
    ASSERT_EQ(d.halfPeakWcr.has_value(), c.halfPeakWcr.has_value()) << c.what;
    if (c.halfPeakWcr) {
      EXPECT_DOUBLE_EQ(*d.halfPeakWcr, *c.halfPeakWcr) << c.what;
    }
  }
}

TEST(CurveMetrics, rms_difference_at_the_measured_widths_leaves_out_points_beyond_the_steps) {
  const auto steps = curve({{0, 0}, {1, 2}, {2, 1}});
  EXPECT_EQ(fb::stressAt(steps, 0.25), 0.5);
  EXPECT_EQ(fb::stressAt(steps, 2), 1.0);
  EXPECT_FALSE(fb::stressAt(steps, 2.5));

  // Computed 1 and 1.5 against measured 1.5 and 1: both 0.5 off.
  const std::vector<fb::MeasuredPoint> measured = {{0.5, 1.5}, {1.5, 1.0}, {3.0, 7.0}, {-1, 0}};
  const auto fit = fb::compareMeasured(steps, measured);
  ASSERT_TRUE(fit);
  EXPECT_DOUBLE_EQ(fit->rms, 0.5);
  EXPECT_EQ(fit->used, 2);
  EXPECT_EQ(fit->total, 4);
  EXPECT_FALSE(fb::compareMeasured(steps, std::vector<fb::MeasuredPoint>{{5, 1}}));

  // Differences whose squares overflow: 3e200 and 4e200 off give sqrt(12.5) * 1e200, not infinity.
  const auto huge =
      fb::compareMeasured(curve({{0, 3e200}, {1, 4e200}}), std::vector<fb::MeasuredPoint>{{0, 0}, {1, 0}});
  ASSERT_TRUE(huge);
  EXPECT_DOUBLE_EQ(huge->rms, std::sqrt(12.5) * 1e200);
}

TEST(CurveMetrics, the_summary_line_carries_them_with_units) {
  const auto steps = curve({{0, 0}, {1, 4}, {2, 3}, {3, 1}});
  fb::RunSummary summary;
  summary.dataFile = "x.p-d";
  const std::vector<fb::MeasuredPoint> measured = {{0.5, 1.0}};
  EXPECT_EQ(fb::summaryLine(summary, fb::runMetrics(steps, measured), true),
            "peak force 4.0000 kN, peak stress 4.0000 MPa at Wcr 1 mm, bridging energy 7.5000 N/mm, "
            "half the peak stress at Wcr 2.50000 mm, RMS difference to the measured curve 1.0000 MPa over 1 of 1 "
            "points, J'b 2000.000 J/m2; written to x.p-d");
}

}  // namespace
