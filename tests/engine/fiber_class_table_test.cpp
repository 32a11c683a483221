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

TEST(OrientationDensity, sums_to_one_over_the_classes_for_any_intensity_and_angle) {
  const fb::RunConstants k = fb::deriveValues(fb::readParameterSet(fb::FieldTexts::defaults()).params);
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

// A preset weighs the classes by its own density over directions: planar puts
// every fiber at elevation 0 (half in each class beside it), isotropic weighs
// elevation by its cosine; both leave the azimuth uniform. Without one, the
// shares are the densities', bit for bit.
TEST(OrientationPreset, weighs_the_classes_by_its_density_and_leaves_the_design_alone) {
  fb::ParameterSet p = fb::readParameterSet(fb::FieldTexts::defaults()).params;
  p.kzx = 3;
  p.thetaRzx = 20;
  const fb::RunConstants k = fb::deriveValues(p);
  const fb::Orientation design = fb::prepareOrientation(p, k);
  for (int i = 1; i <= fb::kAngleClassCount; ++i) {
    const int angle = fb::classAngle(i);
    EXPECT_EQ(fb::classShare(design, true, angle, k),
              fb::orientationDensity(angle * k.degToRad, design.zx) * k.angleClassWidth);
  }
  const auto shares = [&](const char* preset, bool zx) {
    p.orientation = preset;
    const fb::Orientation o = fb::prepareOrientation(p, k);
    std::vector<double> out;
    for (int i = 1; i <= fb::kAngleClassCount; ++i) out.push_back(fb::classShare(o, zx, fb::classAngle(i), k));
    return out;
  };
  for (const char* preset : {"planar", "isotropic"})
    for (double share : shares(preset, false)) EXPECT_DOUBLE_EQ(share, 1.0 / 90) << preset;
  const std::vector<double> planar = shares("planar", true);
  EXPECT_EQ(std::accumulate(planar.begin(), planar.end(), 0.0), 1.0);
  EXPECT_EQ(planar[44], 0.5);  // -1 degree
  EXPECT_EQ(planar[45], 0.5);  // +1 degree
  const std::vector<double> isotropic = shares("isotropic", true);
  EXPECT_NEAR(std::accumulate(isotropic.begin(), isotropic.end(), 0.0), 1.0, 1e-4);  // the midpoint rule's error
  EXPECT_NEAR(isotropic[45] / isotropic[89], std::cos(k.degToRad) / std::cos(89 * k.degToRad), 1e-9);
  EXPECT_EQ(fb::orientationPreset("sphere"), std::nullopt);
  EXPECT_EQ(fb::orientationPreset(""), fb::OrientationPreset::none);
}

// A preset sets the shares itself: an intensity or principal angle beside it
// would be ignored, so it is refused; a name no preset has is refused too.
TEST(OrientationPreset, goes_with_the_densities_left_as_they_are_and_names_only_presets) {
  const struct {
    fb::Field field;
    const char* text;
    const char* preset;
    const char* refused;  // the field refused, or "" where the run goes
  } cases[] = {{fb::Field::kxy, "1", "isotropic", ""},
               {fb::Field::kxy, "2", "isotropic", "kxy"},
               {fb::Field::kzx, "0.5", "planar", "kzx"},
               {fb::Field::thetaRxy, "10", "planar", "thetaRxy"},
               {fb::Field::thetaRzx, "1", "isotropic", "thetaRzx"},
               {fb::Field::kxy, "2", "", ""},
               {fb::Field::kxy, "1", "Isotropic", "orientation"}};
  for (const auto& c : cases) {
    fb::FieldTexts t = fb::FieldTexts::defaults();
    t[c.field] = c.text;
    t[fb::Field::orientation] = c.preset;
    const fb::ReadOutcome read = fb::readParameterSet(t);
    const auto checked = fb::checkInputs(t, read, fb::deriveValues(read.params));
    EXPECT_EQ(checked ? "" : checked.error().field, c.refused) << c.text << " " << c.preset;
  }
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
