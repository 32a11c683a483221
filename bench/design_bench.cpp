// Design, whole process: the built fiberbridge-cli draws a scatter band of
// 64 samples at division 60 (target: at most 2 s) and a 20 x 20 design map at
// division 30 (target: at most 8 s); computes the EN 14651 beam of a run at
// division 60 (at most 1 s), the beams of 64 scatter samples (at most 10 s),
// and fits A and D to the synthetic beam test of the examples (at most 60 s),
// on all cores. Prints the median of five runs of each and whether it meets
// its target.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The median wall time (s) of `times` runs of the command; negative when one fails.
double medianSeconds(const std::string& command, int times) {
  std::vector<double> seconds;
  for (int i = 0; i < times; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  return seconds[seconds.size() / 2];
}

}  // namespace

int main() {
  const auto dir = std::filesystem::temp_directory_path() / "fiberbridge-design-bench";
  std::filesystem::create_directories(dir);
  const std::string cli = FIBERBRIDGE_CLI, at = dir.string() + "/", source = FB_SOURCE_DIR;
  const struct {
    const char* what;
    std::string command;
    double target;
  } cases[] = {
      {"scatter band, 64 samples at division 60",
       cli + " -q --division 60 --scatter Vf=normal:0.02:0.002 --samples 64 --band " + at + "band.csv > /dev/null", 2},
      {"design map, 20 x 20 runs at division 30",
       cli + " -q --division 30 --sweep Vf=0.005:0.03:20 --sweep fp0=0.2:0.9:20 --map energy-index --Jtip 5 " +
           "--sigma-fc 2 --plot " + at + "map.svg --output-dir " + at + "map > /dev/null",
       8},
      {"beam of one run at division 60",
       cli + " -q --division 60 --ft 3 --Gf 0.08 --Ec 30 --beam --beam-curve " + at + "beam.csv > /dev/null", 1},
      {"beams of 64 scatter samples at division 60",
       cli + " -q --division 60 --ft 3 --Gf 0.08 --Ec 30 --beam --scatter Vf=normal:0.02:0.002 --samples 64 " +
           "> /dev/null",
       10},
      {"fit of A, D to the example beam test",
       cli + " -q --inputs " + source + "/examples/sample.inputs --ft 3 --Gf 0.08 --Ec 30 --fit A=0.5:4 " +
           "--fit D=0.1:1.5 --beam-measured " + source + "/examples/sample-beam.csv > /dev/null",
       60},
  };
  bool met = true;
  for (const auto& c : cases) {
    const double s = medianSeconds(c.command, 5);
    if (s < 0) {
      std::fprintf(stderr, "%s: the command failed: %s\n", c.what, c.command.c_str());
      return 1;
    }
    std::printf("%-44s median of 5: %6.2f s (target %.0f s)%s\n", c.what, s, c.target, s <= c.target ? "" : " SLOW");
    met = met && s <= c.target;
  }
  std::filesystem::remove_all(dir);
  return met ? 0 : 1;
}
