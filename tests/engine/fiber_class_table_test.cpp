#include "engine/fiber_class_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

#include "engine/inputs.h"
#include "engine/orientation.h"

namespace {

constexpr double kDegree = fb::kPi / 180;

fb::RunConstants constantsFor(const fb::FieldTexts& t) { return fb::deriveValues(fb::readParameterSet(t).params); }

fb::RunConstants withCrackAngles(const char* xy, const char* zx) {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[fb::Field::crackAngleXY] = xy;
  t[fb::Field::crackAngleZX] = zx;
  return constantsFor(t);
}

TEST(ClassGeometry, a_fiber_at_45_and_45_degrees_leans_60_degrees_from_the_crack_normal) {
  const fb::RunConstants k = constantsFor(fb::FieldTexts::defaults());
  const double psi0 = fb::geometricInclination(45, 45, k);
  EXPECT_NEAR(psi0 / kDegree, 60.0, 1e-6);              // pi is 3.141592654 here
  EXPECT_EQ(fb::snubbingInclination(45, 45, k), psi0);  // no crack angle: psi is psi0
  EXPECT_NEAR(fb::embeddedLength(0.0f, 12.0f, std::cos(psi0)), 6.0f, 1e-6);
  EXPECT_EQ(fb::embeddedLength(-3.0f, 12.0f, std::cos(psi0)), 0.0f);
}

TEST(ClassGeometry, slices_span_half_a_fiber_with_the_last_on_the_crack_plane) {
  const fb::RunConstants k = constantsFor(fb::FieldTexts::defaults());
  for (float Lf : {10.0f, 12.0f, 13.0f}) {
    EXPECT_EQ(fb::slicePosition(0, Lf), -Lf / 2);
    EXPECT_EQ(fb::slicePosition(100, Lf), 0.0f) << Lf;
    for (int zx : {1, 45, 90}) {
      for (int xy : {1, 30, 90}) {
        const double cosPsi0 = std::cos(fb::geometricInclination(fb::classAngle(zx), fb::classAngle(xy), k));
        EXPECT_EQ(fb::embeddedLength(fb::slicePosition(0, Lf), Lf, cosPsi0), 0.0f);
        EXPECT_EQ(fb::embeddedLength(fb::slicePosition(100, Lf), Lf, cosPsi0), Lf / 2);
      }
    }
  }
}

TEST(ClassGeometry, crack_angles_turn_the_inclination_and_fold_beyond_a_right_angle) {
  const fb::RunConstants ones = withCrackAngles("1", "1");
  EXPECT_EQ(fb::snubbingInclination(-1, -1, ones), 0.0);  // aligned with the crack normal

  const fb::RunConstants xy90 = withCrackAngles("90", "0");
  EXPECT_NEAR(fb::snubbingInclination(1, 1, xy90) / kDegree, 91.414, 1e-3);  // folded from 91 to 1 degree
  const double unfolded = fb::snubbingInclination(1, -1, xy90);              // 89 degrees: not folded
  EXPECT_LT(unfolded, fb::kPi / 2);
  EXPECT_NEAR(unfolded / kDegree, 89.0, 0.1);
}

TEST(OrientationDensity, sums_to_one_over_the_classes_for_any_intensity_and_angle) {
  const fb::RunConstants k = constantsFor(fb::FieldTexts::defaults());
  for (double intensity : {0.05, 0.3, 1.0, 2.5, 7.0, 20.0}) {
    for (double principal : {-60.0, 0.0, 17.0, 45.0, 90.0}) {
      fb::ParameterSet p;
      p.kxy = p.kzx = static_cast<float>(intensity);
      p.thetaRxy = p.thetaRzx = static_cast<float>(principal);
      fb::RunConstants kk = k;
      kk.thetaRxyRad = kk.thetaRzxRad = p.thetaRxy * k.degToRad;
      const fb::Orientation o = fb::prepareOrientation(p, kk);
      double sum = 0;
      for (int i = 1; i <= fb::kAngleClassCount; ++i)
        sum += fb::orientationDensity(fb::classAngle(i) * k.degToRad, o.xy) * k.angleClassWidth;
      EXPECT_NEAR(sum, 1.0, 1e-9) << "k " << intensity << " thetaR " << principal;
    }
  }
}

TEST(FiberClassTable, uniform_orientation_gives_every_pair_an_equal_share_of_the_fibers) {
  const fb::ParameterSet p = fb::readParameterSet(fb::FieldTexts::defaults()).params;
  const fb::RunConstants k = fb::deriveValues(p);
  fb::FiberClassTable table;
  int slices = 0;
  const auto outcome = fb::buildFiberClassTable(p, k, fb::prepareOrientation(p, k), table, [&](int slice) {
    EXPECT_EQ(slice, slices++);
    return true;
  });
  EXPECT_TRUE(outcome);
  EXPECT_EQ(slices, fb::kSliceCount);
  ASSERT_EQ(table.pairs.size(), static_cast<std::size_t>(fb::kPairCount));
  for (const fb::PairWeights& pair : table.pairs)
    EXPECT_NEAR(pair.countWeight, k.fiberNumberCoefficient / 8100.0, 1e-12);
  for (const fb::CrossingClass& c : table.active) ASSERT_GT(table.law(c).lb, 0.0f);
}

TEST(FiberClassTable, a_zero_first_point_width_for_a_crossing_fiber_is_refused) {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[fb::Field::Da] = "0";
  const fb::ParameterSet p = fb::readParameterSet(t).params;
  const fb::RunConstants k = fb::deriveValues(p);
  fb::FiberClassTable table;
  const auto outcome = fb::buildFiberClassTable(p, k, fb::prepareOrientation(p, k), table);
  ASSERT_FALSE(outcome);
  EXPECT_EQ(outcome.error().field, "Ca/Da");
}

struct Build {
  fb::FiberClassTable table;
  fb::Expected<fb::TableBuild, fb::Refusal> outcome;
  std::vector<int> slices;  // as progress saw them
  bool progressOffThread = false;
};

// Builds on `threads` threads; progress asks to stop after slice `stopAfter`.
Build build(const fb::FieldTexts& t, unsigned threads, int stopAfter = fb::kSliceCount) {
  const fb::ParameterSet p = fb::readParameterSet(t).params;
  const fb::RunConstants k = fb::deriveValues(p);
  Build b;
  const std::thread::id caller = std::this_thread::get_id();
  const auto progress = [&](int slice) {
    b.slices.push_back(slice);
    b.progressOffThread = b.progressOffThread || std::this_thread::get_id() != caller;
    return slice < stopAfter;
  };
  b.outcome = fb::buildFiberClassTable(p, k, fb::prepareOrientation(p, k), b.table, progress, threads);
  return b;
}

std::vector<int> slicesUpTo(int last) {
  std::vector<int> s(last + 1);
  std::iota(s.begin(), s.end(), 0);
  return s;
}

template <class T>
bool sameBits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// More threads than cores, so that slices end out of order.
constexpr unsigned kManyThreads = 8;

TEST(FiberClassTable, one_thread_and_many_build_the_same_table_and_report_every_slice_in_order) {
  fb::FieldTexts lengthTerms = fb::FieldTexts::defaults();
  for (const auto& [field, text] : {std::pair{fb::Field::fp1, "0.02"},
                                    {fb::Field::fd1, "0.01"},
                                    {fb::Field::Ba, "0.3"},
                                    {fb::Field::crackAngleXY, "30"},
                                    {fb::Field::kzx, "3"}})
    lengthTerms[field] = text;
  for (const fb::FieldTexts& t : {fb::FieldTexts::defaults(), lengthTerms}) {
    const Build one = build(t, 1), many = build(t, kManyThreads);
    for (const Build* b : {&one, &many}) {
      EXPECT_EQ(b->outcome, fb::TableBuild::built);
      EXPECT_EQ(b->slices, slicesUpTo(fb::kSliceCount - 1));
      EXPECT_FALSE(b->progressOffThread) << "progress runs on the thread that owns the view";
    }
    ASSERT_EQ(one.table.active.size(), many.table.active.size());
    EXPECT_GT(one.table.active.size(), 300000u);
    for (std::size_t i = 0; i < one.table.active.size(); ++i) {
      const fb::CrossingClass &a = one.table.active[i], &b = many.table.active[i];
      ASSERT_EQ(a.pair, b.pair) << i;
      ASSERT_TRUE(sameBits(one.table.law(a), many.table.law(b))) << i;
    }
    for (int pair = 0; pair < fb::kPairCount; ++pair)
      ASSERT_TRUE(sameBits(one.table.pairs[pair], many.table.pairs[pair])) << pair;
  }
}

TEST(FiberClassTable, a_build_on_many_threads_stops_and_refuses_where_one_thread_does) {
  for (unsigned threads : {1u, kManyThreads}) {
    SCOPED_TRACE(threads);
    const Build stopped = build(fb::FieldTexts::defaults(), threads, 3);
    EXPECT_EQ(stopped.outcome, fb::TableBuild::stopped);
    EXPECT_EQ(stopped.slices, slicesUpTo(3));

    // lb^60 leaves single precision only for the longer embedded lengths: the
    // first slices build, and a later slice may fail before an earlier one.
    fb::FieldTexts t = fb::FieldTexts::defaults();
    t[fb::Field::Ba] = "60";
    const Build refused = build(t, threads);
    ASSERT_FALSE(refused.outcome);
    EXPECT_EQ(refused.outcome.error().field, "Aa/Ba");
    ASSERT_GT(refused.slices.size(), 50u);
    EXPECT_LT(refused.slices.size(), 101u);
    EXPECT_EQ(refused.slices, build(t, 1).slices);
  }
}

}  // namespace
