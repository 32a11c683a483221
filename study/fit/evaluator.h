#pragma once

// Runs the model for values of the free inputs, on every specimen, the
// pullout law on every pullout test and the beam of the composite law on
// every beam test; one per worker, with its class table.

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/field_table.h"
#include "engine/parameter_set.h"
#include "engine/refusal.h"
#include "run/curve_runner.h"
#include "study/fit/fit_settings.h"
#include "study/fit/trial.h"

namespace fb {

class Evaluator {
 public:
  /// Every run counts into `runs`; each bridging run uses `threads` threads.
  Evaluator(const FitSettings& s, unsigned threads, std::atomic<int>& runs);

  /// The model at `unit`, a point of the unit cube of the free inputs' bounds.
  Trial evaluate(const std::vector<double>& unit);

 private:
  // A pullout test as the evaluator pulls it: the inputs it is read with, its
  // fiber's length and inclination, and its slips.
  struct PulloutTest {
    FieldTexts texts;
    ParameterSet params;
    std::optional<Refusal> readRefusal;  // of its texts themselves
    float lb = 0;                        // mm, single as the class table keeps it
    double psi = 0;
    std::vector<double> slips, loads;
  };

  // The residuals of the bridging curves, then of the pullout tests, then of
  // the beam tests; false with the trial's note where the model refused.
  bool addBridging(const std::vector<std::string>& free, Trial& t, const std::function<void(double)>& add);
  bool addPullouts(const std::vector<std::string>& free, Trial& t, const std::function<void(double)>& add);
  bool addBeams(const std::vector<std::string>& free, Trial& t, const std::function<void(double)>& add);
  std::string who(const std::string& name) const;
  // The run of a curve's `texts` with the free inputs' texts up to `width`;
  // empty, with the trial's note and refused input, where the model refused it.
  std::optional<CurveRunner::Curve> runFree(FieldTexts texts, const std::vector<std::string>& free, double width,
                                            const std::string& who, Trial& t);

  const FitSettings& settings_;
  std::vector<double> scales_;
  std::optional<double> softL1_;  // the robust loss's scale; empty for least squares
  std::vector<FieldTexts> texts_;
  std::vector<double> widest_;
  std::vector<PulloutTest> tests_;
  std::vector<FieldTexts> beamTexts_;
  std::vector<double> beamWidest_;  // mm of CMOD; the crack at the notch opens less
  std::optional<CurveRunner> runner_;
  std::atomic<int>& runs_;
};

}  // namespace fb
