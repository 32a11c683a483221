#include "output/segment_clip.h"

#include <cmath>

namespace fb {

bool clipSegment(double& x1, double& y1, double& x2, double& y2, const ClipBox& box) {
  double t0 = 0, t1 = 1;
  const double dx = x2 - x1, dy = y2 - y1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x1 - box.left, box.right - x1, y1 - box.top, box.bottom - y1};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      if (t > t0) t0 = t;
    } else {
      if (t < t0) return false;
      if (t < t1) t1 = t;
    }
  }
  const double sx = x1, sy = y1;
  if (t1 < 1) {
    x2 = sx + t1 * dx;
    y2 = sy + t1 * dy;
  }
  if (t0 > 0) {
    x1 = sx + t0 * dx;
    y1 = sy + t0 * dy;
  }
  return std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2);
}

}  // namespace fb
