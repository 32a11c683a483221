// Result files are written whole or not at all, never through a planted name;
// the files the program reads are regular and of a sane size.
#include "output/text_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/cli_folder.h"
#include "tests/support/reason.h"

namespace {

namespace fs = std::filesystem;
using TextFiles = fbtest::CliFolder;

TEST_F(TextFiles, a_result_file_goes_through_a_fresh_name_and_never_through_a_planted_one) {
  fbtest::writeFile(at("victim"), "precious");
  fs::create_symlink(at("victim"), at("out.csv.part"));         // the name an earlier version wrote through
  fs::create_symlink(at("victim"), at(".out.csv.fb-partial"));  // planted where this one writes
  fbtest::writeFile(at("mine.csv.part"), "the user's own");
  ASSERT_TRUE(fb::writeTextFile(at("out.csv").string(), "a,b\n"));
  ASSERT_TRUE(fb::writeTextFile(at("mine.csv").string(), "c\n"));
  EXPECT_EQ(fbtest::readFile(at("out.csv")), "a,b\n");
  EXPECT_EQ(fbtest::readFile(at("victim")), "precious");
  EXPECT_EQ(fbtest::readFile(at("mine.csv.part")), "the user's own");
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) files += entry.path().filename().string()[0] == '.';
  EXPECT_EQ(files, 1u) << "no temporary file is left behind, and the planted link stays";
}

// A text made piece by piece (a merged summary of a million runs) is written
// whole in blocks, or, when its maker fails part way, not at all.
TEST_F(TextFiles, a_made_text_is_written_whole_or_the_file_is_left_as_it_was) {
  fbtest::writeFile(at("summary.csv"), "earlier\n");
  const std::string row(1000, 'x');
  const auto make = [&](int rows, bool fail) {
    return [rows, fail, &row](const fb::TextPut& put) -> fb::Expected<void> {
      for (int i = 0; i < rows; ++i)
        if (!put(row + "\n")) return {};
      if (fail) return fb::unexpected(std::string("part.csv:7: not what the study wrote"));
      return {};
    };
  };
  EXPECT_EQ(fbtest::reasonOf(fb::writeMadeTextFile(at("summary.csv").string(), make(3000, true))),
            "part.csv:7: not what the study wrote");
  EXPECT_EQ(fbtest::readFile(at("summary.csv")), "earlier\n");
  ASSERT_TRUE(fb::writeMadeTextFile(at("summary.csv").string(), make(3000, false)));
  EXPECT_EQ(fbtest::readFile(at("summary.csv")).size(), 3000u * 1001u);
  // A write that fails names the file; the maker hears of it and stops.
  const std::string full = fbtest::reasonOf(fb::writeMadeTextFile("/dev/full", make(3000, false)));
  EXPECT_EQ(full, "/dev/full: No space left on device");
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) files += entry.path().filename().string()[0] == '.';
  EXPECT_EQ(files, 0u) << "no temporary file is left behind";
}

TEST_F(TextFiles, a_link_is_followed_and_stays_a_link_and_a_replaced_file_keeps_its_permissions) {
  fs::create_directories(at("runs"));
  fbtest::writeFile(at("runs/real.csv"), "old\n");
  ::chmod(at("runs/real.csv").c_str(), 0640);
  fs::create_symlink("runs/real.csv", at("latest.csv"));
  ASSERT_TRUE(fb::writeTextFile(at("latest.csv").string(), "new\n"));
  EXPECT_TRUE(fs::is_symlink(at("latest.csv")));
  EXPECT_EQ(fbtest::readFile(at("runs/real.csv")), "new\n");
  struct stat status {};
  ASSERT_EQ(::stat(at("runs/real.csv").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);

  const auto written = fb::writeTextFile(at("no-such-folder/x.csv").string(), "x");
  ASSERT_FALSE(written);
  EXPECT_NE(written.error().find("No such file or directory"), std::string::npos) << written.error();
  EXPECT_FALSE(fb::writeTextFile("", "x"));
}

TEST_F(TextFiles, a_read_only_file_or_a_loop_of_links_is_refused_and_left_as_it_was) {
  fbtest::writeFile(at("locked.csv"), "kept\n");
  ::chmod(at("locked.csv").c_str(), 0444);  // read-only for everybody: refused also when root runs the tests
  fs::create_symlink("locked.csv", at("to-locked.csv"));
  fs::create_symlink("loop", at("loop"));
  fs::create_symlink("pong", at("ping"));
  fs::create_symlink("ping", at("pong"));
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"locked.csv", "Permission denied"},
      {"to-locked.csv", "Permission denied"},
      {"loop", "Too many levels of symbolic links"},
      {"ping", "Too many levels of symbolic links"},
  };
  for (const auto& c : cases) {
    const auto written = fb::writeTextFile(at(c.name).string(), "new\n");
    ASSERT_FALSE(written) << c.name;
    EXPECT_EQ(written.error(), at(c.name).string() + ": " + c.reason);
  }
  EXPECT_EQ(fbtest::readFile(at("locked.csv")), "kept\n");
  for (const char* link : {"to-locked.csv", "loop", "ping", "pong"}) EXPECT_TRUE(fs::is_symlink(at(link))) << link;
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) files += entry.path().filename().string()[0] == '.';
  EXPECT_EQ(files, 0u) << "no temporary file is left behind";
}

