// The run driver with a view and a data file of the test's own: where each way
// out of a run leaves the window (Start, status text) and the data file.
#include "run/run_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

/// A window stand-in: records what the run shows; its yield number `stopAt`
/// (counted from 1) answers false, as when the program is ending.
struct ScriptedView : fb::RunView {
  fb::FieldTexts texts = fb::FieldTexts::defaults();
  int stopAt = 0;
  int yields = 0;
  bool startEnabled = true;
  std::string status;
  std::vector<std::string> errors;
  std::vector<int> stepsSeen;
  std::function<void(int)> onYield;
  fb::NullCanvas stress, ratio;

  fb::FieldTexts fieldTexts() override { return texts; }
  void setStartEnabled(bool enabled) override { startEnabled = enabled; }
  void showStatus(const std::string& text) override { status = text; }
  void showResults(const fb::ResultTexts&) override {}
  fb::Canvas& stressGraph() override { return stress; }
  fb::Canvas& ratioGraph() override { return ratio; }
  bool yield() override {
    ++yields;
    if (onYield) onYield(yields);
    return yields != stopAt;
  }
  void showRefusal(const fb::Refusal&) override {}
  void showError(const std::string& title, const std::string& text) override { errors.push_back(title + ": " + text); }
  void stepFinished(const fb::StepResult& r) override { stepsSeen.push_back(r.step); }
};

/// A data file in memory whose line number `failAt` (counted from 0) fails.
struct MemoryFile : fb::DataFile {
  std::vector<std::string> lines;
  int failAt = -1;
  bool isOpen = false;

  int open(const std::string&) override {
    isOpen = true;
    lines.clear();
    return 0;
  }
  int writeLine(std::string_view line) override {
    if (static_cast<int>(lines.size()) == failAt) return 28;
    lines.emplace_back(line);
    return 0;
  }
  int close() override {
    isOpen = false;
    return 0;
  }
};

class RunDriver : public ::testing::Test {
 protected:
  fb::RunSummary run(ScriptedView& view, MemoryFile& file) { return fb::runCalculation(view, table_, file); }
  fb::FiberClassTable table_;
};

// What the window shows and the file holds at each yield of a whole run.
struct Moment {
  std::string status;
  std::size_t lines;
};

TEST_F(RunDriver, a_stop_at_any_kind_of_yield_keeps_that_moment_and_closes_the_file) {
  ScriptedView whole;
  whole.texts[fb::Field::division] = "2";
  MemoryFile wholeFile;
  std::vector<Moment> moments{{}};  // moments[k]: at yield k
  whole.onYield = [&](int) { moments.push_back({whole.status, wholeFile.lines.size()}); };
  ASSERT_EQ(run(whole, wholeFile).end, fb::RunEnd::finished);
  ASSERT_EQ(whole.yields, 3 + 101 + 2 + 5 * 3 + 1);

  const int firstStep = 3 + 101 + 2 + 1;
  const struct {
    int yield;
    const char* kind;
  } stops[] = {
      {1, "start"},
      {2, "parameters"},
      {3, "model"},
      {4 + 57, "a slice"},
      {105, "stress graph ready"},
      {106, "ratio graph ready"},
      {firstStep, "a step's status"},
      {firstStep + 4, "a step's results"},
      {firstStep + 5, "a step's row and graphs"},
  };
  for (const auto& stop : stops) {
    SCOPED_TRACE(stop.kind);
    ScriptedView view;
    view.texts[fb::Field::division] = "2";
    view.stopAt = stop.yield;
    MemoryFile file;
    EXPECT_EQ(run(view, file).end, fb::RunEnd::stopped);
    EXPECT_EQ(view.yields, stop.yield) << "nothing runs past the stop";
    EXPECT_EQ(view.status, moments[stop.yield].status);
    EXPECT_EQ(file.lines.size(), moments[stop.yield].lines);
    EXPECT_FALSE(file.isOpen);
    EXPECT_FALSE(view.startEnabled) << "the program is ending; Start stays disabled";
    EXPECT_TRUE(view.errors.empty());
  }
  EXPECT_EQ(moments[4 + 57].status, "Model setting 57%");
  EXPECT_EQ(moments[firstStep + 4].lines, 6u + 1u) << "step 1's results come before its row";
}

TEST_F(RunDriver, a_row_that_cannot_be_written_keeps_the_rows_before_it_and_enables_start) {
  ScriptedView view;
  view.texts[fb::Field::division] = "3";
  MemoryFile file;
  file.failAt = 6 + 4;  // step 4's row
  const fb::RunSummary summary = run(view, file);
  EXPECT_EQ(summary.end, fb::RunEnd::writeFailed);
  EXPECT_EQ(summary.stepsWritten, 4);
  EXPECT_EQ(file.lines.size(), 6u + 4u);
  EXPECT_FALSE(file.isOpen);
  EXPECT_EQ(view.status, "");
  EXPECT_TRUE(view.startEnabled);
  EXPECT_EQ(view.errors,
            std::vector<std::string>{
                "Error: The output data file could not be written at step 4; it keeps the rows of steps 0 to 3. (28)"});
  EXPECT_EQ(view.stepsSeen, (std::vector<int>{0, 1, 2, 3})) << "the failed step is not drawn";
}

TEST_F(RunDriver, a_step_whose_force_is_not_a_number_ends_the_run_before_its_row) {
  ScriptedView view;
  // A falling line so steep that single precision gives it an infinite slope.
  for (const auto& [field, text] : {std::pair{fb::Field::A, "1e35"},
                                    {fb::Field::C, "1"},
                                    {fb::Field::D, "-1e-4"},
                                    {fb::Field::ruptureStrength, "3e38"}})
    view.texts[field] = text;
  MemoryFile file;
  EXPECT_EQ(run(view, file).end, fb::RunEnd::writeFailed);
  ASSERT_EQ(view.errors.size(), 1u);
  EXPECT_NE(view.errors[0].find("at step 1 is too large to be a number"), std::string::npos) << view.errors[0];
  EXPECT_EQ(file.lines.size(), 6u + 1u);
  EXPECT_EQ(file.lines.back().find("nan"), std::string::npos);
  EXPECT_FALSE(file.isOpen);
  EXPECT_EQ(view.status, "");
  EXPECT_TRUE(view.startEnabled);
}

}  // namespace
