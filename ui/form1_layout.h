#pragma once

// The window's layout: every control of Form1 with its name, kind, caption
// and place in twips, the keyboard order, the box of each input and the boxes
// the run writes its results into. main_window.cpp builds the window from it.

#include <array>
#include <cstddef>
#include <span>

#include "engine/field_table.h"

namespace fb {

/// The client area, in twips.
inline constexpr int kForm1WidthTwips = 9135;
inline constexpr int kForm1HeightTwips = 11325;

/// What a control is, which decides its look.
enum class ControlKind {
  button,
  textBox,      // an input: right-aligned, in the keyboard order
  status,       // Text1
  dataFileBox,  // Text2
  inputLabel,
  groupTitle,
  legend,   // the white captions under the pullout sketch
  shape,    // a panel behind a group of inputs
  picture,  // a graph
  image,
  ratioTitle,
  stressTitle,
  resultField,  // bold, right-aligned
  plainResult,  // Text22, Text23
  footer,
};

/// One control: its name, kind, caption, and place and size in twips.
struct ControlPlace {
  const char* name;
  ControlKind kind;
  const char* caption;
  int left, top, width, height;
};

/// Every control, back to front: the panels first, then the graphs, then what lies on them.
std::span<const ControlPlace> form1Layout();

/// The names of the controls in the keyboard order.
std::span<const char* const> form1KeyboardOrder();

/// The result boxes in the order the run writes them.
inline constexpr const char* kResultBoxes[5] = {"Text18", "Text19", "Text21", "Text22", "Text23"};

/// The text box of an input; none for an input the window does not show.
struct FieldBox {
  Field field;
  const char* box;
};

inline constexpr std::array<FieldBox, kFieldCount> kFieldBoxes = {{
    {Field::dataFile, "Text2"},
    {Field::Am, "Text3"},
    {Field::Vf, "Text4"},
    {Field::Af, "Text5"},
    {Field::Lf, "Text6"},
    {Field::fp0, "Text7"},
    {Field::fp1, "Text24"},
    {Field::fd0, "Text27"},
    {Field::fd1, "Text28"},
    {Field::strengthReduction, "Text8"},
    {Field::ruptureStrength, "Text9"},
    {Field::crackAngleXY, "Text25"},
    {Field::crackAngleZX, "Text26"},
    {Field::kxy, "Text10"},
    {Field::kzx, "Text12"},
    {Field::thetaRxy, "Text11"},
    {Field::thetaRzx, "Text13"},
    {Field::division, "Text20"},
    {Field::Aa, "Text29"},
    {Field::Ba, "Text30"},
    {Field::Ca, "Text31"},
    {Field::Da, "Text32"},
    {Field::A, "Text14"},
    {Field::B, "Text15"},
    {Field::C, "Text16"},
    {Field::D, "Text17"},
    {Field::orientation, nullptr},  // the window keeps the kxy and kzx densities
}};

consteval bool boxesFollowTheEnumeration() {
  for (std::size_t i = 0; i < kFieldBoxes.size(); ++i)
    if (kFieldBoxes[i].field != static_cast<Field>(i)) return false;
  return true;
}
static_assert(boxesFollowTheEnumeration(), "kFieldBoxes must list every Field once, in the order of the enumeration");

constexpr const char* fieldBox(Field field) { return kFieldBoxes[static_cast<std::size_t>(field)].box; }

}  // namespace fb
