// The calibration's coverage benchmark: a fixed, seeded set of synthetic fits
// (steel-like and PVA-like fibers, pulled out and rupturing, 3 to 5 inputs)
// fitted with the default settings. Reports, per fit and in all, whether the
// fit reached the RMS of the true inputs (within 2 %), whether each true value
// lies inside its 95 % interval, the runs and the time. An argument keeps only
// the fits whose name contains it ("A,D,fp0" for the three-input ones).
#include <cstdio>
#include <string>
#include <thread>

#include "bench/synthetic_fits.h"

int main(int argc, char** argv) {
  int reached = 0, fits = 0, inside = 0, estimates = 0, runs = 0;
  double seconds = 0;
  for (fbbench::SyntheticFit& f : fbbench::syntheticFits()) {
    if (argc > 1 && f.name.find(argv[1]) == std::string::npos) continue;
    f.settings.jobs = std::max(1u, std::thread::hardware_concurrency());
    const double truthRms = fbbench::rmsOf(f.truth, f.settings.specimens[0].measured);
    const fb::FitResult r = fb::fitMeasuredCurves(f.settings);
    const bool ok = r.rmsAfter <= 1.02 * truthRms;
    reached += ok;
    ++fits;
    runs += r.runs;
    seconds += r.seconds;
    std::printf("%-34s RMS %.5f of the truth's %.5f (%.3f) %-5s %5d runs %6.1f s, best basin %d of %d starts\n",
                f.name.c_str(), r.rmsAfter, truthRms, r.rmsAfter / truthRms, ok ? "ok" : "SHORT", r.runs, r.seconds,
                r.basins.empty() ? 0 : r.basins[0].starts, r.startCount);
    for (const fb::FittedInput& in : r.inputs) {
      const double truth = std::stod(f.truth[in.field]);
      const bool covered = in.low <= truth && truth <= in.high;
      inside += covered;
      ++estimates;
      if (!covered)
        std::printf("    %s = %.5g outside [%.5g, %.5g], truth %.5g\n",
                    std::string(fb::fieldInfo(in.field).name).c_str(), in.value, in.low, in.high, truth);
    }
    for (const fb::FitWarning& w : r.warnings) std::printf("    warning: %s\n", w.text.c_str());
    std::fflush(stdout);
  }
  std::printf(
      "fit coverage: %d of %d fits reached the true inputs' RMS within 2 %%; %d of %d true values inside their "
      "95 %% intervals; %d runs in %.1f s\n",
      reached, fits, inside, estimates, runs, seconds);
  return 0;
}
