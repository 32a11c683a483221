#pragma once

// How hard a fit searches and how it reads what it found: every constant the
// search, the profiles, the basins and the standard errors go by, in one place.

#include <cstddef>
#include <cstdint>

namespace fb {

struct FitTuning {
  // What the search sees of inputs the model refuses: far worse than any curve.
  double refusedObjective = 1e300;

  // A start's search only finds its basin: it ends when its steps in the unit
  // cube fall below this, or after evaluationsPerStart runs; the polish goes on
  // to unitTolerance.
  double startTolerance = 1e-3;
  int startEvaluationsBase = 30, startEvaluationsPerInput = 20;
  double unitTolerance = 1e-5;

  // The best basins whose sum of squares lies within this factor of the best
  // are polished, a few rounds of a simplex then BOBYQA (from half the
  // simplex's step), each round from a step half the last one's.
  std::size_t polishedBasins = 3;
  double polishedWithin = 1.25;
  int polishRounds = 4;
  int polishEvaluationsPerInput = 30;
  double polishFirstStep = 0.02;

  // Two ends of searches lie in one basin when no input differs by more than
  // this share of its range (or, for the best basin, than its interval).
  double basinRadius = 0.05;
  // Basins within this factor of the best RMS are answers of their own.
  double rivalRms = 1.05;

  // A profile point refits the other inputs in at most
  // profilePointBase + profilePointPerOther * (inputs - 1) runs, from a trust
  // region of profileStep, to profileTolerance.
  int profilePointBase = 20, profilePointPerOther = 15;
  int profilePointsPerSide = 12;
  // A side of a profile ends after this many points in a row beyond the threshold.
  int profileEndsBeyond = 2;
  double profileStep = 0.05, profileTolerance = 1e-4;
  // The first step along a profile is the standard error in the unit cube,
  // within these limits (the default where the Jacobian cannot say); each
  // next step is this factor longer.
  double profileFirstStep = 0.05, profileShortestStep = 0.002, profileLongestStep = 0.1;
  double profileStepGrowth = 1.5;
  // A first point beyond the threshold by this many margins steps back to a
  // quarter of its step, at most this many times.
  double profileOvershoot = 3;
  int profileStepBacks = 2;
  double profileStepBack = 6;  // a quarter of the step, after the growth by half

  // Profiles that find a point lower than the optimum by this share of the
  // threshold's margin move it there; the optimum is polished and profiled
  // again, at most profileRounds times in all.
  double profileMoves = 0.25;
  int profileRounds = 3;

  // The smoothed profile fits a parabola to the points within this many
  // margins of the optimum, when there are at least this many (the optimum
  // counted), and reaches the margin plus this many times their scatter.
  double smoothedWithin = 4;
  std::size_t smoothedPoints = 4;
  double smoothedScatter = 2;

  // An input whose value lies this close to a bound (share of the range) is on it.
  double onBound = 1e-3;
  // Inputs that move more than this share of their range along a profile trade off with it.
  double tradeOffMove = 0.1;

  // The Jacobian's central differences step by this share of each range.
  double jacobianStep = 0.01;
  // An input has no effect when its column is below this share of the largest
  // column or of the measured values'.
  double noEffect = 1e-4;
  // The Jacobian is singular below this ratio of its smallest singular value
  // to its largest; then inputs whose columns' cosine exceeds sameEffect
  // trade off; else those whose correlation exceeds tradeOffCorrelation.
  double singular = 1e-8;
  double sameEffect = 0.95;
  double tradeOffCorrelation = 0.99;

  // Where no search ended on the other side of the rupture load from the
  // best (fibers that rupture before their peak, or pull out), this many more
  // start there, the first such of this many points of a second hypercube.
  int regimeStarts = 2, regimeCandidates = 64;

  // The report names this many outliers, the most extreme.
  std::size_t outliersNamed = 5;

  // The fewest values a fitted range must hold for the search to tell its steps apart.
  std::uint64_t minRangeValues = 1000;

  int evaluationsPerStart(std::size_t inputs) const {
    return startEvaluationsBase + startEvaluationsPerInput * static_cast<int>(inputs);
  }
  int evaluationsPerPolish(std::size_t inputs) const { return polishEvaluationsPerInput * static_cast<int>(inputs); }
  int evaluationsPerProfilePoint(std::size_t inputs) const {
    return profilePointBase + profilePointPerOther * static_cast<int>(inputs - 1);
  }
};

inline constexpr FitTuning kFitTuning{};

}  // namespace fb
