// The pullout fit benchmark, in process with the default settings (16 starts,
// intervals, all cores): the eight law coefficients from five straight tests,
// and the snubbing coefficients and strength reduction from three inclined
// ones. Reports each fit's time against its budget of 1 s, its runs of the
// pullout law and whether each true value lies inside its 95 % interval.
#include <cstdio>
#include <string>
#include <thread>

#include "bench/synthetic_fits.h"

int main() {
  constexpr double kBudget = 1.0;  // s, each
  for (fbbench::SyntheticFit& f : fbbench::syntheticPulloutFits()) {
    f.settings.jobs = std::max(1u, std::thread::hardware_concurrency());
    const fb::FitResult r = fb::fitMeasuredCurves(f.settings);
    int inside = 0;
    for (const fb::FittedInput& in : r.inputs) {
      const double truth = std::stod(f.truth[in.field]);
      inside += in.low <= truth && truth <= in.high;
    }
    std::printf(
        "%-58s %.3f s %-4s (budget %.0f s), %6d runs, RMS %.5f N, %d of %zu true values inside their 95 %% "
        "intervals\n",
        f.name.c_str(), r.seconds, r.seconds <= kBudget ? "ok" : "SLOW", kBudget, r.runs, r.pulloutRmsAfter.value_or(0),
        inside, r.inputs.size());
    std::fflush(stdout);
  }
  return 0;
}
