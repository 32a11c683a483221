// The floor under the class pass: each step's two sums must add their classes
// one after another, in class order. This pass keeps only that: the same class
// list, read and packed the same way, batches of 32 steps in 8-lane vectors,
// and per class and step two adds; the law is not evaluated (each class's
// last step is known beforehand). Built with -mavx512f, like the widest pass.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "engine/crack_steps.h"
#include "engine/inputs.h"
#include "engine/orientation.h"

namespace {

typedef double Vec __attribute__((vector_size(64)));
typedef long long Mask __attribute__((vector_size(64)));

struct Leaving {
  std::uint32_t step;  // the first step at which the class no longer bridges
  std::uint16_t pair;
};

struct Case {
  fb::FiberClassTable table;
  fb::StepSchedule schedule;
  std::vector<Leaving> classes;
  double classSteps = 0;  // how many (class, step) terms the sums add
};

Case prepare(const char* division) {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[fb::Field::division] = division;
  const fb::ParameterSet p = fb::readParameterSet(t).params;
  const fb::RunConstants k = fb::deriveValues(p);
  Case c;
  if (!fb::buildFiberClassTable(p, k, fb::prepareOrientation(p, k), c.table)) {
    std::fprintf(stderr, "division %s: the inputs were refused\n", division);
    std::exit(1);
  }
  c.schedule = fb::StepSchedule::of(p, k);
  const int steps = c.schedule.lastStep() + 1;
  std::vector<double> widths(steps);
  for (int s = 0; s < steps; ++s) widths[s] = fb::stepWidth(c.schedule, s);
  for (const fb::CrossingClass& cc : c.table.active) {
    const fb::ClassLaw& law = c.table.law(cc);
    int s = 0;
    while (s < steps && fb::pulloutLoad(law.fiber(c.table.pair(cc).ruptureLoad), widths[s]).active) ++s;
    c.classes.push_back({static_cast<std::uint32_t>(s), cc.pair});
    c.classSteps += s + (s < steps);  // the step that drops it adds a 0
  }
  return c;
}

__attribute__((target("avx512f"))) double addChains(const Case& c) {
  std::vector<Leaving> list = c.classes;
  const fb::PairWeights* pairs = c.table.pairs.data();
  double total = 0;
  for (int first = 0; first <= c.schedule.lastStep(); first += fb::kStepBatch) {
    const Vec zero = Vec{} + 0.0;
    Vec step[4], sumP[4] = {zero, zero, zero, zero}, sumCount[4] = {zero, zero, zero, zero};
    for (int g = 0; g < 4; ++g)
      for (int l = 0; l < 8; ++l) step[g][l] = first + 8 * g + l;
    std::size_t kept = 0;
    const double last = first + fb::kStepBatch - 1;
    for (std::size_t i = 0; i < list.size(); ++i) {
      const Leaving leaving = list[i];
      const fb::PairWeights& pair = pairs[leaving.pair];
      const double leave = leaving.step;
      for (int g = 0; g < 4; ++g) {
        const Mask in = step[g] <= leave;
        sumP[g] = sumP[g] + (in ? zero + pair.wXY : zero);
        sumCount[g] = sumCount[g] + (in ? zero + pair.countWeight : zero);
        if (leave <= first + 8 * g + 7) break;  // as the pass, which skips the class's later lanes
      }
      list[kept] = leaving;
      kept += leave > last;
    }
    list.resize(kept);
    for (int g = 0; g < 4; ++g) total += sumP[g][0] + sumCount[g][7];
  }
  return total;
}

void BM_AddChainsAlone(benchmark::State& state, const char* division) {
  if (!__builtin_cpu_supports("avx512f")) {
    state.SkipWithError("no AVX-512 here");
    return;
  }
  static const Case defaults = prepare("30"), fine = prepare("3000");
  const Case& c = std::string_view(division) == "30" ? defaults : fine;
  for (auto _ : state) benchmark::DoNotOptimize(addChains(c));
  state.counters["class steps"] = c.classSteps;
}
BENCHMARK_CAPTURE(BM_AddChainsAlone, defaults, "30")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AddChainsAlone, division_3000, "3000")->Unit(benchmark::kMillisecond);

}  // namespace
