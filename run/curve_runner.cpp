#include "run/curve_runner.h"

#include "output/data_file.h"

namespace fb {
namespace {

// A run no one watches: it keeps the steps, and its yield stops the run once
// a step has reached the width asked for.
class CurveView : public RunView {
 public:
  CurveView(const FieldTexts& texts, double width, CurveRunner::Curve& curve)
      : texts_(texts), width_(width), curve_(curve) {}

  FieldTexts fieldTexts() override { return texts_; }
  void setStartEnabled(bool) override {}
  void showStatus(const std::string&) override {}
  void showResults(const ResultTexts&) override {}
  Canvas& stressGraph() override { return none_; }
  Canvas& ratioGraph() override { return none_; }
  bool yield() override { return curve_.steps.empty() || curve_.steps.back().Wcr < width_; }
  void showRefusal(const Refusal& refusal) override { curve_.refusal = refusal; }
  void showError(const std::string&, const std::string& text) override { curve_.refusal = Refusal{"", text}; }
  void showWarning(const std::string& text) override { curve_.warnings.push_back(text); }
  void stepFinished(const StepResult& r) override { curve_.steps.push_back(r); }

 private:
  FieldTexts texts_;
  double width_;
  CurveRunner::Curve& curve_;
  NullCanvas none_;
};

}  // namespace

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
