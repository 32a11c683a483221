// The command line on a system short of threads or of memory: a fit ends on
// the threads the system gives, and a run without memory for its class table
// fails with the reason instead of ending the process.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "tests/support/cli_folder.h"

namespace {

using fbtest::lines;
using fbtest::readFile;

class ScarceSystem : public fbtest::CliFolder {
 protected:
  void SetUp() override {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's runtime must come first; the preloaded stand-in would come before it";
#endif
    fbtest::CliFolder::SetUp();
  }

  /// Runs the command line with the stand-in preloaded and `settings` in its
  /// environment; one that still runs after 30 s is killed (status -9).
  fbtest::Outcome runScarce(const std::string& settings, const std::vector<std::string>& args) const {
    const pid_t pid = start(args, "export LD_PRELOAD='" FIBERBRIDGE_SCARCE_SYSTEM "' " + settings + ";");
    for (int i = 0; i < 3000; ++i) {
      int raw = 0;
      if (::waitpid(pid, &raw, WNOHANG) == pid)
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw), readFile(at("stdout.txt")),
                readFile(at("stderr.txt"))};
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    return finish(pid);
  }
};

// The study's workers meet a refused start in the study runner's own test,
// through its seam; here the fit's pool meets the system's refusal.
TEST_F(ScarceSystem, a_fit_ends_on_the_threads_the_system_gives) {
  // The given A and one start from the hypercube, each a task for a worker of its own.
  fbtest::writeFile(at("m.csv"), "0.125,1.0\n0.25,1.8\n0.375,2.0\n0.75,1.35\n1.625,0.8\n2.875,0.35\n");
  const std::vector<std::string> fit = {"-q",      "--division",   "8", "--measured",   "m.csv", "--fit",
                                        "A=0.5:4", "--fit-starts", "2", "--save-inputs"};
  auto one = fit;
  one.insert(one.end(), {"one.inputs", "--jobs", "1"});
  ASSERT_EQ(run(one).status, 0);
  auto scarce = fit;
  scarce.insert(scarce.end(), {"scarce.inputs", "--jobs", "4"});
  const fbtest::Outcome r = runScarce("FB_THREADS_ALLOWED=1", scarce);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(at("scarce.inputs")), readFile(at("one.inputs")));
}

TEST_F(ScarceSystem, a_run_without_memory_for_its_class_table_fails_with_the_reason) {
  const fbtest::Outcome study = runScarce(
      "FB_NO_TABLE_MEMORY=1", {"-q", "--sweep", "kxy=1,2", "--division", "2", "--jobs", "2", "--output-dir", "s"});
  EXPECT_EQ(study.status, 1) << study.err;
  const auto rows = lines(readFile(at("s/summary.csv")));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1], "1,,failed,,,,,,the run stopped: not enough memory,,,,,,,");
  EXPECT_EQ(rows[2], "2,,failed,,,,,,the run stopped: not enough memory,,,,,,,");
  EXPECT_NE(study.out.find("kxy=2: failed: the run stopped: not enough memory\n"), std::string::npos) << study.out;

  fbtest::writeFile(at("m.csv"), "0.1,1\n0.3,2\n");
  const fbtest::Outcome fit = runScarce(
      "FB_NO_TABLE_MEMORY=1",
      {"-q", "--division", "4", "--measured", "m.csv", "--fit", "A=0.5:4", "--fit-starts", "2", "--jobs", "2"});
  EXPECT_EQ(fit.status, 1);
  EXPECT_NE(fit.err.find("the fit failed: not enough memory for its runs"), std::string::npos) << fit.err;

  // A single run fails before its data file is opened.
  const fbtest::Outcome single = runScarce("FB_NO_TABLE_MEMORY=1", {"-q", "--division", "2", "-o", "r.p-d"});
  EXPECT_EQ(single.status, 1);
  EXPECT_NE(single.err.find("not enough memory for the run's fiber class table"), std::string::npos) << single.err;
  EXPECT_FALSE(std::filesystem::exists(at("r.p-d")));
}

// A measured curve too large for the memory the process may take: a plain
// refusal with the reason, no abort and no file.
TEST_F(ScarceSystem, a_curve_beyond_the_memory_limit_is_refused_with_the_reason) {
  const std::string line = "0.1,1\n";
  std::string curve;
  for (std::size_t i = 0; i < (60u << 20) / line.size(); ++i) curve += line;
  fbtest::writeFile(at("big.csv"), curve);
  const fbtest::Outcome r = run({"-q", "--measured", "big.csv", "-o", "r.p-d"}, "ulimit -v 200000;");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "fiberbridge-cli: not enough memory for the command line and the files it names\n");
  EXPECT_FALSE(std::filesystem::exists(at("r.p-d")));
}

// Threads follow the CPUs the process may use: one CPU (taskset, or Slurm's
// SLURM_CPUS_PER_TASK) or --jobs 1 means one thread throughout.
TEST_F(ScarceSystem, threads_follow_the_cpus_the_process_may_use) {
  const std::vector<std::string> study = {"-q", "--sweep", "kxy=0.5:2:4", "--division", "20", "--output-dir"};
  const auto threadsAsked = [&](const std::string& name, const std::string& settings,
                                std::vector<std::string> extra = {}) {
    std::vector<std::string> args = study;
    args.push_back(name);
    args.insert(args.end(), extra.begin(), extra.end());
    const fbtest::Outcome r =
        runScarce("FB_THREADS_COUNTED='" + at(name + ".threads").string() + "' " + settings, args);
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    return std::stol(readFile(at(name + ".threads")));
  };
  const long one = threadsAsked("jobs1", "", {"--jobs", "1"});
  EXPECT_EQ(threadsAsked("taskset", "; taskset -p -c 0 $$ >/dev/null"), one);
  EXPECT_EQ(threadsAsked("slurm", "SLURM_CPUS_PER_TASK=1"), one);
  // Slurm's count above the mask is not more CPUs than the mask gives.
  EXPECT_EQ(threadsAsked("slurm-above", "SLURM_CPUS_PER_TASK=2; taskset -p -c 0 $$ >/dev/null"), one);
  const long all = threadsAsked("all", "");
  if (std::thread::hardware_concurrency() > 1) {
    EXPECT_GT(all, one);
  }
  EXPECT_EQ(readFile(at("taskset/summary.csv")), readFile(at("all/summary.csv")));
}

// --jobs 1 holds for every step of a fit, its standard errors' too: on
// every CPU it asks the threads it asks on one.
TEST_F(ScarceSystem, a_fit_on_one_job_asks_the_threads_of_one_cpu) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one CPU: nothing to tell apart";
  fbtest::writeFile(at("m.csv"), "0.125,1.0\n0.25,1.8\n0.375,2.0\n0.75,1.35\n1.625,0.8\n2.875,0.35\n");
  const auto threadsAsked = [&](const std::string& name, const std::string& settings) {
    const fbtest::Outcome r = runScarce(
        "FB_THREADS_COUNTED='" + at(name).string() + "' " + settings,
        {"-q", "--division", "8", "--measured", "m.csv", "--fit", "A=0.5:4", "--fit-starts", "2", "--jobs", "1"});
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    return std::stol(readFile(at(name)));
  };
  EXPECT_EQ(threadsAsked("all.threads", ""), threadsAsked("one.threads", "; taskset -p -c 0 $$ >/dev/null"));
}

}  // namespace
