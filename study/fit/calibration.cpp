#include "study/fit/calibration.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "study/fit/adequacy.h"
#include "study/fit/basins.h"
#include "study/fit/evaluator.h"
#include "study/fit/fit_prior.h"
#include "study/fit/fit_tuning.h"
#include "study/fit/point_noise.h"
#include "study/fit/profiles.h"
#include "study/fit/regime.h"
#include "study/fit/search.h"
#include "study/fit/task_pool.h"
#include "study/fit/trial.h"
#include "study/fit/uncertainty.h"
#include "study/studies/sweep.h"

namespace fb {
namespace {

std::string name(Field f) { return std::string(fieldInfo(f).name); }

// One fit: the searches from every start, the polish of the best basins, the
// estimates and every input's profile, then the basins and the warnings.
class Fit {
 public:
  Fit(const FitSettings& s, const FitProgress& progress) : s_(s), n_(s.free.size()), pool_(s, progress) {}

  FitResult run();

 private:
  // The given values in the unit cube, moved into their bounds where they lie outside.
  std::vector<double> givenValues(FitResult& result) const;
  // Searches from the other side of the rupture load where no search ended there.
  void searchOtherRegime(FitResult& result, int perRun);
  // Polishes the basins of polishFrom_ into polishes_.
  void polishBasins(int plannedRuns);
  void gather(const std::vector<Track>& tracks, FitResult& result);
  // Every input's profile from the optimum best_, to `threshold`.
  void walkProfiles(double threshold, int plannedRuns, const Estimates& estimates);
  void intervals(const Optimum& optimum, const Estimates& estimates, FitResult& result);
  // Widens the intervals by the uncertainty of the inputs a stage-1 fit found.
  void widenByStageOne(FitResult& result);
  // The best values as texts that read back exactly, and the warnings of those on a bound.
  void fittedValues(FitResult& result) const;

  const FitSettings& s_;
  const std::size_t n_;
  const FitTuning& tuning_ = kFitTuning;
  TaskPool pool_;

