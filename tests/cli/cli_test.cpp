// Runs the built fiberbridge-cli and reads what it wrote.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/version.h"

namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out, err;
};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> fileLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::istringstream in(readFile(path));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("fiberbridge_cli_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  CliRun run(const std::string& args) {
    const std::string command = std::string(FIBERBRIDGE_CLI) + " " + args + " > " + (dir / "out").string() + " 2> " +
                                (dir / "err").string() + " < /dev/null";
    CliRun r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(dir / "out");
    r.err = readFile(dir / "err");
    return r;
  }

  fs::path dir;
};

TEST_F(Cli, default_inputs_write_the_reference_file_and_one_summary_line) {
  const fs::path data = dir / "bridging.p-d";
  const CliRun r = run("--output " + data.string());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");  // no terminal, no progress
  EXPECT_EQ(r.out,
            "peak force 5.1888 kN, peak stress 2.0755 MPa at Wcr 0.266666666666667 mm, bridging energy "
            "1.4679 N/mm, half the peak stress at Wcr 0.43573 mm; written to " +
                data.string() + "\n");
  const std::vector<std::string> lines = fileLines(data);
  ASSERT_EQ(lines.size(), 6u + 61u);
  EXPECT_EQ(lines[4], "  Crack angle, X-Y=0, Z-X=0, Total fiber = 6366.183, Coefficient of fiber Number = 63.03152");
  EXPECT_EQ(lines[6 + 8], " 8            0.26667       5188.83       2.07553       0.36875");
}

TEST_F(Cli, option_texts_are_read_as_the_window_reads_its_boxes) {
  const fs::path data = dir / "a.p-d";
  const CliRun r = run("-o " + data.string() + " '--Am=2 500' --fp1 -0.01 --Vf 0.02mix --division 1.5");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = fileLines(data);
  EXPECT_EQ(lines.size(), 6u + 5u);  // 1.5 rounds to 2: five steps
  EXPECT_EQ(lines[1].substr(0, 37), "  Sectional area of matrix (mm2)=2500");
  EXPECT_NE(lines[2].find("Snubbing coef.=0.5, 0+0*lb"), std::string::npos);  // no fp1 term when negative
}

TEST_F(Cli, a_negative_division_writes_the_header_only) {
  const fs::path data = dir / "h.p-d";
  ASSERT_EQ(run("-o " + data.string() + " --division -1").status, 0);
  EXPECT_EQ(fileLines(data).size(), 6u);
}

struct Refused {
  const char* args;
  const char* field;
};

TEST_F(Cli, refused_inputs_exit_1_name_the_field_and_leave_no_file) {
  const Refused cases[] = {
      {"--Af 0", "Af"},
      {"--Am 0", "Am"},
      {"--Vf 0", "Vf"},
      {"--division 0", "division"},
      {"--division 16384", "division"},
      {"--division 40000", "division"},
      {"--division -16385", "division"},
      {"--kxy 0", "kxy"},
      {"--kzx -1", "kzx"},
      {"--Lf 0", "Lf"},
      {"--Lf -3", "Lf"},
      {"--Ca 0 --Da 0", "Ca/Da"},
      {"--fp0 1e39", "fp0"},
      {"--fp0 200", "fp0/fp1"},
      {"--fd0 200", "fd0/fd1"},
      {"--Aa 1e38 --Ba 3", "Aa/Ba"},
      {"--A 1e38 --B 1", "A/B"},
      {"--C 1e308", "C/D"},
  };
  for (const Refused& c : cases) {
    const fs::path data = dir / "refused.p-d";
    const CliRun r = run("-o " + data.string() + " " + c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_NE(r.err.find(std::string(": ") + c.field + " ("), std::string::npos) << c.args << ": " << r.err;
    EXPECT_FALSE(fs::exists(data)) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }
}

TEST_F(Cli, negative_exponents_run_without_refusal) {
  const CliRun r = run("-o " + (dir / "n.p-d").string() + " --Ba -1 --B -0.5 --division 3");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(dir / "n.p-d").find("nan"), std::string::npos);
  EXPECT_EQ(readFile(dir / "n.p-d").find("inf"), std::string::npos);
}

TEST_F(Cli, an_unwritable_data_file_gives_the_windows_message_with_its_code) {
  const CliRun missing = run("-o " + (dir / "no-such-folder" / "x.p-d").string());
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("This output data file has been opened by another application. (2)"), std::string::npos)
      << missing.err;
  const CliRun full = run("-o /dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("This output data file has been opened by another application. (28)"), std::string::npos)
      << full.err;
}

TEST_F(Cli, usage_errors_exit_2) {
  EXPECT_EQ(run("--division 3").status, 2);  // no --output
  EXPECT_EQ(run("-o x.p-d --bogus 1").status, 2);
  EXPECT_EQ(run("-o x.p-d --Am").status, 2);
  const CliRun version = run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string(fb::kVersion) + "\n");
}

// The toolkit loads only with the PNG painter module; linked in, it would
// make every start several times slower.
TEST_F(Cli, starts_without_the_window_toolkit) {
  const std::string libraries = (dir / "ldd").string();
  ASSERT_EQ(std::system(("ldd " FIBERBRIDGE_CLI " > " + libraries).c_str()), 0);
  const std::string needed = readFile(libraries);
  EXPECT_NE(needed.find("libc.so"), std::string::npos) << needed;
  EXPECT_EQ(needed.find("libQt"), std::string::npos) << needed;
}

}  // namespace
