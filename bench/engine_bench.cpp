// The hot paths: the fiber class table build and the class pass of every step.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "engine/class_pass_batch.h"
#include "engine/crack_steps.h"
#include "engine/inputs.h"
#include "engine/orientation.h"

namespace {

struct Model {
  fb::ParameterSet p;
  fb::RunConstants k;
  fb::Orientation o;
};

Model modelFor(std::initializer_list<std::pair<fb::Field, const char*>> changes) {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  for (const auto& [field, text] : changes) t[field] = text;
  Model m;
  m.p = fb::readParameterSet(t).params;
  m.k = fb::deriveValues(m.p);
  m.o = fb::prepareOrientation(m.p, m.k);
  return m;
}

// Build plus every step, as a run does it without the data file, on
// state.range(0) threads (0: one per core).
void runModel(benchmark::State& state, const Model& m) {
  const unsigned threads = static_cast<unsigned>(state.range(0));
  fb::FiberClassTable table;
  const fb::StepSchedule schedule = fb::StepSchedule::of(m.p, m.k);
  for (auto _ : state) {
    if (!fb::buildFiberClassTable(m.p, m.k, m.o, table, {}, threads)) {
      state.SkipWithError("the inputs were refused");
      break;
    }
    fb::StepSequence steps(table, m.p, schedule, threads);
    double sum = 0;
    for (int s = 0; s <= schedule.lastStep(); ++s) sum += steps.evaluateStep(s).P;
    benchmark::DoNotOptimize(sum);
  }
}

void BM_DefaultRun(benchmark::State& state) { runModel(state, modelFor({})); }
BENCHMARK(BM_DefaultRun)->ArgName("threads")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Division3000Run(benchmark::State& state) { runModel(state, modelFor({{fb::Field::division, "3000"}})); }
BENCHMARK(BM_Division3000Run)->ArgName("threads")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TableBuild(benchmark::State& state, const Model& m) {
  fb::FiberClassTable table;
  for (auto _ : state) {
    if (!fb::buildFiberClassTable(m.p, m.k, m.o, table, {}, static_cast<unsigned>(state.range(0)))) {
      state.SkipWithError("the inputs were refused");
      break;
    }
    benchmark::DoNotOptimize(table.active.data());
  }
  state.counters["crossing classes"] = static_cast<double>(table.active.size());
}
BENCHMARK_CAPTURE(BM_TableBuild, defaults, modelFor({}))
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(
    BM_TableBuild, every_length_term,
    modelFor({{fb::Field::fp1, "0.02"}, {fb::Field::fd1, "0.01"}, {fb::Field::Ba, "0.3"}, {fb::Field::B, "0.4"}}))
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The first batch of the default run's steps, on each instruction set the
// processor has: the pass over every crossing class.
void BM_FirstBatch(benchmark::State& state, fb::detail::PassBatchFunction pass, bool supported) {
  if (!supported) {
    state.SkipWithError("not on this processor");
    return;
  }
  const Model m = modelFor({});
  fb::FiberClassTable table;
  if (!fb::buildFiberClassTable(m.p, m.k, m.o, table)) {
    state.SkipWithError("the inputs were refused");
    return;
  }
  const fb::StepSchedule schedule = fb::StepSchedule::of(m.p, m.k);
  double widths[fb::kStepBatch];
  for (int j = 0; j < fb::kStepBatch; ++j) widths[j] = fb::stepWidth(schedule, j);
  std::vector<fb::CrossingClass> classes(table.active.begin(), table.active.end());
  for (auto _ : state) {
    std::copy(table.active.begin(), table.active.end(), classes.begin());
    const fb::detail::PassTables tables{classes.data(), table.laws.data(), table.pairs.data(),
                                        table.fiberNumberCoefficient};
    fb::detail::PassState sums;
    pass(tables, 0, classes.size(), widths, sums);
    benchmark::DoNotOptimize(sums);
  }
}
BENCHMARK_CAPTURE(BM_FirstBatch, portable, fb::detail::passBatchPortable, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirstBatch, avx, fb::detail::passBatchAvx, __builtin_cpu_supports("avx"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirstBatch, avx512, fb::detail::passBatchAvx512, __builtin_cpu_supports("avx512f"))
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
