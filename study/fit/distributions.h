#pragma once

// The tails of the distributions a fit's tests are read against: the normal,
// Student's t, chi-square and F, from the regularised incomplete gamma and
// beta functions.

namespace fb {

/// P(Z > z) for a standard normal Z.
double normalUpperTail(double z);

/// P(X > x) for X chi-square with `dof` degrees of freedom.
double chiSquareUpperTail(double x, double dof);

/// P(T > t) for T Student's t with `dof` degrees of freedom.
double studentTUpperTail(double t, double dof);

/// P(F > f) for F with `dof1` and `dof2` degrees of freedom.
double fUpperTail(double f, double dof1, double dof2);

/// The z with P(Z > z) = `tail`, for 0 < tail < 1/2.
double normalUpperQuantile(double tail);

/// The t with P(T > t) = `tail`, for 0 < tail < 1/2.
double studentTUpperQuantile(double tail, double dof);

}  // namespace fb
