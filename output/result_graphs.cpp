#include "output/result_graphs.h"

#include <cmath>

namespace fb {

GraphScales graphScales(const ParameterSet& p, const RunConstants& k) {
  GraphScales s;
  const float halfLf = p.Lf / 2;
  s.xLeft = -halfLf / 20;
  s.xRight = halfLf * 1.05;
  s.stressScale = k.totalFiber * p.A * std::pow(halfLf, p.B) / p.Am;
  return s;
}

bool prepareGraphs(Canvas& stress, Canvas& ratio, const GraphScales& s, const std::function<bool()>& yield) {
  // A scale of 0 or one that is not finite leaves the stress graph without
  // a height; fall back to 1 MPa so the axes still show.
  const double scale = (s.stressScale != 0 && std::isfinite(s.stressScale)) ? s.stressScale : 1.0;
  const float xL = s.xLeft;
  const float xR = static_cast<float>(s.xRight);

  stress.clear();
  stress.setScale(xL, static_cast<float>(-scale), xR, static_cast<float>(scale / 10));
  stress.line(xL, 0, xR, 0, kAxisColour);
  stress.line(0, static_cast<float>(scale / 10), 0, static_cast<float>(-scale), kAxisColour);
  if (yield && !yield()) return false;

  ratio.clear();
  ratio.setScale(xL, -1, xR, 0);
  ratio.line(0, -1, 0, 0, kAxisColour);
  // The running ratio gathers 0.1 in double: its eleventh value,
  // 0.9999999999999999, lands on the top edge once rounded to single.
  for (double r = 0; r <= 1; r += 0.1) ratio.line(xL, static_cast<float>(-r), xR, static_cast<float>(-r), kGridColour);
  return !yield || yield();
}

void plotStep(Canvas& stress, Canvas& ratio, const StepResult& r) {
  const float x = static_cast<float>(r.Wcr);
  const float yStress = static_cast<float>(-r.sigma);
  const float yRatio = static_cast<float>(-r.effectiveFiberRatio);
  if (r.step == 0) {
    stress.point(x, yStress, kStressColour);
    ratio.point(x, yRatio, kRatioColour);
  } else {
    stress.lineTo(x, yStress, kStressColour);
    ratio.lineTo(x, yRatio, kRatioColour);
  }
}

}  // namespace fb
