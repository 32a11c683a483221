#pragma once

// Runs the built fiberbridge-cli in a fresh folder and reads what it wrote.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fbtest {

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

/// A data file without its first line, which records the clock.
inline std::string withoutClockLine(const std::string& dataFile) { return dataFile.substr(dataFile.find('\n') + 1); }

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

/// A folder of its own per test, removed afterwards.
class CliFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // A parameterized test's names hold '/': flat, the folder is one that tear-down removes whole.
    std::string name = "fb_cli_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::filesystem::path at(const std::string& name) const { return dir / name; }

  /// Runs the command line (or `program`) in the folder; `prelude` is shell run first (ulimit, trap).
  Outcome run(const std::vector<std::string>& args, const std::string& prelude = "",
              const std::string& program = FIBERBRIDGE_CLI) const {
    return finish(start(args, prelude, program));
  }

  /// Starts the command line in the background; the process is the command line itself.
  pid_t start(const std::vector<std::string>& args, const std::string& prelude = "",
              const std::string& program = FIBERBRIDGE_CLI) const {
    std::string command = "cd '" + dir.string() + "' && " + prelude + " exec '" + program + "'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " >'" + standardOutput + "' 2>stderr.txt <'" + standardInput + "'";
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    EXPECT_EQ(::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ), 0);
    return pid;
  }

  /// Waits for a started command line; the status is minus the signal that killed it, if one did.
  Outcome finish(pid_t pid) const {
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
    return {status, readFile(at("stdout.txt")), readFile(at("stderr.txt"))};
  }

  /// A command the program refuses, and what its message says.
  struct Refused {
    std::vector<std::string> args;
    std::string says;
  };

  /// Each command ends with `status` and says what it should on standard error.
  void expectRefused(const std::vector<Refused>& cases, int status = 2) const {
    for (const Refused& c : cases) {
      const Outcome r = run(c.args);
      EXPECT_EQ(r.status, status) << c.says;
      EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
  }

  std::filesystem::path dir;
  std::string standardInput = "/dev/null";    // of the command lines run, from the folder
  std::string standardOutput = "stdout.txt";  // finish() reads stdout.txt whatever this is
};

}  // namespace fbtest
