#pragma once

// Scatter studies: some inputs drawn from distributions by a seeded Latin
// hypercube, every other input as given, and the band that the samples'
// bridging curves span.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/crack_steps.h"
#include "engine/expected.h"
#include "engine/field_table.h"
#include "study/studies/sweep.h"

namespace fb {

enum class Distribution { normal, lognormal, uniform };

/// An input and the distribution it is drawn from.
struct ScatterInput {
  Field field = Field::Vf;
  Distribution distribution = Distribution::normal;
  double first = 0, second = 0;  // MEAN and SD (of the variable itself for lognormal), or LO and HI
  std::string text;              // as given, "Vf=normal:0.02:0.002"
};

/// "NAME=normal:MEAN:SD", "NAME=lognormal:MEAN:SD" or "NAME=uniform:LO:HI",
/// or "--scatter 'TEXT': reason".
[[nodiscard]] Expected<ScatterInput> parseScatter(std::string_view text);

/// The standard normal quantile at probability p in (0, 1).
double normalQuantile(double p);

/// The input's value at probability p in (0, 1) of its distribution.
double drawnValue(const ScatterInput& input, double p);

/// Most samples a scatter may have: it keeps every sample's rows for its band.
inline constexpr int kMaxScatterSamples = 10000;

/// `count` samples over `base` from a Latin hypercube of `seed`, each with
/// its drawn values written as the field's texts, named "sample-0001" and so on.
std::vector<GridRun> scatterSamples(const FieldTexts& base, const std::vector<ScatterInput>& inputs, int count,
                                    std::uint64_t seed);

/// Mean, standard deviation (n - 1 in the denominator; 0 for one value) and
/// quantiles, linear between the sorted values.
struct Spread {
  double mean = 0, sd = 0, p05 = 0, p50 = 0, p95 = 0;
  std::size_t count = 0;
};
/// At least one value.
Spread spreadOf(std::vector<double> values);

/// The band of the samples' stresses at the step widths of the sample that
/// reaches widest (the first of equals): the runs' own two-zone schedule, fine
/// where the peaks lie, so that a band of no spread is the run itself. Every
/// curve is linear between its steps and 0 beyond its end.
struct Band {
  std::vector<double> Wcr;  // mm
  std::vector<Spread> sigma;
};
/// At least one curve with at least one step.
Band scatterBand(std::span<const std::vector<StepResult>> curves);

/// The band as CSV: Wcr (mm),mean (MPa),sd (MPa),p05 (MPa),p50 (MPa),p95 (MPa).
std::string bandCsv(const Band& band);

}  // namespace fb
