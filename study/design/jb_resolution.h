#pragma once

// Whether a run's steps resolve its complementary energy J'b. A pullout law
// that peaks within a micrometre puts the curve's peak at the first step or
// two, where the trapezoid up to the peak misses most of the area: J'b, and
// with it the PSH energy index, then depends on the division, not on the
// composite. The check runs the curve again at twice the division, up to just
// past the peak only, and doubles on until J'b settles when it has not.

#include <atomic>
#include <span>
#include <string>

#include "engine/field_table.h"
#include "run/calculator.h"
#include "study/studies/metrics.h"

namespace fb {

/// How far J'b may move when the division doubles, and still count as resolved.
inline constexpr double kJbTolerance = 0.02;
/// A peak in the steps before this one is not resolved.
inline constexpr std::size_t kFirstResolvedPeakStep = 3;

/// The resolution of the J'b of `steps`, the finished run of `texts`, with
/// runs of finer divisions on `calculator` (each to a little past the peak).
/// The search for a resolving division stops at the largest division the
/// model takes; `stop` cuts it short (resolved is then as far as known).
JbResolution checkJbResolution(const FieldTexts& texts, std::span<const StepResult> steps, Calculator& calculator,
                               const std::atomic<bool>* stop = nullptr);

/// "not resolved at division 10: the peak lies at step 1; division 640 resolves it"
std::string jbResolutionText(const JbResolution& resolution);

/// The runs of a scatter or a design map whose J'b is not resolved, counted.
struct JbTally {
  std::size_t checked = 0, unresolved = 0;
  int resolvingAll = 0;           // the largest resolving division of them
  bool someUnresolvable = false;  // one that no division resolves
  void add(const JbResolution& r);
  /// "J'b is not resolved in 3 of 12 finished samples; division 480 resolves them all";
  /// empty when every run's is.
  std::string text(const std::string& runs) const;
};

}  // namespace fb
