// The command line keeps the user's files whole and tells the truth: a full
// disk, a file another run holds, a signal in the middle of a run or a study,
// an output named like an input, and files that are not what they seem.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "tests/support/cli_folder.h"

namespace {

namespace fs = std::filesystem;
using fbtest::lines;
using fbtest::readFile;

class FileSafety : public fbtest::CliFolder {
 protected:
  /// Waits (at most 20 s) until `ready` holds.
  static bool waitFor(const std::function<bool()>& ready) {
    for (int i = 0; i < 2000; ++i) {
      if (ready()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  /// Every line of a data file ends in CR LF: no row is cut.
  static bool endsOnCompleteRow(const std::string& text) { return text.size() >= 2 && text.ends_with("\r\n"); }
  /// A shell prelude that limits files to 8 KiB and leaves SIGXFSZ at its
  /// default, which ends a process that writes beyond the limit, as a user's
  /// shell does: the program must ignore the signal itself. (A signal ignored
  /// here would stay ignored in the shell and the program.)
  static std::string smallFileLimit() {
    std::signal(SIGXFSZ, SIG_DFL);
    return "ulimit -f 8;";
  }
};

TEST_F(FileSafety, a_full_disk_leaves_complete_rows_and_names_the_step) {
  // A file size limit of 8 KiB stands in for a full disk.
  const fbtest::Outcome r = run({"-q", "-o", "big.p-d", "--division", "300"}, smallFileLimit());
  EXPECT_EQ(r.status, 1) << "not ended by SIGXFSZ";
  const std::string file = readFile(at("big.p-d"));
  EXPECT_TRUE(endsOnCompleteRow(file));
  const std::size_t rows = lines(file).size() - 6;
  EXPECT_NE(r.err.find("could not be written at step " + std::to_string(rows) + "; it keeps the rows of steps 0 to " +
                       std::to_string(rows - 1) + ". (27)"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(FileSafety, a_run_into_a_longer_data_file_leaves_only_its_own_rows) {
  fbtest::writeFile(at("run.p-d"), std::string(65536, '#') + "\r\n");
  ASSERT_EQ(run({"-q", "-o", "run.p-d", "--division", "2"}).status, 0);
  const std::string file = readFile(at("run.p-d"));
  EXPECT_EQ(lines(file).size(), 6u + 5u);
  EXPECT_EQ(file.find('#'), std::string::npos) << "the earlier file's tail survived";
}

TEST_F(FileSafety, result_files_are_replaced_whole_and_a_failed_write_keeps_the_earlier_ones) {
  // A reader of the earlier files, through an open descriptor or another
  // name, keeps reading them whole: the new files take their names only.
  const std::vector<std::string> results = {"r.csv", "r.svg", "r.inputs", "s/summary.csv"};
  fs::create_directories(at("s"));
  std::vector<int> readers;
  for (const std::string& name : results) {
    fbtest::writeFile(at(name), "earlier " + name + "\n");
    fs::create_hard_link(at(name), at(name + ".link"));
    readers.push_back(::open(at(name).c_str(), O_RDONLY));
  }
  ASSERT_EQ(
      run({"-q", "-o", "r.p-d", "--division", "2", "--csv", "r.csv", "--plot", "r.svg", "--save-inputs", "r.inputs"})
          .status,
      0);
  ASSERT_EQ(run({"-q", "--sweep", "kxy=1,2", "--division", "2", "--output-dir", "s"}).status, 0);
  for (std::size_t i = 0; i < results.size(); ++i) {
    const std::string earlier = "earlier " + results[i] + "\n";
    char buffer[64] = {};
    const ssize_t n = ::pread(readers[i], buffer, sizeof buffer, 0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0))), earlier);
    ::close(readers[i]);
    EXPECT_EQ(readFile(at(results[i] + ".link")), earlier);
    EXPECT_NE(readFile(at(results[i])), earlier) << results[i] << " was not written";
  }

  // The CSV of 601 steps outgrows the limit: the earlier CSV stays as it was.
  const std::string csv = readFile(at("r.csv"));
  const fbtest::Outcome full = run({"-q", "-o", "/dev/null", "--division", "300", "--csv", "r.csv"}, smallFileLimit());
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("r.csv: File too large (not written)"), std::string::npos) << full.err;
  EXPECT_EQ(readFile(at("r.csv")), csv);
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "a temporary file is left: " << entry.path();
}

TEST_F(FileSafety, a_data_file_another_run_holds_is_left_as_it_was) {
  fbtest::writeFile(at("held.p-d"), "another run's rows\r\n");
  const int fd = ::open(at("held.p-d").c_str(), O_RDWR);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  const fbtest::Outcome single = run({"-o", "held.p-d", "--division", "2"});
  EXPECT_EQ(single.status, 1);
  EXPECT_NE(single.err.find("This output data file has been opened by another application. (11): held.p-d: "
                            "another run is writing it"),
            std::string::npos)
      << single.err;

  fs::create_directories(at("study"));
  fbtest::writeFile(at("study/kxy=2.p-d"), "another run's rows\r\n");
  const int studyFd = ::open(at("study/kxy=2.p-d").c_str(), O_RDWR);
  ASSERT_EQ(::flock(studyFd, LOCK_EX), 0);
  const fbtest::Outcome study = run({"--sweep", "kxy=1,2", "--division", "2", "--output-dir", "study"});
  EXPECT_EQ(study.status, 1);
  const auto rows = lines(readFile(at("study/summary.csv")));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1].rfind("1,kxy=1.p-d,finished,", 0), 0u) << rows[1];
  EXPECT_EQ(rows[2].rfind("2,,failed,", 0), 0u) << rows[2];
  ::close(fd);
  ::close(studyFd);
  EXPECT_EQ(readFile(at("held.p-d")), "another run's rows\r\n");
  EXPECT_EQ(readFile(at("study/kxy=2.p-d")), "another run's rows\r\n");
}

TEST_F(FileSafety, a_signal_stops_a_run_at_a_complete_row_with_the_shells_status) {
  for (const auto& [signal, status] : {std::pair{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}}) {
    SCOPED_TRACE(signal);
    fs::remove(at("long.p-d"));
    const pid_t pid = start({"-q", "-o", "long.p-d", "--division", "16000", "--csv", "long.csv"});
    ASSERT_TRUE(waitFor([&] { return lines(readFile(at("long.p-d"))).size() > 8; }));
    ::kill(pid, signal);
    const fbtest::Outcome r = finish(pid);
    EXPECT_EQ(r.status, status);
    const std::string file = readFile(at("long.p-d"));
    EXPECT_TRUE(endsOnCompleteRow(file));
    const std::size_t rows = lines(file).size() - 6;
    EXPECT_NE(r.err.find("interrupted at step " + std::to_string(rows) + "; long.p-d keeps steps 0 to " +
                         std::to_string(rows - 1)),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(at("long.csv"))) << "an interrupted run writes no results";
    EXPECT_NE(r.err.find("; --csv long.csv was not written"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// Two runs in flight and one waiting: the signal cuts both short at a
// complete row, starts no other and draws no plot of a study cut short.
TEST_F(FileSafety, a_signal_stops_the_runs_going_in_a_study_and_starts_no_other) {
  const pid_t pid = start({"-q", "--sweep", "kxy=1,2,3", "--division", "16383", "--output-dir", "study", "--jobs", "2",
                           "--plot", "study.svg"});
  ASSERT_TRUE(waitFor([&] {
    return lines(readFile(at("study/kxy=1.p-d"))).size() > 8 && lines(readFile(at("study/kxy=2.p-d"))).size() > 8;
  }));
  ::kill(pid, SIGTERM);
  const fbtest::Outcome r = finish(pid);
  EXPECT_EQ(r.status, 143);
  EXPECT_NE(r.err.find("interrupted: 0 of 3 runs finished; study/summary.csv gives each run's status"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(at("study.svg")));
  const auto rows = lines(readFile(at("study/summary.csv")));
  ASSERT_EQ(rows.size(), 4u);
  for (const int kxy : {1, 2}) {
    const std::string& row = rows[kxy];
    EXPECT_EQ(row.rfind(std::to_string(kxy) + ",kxy=" + std::to_string(kxy) + ".p-d,interrupted,", 0), 0u) << row;
    const std::string file = readFile(at("study/kxy=" + std::to_string(kxy) + ".p-d"));
    EXPECT_TRUE(endsOnCompleteRow(file));
    EXPECT_NE(row.find("interrupted at step " + std::to_string(lines(file).size() - 6) + ";"), std::string::npos)
        << row;
  }
  EXPECT_EQ(rows[3].rfind("3,,not run,", 0), 0u) << rows[3];
  EXPECT_FALSE(fs::exists(at("study/kxy=3.p-d")));
}

// Renaming over a file needs no right to write it, and root may write any
// file: a file marked read-only for everybody is refused all the same.
TEST_F(FileSafety, a_read_only_result_file_or_a_loop_of_links_is_refused_by_name_and_kept) {
  for (const char* name : {"ro.p-d", "ro.csv", "ro.svg", "ro.inputs", "study/summary.csv"}) {
    fs::create_directories(at(name).parent_path());
    fbtest::writeFile(at(name), "kept\n");
    fs::permissions(at(name), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }
  fs::create_symlink("loop", at("loop"));
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> says;
  } cases[] = {
      {{"-o", "ro.p-d"}, {"ro.p-d: Permission denied (the data file could not be written; error 13)"}},
      {{"-o", "a.p-d", "--csv", "ro.csv", "--plot", "ro.svg", "--save-inputs", "ro.inputs"},
       {"ro.csv: Permission denied (not written)", "ro.svg: Permission denied (not written)",
        "ro.inputs: Permission denied (not written)"}},
      {{"--sweep", "kxy=1,2", "--output-dir", "study"}, {"study/summary.csv: Permission denied", "no run started"}},
      {{"-o", "b.p-d", "--csv", "loop"}, {"loop: Too many levels of symbolic links (not written)"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"-q", "--division", "2"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const fbtest::Outcome r = run(args);
    EXPECT_EQ(r.status, 1) << c.says[0];
    for (const std::string& says : c.says) EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
  }
  for (const char* name : {"ro.p-d", "ro.csv", "ro.svg", "ro.inputs", "study/summary.csv"})
    EXPECT_EQ(readFile(at(name)), "kept\n") << name;
  EXPECT_TRUE(fs::is_symlink(at("loop")));
  EXPECT_TRUE(fs::exists(at("a.p-d"))) << "the run itself is done";
  EXPECT_FALSE(fs::exists(at("study/kxy=1.p-d")));
}

TEST_F(FileSafety, no_output_may_overwrite_an_input_or_another_output) {
  fbtest::writeFile(at("run1.inputs"), "kxy = 2\n");
  fbtest::writeFile(at("m.csv"), "0.1,1\n");
  fs::create_hard_link(at("m.csv"), at("m.svg"));
  fbtest::writeFile(at("kxy=2.p-d"), "0.1,1\n");
  expectRefused({
      {{"-o", "run1.inputs", "--inputs", "run1.inputs"}, "--inputs run1.inputs and -o run1.inputs name the same file"},
      {{"-o", "a.p-d", "--measured", "m.csv", "--csv", "m.csv"}, "--measured m.csv and --csv m.csv"},
      {{"-o", "a.p-d", "--measured", "m.csv", "--plot", "m.svg"}, "--measured m.csv and --plot m.svg"},
      {{"-o", "x", "--csv", "x"}, "-o x and --csv x"},
      {{"-o", "d.p-d", "--save-inputs", "./d.p-d"}, "-o d.p-d and --save-inputs ./d.p-d"},
      {{"--sweep", "kxy=1,2", "--output-dir", ".", "--measured", "kxy=2.p-d"}, "and --measured kxy=2.p-d"},
      {{"-o", "a.p-d", "--csv", ""}, "--csv needs a name"},
      {{"-o", "a.p-d", "--inputs", ""}, "--inputs needs a name"},
      {{"-o", "a.p-d", "--inputs", "/dev/zero"}, "/dev/zero: not a regular file"},
      {{"-o", "a.p-d", "--measured", "/dev/zero"}, "/dev/zero: not a regular file"},
  });
  EXPECT_EQ(readFile(at("run1.inputs")), "kxy = 2\n");
  EXPECT_EQ(readFile(at("m.csv")), "0.1,1\n");
  EXPECT_FALSE(fs::exists(at("a.p-d")));
  EXPECT_FALSE(fs::exists(at("x")));

  EXPECT_EQ(run({"-o", "/dev/null", "--csv", "/dev/null", "--division", "2"}).status, 0) << "a device may take both";
  EXPECT_EQ(run({"-o", "a.p-d", "--division", "2", "--plot", "a.SVG"}).status, 0);
}

TEST_F(FileSafety, no_output_may_name_standard_input_a_pipe_or_a_study_lock_and_no_curve_counts_twice) {
  fbtest::writeFile(at("sm.csv"), "0.1,1\n0.2,2\n");
  fbtest::writeFile(at("si.inputs"), "kxy = 2\n");
  ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0600), 0);
  fs::create_directories(at("s"));
  fbtest::writeFile(at(std::string("s/") + ".fiberbridge-study.lock"), "study 0\n");
  fs::copy_file(at("sm.csv"), at("copy.csv"));
  const std::vector<std::string> fit = {"--fit", "A=1:3", "-o", "f.p-d", "--division", "2"};
  const auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  standardInput = "sm.csv";
  expectRefused(
      {{{"-o", "a.p-d", "--measured", "-", "--csv", "sm.csv"}, "--measured - and --csv sm.csv name the same"}});
  standardInput = "si.inputs";
  expectRefused({{{"-o", "a.p-d", "--inputs", "-", "--save-inputs", "si.inputs"}, "--inputs - and --save-inputs"}});
  standardInput = "/dev/null";
  expectRefused({
      {{"-o", "a.p-d", "--csv", "pipe"}, "--csv pipe: a pipe or socket, not a file to write"},
      {{"-o", "pipe"}, "-o pipe: a pipe or socket"},
      {{"-o", "a.p-d", "--save-inputs", "s/.fiberbridge-study.lock"}, "the lock file of a study's folder"},
      {with({"--measured", "sm.csv", "--measured", "copy.csv"}, fit), "sm.csv and --measured copy.csv hold the same"},
      {with({"--measured", "sm.csv", "--fit", "fp0=0.5:0.50001"}, fit), "fewer than 1000 values of fp0's precision"},
      {{"-o", "a.p-d", "--Km", "1e-200", "--Em", "1e200", "--sigma-fc", "2", "--allow-unusual-matrix"},
       "Jtip = Km^2/Em = 0 J/m2, which is too"},
      {{"-o", "a.p-d", "--Km", "1e200", "--Em", "1e-200", "--sigma-fc", "2", "--allow-unusual-matrix"},
       "too small or too large to divide by"},
      {{"--scatter", "Vf=normal:0.02:0.002", "--Vf", "0.03"}, "--Vf and --scatter Vf both set Vf"},
      // A matrix in the wrong unit: the unit expected, and the likely slip.
      {{"-o", "a.p-d", "--Km", "0.5", "--Em", "20000", "--sigma-fc", "2"},
       "--Em is in GPa: 20000 GPa is not a cementitious matrix, which lies within 1 to 100 GPa; did you give MPa? "
       "(--allow-unusual-matrix takes it as given)"},
      {{"-o", "a.p-d", "--Km", "15.8", "--Em", "20", "--sigma-fc", "2"}, "5 MPa m^0.5; did you give MPa mm^0.5?"},
      {{"-o", "a.p-d", "--Jtip", "0.012", "--sigma-fc", "2"}, "500 J/m2; did you give kJ/m2 (N/mm)?"},
      {{"-o", "a.p-d", "--Jtip", "10", "--sigma-fc", "2500"}, "--sigma-fc is in MPa: 2500 MPa is not a"},
      {{"-o", "a.p-d", "--Jtip", "10", "--sigma-fc", "0.49"}, "0.5 to 20 MPa (--allow-unusual-matrix"},
      {{"-o", "a.p-d", "--allow-unusual-matrix"}, "--allow-unusual-matrix goes with the matrix"},
  });
  EXPECT_EQ(readFile(at("sm.csv")), "0.1,1\n0.2,2\n");
  EXPECT_EQ(readFile(at("si.inputs")), "kxy = 2\n");
  EXPECT_EQ(readFile(at("s/.fiberbridge-study.lock")), "study 0\n");
  EXPECT_TRUE(fs::is_fifo(at("pipe")));
}

TEST_F(FileSafety, a_result_writer_never_replaces_a_data_file_a_run_is_writing) {
  const pid_t pid = start({"-q", "-o", "same.p-d", "--division", "16000"});
  ASSERT_TRUE(waitFor([&] { return lines(readFile(at("same.p-d"))).size() > 8; }));
  const fbtest::Outcome r = run({"-q", "-o", "other.p-d", "--division", "2", "--csv", "same.p-d"});
  ::kill(pid, SIGTERM);
  finish(pid);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("This output data file has been opened by another application. (11): same.p-d: another run "
                       "is writing it (not written)"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(readFile(at("same.p-d")).rfind("Bridging Law", 0), 0u) << "the run's own rows stay in its file";
}

TEST_F(FileSafety, a_data_file_that_gets_no_header_is_removed_and_says_its_own_reason) {
  // No file may grow at all: the header cannot be written (nor the message, which is not looked at).
  const fbtest::Outcome full = run({"-q", "-o", "h.p-d", "--division", "2"}, smallFileLimit() + "ulimit -f 0;");
  EXPECT_EQ(full.status, 1);
  EXPECT_FALSE(fs::exists(at("h.p-d"))) << "an empty data file would pass for a result";

  const fbtest::Outcome missing = run({"-q", "-o", "no-such-folder/x.p-d", "--division", "2"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.rfind("fiberbridge-cli: no-such-folder/x.p-d: No such file or directory", 0), 0u)
      << missing.err;
  EXPECT_EQ(missing.err.find("another application"), std::string::npos) << "the lock's sentence is for the lock";
}

TEST_F(FileSafety, results_lost_on_standard_output_fail_and_names_are_shown_escaped) {
  standardOutput = "/dev/full";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-q", "-o", "a.p-d", "--division", "2"}, std::vector<std::string>{"--help"}}) {
    const fbtest::Outcome r = run(args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_NE(r.err.find("could not write the results to standard output: No space left on device"), std::string::npos)
        << r.err;
  }
  standardOutput = "stdout.txt";
  const fbtest::Outcome r = run({"-q", "-o", "a\x1b[2J.p-d", "--division", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("written to a\\x1b[2J.p-d"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << "no escape sequence reaches the terminal";
}

TEST_F(FileSafety, a_run_under_nohup_outlives_a_hang_up) {
  // nohup and background jobs of scripts hand down "ignore": the run must keep it.
  const pid_t pid = start({"-q", "-o", "long.p-d", "--division", "16000"}, "trap '' HUP INT;");
  ASSERT_TRUE(waitFor([&] { return lines(readFile(at("long.p-d"))).size() > 8; }));
  ::kill(pid, SIGHUP);
  ::kill(pid, SIGINT);
  const fbtest::Outcome r = finish(pid);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lines(readFile(at("long.p-d"))).size(), 6u + 32001u);
}

TEST_F(FileSafety, a_sharp_orientation_is_run_with_a_warning_also_in_the_summary) {
  const fbtest::Outcome single = run({"-o", "a.p-d", "--division", "2", "--kxy", "1e5"});
  EXPECT_EQ(single.status, 0);
  EXPECT_NE(single.err.find("warning: kxy 100000 is too sharp for the 90 angle classes of the x-y plane: they hold "
                            "0.2772 of its fibers"),
            std::string::npos)
      << single.err;
  // The classes hold 0.99 of the fibers at kzx 1157: the warning starts there.
  ASSERT_EQ(run({"--sweep", "kzx=1150,1165", "--division", "2", "--output-dir", "s"}).status, 0);
  const auto rows = lines(readFile(at("s/summary.csv")));
  EXPECT_EQ(rows[1].find("too sharp"), std::string::npos) << rows[1];
  EXPECT_NE(rows[2].find("kzx 1165 is too sharp for the 90 angle classes of the z-x plane: they hold 0.9898 of"),
            std::string::npos)
      << rows[2];
}

}  // namespace
