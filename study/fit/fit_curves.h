#pragma once

// The curves that show a calibration: for each specimen the law of the
// starting inputs, the fitted law with the band that the inputs at the ends
// of their intervals span, and the residuals; for each pullout test the fitted
// single-fiber law at close slips; for each beam test the fitted beam. The
// figure draws them; anyone may.

#include <atomic>
#include <string>
#include <vector>

#include "study/fit/fit_result.h"
#include "study/fit/fit_settings.h"
#include "study/inputs/measured_curve.h"
#include "study/inputs/pullout_curve.h"

namespace fb {

/// A point of a computed bridging law.
struct CurvePoint {
  double Wcr = 0;    // mm
  double sigma = 0;  // MPa
};

struct SpecimenFitCurves {
  std::string label;                          // "specimen 1: Vf=0.01", or "" for a single curve
  std::vector<MeasuredPoint> measured;        // only Wcr and sigma are drawn
  std::vector<CurvePoint> start;              // the law of the starting inputs; may be empty
  std::vector<CurvePoint> fitted;             // the fitted law, at the run's step widths
  std::vector<CurvePoint> bandLow, bandHigh;  // lowest and highest stress at the same widths; may be empty
  std::vector<CurvePoint> residuals;          // fitted minus measured (MPa) at each measured width
};

/// A single-fiber pullout test of a fit: its points and the fitted law's
/// load against slip.
struct PulloutFitCurves {
  std::string label;                   // "lb 3 mm, angle 30°"
  std::vector<PulloutPoint> measured;  // only slip and load are drawn
  std::vector<PulloutPoint> fitted;    // the fitted law at close slips
};

/// A notched-beam test of a fit: its points and the fitted beam's load
/// against CMOD.
struct BeamFitCurves {
  std::string label;                    // its file
  std::vector<BeamTestPoint> measured;  // only CMOD and load are drawn
  std::vector<BeamPoint> fitted;        // up to 1.05 times its widest CMOD; empty where the beam failed
};

struct FitCurves {
  std::vector<SpecimenFitCurves> specimens;
  std::vector<PulloutFitCurves> pullouts;
  std::vector<BeamFitCurves> beams;
};

/// The curves of a fit that ended `fitted`, each bridging law run up to 1.05
/// times the specimen's widest measured crack width. A band member the model
/// refuses is left out; `stop` cuts the runs short (the curves are then not
/// whole, and the caller should drop them).
FitCurves fitCurves(const FitSettings& settings, const FitResult& result, const std::atomic<bool>* stop = nullptr);

}  // namespace fb
