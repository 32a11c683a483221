#include "engine/crack_steps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/class_pass_batch.h"
#include "engine/inputs.h"
#include "engine/orientation.h"

namespace {

struct PreparedRun {
  fb::ParameterSet p;
  fb::FiberClassTable table;
  fb::StepSchedule schedule;
};

PreparedRun prepare(const fb::FieldTexts& t) {
  PreparedRun run;
  run.p = fb::readParameterSet(t).params;
  const fb::RunConstants k = fb::deriveValues(run.p);
  EXPECT_TRUE(fb::buildFiberClassTable(run.p, k, fb::prepareOrientation(run.p, k), run.table));
  run.schedule = fb::StepSchedule::of(run.p, k);
  return run;
}

std::vector<fb::StepResult> runSteps(const fb::FieldTexts& t, unsigned threads = 0) {
  PreparedRun run = prepare(t);
  fb::StepSequence steps(run.table, run.p, run.schedule, threads);
  std::vector<fb::StepResult> results;
  for (int s = 0; s <= run.schedule.lastStep(); ++s) results.push_back(steps.evaluateStep(s));
  return results;
}

// The plain order of evaluation: one pass per step, class by class, each
// class through pulloutLoad, inactive classes skipped.
std::vector<fb::StepResult> straightforwardSteps(const fb::FieldTexts& t) {
  PreparedRun run = prepare(t);
  std::vector<bool> active(run.table.active.size(), true);
  std::vector<fb::StepResult> results;
  const double fnc = run.table.fiberNumberCoefficient;
  for (int s = 0; s <= run.schedule.lastStep(); ++s) {
    const double w = fb::stepWidth(run.schedule, s);
    double P = 0, count = 0;
    for (std::size_t i = 0; i < run.table.active.size(); ++i) {
      if (!active[i]) continue;
      const fb::CrossingClass& c = run.table.active[i];
      const fb::ClassLaw& law = run.table.law(c);
      const fb::PairWeights& pair = run.table.pair(c);
      const fb::FiberLoad f = fb::pulloutLoad(law.fiber(pair.ruptureLoad), w);
      active[i] = f.active;
      P = P + ((f.load * pair.wXY) * pair.wZX) * fnc;
      count = count + ((static_cast<double>(f.active) * pair.wXY) * pair.wZX) * fnc;
    }
    results.push_back({static_cast<std::int16_t>(s), w, P, P / run.p.Am, count / run.table.totalFiber});
  }
  return results;
}

void expectSameBits(const std::vector<fb::StepResult>& a, const std::vector<fb::StepResult>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t s = 0; s < a.size(); ++s) {
    EXPECT_EQ(a[s].Wcr, b[s].Wcr) << "step " << s;
    EXPECT_EQ(a[s].P, b[s].P) << "step " << s;
    EXPECT_EQ(a[s].sigma, b[s].sigma) << "step " << s;
    EXPECT_EQ(a[s].effectiveFiberRatio, b[s].effectiveFiberRatio) << "step " << s;
  }
}

TEST(CrackSteps, batched_passes_give_the_bits_of_one_pass_per_step) {
  const std::vector<std::vector<std::pair<fb::Field, const char*>>> cases = {
      {},
      {{fb::Field::division, "7"}, {fb::Field::crackAngleXY, "30"}, {fb::Field::crackAngleZX, "75"}},
      {{fb::Field::division, "40"}, {fb::Field::kxy, "3"}, {fb::Field::thetaRxy, "20"}, {fb::Field::kzx, "0.4"}},
      {{fb::Field::division, "33"},
       {fb::Field::fp1, "0.05"},
       {fb::Field::fd1, "0.02"},
       {fb::Field::Ba, "0.4"},
       {fb::Field::B, "-0.3"},
       {fb::Field::Ca, "0.01"},
       {fb::Field::C, "0.05"}},
      {{fb::Field::division, "5"}, {fb::Field::D, "4"}},                            // the crack narrows again
      {{fb::Field::division, "3"}, {fb::Field::Da, "0.7"}, {fb::Field::D, "0.5"}},  // first point beyond the peak
  };
  for (const auto& changes : cases) {
    fb::FieldTexts t = fb::FieldTexts::defaults();
    for (const auto& [field, text] : changes) t[field] = text;
    SCOPED_TRACE(t[fb::Field::division]);
    const std::vector<fb::StepResult> plain = straightforwardSteps(t);
    // One thread, and batches side by side on more threads than cores.
    for (unsigned threads : {1u, 3u}) expectSameBits(runSteps(t, threads), plain);
  }
}

// One batch over a table whose classes leave at every lane (pulled out,
// ruptured, on each line of the law), on the portable pass in one piece and
// on `wide` in three, as batches that follow one another take it: the same
// sums and the same classes kept, in the same order.
void expectPortableBits(fb::detail::PassBatchFunction wide) {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[fb::Field::fp1] = "0.03";
  t[fb::Field::Ca] = "0.02";
  t[fb::Field::crackAngleXY] = "20";
  const PreparedRun run = prepare(t);
  double widths[fb::kStepBatch];
  for (int j = 0; j < fb::kStepBatch; ++j) widths[j] = 0.005 * j * j;  // up to 4.8 mm: the longest stay
  fb::FiberClassTable a = run.table, b = run.table;
  const auto tables = [](fb::FiberClassTable& x) {
    return fb::detail::PassTables{x.active.data(), x.laws.data(), x.pairs.data(), x.fiberNumberCoefficient};
  };
  const std::size_t n = run.table.active.size();
  fb::detail::PassState one, pieces;
  fb::detail::passBatchPortable(tables(a), 0, n, widths, one);
  for (const auto& [from, to] : {std::pair{std::size_t{0}, n / 3}, {n / 3, n / 3 + 1}, {n / 3 + 1, n}})
    wide(tables(b), from, to, widths, pieces);
  ASSERT_EQ(one.kept, pieces.kept);
  EXPECT_GT(one.kept, 0u);
  EXPECT_LT(one.kept, n);
  for (std::size_t i = 0; i < one.kept; ++i) ASSERT_EQ(a.active[i].law, b.active[i].law) << i;
  for (int j = 0; j < fb::kStepBatch; ++j) {
    EXPECT_EQ(one.P[j], pieces.P[j]) << j;
    EXPECT_EQ(one.count[j], pieces.count[j]) << j;
  }
}

TEST(CrackSteps, the_portable_pass_in_pieces_gives_its_bits_in_one) {
  expectPortableBits(fb::detail::passBatchPortable);
}

#if defined(FIBERBRIDGE_HAVE_AVX_PASS)
TEST(CrackSteps, the_avx_pass_gives_the_portable_bits) {
  if (!__builtin_cpu_supports("avx")) GTEST_SKIP() << "no AVX here";
  expectPortableBits(fb::detail::passBatchAvx);
}

TEST(CrackSteps, the_avx512_pass_gives_the_portable_bits) {
  if (!__builtin_cpu_supports("avx512f")) GTEST_SKIP() << "no AVX-512 here";
  expectPortableBits(fb::detail::passBatchAvx512);
}
#endif

}  // namespace
