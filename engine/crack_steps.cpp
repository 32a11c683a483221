#include "crack_steps.h"


namespace fb {

StepSchedule StepSchedule::of(const ParameterSet& p, const RunConstants& k) {
  return {p.division, k.deltaMaxHalfLf * 2, p.Lf / 2};
}

double stepWidth(const StepSchedule& sc, int s) {
  if (s <= sc.division) return s * sc.kneeWidth / sc.division;
  return sc.kneeWidth + (s - sc.division) * (sc.halfLf - sc.kneeWidth) / sc.division;
}

ClassSums classPass(FiberClassTable& table, double Wcr) {
  // The sums run strictly in class order; the surviving classes are packed
  // to the front in the same order, so later passes touch only them.
  const double fnc = table.fiberNumberCoefficient;
  const AnglePair* pairs = table.pairs.data();
  CrossingClass* classes = table.active.data();
  const std::size_t count = table.active.size();
  ClassSums sums;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const CrossingClass c = classes[i];
    const AnglePair& pair = pairs[c.pair];
    const FiberLoad f = fiberResponse(Wcr, c.lb, c.points, c.slopes, pair.ruptureLoad);
    // A class that leaves adds exactly 0 to both sums (P is never -0, so
    // P + 0 == P); adding it anyway keeps the pass free of jumps.
    sums.P = sums.P + f.load * pair.wXY * pair.wZX * fnc;
    sums.effectiveFiberCount = sums.effectiveFiberCount + (f.active ? pair.countWeight : 0.0);
    classes[kept] = c;
    kept += f.active;
  }
  table.active.resize(kept);
  return sums;
}

StepResult evaluateStep(FiberClassTable& table, const ParameterSet& p, std::int16_t step, double Wcr) {
  const ClassSums sums = classPass(table, Wcr);
  StepResult r;
  r.step = step;
  r.Wcr = Wcr;
  r.P = sums.P;
  r.sigma = sums.P / p.Am;
  r.effectiveFiberRatio = sums.effectiveFiberCount / table.totalFiber;
  return r;
}

}  // namespace fb
