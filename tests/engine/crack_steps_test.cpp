#include "crack_steps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "orientation.h"

namespace {

fb::StepSchedule scheduleFor(const char* division, const char* C = "0", const char* D = "0.5") {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[fb::Field::division] = division;
  t[fb::Field::C] = C;
  t[fb::Field::D] = D;
  const fb::ParameterSet p = fb::readParameterSet(t).params;
  return fb::StepSchedule::of(p, fb::deriveValues(p));
}

std::vector<fb::StepResult> runSteps(const fb::FieldTexts& t) {
  const fb::ParameterSet p = fb::readParameterSet(t).params;
  const fb::RunConstants k = fb::deriveValues(p);
  fb::FiberClassTable table;
  EXPECT_FALSE(fb::buildFiberClassTable(p, k, fb::prepareOrientation(p, k), table).refusal);
  const fb::StepSchedule schedule = fb::StepSchedule::of(p, k);
  std::vector<fb::StepResult> results;
  for (int s = 0; s <= schedule.lastStep(); ++s)
    results.push_back(fb::evaluateStep(table, p, static_cast<std::int16_t>(s), fb::stepWidth(schedule, s)));
  return results;
}

TEST(StepSchedule, opens_to_the_knee_then_to_half_the_fiber_length) {
  const fb::StepSchedule sc = scheduleFor("30");
  EXPECT_EQ(sc.kneeWidth, 1.0);
  EXPECT_EQ(sc.lastStep(), 60);
  EXPECT_EQ(fb::stepWidth(sc, 0), 0.0);
  EXPECT_EQ(fb::stepWidth(sc, 1), 1.0 / 30);
  EXPECT_EQ(fb::stepWidth(sc, 30), 1.0);
  EXPECT_EQ(fb::stepWidth(sc, 36), 2.0);
  EXPECT_EQ(fb::stepWidth(sc, 60), 6.0);

  const fb::StepSchedule one = scheduleFor("1");
  EXPECT_EQ(one.lastStep(), 2);
  EXPECT_EQ(fb::stepWidth(one, 1), 1.0);
  EXPECT_EQ(fb::stepWidth(one, 2), 6.0);

  // A knee beyond Lf/2 narrows the crack again in the second half.
  const fb::StepSchedule wide = scheduleFor("2", "0", "4");
  EXPECT_EQ(fb::stepWidth(wide, 2), 8.0);
  EXPECT_EQ(fb::stepWidth(wide, 4), 6.0);
  EXPECT_EQ(scheduleFor("-1").lastStep(), -2);  // no step at all
}

TEST(CrackSteps, fibers_that_left_stay_out_when_the_crack_narrows) {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[fb::Field::division] = "4";
  t[fb::Field::D] = "4";  // knee at 8 mm, beyond Lf/2
  const std::vector<fb::StepResult> r = runSteps(t);
  ASSERT_EQ(r.size(), 9u);
  for (std::size_t s = 1; s < r.size(); ++s) EXPECT_LE(r[s].effectiveFiberRatio, r[s - 1].effectiveFiberRatio);
  EXPECT_EQ(r.back().P, 0.0);
  EXPECT_EQ(r.back().effectiveFiberRatio, 0.0);
}

TEST(CrackSteps, negative_exponents_neither_refuse_nor_poison_the_sums) {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[fb::Field::division] = "5";
  t[fb::Field::Ba] = "-0.5";
  t[fb::Field::B] = "-0.25";
  for (const fb::StepResult& r : runSteps(t)) {
    EXPECT_TRUE(std::isfinite(r.P)) << r.step;
    EXPECT_TRUE(std::isfinite(r.effectiveFiberRatio)) << r.step;
  }
}

TEST(CrackSteps, step_zero_counts_the_fibers_that_reach_the_crack_and_carries_nothing) {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[fb::Field::division] = "1";
  const std::vector<fb::StepResult> r = runSteps(t);
  EXPECT_EQ(r[0].P, 0.0);
  EXPECT_NEAR(r[0].effectiveFiberRatio, 0.40632, 5e-6);
  EXPECT_EQ(r[0].sigma, 0.0);
}

}  // namespace
