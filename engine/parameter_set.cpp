#include "engine/parameter_set.h"

namespace fb {

RunConstants deriveValues(const ParameterSet& p) {
  RunConstants k;
  k.totalFiber = static_cast<float>(static_cast<double>(p.Vf) * p.Am / p.Af);
  k.fiberNumberCoefficient = static_cast<float>(static_cast<double>(k.totalFiber) / 101);
  k.degToRad = kDegToRad;
  k.angleStep = 2;
  k.angleClassWidth = 2 * k.degToRad;
  k.thetaRxyRad = p.thetaRxy * k.degToRad;
  k.thetaRzxRad = p.thetaRzx * k.degToRad;
  k.crackAngleXYRad = p.crackAngleXY * k.degToRad;
  k.crackAngleZXRad = p.crackAngleZX * k.degToRad;
  k.deltaMaxHalfLf = p.C * p.Lf / 2 + p.D;
  return k;
}

}  // namespace fb
