#pragma once

// A single-fiber pullout test as a fit uses it: the specimen, its fit against
// the model's fibers, and the warnings of a fitted pullout law that cannot
// describe a fiber.

#include <optional>
#include <string>
#include <vector>

#include "engine/expected.h"
#include "engine/field_table.h"
#include "study/fit/fit_warning.h"
#include "study/inputs/measured_curve.h"
#include "study/inputs/pullout_curve.h"

namespace fb {

/// One single-fiber pullout test and the inputs that it alone sets.
struct PulloutSpecimen {
  std::string name;  // its file, for messages
  std::vector<SpecimenInput> inputs;
  double lb = 0;     // mm
  double angle = 0;  // degrees
  int lbLine = 0;    // where its file gives lb, for messages
  std::vector<PulloutPoint> measured;
  PulloutStretch stretch = {};  // what its measured slips hold besides the fiber's
};

/// The inclination (rad) of a pullout test's angle in degrees, as the model converts angles.
double pulloutInclination(double degrees);

/// Refuses a pullout test of embedded length `lb` (mm) that lies outside the
/// fibers of the model that `texts` give (beyond Lf/2), saying why.
[[nodiscard]] Expected<void> checkPulloutInsideFiber(double lb, const FieldTexts& texts);

/// The warning of a fitted tri-linear law that is not physical: its peak
/// width below its first-point width somewhere between the shortest and the
/// longest embedded length.
std::vector<FitWarning> lawWarnings(const FieldTexts& texts);

/// What a fitted law's shape says without being a fault: a first-point load
/// above the peak load is a load drop after full debonding.
std::vector<std::string> lawNotes(const FieldTexts& texts);

}  // namespace fb
