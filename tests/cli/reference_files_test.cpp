// Every bit of every result, pinned: the built fiberbridge-cli runs each
// reference input set and must write its data file (from line 2, since line 1
// records the clock) and its CSV rows exactly as committed. A change in the
// order of a sum, a fused multiply-add or a different rounding shows here.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/cli_folder.h"

namespace {

namespace fs = std::filesystem;

class ReferenceFiles : public fbtest::CliFolder, public ::testing::WithParamInterface<const char*> {};

TEST_P(ReferenceFiles, the_data_file_and_csv_match_byte_for_byte) {
  EXPECT_EQ(dir.parent_path(), fs::temp_directory_path()) << "tear-down would leave the folders above " << dir;
  const fs::path reference = fs::path(FIBERBRIDGE_REFERENCE_DIR) / GetParam();
  const fbtest::Outcome r =
      run({"-q", "--inputs", reference.string() + ".inputs", "-o", "run.p-d", "--csv", "run.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string expected = fbtest::readFile(reference.string() + ".p-d");
  const std::string written = fbtest::withoutClockLine(fbtest::readFile(at("run.p-d")));
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(written, expected)
      << "the data file of " << GetParam() << " moved; first difference at byte "
      << std::distance(written.begin(),
                       std::mismatch(written.begin(), written.end(), expected.begin(), expected.end()).first);
  EXPECT_EQ(fbtest::readFile(at("run.csv")), fbtest::readFile(reference.string() + ".csv"));
}

INSTANTIATE_TEST_SUITE_P(InputSets, ReferenceFiles,
                         ::testing::Values("defaults", "oriented_folded", "length_terms", "wide_knee",
                                           "first_point_beyond_peak"));

}  // namespace
