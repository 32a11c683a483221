#pragma once

// What an input is: its name, its precision, its unit, its meaning, its
// default text and the ParameterSet member it fills. Reading,
// checking, saving, sweeping and showing the inputs are loops over this one
// table, so a new input is one new row (with its enumerator and member).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "engine/parameter_set.h"

namespace fb {

/// Every input of a run, in the order of the table below.
enum class Field {
  dataFile,
  Am,
  Vf,
  Af,
  Lf,
  fp0,
  fp1,
  fd0,
  fd1,
  strengthReduction,
  ruptureStrength,
  crackAngleXY,
  crackAngleZX,
  kxy,
  kzx,
  thetaRxy,
  thetaRzx,
  division,
  Aa,
  Ba,
  Ca,
  Da,
  A,
  B,
  C,
  D,
  orientation,
};
inline constexpr std::size_t kFieldCount = 27;

/// How an input is stored; the order is that of FieldMember's alternatives.
enum class Precision { text, single, int16, double_ };

/// The ParameterSet member an input fills; its type is the input's precision.
using FieldMember = std::variant<std::string ParameterSet::*, float ParameterSet::*, std::int16_t ParameterSet::*,
                                 double ParameterSet::*>;

struct FieldInfo {
  Field field;
  std::string_view name;         // as the command line and input sets spell it
  std::string_view meaning;      // for messages: "Af (fiber sectional area) ..."
  std::string_view unit;         // "mm2", "1/mm", ...; empty for a plain number
  std::string_view defaultText;  // what the window shows when it opens
  FieldMember member;

  constexpr Precision precision() const { return static_cast<Precision>(member.index()); }
  constexpr bool isNumber() const { return precision() != Precision::text; }
};

// clang-format off
inline constexpr std::array<FieldInfo, kFieldCount> kFields = {{
    {Field::dataFile, "dataFile", "data file", "", "", &ParameterSet::dataFile},
    {Field::Am, "Am", "matrix sectional area", "mm2", "2500", &ParameterSet::Am},
    {Field::Vf, "Vf", "fiber volume fraction", "", "0.02", &ParameterSet::Vf},
    {Field::Af, "Af", "fiber sectional area", "mm2", "0.007854", &ParameterSet::Af},
    {Field::Lf, "Lf", "fiber length", "mm", "12", &ParameterSet::Lf},
    {Field::fp0, "fp0", "snubbing coefficient for pullout load", "", "0.5", &ParameterSet::fp0},
    {Field::fp1, "fp1", "length term of the load snubbing coefficient", "1/mm", "0", &ParameterSet::fp1},
    {Field::fd0, "fd0", "snubbing coefficient for displacement", "", "0", &ParameterSet::fd0},
    {Field::fd1, "fd1", "length term of the displacement snubbing coefficient", "1/mm", "0", &ParameterSet::fd1},
    {Field::strengthReduction, "strengthReduction", "strength reduction", "", "0.3", &ParameterSet::strengthReduction},
    {Field::ruptureStrength, "ruptureStrength", "rupture strength", "MPa", "569", &ParameterSet::ruptureStrength},
    {Field::crackAngleXY, "crackAngleXY", "crack angle x-y", "degree", "0", &ParameterSet::crackAngleXY},
    {Field::crackAngleZX, "crackAngleZX", "crack angle z-x", "degree", "0", &ParameterSet::crackAngleZX},
    {Field::kxy, "kxy", "orientation intensity x-y", "", "1", &ParameterSet::kxy},
    {Field::kzx, "kzx", "orientation intensity z-x", "", "1", &ParameterSet::kzx},
    {Field::thetaRxy, "thetaRxy", "principal orientation angle x-y", "degree", "0", &ParameterSet::thetaRxy},
    {Field::thetaRzx, "thetaRzx", "principal orientation angle z-x", "degree", "0", &ParameterSet::thetaRzx},
    {Field::division, "division", "number of crack-width divisions", "", "30", &ParameterSet::division},
    {Field::Aa, "Aa", "first-point load factor", "N", "1", &ParameterSet::Aa},
    {Field::Ba, "Ba", "first-point load exponent", "", "0", &ParameterSet::Ba},
    {Field::Ca, "Ca", "first-point width factor", "mm/mm", "0", &ParameterSet::Ca},
    {Field::Da, "Da", "first-point width constant", "mm", "0.2", &ParameterSet::Da},
    {Field::A, "A", "peak load factor", "N", "3", &ParameterSet::A},
    {Field::B, "B", "peak load exponent", "", "0", &ParameterSet::B},
    {Field::C, "C", "peak width factor", "mm/mm", "0", &ParameterSet::C},
    {Field::D, "D", "peak width constant", "mm", "0.5", &ParameterSet::D},
    {Field::orientation, "orientation", "fiber orientation preset", "", "", &ParameterSet::orientation},
}};
// clang-format on

consteval bool rowsFollowTheEnumeration() {
  for (std::size_t i = 0; i < kFields.size(); ++i)
    if (kFields[i].field != static_cast<Field>(i)) return false;
  return true;
}
static_assert(rowsFollowTheEnumeration(), "kFields must list every Field once, in the order of the enumeration");

constexpr const FieldInfo& fieldInfo(Field field) { return kFields[static_cast<std::size_t>(field)]; }
std::optional<Field> fieldByName(std::string_view name);

/// The value a numeric input holds in `p`, widened to double.
double numericValue(const ParameterSet& p, const FieldInfo& info);

/// The text of every input, as typed into a text box or given on a command line.
struct FieldTexts {
  std::array<std::string, kFieldCount> texts;

  static FieldTexts defaults();
  std::string& operator[](Field f) { return texts[static_cast<std::size_t>(f)]; }
  const std::string& operator[](Field f) const { return texts[static_cast<std::size_t>(f)]; }
  friend bool operator==(const FieldTexts&, const FieldTexts&) = default;
};

}  // namespace fb