  std::vector<Track> searches_;
  std::vector<Track> polishes_;
  std::vector<Trial> polishFrom_;                  // the best points of the basins polished
  std::vector<std::pair<Trial, Trial>> polished_;  // a basin's best search end, and where its polish led
  std::optional<Trial> best_;                      // the best of every run so far
  std::vector<Track> profileTracks_;
  std::vector<std::vector<ProfilePoint>> profiles_;  // task 2j: input j downward, 2j+1 upward
};

void Fit::gather(const std::vector<Track>& tracks, FitResult& result) {
  for (const Track& t : tracks) {
    result.log.insert(result.log.end(), t.log.begin(), t.log.end());
    if (t.best && better(*t.best, best_)) best_ = t.best;
  }
}

void Fit::searchOtherRegime(FitResult& result, int perRun) {
  const std::vector<bool> regime = ruptureRegime(s_, best_->values);
  if (regime.empty()) return;
  for (const Track& t : searches_)
    if (t.best && ruptureRegime(s_, t.best->values) != regime) return;  // that side was searched
  const std::vector<std::vector<double>> starts =
      otherRegimeStarts(s_, regime, tuning_.regimeCandidates, tuning_.regimeStarts, s_.seed + 1);
  if (starts.empty()) return;  // the bounds hold one regime only
  std::vector<Track> tracks(starts.size());
  for (std::size_t k = 0; k < starts.size(); ++k)
    tracks[k].phase = "start " + std::to_string(searches_.size() + k) + " (other regime)";
  pool_.run(starts.size(), "search", static_cast<int>(starts.size()) * tuning_.evaluationsPerStart(n_) * perRun,
            [&](Evaluator& e, std::size_t k) { searchFrom(e, tracks[k], starts[k], pool_.shared(), tuning_); });
  gather(tracks, result);
  searches_.insert(searches_.end(), tracks.begin(), tracks.end());
  result.startCount += static_cast<int>(starts.size());
}

void Fit::polishBasins(int plannedRuns) {
  polishes_.assign(polishFrom_.size(), {});
  for (Track& t : polishes_) t.phase = "polish";
  pool_.run(polishFrom_.size(), "polish", plannedRuns,
            [&](Evaluator& e, std::size_t k) { polish(e, polishes_[k], polishFrom_[k], pool_.shared(), tuning_); });
}

void Fit::walkProfiles(double threshold, int plannedRuns, const Estimates& estimates) {
  const Optimum optimum{best_->unit, *best_->objective, threshold};
  profileTracks_.assign(2 * n_, {});
  profiles_.assign(2 * n_, {});
  for (std::size_t j = 0; j < n_; ++j) {
    profileTracks_[2 * j].phase = "profile " + name(s_.free[j].field) + " down";
    profileTracks_[2 * j + 1].phase = "profile " + name(s_.free[j].field) + " up";
  }
  pool_.run(2 * n_, "intervals", plannedRuns, [&](Evaluator& e, std::size_t task) {
    const std::size_t j = task / 2;
    profiles_[task] = walkProfile(e, profileTracks_[task], optimum, j, task % 2 == 0 ? -1 : 1,
                                  estimates.standardErrorUnit[j], estimates.follow[j], pool_.shared(), tuning_);
  });
}

// Each input's 95 % interval from its profile, the band's inputs, and the
// warning where the interval reaches a bound.
void Fit::intervals(const Optimum& optimum, const Estimates& estimates, FitResult& result) {
  for (std::size_t j = 0; j < n_; ++j) {
    FittedInput& input = result.inputs[j];
    const ProfileInterval interval =
        profileInterval(profiles_[2 * j], profiles_[2 * j + 1], optimum, j, input.value, s_.free, tuning_);
    input.low = interval.low;
    input.high = interval.high;
    input.lowOnBound = interval.lowOnBound;
    input.highOnBound = interval.highOnBound;
    input.lowEnd = interval.lowEnd;
    input.highEnd = interval.highEnd;
    result.bandValues.insert(result.bandValues.end(), interval.band.begin(), interval.band.end());
    // An input the differences saw no effect of, whose profile is flat
    // across its bounds, has none; elsewhere the profile has the last word.
    const bool seenNoEffect =
        std::find(estimates.noEffect.begin(), estimates.noEffect.end(), j) != estimates.noEffect.end();
    if (seenNoEffect && interval.lowOnBound && interval.highOnBound)
      result.warnings.push_back(noEffectWarning(s_, j));
    else if (std::optional<FitWarning> warning = undecidedWarning(s_.free[j], interval))
      result.warnings.push_back(std::move(*warning));
  }
  tradeOffReports(s_, estimates, result.inputs, result.warnings, result.notes);
}

// Stage 2 refitted with each stage-1 input at the ends of its interval; the
// shifts widen the intervals, and a refit the model refused is said.
void Fit::widenByStageOne(FitResult& result) {
  const std::vector<PriorRefit> refits = refitAtPriorEnds(s_, best_->unit, pool_.runs());
  for (const PriorRefit& r : refits) {
    result.log.insert(result.log.end(), r.log.begin(), r.log.end());
    const PriorInput& p = s_.prior[r.prior];
    if (r.values.empty() && !pool_.stopped())
      result.warnings.push_back({{p.field},
                                 "stage 2 could not be fitted again with " + name(p.field) + " at " +
                                     formatShortest(r.high ? p.high : p.low) +
                                     ", its stage-1 interval's end: the intervals miss that part of its uncertainty"});
  }
  widenByPrior(refits, s_.free, result.inputs);
}

std::vector<double> Fit::givenValues(FitResult& result) const {
  std::vector<double> given(n_);
  for (std::size_t j = 0; j < n_; ++j) {
    const FreeInput& f = s_.free[j];
    const double value = numberReader(s_.base[f.field]);
    const double clamped = std::clamp(value, f.low, f.high);
    given[j] = (clamped - f.low) / (f.high - f.low);
    if (clamped != value)
      result.notes.push_back(name(f.field) + " = " + s_.base[f.field] + " lies outside its bounds " +
                             formatShortest(f.low) + ":" + formatShortest(f.high) + "; its search starts from " +
                             formatShortest(clamped));
  }
  return given;
}

void Fit::fittedValues(FitResult& result) const {
  result.texts = s_.base;
  for (std::size_t j = 0; j < n_; ++j) {
    const FreeInput& f = s_.free[j];
    FittedInput& input = result.inputs[j];
    input.value = best_->values[j];
    input.text = rangeValueText(f.field, input.value);
    result.texts[f.field] = input.text;
    const double edge = tuning_.onBound * (f.high - f.low);
    if (input.value - f.low <= edge || f.high - input.value <= edge)
      result.warnings.push_back({{f.field},
                                 name(f.field) + " ended on its bound " +
                                     formatShortest(input.value - f.low <= edge ? f.low : f.high) +
                                     ": the best fit may lie beyond it"});
  }
}

FitResult Fit::run() {
  FitResult result;

  const std::vector<std::vector<double>> starts = startingPoints(givenValues(result), s_.starts, s_.seed);
  result.startCount = static_cast<int>(starts.size());
  const int perRun = static_cast<int>(s_.specimens.size() + s_.pullouts.size() + s_.beams.tests.size());
  const int polishRuns = tuning_.polishRounds * 2 * tuning_.evaluationsPerPolish(n_) * perRun;
  const auto finish = [&] {
    result.runs = pool_.runs().load();
    result.outcome = pool_.stopped()         ? FitOutcome::stopped
                     : result.inputs.empty() ? FitOutcome::noAcceptedStart
                                             : FitOutcome::fitted;
    result.seconds = pool_.seconds();
    return result;
  };

  // A search from every start.
  searches_.resize(starts.size());
  for (std::size_t i = 0; i < starts.size(); ++i) searches_[i].phase = "start " + std::to_string(i);
  pool_.run(starts.size(), "search", static_cast<int>(starts.size()) * tuning_.evaluationsPerStart(n_) * perRun,
            [&](Evaluator& e, std::size_t i) { searchFrom(e, searches_[i], starts[i], pool_.shared(), tuning_); });
  for (const Track& t : searches_)
    if (!result.refusal && t.first && !t.first->objective)
      result.refusal = Refusal{t.first->refusedField, t.first->note};
  if (!searches_.empty() && searches_[0].first && searches_[0].first->objective) {
    result.rmsBefore = searches_[0].first->rms;
    result.pulloutRmsBefore = searches_[0].first->pulloutRms;
    result.beamRmsBefore = searches_[0].first->beamRms;
  }
  gather(searches_, result);
  if (pool_.stopped() || !best_) return finish();
  result.refusal.reset();
  searchOtherRegime(result, perRun);
  if (pool_.stopped()) return finish();

  // The best basins polished.
  polishFrom_ = polishStarts(searches_, *best_, tuning_);
  polishBasins(static_cast<int>(polishFrom_.size()) * polishRuns);
  gather(polishes_, result);
  for (std::size_t k = 0; k < polishes_.size(); ++k) polished_.emplace_back(polishFrom_[k], *polishes_[k].best);
  if (pool_.stopped()) return finish();

  // The estimates: the Jacobian's, then every input's profile.
  for (std::size_t j = 0; j < n_; ++j) {
    const FreeInput& f = s_.free[j];
    result.inputs.push_back(
        {f.field, "", best_->values[j], f.low, f.high, true, true, std::nullopt, false, std::nullopt});
  }
  const Estimates estimates = jacobianEstimates(s_, *best_, tuning_);
  pool_.runs() += estimates.runs;
  result.log.insert(result.log.end(), estimates.log.begin(), estimates.log.end());
  result.correlation = estimates.correlation;
  for (std::size_t j = 0; j < n_; ++j) result.inputs[j].standardError = estimates.standardError[j];
  const double points = static_cast<double>(best_->residuals.size());
  const double dof = points - static_cast<double>(n_);
  const auto varianceOf = [&](double objective) {
    return s_.weighted() ? std::max(1.0, objective / dof) : objective / dof;
  };
  std::optional<double> threshold;  // the edge of the 95 % region, where intervals can be given
  if (dof > 0) {
    const double t975 = studentT975(dof);
    const auto thresholdOf = [&](double objective) { return objective + t975 * t975 * varianceOf(objective); };
    const int profileRuns =
        static_cast<int>(2 * n_) * tuning_.profilePointsPerSide / 2 * tuning_.evaluationsPerProfilePoint(n_) * perRun;
    for (int round = 0; round < tuning_.profileRounds; ++round) {
      const double before = *best_->objective;
      const double threshold = thresholdOf(before);
      walkProfiles(threshold, profileRuns, estimates);
      if (pool_.stopped()) return finish();
      // A profile that found a lower point (the stress jumps a little as groups
      // of fibers rupture a step earlier, and a valley leads the search far)
      // moves the optimum there; one that moved it much is searched again.
      gather(profileTracks_, result);
      if (!(*best_->objective < before - tuning_.profileMoves * (threshold - before))) break;
      if (round + 1 == tuning_.profileRounds) break;
      polishFrom_ = {*best_};
      polishBasins(polishRuns);
      gather(polishes_, result);
      if (pool_.stopped()) return finish();
    }
    for (std::size_t j = 0; j < n_; ++j) result.inputs[j].value = best_->values[j];
    threshold = thresholdOf(*best_->objective);
    intervals({best_->unit, *best_->objective, *threshold}, estimates, result);
    if (!s_.prior.empty()) {
      widenByStageOne(result);
      if (pool_.stopped()) return finish();
    }
  } else {
    for (std::size_t j : estimates.noEffect) result.warnings.push_back(noEffectWarning(s_, j));
    tradeOffReports(s_, estimates, result.inputs, result.warnings, result.notes);
    result.warnings.push_back({{}, "as many measured points as fitted inputs: no interval can be given"});
  }

  result.rmsAfter = best_->rms;
  result.pulloutRmsAfter = best_->pulloutRms;
  result.beamRmsAfter = best_->beamRms;
  result.residuals = best_->residuals;
  result.objective = *best_->objective;
  if (s_.weighted() && dof > 0) result.chiSquarePerDof = *best_->objective / dof;
  fittedValues(result);
  result.softL1Scale = softL1Scale(s_);
  result.outliers = findOutliers(s_, best_->residuals, n_);
  // A robust fit's outliers did not pull it: the model is judged on the rest.
  result.adequacy =
      judgeAdequacy(s_, best_->residuals, n_, result.softL1Scale ? result.outliers : std::vector<FitOutlier>{});
  if (result.adequacy)
    if (std::optional<FitWarning> warning = adequacyWarning(*result.adequacy))
      result.warnings.push_back(std::move(*warning));
  for (std::size_t k = 0; k < result.outliers.size() && k < tuning_.outliersNamed; ++k)
    result.warnings.push_back(outlierWarning(result.outliers[k], best_->residuals.size()));
  if (result.outliers.size() > tuning_.outliersNamed)
    result.warnings.push_back({{},
                               std::to_string(result.outliers.size() - tuning_.outliersNamed) +
                                   " more outliers: so many say more of the model than of the points"});

  std::vector<Trial> ends;
  for (const Track& t : searches_)
    if (t.best) ends.push_back(*t.best);
  result.basins = groupBasins(ends, polished_, *best_, bestBasinReach(s_.free, result.inputs, tuning_), tuning_);
  for (FitWarning& w : rivalWarnings(result.basins, result.rmsAfter, s_.free, result.inputs, fitRmsUnit(s_), tuning_))
    result.warnings.push_back(std::move(w));
  if (threshold) holdRivalAnswers(result.basins, *threshold, result.inputs);
  for (FitWarning& w : lawWarnings(result.texts)) result.warnings.push_back(std::move(w));
  for (std::string& note : lawNotes(result.texts)) result.notes.push_back(std::move(note));
  return finish();
}

}  // namespace

FitResult fitMeasuredCurves(const FitSettings& settings, const FitProgress& progress) {
  return Fit(settings, progress).run();
}

FieldTexts fittedRunTexts(const FitSettings& settings, const FitResult& result) {
  FieldTexts fitted = !settings.specimens.empty()                                  ? specimenTexts(settings, 0)
                      : settings.pullouts.empty() && !settings.beams.tests.empty() ? beamTexts(settings, 0)
                                                                                   : settings.base;
  for (const FittedInput& in : result.inputs) fitted[in.field] = in.text;
  return fitted;
}

}  // namespace fb
