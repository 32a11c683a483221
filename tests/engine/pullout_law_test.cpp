#include "engine/pullout_law.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/inputs.h"

namespace {

fb::ParameterSet defaults() { return fb::readParameterSet(fb::FieldTexts::defaults()).params; }

TEST(PulloutLaw, default_points_without_inclination_are_the_unsnubbed_law) {
  const fb::ParameterSet p = defaults();
  const fb::PulloutPoints pt = fb::pulloutPoints(p, 6.0f, 0.0);
  EXPECT_EQ(pt.Pa, 1.0f);
  EXPECT_EQ(pt.deltaA, 0.2f);
  EXPECT_EQ(pt.Pmax, 3.0f);
  EXPECT_EQ(pt.deltaMax, 0.5f);
  EXPECT_EQ(fb::ruptureLoad(p, 0.0), 569.0 * static_cast<double>(0.007854f));  // the fiber's tensile capacity
  EXPECT_NEAR(fb::ruptureLoad(p, 0.0), 4.4689, 1e-4);
}

TEST(PulloutLaw, inclination_snubs_the_loads_and_lowers_the_rupture_load) {
  const fb::ParameterSet p = defaults();
  const fb::PulloutPoints pt = fb::pulloutPoints(p, 6.0f, 1.0);
  EXPECT_NEAR(pt.Pa, 1.6487, 1e-4);
  EXPECT_NEAR(pt.Pmax, 4.9462, 1e-4);
  EXPECT_EQ(pt.deltaA, 0.2f);  // fd = 0: widths unchanged
  EXPECT_EQ(pt.deltaMax, 0.5f);
  const double rupture = fb::ruptureLoad(p, 1.0);
  EXPECT_NEAR(rupture, 3.3107, 1e-4);

  // It ruptures on the second line, at the first width above about 0.3512 mm.
  EXPECT_TRUE(fb::fiberResponse(0.3511, 6.0f, pt, rupture).active);
  const fb::FiberLoad broken = fb::fiberResponse(0.3513, 6.0f, pt, rupture);
  EXPECT_FALSE(broken.active);
  EXPECT_EQ(broken.load, 0.0);
}

TEST(PulloutLaw, a_zero_exponent_gives_one_even_at_zero_length) {
  fb::ParameterSet p = defaults();
  EXPECT_EQ(fb::pulloutPoints(p, 0.0f, 0.0).Pa, 1.0f);
  p.Ba = 0.5;
  p.Aa = 2;
  EXPECT_EQ(fb::pulloutPoints(p, 4.0f, 0.0).Pa, 4.0f);
}

TEST(FiberResponse, follows_the_three_lines_with_their_inclusive_bounds) {
  const fb::PulloutPoints pt{1.0f, 0.2f, 3.0f, 0.5f};
  const float lb = 6.0f;
  const double noRupture = 1e9;
  const fb::PulloutSlopes k = fb::pulloutSlopes(pt, lb);

  const fb::FiberLoad atZero = fb::fiberResponse(0.0, lb, pt, noRupture);
  EXPECT_EQ(atZero.load, 0.0);
  EXPECT_TRUE(atZero.active);
  EXPECT_EQ(fb::fiberResponse(0.2f, lb, pt, noRupture).load, static_cast<double>(0.2f) * k.kA);
  EXPECT_EQ(fb::fiberResponse(0.5f, lb, pt, noRupture).load,
            1.0f + (static_cast<double>(0.5f) - 0.2f) * k.kB);              // still the second line
  EXPECT_NEAR(fb::fiberResponse(3.25, lb, pt, noRupture).load, 1.5, 1e-6);  // half way down
  EXPECT_FALSE(fb::fiberResponse(6.0, lb, pt, noRupture).active);           // w == lb: pulled out
  EXPECT_FALSE(fb::fiberResponse(0.0, 0.0f, pt, noRupture).active);         // lb == 0 never carries
}

TEST(FiberResponse, ruptures_only_strictly_above_the_rupture_load) {
  const fb::PulloutPoints pt{1.0f, 0.25f, 3.0f, 0.5f};
  const double load = fb::fiberResponse(0.25, 6.0f, pt, 1e9).load;
  EXPECT_TRUE(fb::fiberResponse(0.25, 6.0f, pt, load).active);
  EXPECT_FALSE(fb::fiberResponse(0.25, 6.0f, pt, std::nextafter(load, 0.0)).active);
}

TEST(FiberResponse, a_short_fiber_rises_on_its_first_line_until_pulled_out) {
  const fb::PulloutPoints pt{1.0f, 0.4f, 3.0f, 0.5f};
  const float lb = 0.3f;
  EXPECT_EQ(fb::fiberResponse(0.29, lb, pt, 1e9).load, 0.29 * fb::pulloutSlopes(pt, lb).kA);
  EXPECT_FALSE(fb::fiberResponse(0.3f, lb, pt, 1e9).active);
}

TEST(FiberResponse, past_a_first_point_beyond_the_peak_the_load_falls_from_the_peak) {
  const fb::PulloutPoints pt{1.0f, 0.6f, 3.0f, 0.5f};
  const float lb = 6.0f;
  const double w = 0.7;
  EXPECT_EQ(fb::fiberResponse(w, lb, pt, 1e9).load, 3.0f + (w - 0.5f) * fb::pulloutSlopes(pt, lb).kC);
}

}  // namespace
