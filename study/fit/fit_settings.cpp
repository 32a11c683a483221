#include "study/fit/fit_settings.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <type_traits>

#include "engine/crack_steps.h"
#include "engine/inputs.h"
#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "study/fit/fit_tuning.h"
#include "study/inputs/input_set.h"

namespace fb {
namespace {

std::string name(Field f) { return std::string(fieldInfo(f).name); }

// How many values of the input's precision lie in [low, high] (at most 2^62):
// a range narrower than its input's precision gives runs that cannot differ.
std::uint64_t valuesWithin(Precision precision, double low, double high) {
  if (low < 0 && high > 0) return std::uint64_t{1} << 62;
  // Same sign: the bit patterns count the representable values between them.
  const auto steps = [](auto a, auto b) {
    using Bits = std::conditional_t<sizeof(a) == 4, std::uint32_t, std::uint64_t>;
    const Bits x = std::bit_cast<Bits>(std::abs(a)), y = std::bit_cast<Bits>(std::abs(b));
    return static_cast<std::uint64_t>(x > y ? x - y : y - x);
  };
  return precision == Precision::single ? steps(static_cast<float>(low), static_cast<float>(high)) + 1
                                        : std::min<std::uint64_t>(steps(low, high), std::uint64_t{1} << 62) + 1;
}

}  // namespace

bool FitSettings::weighted() const {
  bool any = false;
  for (const Specimen& s : specimens)
    for (const MeasuredPoint& p : s.measured) {
      if (!(p.sd > 0)) return false;
      any = true;
    }
  for (const PulloutSpecimen& s : pullouts)
    for (const PulloutPoint& p : s.measured) {
      if (!(p.sd > 0)) return false;
      any = true;
    }
  for (const BeamSpecimen& s : beams.tests)
    for (const BeamTestPoint& p : s.measured) {
      if (!(p.sd > 0)) return false;
      any = true;
    }
  return any;
}

std::size_t FitSettings::pointCount() const {
  std::size_t count = 0;
  for (const Specimen& s : specimens) count += s.measured.size();
  for (const PulloutSpecimen& s : pullouts) count += s.measured.size();
  for (const BeamSpecimen& s : beams.tests) count += s.measured.size();
  return count;
}

std::vector<double> FitSettings::residualScales() const {
  const int kinds = !specimens.empty() + !pullouts.empty() + !beams.tests.empty();
  const bool weights = weighted(), joint = kinds > 1;
  std::vector<double> scales;
  const auto curve = [&](const auto& points, auto value) {
    double largest = 0;
    for (const auto& p : points) largest = std::max(largest, std::abs(value(p)));
    if (!(largest > 0) || !std::isfinite(largest)) largest = 1;
    for (const auto& p : points) scales.push_back(weights ? p.sd : joint ? largest : 1.0);
  };
  for (const Specimen& s : specimens) curve(s.measured, [](const MeasuredPoint& p) { return p.sigma; });
  for (const PulloutSpecimen& s : pullouts) curve(s.measured, [](const PulloutPoint& p) { return p.load; });
  for (const BeamSpecimen& s : beams.tests) curve(s.measured, [](const BeamTestPoint& p) { return p.load; });
  return scales;
}

namespace {

FieldTexts withInputs(FieldTexts texts, const std::vector<SpecimenInput>& inputs) {
  for (const SpecimenInput& input : inputs) texts[input.field] = input.value;
  return texts;
}

}  // namespace

FieldTexts specimenTexts(const FitSettings& settings, std::size_t index) {
  return withInputs(settings.base, settings.specimens[index].inputs);
}

FieldTexts pulloutTexts(const FitSettings& settings, std::size_t index) {
  return withInputs(settings.base, settings.pullouts[index].inputs);
}

FieldTexts beamTexts(const FitSettings& settings, std::size_t index) {
  return withInputs(settings.base, settings.beams.tests[index].inputs);
}

const char* fitRmsUnit(const FitSettings& s) { return !s.specimens.empty() ? "MPa" : !s.pullouts.empty() ? "N" : "kN"; }

Expected<FreeInput> freeInput(Field field, double low, double high) {
  if (fieldInfo(field).precision() == Precision::int16)
    return unexpected(name(field) + " is a count; it cannot be fitted");
  if (!std::isfinite(low) || !std::isfinite(high)) return unexpected("LO and HI must be finite numbers");
  if (!(low < high)) return unexpected("LO must be below HI");
  if (!std::isfinite(high - low)) return unexpected("the range from LO to HI is not a finite number");
  if (fieldInfo(field).precision() == Precision::single && (std::abs(low) > FLT_MAX || std::abs(high) > FLT_MAX))
    return unexpected(name(field) + " is a single-precision input: LO and HI must lie within ±" +
                      formatShortest(FLT_MAX));
  const std::uint64_t fewest = kFitTuning.minRangeValues;
  if (valuesWithin(fieldInfo(field).precision(), low, high) < fewest)
    return unexpected("the range holds fewer than " + std::to_string(fewest) + " values of " + name(field) +
                      "'s precision: its runs could not tell them apart");
  return FreeInput{field, low, high};
}

Expected<FreeInput> parseFreeInput(std::string_view text) {
  const auto fail = [&](const std::string& reason) {
    return unexpected("--fit " + quotedToken(text, 60) + ": " + reason);
  };
  const Expected<InputAssignment> named = splitInputAssignment(text, "NAME=LO:HI");
  if (!named) return fail(named.error());
  const Field field = named->field;
  if (fieldInfo(field).precision() == Precision::int16) return fail(name(field) + " is a count; it cannot be fitted");
  const std::string_view bounds = named->value;
  const auto colon = bounds.find(':');
  if (colon == std::string_view::npos) return fail("a fitted input needs its bounds, NAME=LO:HI");
  const auto low = strictNumber(trim(bounds.substr(0, colon)));
  const auto high = strictNumber(trim(bounds.substr(colon + 1)));
  if (!low || !high) return fail("LO and HI must be finite numbers");
  Expected<FreeInput> free = freeInput(field, *low, *high);
  if (!free) return fail(free.error());
  return free;
}

Expected<void> checkFitSettings(const FitSettings& s) {
  if (s.free.empty() || s.free.size() > kMaxFreeInputs)
    return unexpected("a fit varies 1 to " + std::to_string(kMaxFreeInputs) + " inputs, not " +
                      std::to_string(s.free.size()));
  for (std::size_t i = 0; i < s.free.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (s.free[i].field == s.free[j].field) return unexpected("--fit " + name(s.free[i].field) + " is given twice");
  if (s.specimens.empty() && s.pullouts.empty() && s.beams.tests.empty())
    return unexpected("a fit needs a measured curve");
  std::vector<std::string> kinds;
  if (!s.specimens.empty()) kinds.push_back("--measured");
  if (!s.pullouts.empty()) kinds.push_back("--pullout");
  if (!s.beams.tests.empty()) kinds.push_back("--beam-measured");
  std::string curves = kinds[0];
  for (std::size_t k = 1; k < kinds.size(); ++k) curves += (k + 1 == kinds.size() ? " and " : ", ") + kinds[k];
  if (s.pointCount() < s.free.size())
    return unexpected(curves + " " + (kinds.size() == 1 ? "has " : "have ") + std::to_string(s.pointCount()) +
                      " points, fewer than the " + std::to_string(s.free.size()) + " inputs to fit");
  if (s.starts < 1 || s.starts > 1000) return unexpected("--fit-starts must lie between 1 and 1000");
  bool someWeighted = false, someNot = false;
  for (const Specimen& specimen : s.specimens)
    for (const MeasuredPoint& p : specimen.measured) (p.sd > 0 ? someWeighted : someNot) = true;
  for (const PulloutSpecimen& test : s.pullouts)
    for (const PulloutPoint& p : test.measured) (p.sd > 0 ? someWeighted : someNot) = true;
  for (const BeamSpecimen& test : s.beams.tests)
    for (const BeamTestPoint& p : test.measured) (p.sd > 0 ? someWeighted : someNot) = true;
  if (someWeighted && someNot)
    return unexpected(curves + ": either every curve gives standard deviations or none does");

  for (std::size_t k = 0; k < s.pullouts.size(); ++k) {
    const PulloutSpecimen& test = s.pullouts[k];
    for (const SpecimenInput& input : test.inputs)
      for (const FreeInput& f : s.free)
        if (input.field == f.field)
          return unexpected("--pullout " + test.name + " sets " + name(f.field) + ", which the fit varies");
    if (const auto inside = checkPulloutInsideFiber(test.lb, pulloutTexts(s, k)); !inside)
      return unexpected("--pullout " + test.name + ":" + std::to_string(test.lbLine) + ": " + inside.error());
  }
  if (!s.beams.tests.empty()) {
    // A beam cracks where the law begins: the matrix's strength, which the fibers alone do not give.
    if (!s.beams.matrix) return unexpected("--beam-measured needs the matrix's --ft and --Gf, where the beam cracks");
    if (!(s.beams.E > 0)) return unexpected("--beam-measured needs the modulus --Ec (GPa)");
  }
  for (const BeamSpecimen& test : s.beams.tests) {
    for (const SpecimenInput& input : test.inputs)
      for (const FreeInput& f : s.free)
        if (input.field == f.field)
          return unexpected("--beam-measured " + test.name + " sets " + name(f.field) + ", which the fit varies");
    for (std::size_t i = 0; i < test.measured.size(); ++i) {
      const BeamTestPoint& p = test.measured[i];
      if (auto fine = checkBeamTestPoint(p.cmod, p.load, i ? std::optional(test.measured[i - 1].cmod) : std::nullopt);
          !fine)
        return unexpected("--beam-measured " + test.name + ": point " + std::to_string(i + 1) + ": " + fine.error());
    }
  }
  for (std::size_t k = 0; k < s.specimens.size(); ++k) {
    const Specimen& specimen = s.specimens[k];
    for (const SpecimenInput& input : specimen.inputs)
      for (const FreeInput& f : s.free)
        if (input.field == f.field)
          return unexpected("--measured " + specimen.name + " sets " + name(f.field) + ", which the fit varies");
    const ReadOutcome read = readParameterSet(specimenTexts(s, k));
    const RunConstants c = deriveValues(read.params);
    const StepSchedule schedule = StepSchedule::of(read.params, c);
    double widest = 0;
    for (int step = 0; step <= schedule.lastStep(); ++step) widest = std::max(widest, stepWidth(schedule, step));
    for (const MeasuredPoint& m : specimen.measured)
      if (m.Wcr < 0 || m.Wcr > widest)
        return unexpected("--measured " + specimen.name + ": the width " + formatShortest(m.Wcr) +
                          " mm lies outside the run's crack widths, 0 to " + formatShortest(widest) + " mm");
  }
  return {};
}

}  // namespace fb
