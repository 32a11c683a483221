#pragma once

namespace fb {

/// A rectangle to clip to, left <= right and top <= bottom.
struct ClipBox {
  double left = 0, top = 0, right = 0, bottom = 0;
};

/// Trims the segment from (x1, y1) to (x2, y2) to the box (Liang-Barsky),
/// leaving an end inside the box exactly as it was. False when nothing of it
/// is left, or an end is not a number; far-off and infinite ends are cut back.
bool clipSegment(double& x1, double& y1, double& x2, double& y2, const ClipBox& box);

}  // namespace fb
