// The study runner in process, on several threads: each run's record lands in
// its input's place, whatever order the runs end in.
#include "study/study_runner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "tests/support/cli_folder.h"

namespace {

using StudyRunner = fbtest::CliFolder;

std::vector<fb::FieldTexts> kxyRuns(const std::filesystem::path& dir, const std::vector<const char*>& values) {
  std::vector<fb::FieldTexts> inputs;
  for (const char* kxy : values) {
    fb::FieldTexts t = fb::FieldTexts::defaults();
    t[fb::Field::division] = "4";
    t[fb::Field::kxy] = kxy;
    t[fb::Field::dataFile] = (dir / (std::string("kxy=") + kxy + ".p-d")).string();
    inputs.push_back(t);
  }
  return inputs;
}

TEST_F(StudyRunner, records_come_back_in_input_order_whatever_the_number_of_jobs) {
  const std::vector<const char*> values = {"0.5", "3", "0", "1", "2.5", "0.8", "1.7"};  // 0 is refused
  const auto inputs = kxyRuns(dir, values);
  const std::vector<fb::MeasuredPoint> measured = {{0.2, 1.5}, {0.5, 1.0}};
  const std::vector<fb::RunRecord> one = fb::runStudy(inputs, {1, measured, false}, nullptr);

  std::mutex seen;
  std::size_t lastDone = 0;
  const std::vector<fb::RunRecord> three = fb::runStudy(inputs, {3, measured, true}, [&](const fb::StudyProgress& p) {
    std::lock_guard lock(seen);
    EXPECT_GE(p.runsDone, lastDone);
    lastDone = p.runsDone;
  });

  ASSERT_EQ(three.size(), values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(values[i]);
    EXPECT_EQ(three[i].summary.end, one[i].summary.end);
    EXPECT_EQ(three[i].summary.dataFile, inputs[i][fb::Field::dataFile]);
    if (one[i].summary.end != fb::RunEnd::finished) continue;
    EXPECT_EQ(three[i].summary.maximum.P, one[i].summary.maximum.P);
    EXPECT_EQ(three[i].metrics.curve->energy, one[i].metrics.curve->energy);
    EXPECT_EQ(three[i].metrics.fit->rms, one[i].metrics.fit->rms);
    EXPECT_FALSE(three[i].stress.strokes().empty()) << "the graphs were kept for a plot";
    EXPECT_TRUE(three[i].steps.empty()) << "a study keeps metrics, not rows";
  }
  EXPECT_EQ(three[2].summary.end, fb::RunEnd::refused);
  EXPECT_EQ(three[2].message, "kxy (orientation intensity x-y) must be greater than 0");
  EXPECT_FALSE(std::filesystem::exists(dir / "kxy=0.p-d"));
}

}  // namespace
