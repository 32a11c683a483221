#include "engine/inputs.h"

#include <cmath>
#include <type_traits>

#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "engine/orientation.h"

namespace fb {
namespace {

std::string subject(Field f) {
  const FieldInfo& info = fieldInfo(f);
  return std::string(info.name) + " (" + std::string(info.meaning) + ")";
}

Refusal refuse(Field f, std::string_view reason) {
  return {std::string(fieldInfo(f).name), subject(f) + " " + std::string(reason)};
}

double defaultValue(Field f) { return numberReader(fieldInfo(f).defaultText); }

// Of Vf, Am and Af, the one that pushes the fiber count Vf*Am/Af furthest
// from the default count, up (`tooLarge`) or down: the input to correct.
Field fiberCountCause(const ParameterSet& p, bool tooLarge) {
  const std::pair<Field, double> shares[] = {
      {Field::Vf, std::log(p.Vf / defaultValue(Field::Vf))},
      {Field::Am, std::log(p.Am / defaultValue(Field::Am))},
      {Field::Af, -std::log(p.Af / defaultValue(Field::Af))},
  };
  const auto* cause = &shares[0];
  for (const auto& share : shares)
    if (tooLarge ? share.second > cause->second : share.second < cause->second) cause = &share;
  return cause->first;
}

}  // namespace

std::vector<std::string> cutTextWarnings(const FieldTexts& texts) {
  std::vector<std::string> warnings;
  for (const FieldInfo& info : kFields) {
    if (!info.isNumber()) continue;
    const std::string& text = texts[info.field];
    const NumberReading reading = readNumber(text);
    if (reading.whole) continue;
    const std::string named = std::string(info.name) + " " + quotedToken(text);
    warnings.push_back(reading.number ? named + " is read as " + exactText(reading.value) + " (the number at its start)"
                                      : named + " holds no number and is read as 0");
  }
  return warnings;
}

ReadOutcome readParameterSet(const FieldTexts& t) {
  ReadOutcome out;
  for (const FieldInfo& info : kFields) {
    const std::string& text = t[info.field];
    std::visit(
        [&](auto member) {
          using Member = decltype(member);
          ParameterSet& p = out.params;
          if constexpr (std::is_same_v<Member, std::string ParameterSet::*>) {
            p.*member = text;
          } else if constexpr (std::is_same_v<Member, float ParameterSet::*>) {
            p.*member = static_cast<float>(numberReader(text));
          } else if constexpr (std::is_same_v<Member, double ParameterSet::*>) {
            p.*member = numberReader(text);
          } else if (const auto whole = roundDivision(numberReader(text))) {
            p.*member = *whole;
          } else if (!out.refusal) {
            out.refusal = refuse(info.field, "must be a whole number from -16384 to 16383");
          }
        },
        info.member);
  }
  return out;
}

Expected<void, Refusal> checkRunInputs(const ParameterSet& p, const RunConstants& k) {
  for (const FieldInfo& info : kFields)
    if (info.isNumber() && !std::isfinite(numericValue(p, info)))
      return unexpected(refuse(info.field, "must be a finite number (it is too large)"));

  // A preset sets every direction's share itself: the densities must be left as they are.
  const std::optional<OrientationPreset> preset = orientationPreset(p.orientation);
  if (!preset)
    return unexpected(
        refuse(Field::orientation,
               "must be planar, isotropic or empty (the kxy and kzx densities), not " + quotedToken(p.orientation)));
  if (*preset != OrientationPreset::none) {
    const std::pair<Field, float> neutral[] = {
        {Field::kxy, 1}, {Field::kzx, 1}, {Field::thetaRxy, 0}, {Field::thetaRzx, 0}};
    for (const auto& [field, value] : neutral)
      if (numericValue(p, fieldInfo(field)) != value)
        return unexpected(refuse(field, "must be " + formatGeneral(value) + " with the " + p.orientation +
                                            " orientation, which sets the share of every direction itself"));
  }

  // A negative area or fraction would give negative fiber counts, and a
  // positive stress from a negative force.
  for (const Field f : {Field::Am, Field::Vf, Field::Af, Field::Lf, Field::kxy, Field::kzx})
    if (!(numericValue(p, fieldInfo(f)) > 0)) return unexpected(refuse(f, "must be positive"));
  // A fraction of the matrix section: more fiber than section is no composite.
  if (p.Vf > 1) return unexpected(refuse(Field::Vf, "must not exceed 1"));
  if (p.division == 0) return unexpected(refuse(Field::division, "must not be 0"));
  if (p.division > 16383 || p.division < -16384)
    return unexpected(refuse(Field::division, "must lie between -16384 and 16383 (twice it must fit 16 bits)"));
  if (k.totalFiber == 0)
    return unexpected(
        refuse(fiberCountCause(p, false), "makes the fiber count Vf*Am/Af round to 0 in single precision"));
  if (!std::isfinite(k.totalFiber))
    return unexpected(
        refuse(fiberCountCause(p, true), "makes the fiber count Vf*Am/Af too large for single precision"));
  if (!std::isfinite(k.deltaMaxHalfLf * 2))
    return unexpected(Refusal{"C/D", "C/D (peak width of the pullout law) give a crack width that is not finite"});
  return {};
}

Expected<void, Refusal> checkHasSteps(const ParameterSet& p) {
  if (p.division < 0) return unexpected(refuse(Field::division, "must be at least 1: a negative one runs no step"));
  return {};
}

Expected<void, Refusal> checkInputs(const FieldTexts& texts, const ReadOutcome& read, const RunConstants& k) {
  Expected<void, Refusal> usable =
      read.refusal ? Expected<void, Refusal>(unexpected(*read.refusal)) : checkRunInputs(read.params, k);
  if (usable) return usable;
  Refusal& refusal = usable.error();
  if (const auto field = fieldByName(refusal.field); field && fieldInfo(*field).isNumber()) {
    const std::string& text = texts[*field];
    if (!readNumber(text).number && text.find_first_not_of(" \t\n") != std::string::npos)
      refusal.message = refusal.field + ": " + quotedToken(text) + " reads as 0; " + refusal.message;
  }
  return usable;
}

bool checkLoadSnubbing(std::string_view LfText, std::string_view fp0Text, std::string_view fp1Text) {
  const float Lf = static_cast<float>(numberReader(LfText));
  const float fp0 = static_cast<float>(numberReader(fp0Text));
  const float fp1 = static_cast<float>(numberReader(fp1Text));
  const float atHalfLength = static_cast<float>(static_cast<double>(fp1) * Lf / 2 + fp0);
  return atHalfLength < 0;
}

}  // namespace fb