TEST_F(TextFiles, a_data_file_a_run_holds_or_a_pipe_is_refused_without_waiting) {
  fbtest::writeFile(at("held.p-d"), "a run's rows\r\n");
  const int run = ::open(at("held.p-d").c_str(), O_RDWR);
  ASSERT_EQ(::flock(run, LOCK_EX), 0);
  ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0600), 0);
  const struct {
    const char* name;
    const char* says;
  } cases[] = {
      {"held.p-d", "This output data file has been opened by another application. (11): "},
      {"pipe", "not a regular file (a pipe or socket)"},
  };
  for (const auto& c : cases) {
    const auto written = fb::writeTextFile(at(c.name).string(), "x\n");
    ASSERT_FALSE(written) << c.name;
    EXPECT_NE(written.error().find(c.says), std::string::npos) << written.error();
  }
  ::close(run);
  EXPECT_EQ(fbtest::readFile(at("held.p-d")), "a run's rows\r\n");
  EXPECT_TRUE(fb::writeTextFile(at("held.p-d").string(), "x\n")) << "free once the run has ended";
}

TEST_F(TextFiles, a_killed_writers_leftover_is_removed_and_a_name_of_255_bytes_is_written) {
  fbtest::writeFile(at(".r.csv.fb-partial"), "half a resu");  // no writer holds it
  ASSERT_TRUE(fb::writeTextFile(at("r.csv").string(), "whole\n"));
  EXPECT_EQ(fbtest::readFile(at("r.csv")), "whole\n");
  const std::string longest(251, 'n');
  ASSERT_TRUE(fb::writeTextFile(at(longest + ".csv").string(), "x\n"));
  EXPECT_EQ(fbtest::readFile(at(longest + ".csv")), "x\n");
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "left: " << entry.path();
}

TEST_F(TextFiles, a_name_with_a_nul_is_refused_instead_of_ending_at_it) {
  const std::string name = at("a").string() + std::string("\0b", 2);
  EXPECT_EQ(fb::writeTextFile(name, "x").error(), "a file name cannot hold a NUL character");
  EXPECT_FALSE(fs::exists(at("a")));
  fbtest::writeFile(at("a"), "not this one");
  EXPECT_FALSE(fb::readTextFile(name));
}

TEST_F(TextFiles, only_regular_files_of_at_most_64_MiB_are_read) {
  for (const char* path : {"/dev/zero", "/"}) {
    const fb::Expected<std::string> read = fb::readTextFile(path);
    ASSERT_FALSE(read) << path;
    EXPECT_EQ(read.error(), std::string(path) + ": not a regular file");
  }
  fbtest::writeFile(at("huge"), "");
  fs::resize_file(at("huge"), fb::kMaxReadBytes + 1);  // sparse: no time spent writing it
  EXPECT_EQ(fb::readTextFile(at("huge").string()).error(), at("huge").string() + ": larger than 64 MiB");
  fbtest::writeFile(at("small"), "Vf = 0.01\n");
  EXPECT_EQ(fb::readTextFile(at("small").string()).value_or(""), "Vf = 0.01\n");
}

TEST_F(TextFiles, the_same_file_is_found_through_any_of_its_names) {
  fbtest::writeFile(at("a.csv"), "x");
  fs::create_hard_link(at("a.csv"), at("hard.csv"));
  fs::create_symlink(at("a.csv"), at("soft.csv"));
  EXPECT_TRUE(fb::sameFile(at("a.csv").string(), at("hard.csv").string()));
  EXPECT_TRUE(fb::sameFile(at("soft.csv").string(), at("a.csv").string()));
  EXPECT_TRUE(fb::sameFile(at("new.csv").string(), (dir / "sub" / ".." / "new.csv").string()));
  fs::create_symlink(at("later.csv"), at("dangling.csv"));
  EXPECT_TRUE(fb::sameFile(at("dangling.csv").string(), at("later.csv").string()));
  EXPECT_FALSE(fb::sameFile(at("a.csv").string(), at("b.csv").string()));
}

}  // namespace
