#include "run/curve_runner.h"

#include <cerrno>

#include "output/data_file.h"

namespace fb {
namespace {

// A run with nothing on screen: its texts are fixed and its graphs go nowhere.
class UnwatchedView : public RunView {
 public:
  UnwatchedView(const FieldTexts& texts, const std::atomic<bool>* stop) : texts_(texts), stop_(stop) {}

  FieldTexts fieldTexts() override { return texts_; }
  void setStartEnabled(bool) override {}
  void showStatus(const std::string&) override {}
  void showResults(const ResultTexts&) override {}
  Canvas& stressGraph() override { return none_; }
  Canvas& ratioGraph() override { return none_; }
  bool yield() override { return !(stop_ && stop_->load(std::memory_order_relaxed)); }

 private:
  FieldTexts texts_;
  NullCanvas none_;
  const std::atomic<bool>* stop_;
};

// Keeps the steps, and its yield stops the run once a step has reached the width asked for.
class CurveView : public UnwatchedView {
 public:
  CurveView(const FieldTexts& texts, double width, CurveRunner::Curve& curve, const std::atomic<bool>* stop)
      : UnwatchedView(texts, stop), width_(width), curve_(curve) {}

  bool yield() override { return UnwatchedView::yield() && (curve_.steps.empty() || curve_.steps.back().Wcr < width_); }
  void showRefusal(const Refusal& refusal) override { curve_.refusal = refusal; }
  void showError(const std::string&, const std::string& text) override { curve_.refusal = Refusal{"", text}; }
  void showWarning(const std::string& text) override { curve_.warnings.push_back(text); }
  void stepFinished(const StepResult& r) override { curve_.steps.push_back(r); }

 private:
  double width_;
  CurveRunner::Curve& curve_;
};

// Writes its data file and keeps only why it failed.
class FileView : public UnwatchedView {
 public:
  using UnwatchedView::UnwatchedView;

  void showRefusal(const Refusal& refusal) override { failure = {refusal, 0, refusal.message}; }
  void showError(const std::string&, const std::string& text) override { failure = {std::nullopt, 0, text}; }
  // The path and the system's reason, not the window's sentence, which blames another application.
  void showOpenFailure(const std::string&, const std::string&, int code) override {
    failure = {std::nullopt, code, dataFileProblem(code)};
  }

  std::optional<CurveRunner::FileFailure> failure;
};

}  // namespace

Expected<void, CurveRunner::FileFailure> CurveRunner::writeDataFile(const FieldTexts& texts,
                                                                    const std::atomic<bool>* stop) {
  // The system would end the name at the first NUL and write another file.
  if (texts[Field::dataFile].find('\0') != std::string::npos)
    return unexpected(FileFailure{std::nullopt, EINVAL, "a file name cannot hold a NUL character"});
  FileView view(texts, stop);
  const RunSummary summary = calculator_.run(view);
  if (summary.end == RunEnd::finished) return {};
  if (summary.end == RunEnd::stopped)
    return unexpected(FileFailure{std::nullopt, 0,
                                  summary.headerWritten
                                      ? "stopped; the file keeps the rows of the steps before the stop"
                                      : "stopped before the file was written"});
  return unexpected(view.failure.value_or(FileFailure{std::nullopt, 0, "the run did not finish"}));
}

CurveRunner::Curve CurveRunner::run(const FieldTexts& texts, double width, const std::atomic<bool>* stop) {
  return run(calculator_, texts, width, stop);
}

CurveRunner::Curve CurveRunner::run(Calculator& calculator, const FieldTexts& texts, double width,
                                    const std::atomic<bool>* stop) {
  Curve curve;
  FieldTexts withoutFile = texts;
  withoutFile[Field::dataFile].clear();
  CurveView view(withoutFile, width, curve, stop);
  NullDataFile nowhere;
  calculator.run(view, nowhere);
  return curve;
}

}  // namespace fb
