#include "run/curve_runner.h"

#include <cerrno>
#include <cstring>

#include "output/data_file.h"

namespace fb {
namespace {

// A run with nothing on screen: its texts are fixed and its graphs go nowhere.
class UnwatchedView : public RunView {
 public:
  explicit UnwatchedView(const FieldTexts& texts) : texts_(texts) {}

  FieldTexts fieldTexts() override { return texts_; }
  void setStartEnabled(bool) override {}
  void showStatus(const std::string&) override {}
  void showResults(const ResultTexts&) override {}
  Canvas& stressGraph() override { return none_; }
  Canvas& ratioGraph() override { return none_; }

 private:
  FieldTexts texts_;
  NullCanvas none_;
};

// Keeps the steps, and its yield stops the run once a step has reached the width asked for.
class CurveView : public UnwatchedView {
 public:
  CurveView(const FieldTexts& texts, double width, CurveRunner::Curve& curve)
      : UnwatchedView(texts), width_(width), curve_(curve) {}

  bool yield() override { return curve_.steps.empty() || curve_.steps.back().Wcr < width_; }
  void showRefusal(const Refusal& refusal) override { curve_.refusal = refusal; }
  void showError(const std::string&, const std::string& text) override { curve_.refusal = Refusal{"", text}; }
  void showWarning(const std::string& text) override { curve_.warnings.push_back(text); }
  void stepFinished(const StepResult& r) override { curve_.steps.push_back(r); }

 private:
  double width_;
  CurveRunner::Curve& curve_;
};

// Writes its data file and keeps only the reason it failed.
class FileView : public UnwatchedView {
 public:
  using UnwatchedView::UnwatchedView;

  bool yield() override { return true; }
  void showRefusal(const Refusal& refusal) override { error = refusal.message; }
  void showError(const std::string&, const std::string& text) override { error = text; }
  void showOpenFailure(const std::string& message, const std::string& path, int code) override {
    error = message + ": " + path + ": " + (code == EWOULDBLOCK ? "another run is writing it" : std::strerror(code));
  }

  std::optional<std::string> error;
};

}  // namespace

std::optional<std::string> CurveRunner::writeDataFile(const FieldTexts& texts) {
  // The system would end the name at the first NUL and write another file.
  if (texts[Field::dataFile].find('\0') != std::string::npos) return "a data file name cannot hold a NUL character";
  FileView view(texts);
  const RunSummary summary = calculator_.run(view);
  if (summary.end == RunEnd::finished) return std::nullopt;
  return view.error.value_or("the run did not finish");
}

CurveRunner::Curve CurveRunner::run(const FieldTexts& texts, double width) {
  Curve curve;
  FieldTexts withoutFile = texts;
  withoutFile[Field::dataFile].clear();
  CurveView view(withoutFile, width, curve);
  NullDataFile nowhere;
  calculator_.run(view, nowhere);
  return curve;
}

}  // namespace fb
