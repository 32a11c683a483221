#pragma once

// What an input is: its name, its text box, its precision, its unit, its
// meaning, its default text and the ParameterSet member it fills. Reading,
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
};
inline constexpr std::size_t kFieldCount = 26;

/// How an input is stored; the order is that of FieldMember's alternatives.
enum class Precision { text, single, int16, double_ };

/// The ParameterSet member an input fills; its type is the input's precision.
using FieldMember = std::variant<std::string ParameterSet::*, float ParameterSet::*, std::int16_t ParameterSet::*,
                                 double ParameterSet::*>;

struct FieldInfo {
  Field field;
  std::string_view name;         // as the command line and input sets spell it
  std::string_view textBox;      // the window's text box
  std::string_view meaning;      // for messages: "Af (fiber sectional area) ..."
  std::string_view unit;         // "mm2", "1/mm", ...; empty for a plain number
  std::string_view defaultText;  // what the window shows when it opens
  FieldMember member;

  constexpr Precision precision() const { return static_cast<Precision>(member.index()); }
  constexpr bool isNumber() const { return precision() != Precision::text; }
};

// clang-format off
inline constexpr std::array<FieldInfo, kFieldCount> kFields = {{
    {Field::dataFile, "dataFile", "Text2", "data file", "", "", &ParameterSet::dataFile},
    {Field::Am, "Am", "Text3", "matrix sectional area", "mm2", "2500", &ParameterSet::Am},
    {Field::Vf, "Vf", "Text4", "fiber volume fraction", "", "0.02", &ParameterSet::Vf},
    {Field::Af, "Af", "Text5", "fiber sectional area", "mm2", "0.007854", &ParameterSet::Af},
    {Field::Lf, "Lf", "Text6", "fiber length", "mm", "12", &ParameterSet::Lf},
    {Field::fp0, "fp0", "Text7", "snubbing coefficient for pullout load", "", "0.5", &ParameterSet::fp0},
    {Field::fp1, "fp1", "Text24", "length term of the load snubbing coefficient", "1/mm", "0", &ParameterSet::fp1},
    {Field::fd0, "fd0", "Text27", "snubbing coefficient for displacement", "", "0", &ParameterSet::fd0},
    {Field::fd1, "fd1", "Text28", "length term of the displacement snubbing coefficient", "1/mm", "0", &ParameterSet::fd1},
    {Field::strengthReduction, "strengthReduction", "Text8", "strength reduction", "", "0.3", &ParameterSet::strengthReduction},
    {Field::ruptureStrength, "ruptureStrength", "Text9", "rupture strength", "MPa", "569", &ParameterSet::ruptureStrength},
    {Field::crackAngleXY, "crackAngleXY", "Text25", "crack angle x-y", "degree", "0", &ParameterSet::crackAngleXY},
    {Field::crackAngleZX, "crackAngleZX", "Text26", "crack angle z-x", "degree", "0", &ParameterSet::crackAngleZX},
    {Field::kxy, "kxy", "Text10", "orientation intensity x-y", "", "1", &ParameterSet::kxy},
    {Field::kzx, "kzx", "Text12", "orientation intensity z-x", "", "1", &ParameterSet::kzx},
    {Field::thetaRxy, "thetaRxy", "Text11", "principal orientation angle x-y", "degree", "0", &ParameterSet::thetaRxy},
    {Field::thetaRzx, "thetaRzx", "Text13", "principal orientation angle z-x", "degree", "0", &ParameterSet::thetaRzx},
    {Field::division, "division", "Text20", "number of crack-width divisions", "", "30", &ParameterSet::division},
    {Field::Aa, "Aa", "Text29", "first-point load factor", "N", "1", &ParameterSet::Aa},
    {Field::Ba, "Ba", "Text30", "first-point load exponent", "", "0", &ParameterSet::Ba},
    {Field::Ca, "Ca", "Text31", "first-point width factor", "mm/mm", "0", &ParameterSet::Ca},
    {Field::Da, "Da", "Text32", "first-point width constant", "mm", "0.2", &ParameterSet::Da},
    {Field::A, "A", "Text14", "peak load factor", "N", "3", &ParameterSet::A},
    {Field::B, "B", "Text15", "peak load exponent", "", "0", &ParameterSet::B},
    {Field::C, "C", "Text16", "peak width factor", "mm/mm", "0", &ParameterSet::C},
    {Field::D, "D", "Text17", "peak width constant", "mm", "0.5", &ParameterSet::D},
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
