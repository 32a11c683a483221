// The calibration benchmark, whole process: a curve made by the model from
// A 4.2, D 0.35 and fp0 0.7 (division 60), sampled at 40 widths from 0.02 to
// 3 mm with normal noise of 1 % of the peak, fitted for A, D and fp0 from the
// defaults by the built fiberbridge-cli. Prints the runs, the time, the time a
// run and the RMS reached against that of the true inputs.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>

#include "engine/number_writer.h"
#include "output/text_file.h"
#include "run/curve_runner.h"
#include "study/studies/metrics.h"

namespace {

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

int main() {
  fb::FieldTexts truth = fb::FieldTexts::defaults();
  truth[fb::Field::A] = "4.2";
  truth[fb::Field::D] = "0.35";
  truth[fb::Field::fp0] = "0.7";
  truth[fb::Field::division] = "60";
  fb::CurveRunner runner;
  const auto curve = runner.run(truth, 3);
  double peak = 0;
  for (const fb::StepResult& r : curve.steps) peak = std::max(peak, r.sigma);

  // Box-Muller on a spelled-out generator: the same curve with any standard library.
  std::mt19937_64 random(2026);
  const auto unit = [&random] { return (static_cast<double>(random() >> 11) + 0.5) * 0x1.0p-53; };
  std::vector<fb::MeasuredPoint> measured;
  for (int i = 0; i < 40; ++i) {
    const double w = 0.02 + (3 - 0.02) * i / 39;
    const double normal = std::sqrt(-2 * std::log(unit())) * std::cos(2 * 3.141592653589793 * unit());
    measured.push_back({w, *fb::stressAt(curve.steps, w) + 0.01 * peak * normal});
  }
  const double trueRms = fb::compareMeasured(curve.steps, measured)->rms;

  const auto dir = std::filesystem::temp_directory_path() / "fiberbridge-fit-bench";
  std::filesystem::create_directories(dir);
  std::string csv = "crack width (mm),stress (MPa)\n";
  for (const auto& m : measured) csv += fb::exactText(m.Wcr) + "," + fb::exactText(m.sigma) + "\n";
  if (const auto written = fb::writeTextFile((dir / "measured.csv").string(), csv); !written) {
    std::fprintf(stderr, "%s\n", written.error().c_str());
    return 1;
  }

  const std::string command = std::string("'" FIBERBRIDGE_CLI "' -q --division 60 --measured '") +
                              (dir / "measured.csv").string() + "' --fit A=1:8 --fit D=0.1:1.5 --fit fp0=0:1.2 > '" +
                              (dir / "report.txt").string() + "'";
  const auto began = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  const std::string report = slurp(dir / "report.txt");
  std::filesystem::remove_all(dir);
  if (status != 0) {
    std::fprintf(stderr, "fiberbridge-cli failed:\n%s", report.c_str());
    return 1;
  }

  std::smatch runs, after;
  std::regex_search(report, runs, std::regex("(\\d+) runs"));
  std::regex_search(report, after, std::regex("([0-9.]+) MPa after"));
  const int runCount = std::stoi(runs[1]);
  std::printf("%s", report.c_str());
  std::printf(
      "fit benchmark: %d runs in %.2f s whole process (%.1f ms a run); RMS %s MPa reached, %.4f MPa of the "
      "true inputs (target: at most 10 s and at most the true inputs' RMS)\n",
      runCount, seconds, 1000 * seconds / runCount, after[1].str().c_str(), trueRms);
  return 0;
}
