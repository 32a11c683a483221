#include "engine/inputs.h"

#include <cmath>
#include <type_traits>

#include "engine/number_reader.h"

namespace fb {
namespace {

std::string subject(Field f) {
  const FieldInfo& info = fieldInfo(f);
  return std::string(info.name) + " (" + std::string(info.meaning) + ")";
}

Refusal refuse(Field f, std::string_view reason) {
  return {std::string(fieldInfo(f).name), subject(f) + " " + std::string(reason)};
}

}  // namespace

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

std::optional<Refusal> checkRunInputs(const ParameterSet& p, const RunConstants& k) {
  for (const FieldInfo& info : kFields)
    if (info.isNumber() && !std::isfinite(numericValue(p, info)))
      return refuse(info.field, "must be a finite number (it is too large)");

  if (p.Am == 0) return refuse(Field::Am, "must not be 0");
  if (p.Af == 0) return refuse(Field::Af, "must not be 0");
  if (!(p.Lf > 0)) return refuse(Field::Lf, "must be greater than 0");
  if (!(p.kxy > 0)) return refuse(Field::kxy, "must be greater than 0");
  if (!(p.kzx > 0)) return refuse(Field::kzx, "must be greater than 0");
  if (p.division == 0) return refuse(Field::division, "must not be 0");
  if (p.division > 16383 || p.division < -16384)
    return refuse(Field::division, "must lie between -16384 and 16383 (twice it must fit 16 bits)");
  if (k.totalFiber == 0) return refuse(Field::Vf, "gives no fibers: the fiber count Vf*Am/Af must not be 0");
  if (!std::isfinite(k.totalFiber))
    return refuse(Field::Vf, "gives a fiber count Vf*Am/Af too large for single precision");
  if (!std::isfinite(k.deltaMaxHalfLf * 2))
    return Refusal{"C/D", "C/D (peak width of the pullout law) give a crack width that is not finite"};
  return std::nullopt;
}

bool checkLoadSnubbing(std::string_view LfText, std::string_view fp0Text, std::string_view fp1Text) {
  const float Lf = static_cast<float>(numberReader(LfText));
  const float fp0 = static_cast<float>(numberReader(fp0Text));
  const float fp1 = static_cast<float>(numberReader(fp1Text));
  const float atHalfLength = static_cast<float>(static_cast<double>(fp1) * Lf / 2 + fp0);
  return atHalfLength < 0;
}

}  // namespace fb
