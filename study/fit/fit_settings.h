#pragma once

// What a fit is asked: the inputs it varies and their bounds, the measured
// curves, the pullout tests and how widely to search; and the checks that
// refuse a fit that cannot be before any run.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/expected.h"
#include "engine/field_table.h"
#include "study/design/notched_beam.h"
#include "study/design/tension_law.h"
#include "study/fit/pullout_test.h"
#include "study/inputs/beam_test.h"
#include "study/inputs/measured_curve.h"

namespace fb {

/// An input the fit varies, within its bounds.
struct FreeInput {
  Field field = Field::A;
  double low = 0, high = 0;
};

/// One measured curve and the inputs that it alone sets.
struct Specimen {
  std::string name;  // its file, for messages
  std::vector<SpecimenInput> inputs;
  std::vector<MeasuredPoint> measured;
};

/// One notched-beam test and the inputs that it alone sets.
struct BeamSpecimen {
  std::string name;  // its file, for messages
  std::vector<SpecimenInput> inputs;
  std::vector<BeamTestPoint> measured;
};

/// Beam tests and what turns a run's bridging law into their beam's load:
/// the matrix's softening added to it, the modulus and the beam's size, the
/// same for every test.
struct BeamTests {
  std::vector<BeamSpecimen> tests;
  std::optional<MatrixTension> matrix;
  double E = 0;  // GPa
  BeamGeometry geometry;
};

/// An input an earlier fit found (stage 1 of two), held here at its value:
/// this fit is refitted at the ends of its 95 % interval, and the shifts
/// widen this fit's intervals. Where stage 1's profile gave them, every
/// stage-1 input's values at each end, so that inputs that trade off move
/// together.
struct PriorInput {
  Field field = Field::A;
  double value = 0, low = 0, high = 0;
  std::vector<std::pair<Field, double>> lowEnd = {}, highEnd = {};
};

inline constexpr int kDefaultFitStarts = 16;
inline constexpr std::size_t kMaxFreeInputs = 8;

struct FitSettings {
  FieldTexts base;                  // every input; a free one starts from its value here
  std::vector<FreeInput> free;      // 1 to kMaxFreeInputs
  std::vector<Specimen> specimens;  // one or more, together at least as many points as free inputs
  int starts = kDefaultFitStarts;   // the given values, then a Latin hypercube
  std::uint64_t seed = 1;           // of the Latin hypercube
  unsigned jobs = 1;                // searches at a time
  const std::atomic<bool>* stop = nullptr;
  std::vector<PulloutSpecimen> pullouts = {};  // single-fiber pullout tests, fitted with the pullout law alone
  /// Whether residuals beyond the points' noise count less than their square
  /// (a soft-L1 loss), so that a few bad points cannot pull the fit.
  bool robust = false;
  BeamTests beams = {};                // fitted through the beam of each run's composite law
  std::vector<PriorInput> prior = {};  // the inputs of a stage-1 fit, with their intervals
  std::string priorName = {};          // its report's file, for messages
  /// Whether every point carries its standard deviation: the fit then
  /// minimises chi-square instead of the plain sum of squares.
  bool weighted() const;
  std::size_t pointCount() const;
  /// What each residual (bridging curves first, then pullout curves, then
  /// beam tests) is divided by before it is squared: its standard deviation
  /// in a weighted fit; in a joint fit of curves of more than one kind
  /// without them, its curve's largest measured value, so that loads (N, kN)
  /// and stresses (MPa) count alike; else 1.
  std::vector<double> residualScales() const;
};

/// "A=1:8": a free input and its bounds, or the reason it is not one.
[[nodiscard]] Expected<FreeInput> parseFreeInput(std::string_view text);

/// The input `field` fitted within [low, high], or why it cannot be: a count,
/// bounds not finite or not in order, or a range narrower than its precision.
Expected<FreeInput> freeInput(Field field, double low, double high);

/// Refuses what makes a fit impossible before any run: names, bounds, too few
/// points, measured widths outside the crack widths of the given inputs.
[[nodiscard]] Expected<void> checkFitSettings(const FitSettings& settings);

/// The texts of specimen `index`: the base, then the specimen's own inputs.
FieldTexts specimenTexts(const FitSettings& settings, std::size_t index);

/// The texts of pullout test `index`: the base, then the test's own inputs.
FieldTexts pulloutTexts(const FitSettings& settings, std::size_t index);

/// The texts of beam test `index`: the base, then the test's own inputs.
FieldTexts beamTexts(const FitSettings& settings, std::size_t index);

/// The unit of a fit's headline RMS: of the bridging stresses (MPa) where
/// there are measured curves, else of the pullout loads (N), else of the
/// beams' loads (kN).
const char* fitRmsUnit(const FitSettings& settings);

}  // namespace fb
