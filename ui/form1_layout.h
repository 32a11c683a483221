#pragma once

// The window's layout: every control of Form1 with its name, kind, caption
// and place in twips, the keyboard order and the boxes the run writes its
// results into. main_window.cpp builds the window from it.

#include <span>

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

}  // namespace fb
