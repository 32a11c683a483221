#include "engine/fiber_class_table.h"

#include <cmath>
#include <string>

namespace fb {
namespace {

// Inclination from the product of the two direction cosines: pi/2 - atan(c/sqrt(1-c^2)).
double inclinationFromCosines(double c) { return kPi / 2 - std::atan(c / std::sqrt(1 - c * c)); }

bool fitsSingle(double value) { return std::isfinite(static_cast<float>(value)); }

// Whether the step loop can evaluate a crossing class's law: finite points
// and a first line that does not divide by zero.
bool canEvaluate(const CrossingClass& c) {
  const PulloutPoints& pt = c.points;
  return std::isfinite(pt.Pa) && std::isfinite(pt.Pmax) && std::isfinite(pt.deltaA) && std::isfinite(pt.deltaMax) &&
         pt.deltaA != 0 && std::isfinite(c.slopes.kA);
}

// Names the inputs behind a crossing class that cannot be evaluated.
std::optional<Refusal> checkCrossingClass(const ParameterSet& p, const CrossingClass& c, double psi) {
  const PulloutPoints& pt = c.points;
  const bool loadSnubbingFits = fitsSingle(snubbingFactor(p.fp0, p.fp1, c.lb, psi));
  const bool widthSnubbingFits = fitsSingle(snubbingFactor(p.fd0, p.fd1, c.lb, psi));
  const std::string tooLarge = " too large for single precision";
  if (!loadSnubbingFits && !(std::isfinite(pt.Pa) && std::isfinite(pt.Pmax)))
    return Refusal{"fp0/fp1", "fp0/fp1 (load snubbing coefficient) give a snubbing factor" + tooLarge};
  if (!widthSnubbingFits && !(std::isfinite(pt.deltaA) && std::isfinite(pt.deltaMax)))
    return Refusal{"fd0/fd1", "fd0/fd1 (displacement snubbing coefficient) give a snubbing factor" + tooLarge};
  if (!std::isfinite(pt.Pa)) return Refusal{"Aa/Ba", "Aa/Ba (first-point load Aa*lb^Ba) give a load" + tooLarge};
  if (!std::isfinite(pt.Pmax)) return Refusal{"A/B", "A/B (peak load A*lb^B) give a load" + tooLarge};
  if (!std::isfinite(pt.deltaA)) return Refusal{"Ca/Da", "Ca/Da (first-point width Ca*lb+Da) give a width" + tooLarge};
  if (!std::isfinite(pt.deltaMax)) return Refusal{"C/D", "C/D (peak width C*lb+D) give a width" + tooLarge};
  if (pt.deltaA == 0 && snubbingFactor(p.fd0, p.fd1, c.lb, psi) == 0)
    return Refusal{"fd0/fd1",
                   "fd0/fd1 (displacement snubbing coefficient) give a snubbing factor exp(fd*psi) "
                   "that rounds to 0, so no fiber's first point has a width"};
  if (pt.deltaA == 0)
    return Refusal{"Ca/Da",
                   "Ca/Da (first-point width Ca*lb+Da) must not give a width of 0 "
                   "for a fiber that crosses the crack (its first slope would divide by 0)"};
  if (!std::isfinite(c.slopes.kA))
    return Refusal{"Aa/Ba",
                   "Aa/Ba (first-point load Aa*lb^Ba) with Ca/Da give a first slope "
                   "Pa/deltaA too large for single precision"};
  return std::nullopt;
}

}  // namespace

double geometricInclination(int thetaZX, int thetaXY, const RunConstants& k) {
  const double c0 = std::abs(std::cos(thetaZX * k.degToRad)) * std::abs(std::cos(thetaXY * k.degToRad));
  return inclinationFromCosines(c0);
}

double snubbingInclination(int thetaZX, int thetaXY, const RunConstants& k) {
  double a = thetaXY * k.degToRad + k.crackAngleXYRad;
  double b = thetaZX * k.degToRad + k.crackAngleZXRad;
  // Only angles beyond a right angle fold back; the offset counts once.
  double offset = 0;
  if (a > kPi / 2) {
    a = a - kPi / 2;
    offset = kPi / 2;
    if (b > kPi / 2) b = b - kPi / 2;
  } else if (b > kPi / 2) {
    b = b - kPi / 2;
    offset = kPi / 2;
  }
  const double c = std::abs(std::cos(b)) * std::abs(std::cos(a));
  if (c == 1) return 0;
  return inclinationFromCosines(c) + offset;
}

float slicePosition(int sliceIndex, float Lf) {
  return static_cast<float>(-static_cast<double>(Lf) / 2 + sliceIndex * (static_cast<double>(Lf) / 200));
}

float embeddedLength(float z, float Lf, double cosPsi0) {
  const float lb = static_cast<float>((z + static_cast<double>(Lf) / 2 * cosPsi0) / cosPsi0);
  return lb < 0 ? 0.0f : lb;
}

TableOutcome buildFiberClassTable(const ParameterSet& p, const RunConstants& k, const Orientation& o,
                                  FiberClassTable& table, const SliceProgress& progress) {
  table.totalFiber = k.totalFiber;
  table.fiberNumberCoefficient = k.fiberNumberCoefficient;

  double wXY[kAngleClassCount], wZX[kAngleClassCount];
  for (int i = 0; i < kAngleClassCount; ++i) {
    const double theta = classAngle(i + 1) * k.degToRad;
    wXY[i] = orientationDensity(theta, o.xy) * k.angleClassWidth;
    wZX[i] = orientationDensity(theta, o.zx) * k.angleClassWidth;
  }

  // With no length term the snubbing factors depend on the angle pair alone.
  const bool loadSnubbingPerPair = p.fp1 == 0;
  const bool widthSnubbingPerPair = p.fd1 == 0;
  std::vector<double> pairSp(kPairCount), pairSd(kPairCount);

  table.pairs.resize(kPairCount);
  for (int zx = 0; zx < kAngleClassCount; ++zx) {
    for (int xy = 0; xy < kAngleClassCount; ++xy) {
      const int index = zx * kAngleClassCount + xy;
      const int thetaZX = classAngle(zx + 1), thetaXY = classAngle(xy + 1);
      AnglePair& pair = table.pairs[index];
      pair.wXY = wXY[xy];
      pair.wZX = wZX[zx];
      pair.countWeight = 1.0 * pair.wXY * pair.wZX * k.fiberNumberCoefficient;
      pair.psi0 = geometricInclination(thetaZX, thetaXY, k);
      pair.cosPsi0 = std::cos(pair.psi0);
      pair.psi = snubbingInclination(thetaZX, thetaXY, k);
      pair.ruptureLoad = ruptureLoad(p, pair.psi);
      if (loadSnubbingPerPair) pairSp[index] = snubbingFactor(p.fp0, p.fp1, 0, pair.psi);
      if (widthSnubbingPerPair) pairSd[index] = snubbingFactor(p.fd0, p.fd1, 0, pair.psi);
    }
  }

  table.active.clear();
  table.active.reserve(kClassCount / 2);
  for (int slice = 0; slice < kSliceCount; ++slice) {
    if (progress && !progress(slice)) return {true, std::nullopt};
    const float z = slicePosition(slice, p.Lf);
    for (int index = 0; index < kPairCount; ++index) {
      const AnglePair& pair = table.pairs[index];
      const float lb = embeddedLength(z, p.Lf, pair.cosPsi0);
      if (lb == 0) continue;  // pulled out at the first step, adds nothing
      const double Sp = loadSnubbingPerPair ? pairSp[index] : snubbingFactor(p.fp0, p.fp1, lb, pair.psi);
      const double Sd = widthSnubbingPerPair ? pairSd[index] : snubbingFactor(p.fd0, p.fd1, lb, pair.psi);
      CrossingClass c;
      c.lb = lb;
      c.points = snubbedPoints(p, lb, Sp, Sd);
      c.slopes = pulloutSlopes(c.points, lb);
      c.pair = static_cast<std::uint16_t>(index);
      if (!canEvaluate(c))
        if (auto refusal = checkCrossingClass(p, c, pair.psi)) return {false, refusal};
      table.active.push_back(c);
    }
  }
  return {};
}

}  // namespace fb
