#pragma once

// The program's icon as one list of flat shapes on a 32 by 32 pixel grid:
// two blocks of matrix, the crack between them and three fibers bridging it.
// The window paints it with the toolkit; the installed scalable icon is the
// same list written as SVG, so the two cannot drift apart.

#include <array>
#include <cstdint>
#include <string>

namespace fb {

struct IconColour {
  std::uint8_t red, green, blue;
};

enum class IconShapeKind {
  outlinedBox,  // a box filled with `fill`, with a one-pixel `outline` on its edge pixels
  filledBox,    // a box filled with `fill`, no outline
  fiber,        // a line of `width` pixels in `outline`, square ends
};

/// Boxes cover the pixels from (x, y) to (x + w, y + h) inclusive for an
/// outlined box, to (x + w - 1, y + h - 1) for a filled one, as a painter does;
/// a fiber runs between the pixel corners (x, y) and (x + w, y + h).
struct IconShape {
  IconShapeKind kind;
  int x, y, w, h;
  IconColour fill, outline;
  int width;
};

inline constexpr int kIconSize = 32;

// Drawn in the order given, in the sixteen-colour palette of a classic icon.
inline constexpr IconColour kMatrixGrey{192, 192, 192}, kEdgeGrey{128, 128, 128}, kCrackWhite{255, 255, 255},
    kFiberBlue{0, 0, 255}, kFiberRed{255, 0, 0};
inline constexpr std::array<IconShape, 6> kIconShapes = {{
    {IconShapeKind::outlinedBox, 1, 4, 12, 23, kMatrixGrey, kEdgeGrey, 1},
    {IconShapeKind::outlinedBox, 18, 4, 12, 23, kMatrixGrey, kEdgeGrey, 1},
    {IconShapeKind::filledBox, 14, 2, 4, 28, kCrackWhite, kCrackWhite, 0},
    {IconShapeKind::fiber, 7, 9, 17, 3, kFiberBlue, kFiberBlue, 2},
    {IconShapeKind::fiber, 8, 21, 17, -5, kFiberBlue, kFiberBlue, 2},
    {IconShapeKind::fiber, 6, 15, 20, 10, kFiberRed, kFiberRed, 2},
}};

/// The icon as a scalable SVG document with a 32 by 32 view box.
std::string programIconSvg();

}  // namespace fb
