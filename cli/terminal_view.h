#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "canvas.h"
#include "parameter_set.h"
#include "run_driver.h"

namespace fb {

/// A canvas that draws nowhere, for runs without a window.
class NullCanvas : public Canvas {
 public:
  void clear() override {}
  void setScale(float, float, float, float) override {}
  void point(float, float, Rgb) override {}
  void line(float, float, float, float, Rgb) override {}
  void lineTo(float, float, Rgb) override {}
};

/// The run as the command line shows it: progress on standard error while a
/// terminal watches, the failure messages on standard error.
class TerminalView : public RunView {
 public:
  TerminalView(FieldTexts texts, bool showProgress);

  std::string fieldText(Field field) override { return texts_[field]; }
  void setStartEnabled(bool) override {}
  void showStatus(const std::string& text) override;
  void showResults(const ResultTexts&) override {}
  Canvas& stressGraph() override { return stress_; }
  Canvas& ratioGraph() override { return ratio_; }
  bool yield() override { return true; }
  void showRefusal(const Refusal& refusal) override;
  void showError(const std::string& title, const std::string& text) override;

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

}  // namespace fb
