#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "engine/expected.h"
#include "engine/field_table.h"
#include "run/run_driver.h"
#include "study/studies/study_runner.h"

namespace fb {

/// A message on standard error, after the program's name; control
/// characters of file names are shown escaped, never sent to the terminal.
void printError(std::string_view message);

/// One line of results on standard output, escaped as printError's; on
/// standard error once reportsToStandardError() is called.
void printLine(std::string_view line);

/// Where the lines of results go: standard output, or standard error once a
/// result file (--csv -, --band -) has taken standard output.
std::FILE* reportStream();
void reportsToStandardError();

/// A result file written whole (writeTextFile), or to standard output for "-".
[[nodiscard]] Expected<void> writeOutput(const std::string& path, std::string_view text);

/// Whether everything written to standard output reached it; when not, says
/// "could not write the results to standard output: REASON" on standard error.
bool standardOutputWritten();

/// ", 12 s elapsed, about 40 s left" of a study's progress line.
std::string progressTimes(const StudyProgress& progress);

/// Whether a result file was written; when not, says why on standard error.
bool written(const Expected<void>& file);

/// The run as the command line shows it: progress on standard error while a
/// terminal watches, the failure messages on standard error.
class TerminalView : public RunView {
 public:
  TerminalView(FieldTexts texts, bool showProgress);

  FieldTexts fieldTexts() override { return texts_; }
  void setStartEnabled(bool) override {}
  void showStatus(const std::string& text) override;
  void showResults(const ResultTexts&) override {}
  Canvas& stressGraph() override { return stress_; }
  Canvas& ratioGraph() override { return ratio_; }
  /// False once Ctrl-C, SIGTERM or SIGHUP has come: the run stops there.
  bool yield() override;
  void showRefusal(const Refusal& refusal) override;
  void showError(const std::string& title, const std::string& text) override;
  void showWarning(const std::string& text) override;
  void showOpenFailure(const std::string& message, const std::string& path, int code) override;

  /// Whether a terminal that understands "\r" is on standard error.
  static bool stderrIsTerminal();

 private:
  void endProgressLine();

  FieldTexts texts_;
  NullCanvas stress_, ratio_;
  bool showProgress_;
  bool progressShown_ = false;
  std::chrono::steady_clock::time_point lastProgress_{};
};

/// The terminal's run that also keeps its steps and graphs.
class RecordingTerminalView : public TerminalView {
 public:
  RecordingTerminalView(FieldTexts texts, bool showProgress, RunRecord& record)
      : TerminalView(std::move(texts), showProgress), record_(record) {}
  Canvas& stressGraph() override { return record_.stress; }
  Canvas& ratioGraph() override { return record_.ratio; }
  void stepFinished(const StepResult& r) override { record_.steps.push_back(r); }

 private:
  RunRecord& record_;
};

}  // namespace fb
