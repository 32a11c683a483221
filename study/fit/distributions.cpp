#include "study/fit/distributions.h"

#include <cmath>

namespace fb {
namespace {

constexpr int kIterations = 300;
constexpr double kEpsilon = 1e-15;
constexpr double kTiny = 1e-300;

// Q(a, x) = Gamma(a, x) / Gamma(a): the series for x < a + 1, else Lentz's
// continued fraction (both converge fast there).
double regularizedGammaQ(double a, double x) {
  if (!(x > 0)) return 1;
  const double front = std::exp(-x + a * std::log(x) - std::lgamma(a));
  if (x < a + 1) {
    double term = 1 / a, sum = term;
    for (int n = 1; n < kIterations && std::abs(term) > kEpsilon * std::abs(sum); ++n) {
      term *= x / (a + n);
      sum += term;
    }
    return 1 - sum * front;
  }
  double b = x + 1 - a, c = 1 / kTiny, d = 1 / b, h = d;
  for (int n = 1; n < kIterations; ++n) {
    const double an = -n * (n - a);
    b += 2;
    d = an * d + b;
    if (std::abs(d) < kTiny) d = kTiny;
    c = b + an / c;
    if (std::abs(c) < kTiny) c = kTiny;
    d = 1 / d;
    const double step = d * c;
    h *= step;
    if (std::abs(step - 1) < kEpsilon) break;
  }
  return front * h;
}

// The continued fraction of the incomplete beta function, by Lentz's method.
double betaFraction(double a, double b, double x) {
  const double qab = a + b, qap = a + 1, qam = a - 1;
  double c = 1, d = 1 - qab * x / qap;
  if (std::abs(d) < kTiny) d = kTiny;
  d = 1 / d;
  double h = d;
  for (int m = 1; m < kIterations; ++m) {
    const double m2 = 2.0 * m;
    double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
    d = 1 + aa * d;
    if (std::abs(d) < kTiny) d = kTiny;
    c = 1 + aa / c;
    if (std::abs(c) < kTiny) c = kTiny;
    d = 1 / d;
    h *= d * c;
    aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
    d = 1 + aa * d;
    if (std::abs(d) < kTiny) d = kTiny;
    c = 1 + aa / c;
    if (std::abs(c) < kTiny) c = kTiny;
    d = 1 / d;
    const double step = d * c;
    h *= step;
    if (std::abs(step - 1) < kEpsilon) break;
  }
  return h;
}

// I_x(a, b), the regularised incomplete beta function.
double regularizedBeta(double x, double a, double b) {
  if (!(x > 0)) return 0;
  if (!(x < 1)) return 1;
  const double front =
      std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log1p(-x));
  if (x < (a + 1) / (a + b + 2)) return front * betaFraction(a, b, x) / a;
  return 1 - front * betaFraction(b, a, 1 - x) / b;
}

}  // namespace

double normalUpperTail(double z) { return 0.5 * std::erfc(z / std::sqrt(2.0)); }

double chiSquareUpperTail(double x, double dof) { return regularizedGammaQ(dof / 2, x / 2); }

double studentTUpperTail(double t, double dof) {
  const double half = 0.5 * regularizedBeta(dof / (dof + t * t), dof / 2, 0.5);
  return t > 0 ? half : 1 - half;
}

double fUpperTail(double f, double dof1, double dof2) {
  if (!(f > 0)) return 1;
  return regularizedBeta(dof2 / (dof2 + dof1 * f), dof2 / 2, dof1 / 2);
}

namespace {

// Where a tail that falls from 1/2 at 0 reaches `tail`: bisected between 0
// and a point far enough out.
template <typename Tail>
double upperQuantile(double tail, const Tail& upper) {
  double low = 0, high = 1;
  while (upper(high) > tail && high < 1e12) high *= 2;
  for (int i = 0; i < 200 && high - low > 1e-12 * high; ++i) {
    const double mid = (low + high) / 2;
    (upper(mid) > tail ? low : high) = mid;
  }
  return (low + high) / 2;
}

}  // namespace

double normalUpperQuantile(double tail) { return upperQuantile(tail, normalUpperTail); }

double studentTUpperQuantile(double tail, double dof) {
  return upperQuantile(tail, [dof](double t) { return studentTUpperTail(t, dof); });
}

}  // namespace fb
