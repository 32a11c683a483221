#include "study/calibration.h"

#include <Eigen/Dense>
#include <algorithm>
#include <bit>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <nlopt.hpp>
#include <span>
#include <thread>
#include <type_traits>
#include <variant>

#include "engine/inputs.h"
#include "engine/message_text.h"
#include "engine/number_format.h"
#include "engine/number_reader.h"
#include "engine/number_text.h"
#include "engine/pullout_law.h"
#include "run/curve_runner.h"
#include "study/input_set.h"
#include "study/latin_hypercube.h"
#include "study/metrics.h"
#include "study/sweep.h"

namespace fb {
namespace {

// What the search sees of inputs the model refuses: far worse than any curve.
constexpr double kRefusedObjective = 1e300;
// A start's search only finds its basin: it ends when its steps in the unit
// cube fall below this, or after this many runs; the polish goes on to kUnitTolerance.
constexpr double kStartTolerance = 1e-3;
int evaluationsPerStart(std::size_t freeInputs) { return 30 + 20 * static_cast<int>(freeInputs); }
constexpr double kUnitTolerance = 1e-5;
// The best basins whose sum of squares lies within this factor of the best are polished.
constexpr std::size_t kPolishedBasins = 3;
constexpr double kPolishedWithin = 1.25;
constexpr int kPolishRounds = 4;
int evaluationsPerPolish(std::size_t freeInputs) { return 30 * static_cast<int>(freeInputs); }
// Two ends of searches lie in one basin when no input differs by more than
// this share of its range (or, for the best basin, than its interval).
constexpr double kBasinRadius = 0.05;
// Basins within this factor of the best RMS are answers of their own.
constexpr double kRivalRms = 1.05;
// A profile point refits the other inputs in at most this many runs.
int evaluationsPerProfilePoint(std::size_t freeInputs) { return 20 + 15 * static_cast<int>(freeInputs - 1); }
constexpr int kProfilePointsPerSide = 12;
// Profiles that find a point lower than the optimum by this share of the
// threshold's margin move it there; the optimum is polished and profiled
// again, at most this many times in all.
constexpr double kProfileMoves = 0.25;
constexpr int kProfileRounds = 3;
// An input whose value lies this close to a bound (share of the range) is on it.
constexpr double kOnBound = 1e-3;
// Inputs that move more than this share of their range along a profile trade off with it.
constexpr double kTradeOffMove = 0.1;

std::string name(Field f) { return std::string(fieldInfo(f).name); }

struct Trial {
  std::vector<double> unit;          // where the search asked, in the unit cube
  std::vector<double> values;        // as the model read them
  std::vector<double> residuals;     // computed minus measured, specimen after specimen, then pullout tests
  std::optional<double> objective;   // sum of squares, or chi-square; empty when refused
  double rms = 0;                    // MPa over the bridging curves; N with pullout curves alone
  std::optional<double> pulloutRms;  // N, over the pullout curves
  std::string note;
  std::string refusedField;  // the input a refusal names, when the model refused
};

// Stores a fitted input's value in its precision, as reading its text would.
void setInput(ParameterSet& p, Field field, double value) {
  std::visit(
      [&](auto member) {
        using Member = decltype(member);
        if constexpr (std::is_same_v<Member, float ParameterSet::*>)
          p.*member = static_cast<float>(value);
        else if constexpr (std::is_same_v<Member, double ParameterSet::*>)
          p.*member = value;
      },
      fieldInfo(field).member);
}

// A pullout test as the evaluator pulls it: the inputs it is read with, its
// fiber's length and inclination, and its slips.
struct PulloutTest {
  ParameterSet params;
  float lb = 0;  // mm, single as the class table keeps it
  double psi = 0;
  std::vector<double> slips, loads;
};

// Runs the model for values of the free inputs, on every specimen, and the
// pullout law on every pullout test; one per worker, with its class table.
class Evaluator {
 public:
  Evaluator(const FitSettings& s, unsigned threads, std::atomic<int>& runs)
      : settings_(s), scales_(s.residualScales()), runs_(runs) {
    if (!s.specimens.empty()) runner_.emplace(threads);
    for (std::size_t k = 0; k < s.specimens.size(); ++k) {
      texts_.push_back(specimenTexts(s, k));
      double widest = 0;
      for (const MeasuredPoint& m : s.specimens[k].measured) widest = std::max(widest, m.Wcr);
      widest_.push_back(widest);
    }
    for (std::size_t k = 0; k < s.pullouts.size(); ++k) {
      PulloutTest test;
      test.params = readParameterSet(pulloutTexts(s, k)).params;
      test.lb = static_cast<float>(s.pullouts[k].lb);
      test.psi = pulloutInclination(s.pullouts[k].angle);
      for (const PulloutPoint& m : s.pullouts[k].measured) test.slips.push_back(m.slip);
      test.loads.resize(test.slips.size());
      tests_.push_back(std::move(test));
    }
  }

  Trial evaluate(const std::vector<double>& unit) {
    const std::size_t n = settings_.free.size();
    Trial t;
    t.unit = unit;
    std::vector<std::string> free(n);
    for (std::size_t j = 0; j < n; ++j) {
      const FreeInput& f = settings_.free[j];
      free[j] = rangeValueText(f.field, f.low + std::clamp(unit[j], 0.0, 1.0) * (f.high - f.low));
      t.values.push_back(numberReader(free[j]));
    }
    double objective = 0;
    std::size_t i = 0;  // the residual's index
    const auto add = [&](double r) {
      t.residuals.push_back(r);
      const double scaled = r / scales_[i++];
      objective += scaled * scaled;
    };
    const std::size_t curves = texts_.size() + tests_.size();
    for (std::size_t k = 0; k < texts_.size(); ++k) {
      FieldTexts texts = texts_[k];
      for (std::size_t j = 0; j < n; ++j) texts[settings_.free[j].field] = free[j];
      // A stop cuts the run short: the trial then has no objective and cannot win.
      const CurveRunner::Curve curve = runner_->run(texts, widest_[k], settings_.stop);
      ++runs_;
      const std::string who = curves > 1 ? settings_.specimens[k].name + ": " : "";
      if (curve.refusal) {
        t.note = who + curve.refusal->message;
        t.refusedField = curve.refusal->field;
        return t;
      }
      for (const MeasuredPoint& m : settings_.specimens[k].measured) {
        const auto computed = stressAt(curve.steps, m.Wcr);
        if (!computed) {
          t.note = who + "the measured width " + formatShortest(m.Wcr) + " mm lies beyond this run's crack widths";
          return t;
        }
        add(*computed - m.sigma);
      }
    }
    const std::size_t stresses = t.residuals.size();
    for (std::size_t k = 0; k < tests_.size(); ++k) {
      PulloutTest& test = tests_[k];
      ParameterSet p = test.params;
      for (std::size_t j = 0; j < n; ++j) setInput(p, settings_.free[j].field, t.values[j]);
      pulloutCurve(pulloutFiber(p, test.lb, test.psi), test.slips, test.loads);
      ++runs_;
      const std::vector<PulloutPoint>& measured = settings_.pullouts[k].measured;
      for (std::size_t m = 0; m < measured.size(); ++m) {
        if (!std::isfinite(test.loads[m])) {
          t.note = (curves > 1 ? settings_.pullouts[k].name + ": " : "") +
                   "the pullout law has no finite load at slip " + formatShortest(measured[m].slip) + " mm";
          return t;
        }
        add(test.loads[m] - measured[m].load);
      }
    }
    const std::span<const double> all(t.residuals);
    if (!tests_.empty()) t.pulloutRms = rootMeanSquare(all.subspan(stresses));
    t.rms = texts_.empty() ? *t.pulloutRms : rootMeanSquare(all.first(stresses));
    t.objective = std::isfinite(objective) ? std::min(objective, kRefusedObjective) : kRefusedObjective;
    return t;
  }

 private:
  const FitSettings& settings_;
  std::vector<double> scales_;
  std::vector<FieldTexts> texts_;
  std::vector<double> widest_;
  std::vector<PulloutTest> tests_;
  std::optional<CurveRunner> runner_;
  std::atomic<int>& runs_;
};

bool better(const Trial& a, const std::optional<Trial>& b) {
  return a.objective && (!b || !b->objective || *a.objective < *b->objective);
}

// The evaluations of one task (a start, a polish, one side of a profile), kept
// apart so that the outcome does not depend on which worker ran it.
struct Track {
  std::string phase;
  std::vector<FitEvaluation> log;
  std::optional<Trial> best, first;
  std::optional<Trial> recent;  // the best since the caller last cleared it
  void keep(const Trial& t) {
    log.push_back({phase, t.values, t.objective ? std::optional<double>(t.rms) : std::nullopt, t.note});
    if (!first) first = t;
    if (better(t, best)) best = t;
    if (better(t, recent)) recent = t;
  }
};

// The starting points in the unit cube: the given values first, then a Latin hypercube.
std::vector<std::vector<double>> startingPoints(const std::vector<double>& given, int starts, std::uint64_t seed) {
  std::vector<std::vector<double>> points{given};
  for (std::vector<double>& point : latinHypercube(starts - 1, given.size(), seed)) points.push_back(std::move(point));
  return points;
}

double chebyshev(const std::vector<double>& a, const std::vector<double>& b) {
  double d = 0;
  for (std::size_t j = 0; j < a.size(); ++j) d = std::max(d, std::abs(a[j] - b[j]));
  return d;
}

// One profile point: the input held at `unit`, the others fitted again.
struct ProfilePoint {
  double unit = 0;
  double objective = 0;
  std::vector<double> at;      // the refitted point, in the unit cube
  std::vector<double> values;  // as the model read them
};

// Everything one fit shares between its workers.
class Fit {
 public:
  Fit(const FitSettings& s, const FitProgress& progress) : s_(s), n_(s.free.size()), progress_(progress) {}

  FitResult run();

 private:
  bool stopped() const { return s_.stop && s_.stop->load(); }

  // Minimises over the coordinates `dims` of `u` (the others held), from `u`,
  // with `algorithm`; every run goes into `track`.
  void minimise(Evaluator& e, Track& track, std::vector<double> u, const std::vector<std::size_t>& dims,
                nlopt::algorithm algorithm, double step, int evaluations, double tolerance);

  void search(Evaluator& e, std::size_t i);
  void polish(Evaluator& e, std::size_t task);
  void profile(Evaluator& e, std::size_t task);

  void runTasks(std::size_t count, const std::string& phase, int plannedRuns,
                const std::function<void(Evaluator&, std::size_t)>& task);
  void jacobianEstimates(const Trial& best, FitResult& result);
  std::optional<std::pair<double, double>> smoothedInterval(const std::vector<ProfilePoint>& points,
                                                            std::size_t j) const;
  void intervals(FitResult& result);
  void basins(FitResult& result);

  const FitSettings& s_;
  const std::size_t n_;
  const FitProgress& progress_;
  const std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
  std::atomic<int> runs_{0};
  std::mutex mutex_;
  std::optional<double> bestRms_;  // under mutex_
  int planned_ = 0;

  std::vector<std::vector<double>> starts_;
  std::vector<Track> searches_;
  std::vector<Track> polishes_;
  std::vector<Trial> polishFrom_;                  // the best points of the basins polished
  std::vector<std::pair<Trial, Trial>> polished_;  // a basin's best search end, and where its polish led
  std::optional<Trial> best_;                      // the best of every run so far
  std::vector<std::optional<double>> standardErrorUnit_;
  std::vector<std::vector<double>> follow_;  // [j][k]: how input k follows input j along its valley, per the Jacobian
  double threshold_ = 0;                     // the objective at the edge of the 95 % region
  std::vector<Track> profileTracks_;
  std::vector<std::vector<ProfilePoint>> profiles_;  // task 2j: input j downward, 2j+1 upward
};

void Fit::minimise(Evaluator& e, Track& track, std::vector<double> u, const std::vector<std::size_t>& dims,
                   nlopt::algorithm algorithm, double step, int evaluations, double tolerance) {
  if (dims.empty()) {
    if (stopped()) return;
    track.keep(e.evaluate(u));
    return;
  }
  const auto objective = [&](const std::vector<double>& x) {
    if (stopped()) throw nlopt::forced_stop();
    for (std::size_t d = 0; d < dims.size(); ++d) u[dims[d]] = std::clamp(x[d], 0.0, 1.0);
    const Trial t = e.evaluate(u);
    track.keep(t);
    if (t.objective) {
      std::lock_guard lock(mutex_);
      if (!bestRms_ || t.rms < *bestRms_) bestRms_ = t.rms;
    }
    return t.objective ? *t.objective : kRefusedObjective;
  };
  const auto size = static_cast<unsigned>(dims.size());
  nlopt::opt opt(algorithm, size);
  opt.set_lower_bounds(std::vector<double>(size, 0.0));
  opt.set_upper_bounds(std::vector<double>(size, 1.0));
  opt.set_xtol_abs(tolerance);
  opt.set_maxeval(evaluations);
  if (step > 0) opt.set_initial_step(step);
  opt.set_min_objective([](const std::vector<double>& x, std::vector<double>&,
                           void* data) { return (*static_cast<decltype(objective)*>(data))(x); },
                        const_cast<void*>(static_cast<const void*>(&objective)));
  std::vector<double> x(size);
  for (std::size_t d = 0; d < dims.size(); ++d) x[d] = u[dims[d]];
  double value = 0;
  try {
    opt.optimize(x, value);
  } catch (const nlopt::forced_stop&) {
  } catch (const nlopt::roundoff_limited&) {
    // The search cannot get closer in floating point; its best point stands.
  }
}

void Fit::search(Evaluator& e, std::size_t i) {
  std::vector<std::size_t> all(n_);
  for (std::size_t j = 0; j < n_; ++j) all[j] = j;
  minimise(e, searches_[i], starts_[i], all, nlopt::LN_BOBYQA, 0, evaluationsPerStart(n_), kStartTolerance);
}

// A basin's best point searched on by a simplex, which is not led astray by
// the small jumps of the stress as groups of fibers rupture a step earlier,
// then by BOBYQA from a fresh, small trust region, while either improves.
void Fit::polish(Evaluator& e, std::size_t task) {
  Track& track = polishes_[task];
  track.best = polishFrom_[task];
  std::vector<std::size_t> all(n_);
  for (std::size_t j = 0; j < n_; ++j) all[j] = j;
  for (int round = 0; round < kPolishRounds && !stopped(); ++round) {
    const double before = *track.best->objective;
    const double step = 0.02 / (1 << round);
    minimise(e, track, track.best->unit, all, nlopt::LN_SBPLX, step, evaluationsPerPolish(n_), kUnitTolerance);
    minimise(e, track, track.best->unit, all, nlopt::LN_BOBYQA, step / 2, evaluationsPerPolish(n_), kUnitTolerance);
    if (!(*track.best->objective < before)) break;
  }
}

// One side of one input's profile: the input held at values walking from the
// optimum to its bound, the others fitted again from where the last point
// left them, until two points in a row lie beyond the 95 % threshold.
void Fit::profile(Evaluator& e, std::size_t task) {
  const std::size_t j = task / 2;
  const double direction = task % 2 == 0 ? -1 : 1;
  Track& track = profileTracks_[task];
  std::vector<ProfilePoint>& points = profiles_[task];
  const double centre = best_->unit[j];
  const double room = direction < 0 ? centre : 1 - centre;
  if (room <= 0) return;
  // Steps of the standard error, where the Jacobian knows it, growing by half each time.
  const double first = std::clamp(standardErrorUnit_[j].value_or(0.05), 0.002, 0.1);
  std::vector<std::size_t> others;
  for (std::size_t k = 0; k < n_; ++k)
    if (k != j) others.push_back(k);
  std::vector<double> at = best_->unit, previous = best_->unit;
  int beyond = 0, shrunk = 0;
  double offset = first;
  for (int p = 0; p < kProfilePointsPerSide && beyond < 2 && !stopped(); ++p, offset *= 1.5) {
    const bool last = offset >= room || p == kProfilePointsPerSide - 1;
    const double target = last ? (direction < 0 ? 0.0 : 1.0) : centre + direction * offset;
    // The others start where the valley goes: along the Jacobian's partial
    // regression at first, then along the line through the last two points,
    // so that inputs which trade off follow it over long steps.
    const std::vector<double> here = at;
    for (std::size_t k : others) {
      const double slope = here[j] != previous[j] ? (here[k] - previous[k]) / (here[j] - previous[j]) : follow_[j][k];
      at[k] = std::clamp(here[k] + slope * (target - here[j]), 0.0, 1.0);
    }
    at[j] = target;
    track.recent.reset();
    minimise(e, track, at, others, nlopt::LN_BOBYQA, 0.05, evaluationsPerProfilePoint(n_), 1e-4);
    if (!track.recent) break;  // the model refuses the inputs there: the profile ends
    const double objective = *track.recent->objective;
    points.push_back({track.recent->unit[j], objective, track.recent->unit, track.recent->values});
    // A first step far beyond the threshold says little of where it is
    // crossed: step back towards the optimum, a few times at most.
    if (points.size() == 1 + static_cast<std::size_t>(shrunk) && shrunk < 2 && !last &&
        objective > threshold_ + 3 * (threshold_ - *best_->objective)) {
      ++shrunk;
      at = best_->unit;
      offset /= 6;  // a quarter of the step, after the loop's growth by half
      continue;
    }
    previous = here;
    at = track.recent->unit;
    beyond = objective > threshold_ ? beyond + 1 : 0;
    if (last) break;
  }
}

void Fit::runTasks(std::size_t count, const std::string& phase, int plannedRuns,
                   const std::function<void(Evaluator&, std::size_t)>& task) {
  {
    std::lock_guard lock(mutex_);
    planned_ = runs_.load() + plannedRuns;
  }
  std::atomic<std::size_t> next{0};
  std::size_t workersLeft = std::clamp<std::size_t>(s_.jobs, 1, std::max<std::size_t>(count, 1));
  std::exception_ptr failure;
  std::condition_variable ended;
  // The workers share the jobs' threads; each runs the model on its share of them.
  const unsigned share = std::max(1u, s_.jobs / static_cast<unsigned>(workersLeft));
  const auto work = [&, share] {
    try {
      Evaluator evaluator(s_, share, runs_);
      for (std::size_t k; !stopped() && (k = next.fetch_add(1)) < count;) task(evaluator, k);
    } catch (...) {
      std::lock_guard lock(mutex_);
      if (!failure) failure = std::current_exception();
      next = count;  // the others stop at their next task
    }
    std::lock_guard lock(mutex_);
    --workersLeft;
    ended.notify_one();
  };
  std::vector<std::jthread> threads;
  const std::size_t wanted = workersLeft;
  for (std::size_t t = 0; t < wanted; ++t) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      // No more threads: the ones started take the remaining tasks.
      std::lock_guard lock(mutex_);
      workersLeft -= wanted - t;
      break;
    }
  }
  if (threads.empty()) {
    workersLeft = 1;
    work();
  }
  std::unique_lock lock(mutex_);
  while (workersLeft > 0) {
    ended.wait_for(lock, std::chrono::milliseconds(100));
    if (!progress_) continue;
    FitProgressReport report{phase, runs_.load(), std::max(planned_, runs_.load()), bestRms_, std::nullopt};
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
    if (report.runs > 0) report.secondsLeft = seconds / report.runs * (report.planned - report.runs);
    lock.unlock();
    progress_(report);
    lock.lock();
  }
  lock.unlock();
  threads.clear();
  if (failure) std::rethrow_exception(failure);
}

// The standard errors and correlations from the residual Jacobian at the
// optimum, and the warnings where it shows an input without effect or two
// inputs whose effects are one. The standard errors also size the profiles' steps.
void Fit::jacobianEstimates(const Trial& best, FitResult& result) {
  const std::size_t m = best.residuals.size();
  standardErrorUnit_.assign(n_, std::nullopt);
  result.correlation.assign(n_, std::vector<double>(n_, std::nan("")));
  Eigen::MatrixXd J = Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(m), static_cast<Eigen::Index>(n_));
  std::vector<double> weight = s_.residualScales();
  for (double& w : weight) w = 1 / w;
  std::vector<bool> known(n_, true);
  std::atomic<int> runs{0};
  Evaluator evaluator(s_, 0, runs);
  Track track{"errors", {}, {}, {}, {}};
  for (std::size_t j = 0; j < n_; ++j) {
    std::vector<double> up = best.unit, down = best.unit;
    up[j] = std::min(best.unit[j] + 0.01, 1.0);
    down[j] = std::max(best.unit[j] - 0.01, 0.0);
    const Trial a = evaluator.evaluate(up), b = evaluator.evaluate(down);
    track.keep(a);
    track.keep(b);
    if (!a.objective || !b.objective || a.values[j] == b.values[j]) {
      known[j] = false;
      continue;
    }
    // In the unit of the input's range, so that inputs of any unit compare.
    const double range = s_.free[j].high - s_.free[j].low;
    for (std::size_t i = 0; i < m; ++i)
      J(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) =
          (a.residuals[i] - b.residuals[i]) * weight[i] / ((a.values[j] - b.values[j]) / range);
  }
  runs_ += runs.load();
  result.log.insert(result.log.end(), track.log.begin(), track.log.end());

  // With input j held at a new value, the others that fit best move by the
  // regression of j's column on theirs (none where it is not determined).
  follow_.assign(n_, std::vector<double>(n_, 0.0));
  for (std::size_t j = 0; j < n_ && n_ > 1; ++j) {
    if (!known[j]) continue;
    std::vector<Eigen::Index> others;
    for (std::size_t k = 0; k < n_; ++k)
      if (k != j && known[k]) others.push_back(static_cast<Eigen::Index>(k));
    if (others.empty()) continue;
    Eigen::MatrixXd O(static_cast<Eigen::Index>(m), static_cast<Eigen::Index>(others.size()));
    for (std::size_t c = 0; c < others.size(); ++c) O.col(static_cast<Eigen::Index>(c)) = J.col(others[c]);
    const Eigen::VectorXd move =
        O.jacobiSvd(Eigen::ComputeThinU | Eigen::ComputeThinV).solve(-J.col(static_cast<Eigen::Index>(j)));
    for (std::size_t c = 0; c < others.size(); ++c)
      if (std::isfinite(move(static_cast<Eigen::Index>(c))))
        follow_[j][static_cast<std::size_t>(others[c])] = move(static_cast<Eigen::Index>(c));
  }

  // An input has no effect when its column is small beside the others' or
  // beside the measured stresses themselves (it may be the only one): across
  // its whole range it moves the stress by less than a ten-thousandth.
  double largest = 0, stresses = 0;
  for (std::size_t j = 0; j < n_; ++j) largest = std::max(largest, J.col(static_cast<Eigen::Index>(j)).norm());
  {
    std::size_t i = 0;
    for (const Specimen& specimen : s_.specimens)
      for (const MeasuredPoint& p : specimen.measured) {
        stresses += (p.sigma * weight[i]) * (p.sigma * weight[i]);
        ++i;
      }
    for (const PulloutSpecimen& test : s_.pullouts)
      for (const PulloutPoint& p : test.measured) {
        stresses += (p.load * weight[i]) * (p.load * weight[i]);
        ++i;
      }
  }
  std::vector<std::size_t> active;
  for (std::size_t j = 0; j < n_; ++j) {
    if (!known[j]) continue;
    const double norm = J.col(static_cast<Eigen::Index>(j)).norm();
    if (norm <= 1e-4 * largest || norm <= 1e-4 * std::sqrt(stresses)) {
      result.warnings.push_back(
          {{s_.free[j].field},
           name(s_.free[j].field) + (s_.specimens.empty() ? " has no effect on the computed load: fix it"
                                                          : " has no effect on the computed stress: fix it")});
      continue;
    }
    active.push_back(j);
  }
  const Eigen::Index k = static_cast<Eigen::Index>(active.size());
  if (k == 0) return;
  Eigen::MatrixXd A(static_cast<Eigen::Index>(m), k);
  for (Eigen::Index c = 0; c < k; ++c) A.col(c) = J.col(static_cast<Eigen::Index>(active[c]));
  const Eigen::JacobiSVD<Eigen::MatrixXd> svd(A);
  const auto& sv = svd.singularValues();
  const auto tradeOff = [&](std::size_t a, std::size_t b) {
    const Field fa = s_.free[a].field, fb = s_.free[b].field;
    result.warnings.push_back({{fa, fb}, name(fa) + " and " + name(fb) + " trade off on this curve: fix one of them"});
  };
  if (sv(k - 1) <= 1e-8 * sv(0)) {
    // No unique optimum: inputs whose effects on the stress are (nearly) one.
    for (Eigen::Index a = 0; a < k; ++a)
      for (Eigen::Index b = a + 1; b < k; ++b)
        if (std::abs(A.col(a).dot(A.col(b)) / (A.col(a).norm() * A.col(b).norm())) > 0.95)
          tradeOff(active[a], active[b]);
    return;
  }
  const double dof = static_cast<double>(m) - static_cast<double>(n_);
  if (dof <= 0) return;  // as many points as inputs: no residual variance to go by
  double sumOfSquares = 0;
  for (std::size_t i = 0; i < m; ++i) sumOfSquares += (best.residuals[i] * weight[i]) * (best.residuals[i] * weight[i]);
  const Eigen::MatrixXd covariance = (A.transpose() * A).inverse() * (sumOfSquares / dof);
  for (Eigen::Index a = 0; a < k; ++a) {
    const std::size_t ja = active[a];
    standardErrorUnit_[ja] = std::sqrt(covariance(a, a));
    result.inputs[ja].standardError = *standardErrorUnit_[ja] * (s_.free[ja].high - s_.free[ja].low);
    for (Eigen::Index b = 0; b < k; ++b) {
      const double rho = covariance(a, b) / std::sqrt(covariance(a, a) * covariance(b, b));
      result.correlation[ja][active[b]] = rho;
      if (b > a && std::abs(rho) > 0.99) tradeOff(ja, active[b]);
    }
  }
}

// The profile seen past the jumps of the stress: a parabola through its
// points near the optimum, and where it rises by the threshold's margin plus
// twice the points' scatter about it. Empty where no parabola opens upward.
std::optional<std::pair<double, double>> Fit::smoothedInterval(const std::vector<ProfilePoint>& points,
                                                               std::size_t j) const {
  const double best = *best_->objective, margin = threshold_ - best;
  std::vector<std::pair<double, double>> near{{best_->unit[j], best}};
  for (const ProfilePoint& p : points)
    if (p.objective <= best + 4 * margin) near.emplace_back(p.unit, p.objective);
  if (near.size() < 4 || !(margin > 0)) return std::nullopt;
  // The normal equations of the three coefficients, in the objective's units of the margin.
  Eigen::Matrix3d A = Eigen::Matrix3d::Zero();
  Eigen::Vector3d b = Eigen::Vector3d::Zero();
  for (const auto& [unit, objective] : near) {
    const double x = unit - best_->unit[j];
    const Eigen::Vector3d row(1, x, x * x);
    A += row * row.transpose();
    b += row * (objective / margin);
  }
  const Eigen::Vector3d c = A.partialPivLu().solve(b);
  if (!(c(2) > 0) || !c.allFinite()) return std::nullopt;
  double squares = 0;
  for (const auto& [unit, objective] : near) {
    const double x = unit - best_->unit[j];
    const double r = c(0) + c(1) * x + c(2) * x * x - objective / margin;
    squares += r * r;
  }
  const double scatter = std::sqrt(squares / static_cast<double>(near.size()));
  const double vertex = best_->unit[j] - c(1) / (2 * c(2));
  const double half = std::sqrt((1 + 2 * scatter) / c(2));
  return std::pair{vertex - half, vertex + half};
}

// Each input's 95 % interval from its profile; where it reaches a bound, the
// warning that the curve does not decide the input, naming the inputs that
// moved along with it.
void Fit::intervals(FitResult& result) {
  for (std::size_t j = 0; j < n_; ++j) {
    FittedInput& input = result.inputs[j];
    const FreeInput& f = s_.free[j];
    std::vector<Field> partners;
    // Both sides' points in order of the input, so that an optimum that moved
    // during the profiles still finds its interval around it.
    std::vector<ProfilePoint> all = profiles_[2 * j];
    all.insert(all.end(), profiles_[2 * j + 1].begin(), profiles_[2 * j + 1].end());
    std::stable_sort(all.begin(), all.end(),
                     [](const ProfilePoint& a, const ProfilePoint& b) { return a.unit < b.unit; });
    const double centre = best_->unit[j];
    const std::optional<std::pair<double, double>> smooth = smoothedInterval(all, j);
    for (int side = 0; side < 2; ++side) {
      std::vector<const ProfilePoint*> points;  // outward from the optimum
      for (const ProfilePoint& p : all)
        if (side == 0 ? p.unit < centre : p.unit > centre) points.push_back(&p);
      if (side == 0) std::reverse(points.begin(), points.end());
      double inner = centre, innerObjective = *best_->objective, edge = inner;
      const ProfilePoint* reached = nullptr;
      bool closed = false;
      for (std::size_t p = 0; p < points.size(); ++p) {
        if (points[p]->objective <= threshold_) {
          inner = edge = points[p]->unit;
          innerObjective = points[p]->objective;
          reached = points[p];
          continue;
        }
        // Outside; two in a row close the interval, one alone is a jump of the stress.
        if (p + 1 < points.size() && points[p + 1]->objective <= threshold_) continue;
        // The profile rises as a parabola from the optimum, about linearly further out.
        double t = (threshold_ - innerObjective) / (points[p]->objective - innerObjective);
        if (!reached) t = std::sqrt(std::max(t, 0.0));
        edge = inner + std::clamp(t, 0.0, 1.0) * (points[p]->unit - inner);
        closed = true;
        break;
      }
      const double bound = side == 0 ? 0.0 : 1.0;
      bool onBound = !closed && (centre == bound || (!points.empty() && points.back()->unit == bound));
      if (onBound) edge = bound;
      // The smoothed profile reaches further: the interval takes the wider end.
      if (smooth) {
        const double end = side == 0 ? smooth->first : smooth->second;
        if (side == 0 ? end < edge : end > edge) edge = end;
        if (side == 0 ? edge <= 0 : edge >= 1) {
          edge = bound;
          onBound = true;
        }
      }
      const double value = f.low + edge * (f.high - f.low);
      if (side == 0) {
        input.low = std::min(value, input.value);
        input.lowOnBound = onBound;
      } else {
        input.high = std::max(value, input.value);
        input.highOnBound = onBound;
      }
      // The band's curves: the furthest inside point, else the nearest one probed.
      if (const ProfilePoint* member = reached ? reached : points.empty() ? nullptr : points.front())
        result.bandValues.push_back(member->values);
      if (onBound && reached)
        for (std::size_t k = 0; k < n_; ++k)
          if (k != j && std::abs(reached->at[k] - best_->unit[k]) > kTradeOffMove &&
              std::find(partners.begin(), partners.end(), s_.free[k].field) == partners.end())
            partners.push_back(s_.free[k].field);
    }
    if (!input.lowOnBound && !input.highOnBound) continue;
    std::string text = name(f.field) + " is not decided by the measured curve: its 95 % interval reaches its bound";
    if (input.lowOnBound && input.highOnBound)
      text = name(f.field) + " is not decided by the measured curve: its 95 % interval spans its bounds";
    else
      text += " " + formatShortest(input.lowOnBound ? f.low : f.high);
    std::vector<Field> named{f.field};
    if (!partners.empty()) {
      text += "; it trades off with";
      for (std::size_t k = 0; k < partners.size(); ++k)
        text += (k == 0 ? " " : k + 1 == partners.size() ? " and " : ", ") + name(partners[k]);
      named.insert(named.end(), partners.begin(), partners.end());
    }
    result.warnings.push_back({named, text});
  }
}

// The searches' ends grouped into basins, best first; the best basin is the
// region inside the intervals, the others balls of kBasinRadius.
void Fit::basins(FitResult& result) {
  std::vector<double> reach(n_, kBasinRadius);
  for (std::size_t j = 0; j < n_; ++j) {
    const double range = s_.free[j].high - s_.free[j].low;
    reach[j] = std::max(kBasinRadius, (result.inputs[j].high - result.inputs[j].low) / range);
  }
  const auto inBest = [&](const Trial& t) {
    for (std::size_t j = 0; j < n_; ++j)
      if (std::abs(t.unit[j] - best_->unit[j]) > reach[j]) return false;
    return true;
  };
  // A search that ended in a polished basin ended where the polish led.
  std::vector<const Trial*> ends;
  for (const Track& t : searches_) {
    if (!t.best) continue;
    const Trial* end = &*t.best;
    for (const auto& [from, to] : polished_)
      if (chebyshev(t.best->unit, from.unit) <= kBasinRadius) {
        end = &to;
        break;
      }
    ends.push_back(end);
  }
  std::stable_sort(ends.begin(), ends.end(),
                   [](const Trial* a, const Trial* b) { return *a->objective < *b->objective; });
  result.basins.push_back({best_->rms, 0, best_->values});
  std::vector<const Trial*> representatives{&*best_};
  for (const Trial* end : ends) {
    if (inBest(*end)) {
      ++result.basins[0].starts;
      continue;
    }
    std::size_t b = 1;
    while (b < representatives.size() && chebyshev(end->unit, representatives[b]->unit) > kBasinRadius) ++b;
    if (b == representatives.size()) {
      representatives.push_back(end);
      result.basins.push_back({end->rms, 0, end->values});
    }
    ++result.basins[b].starts;
  }

  for (std::size_t b = 1; b < result.basins.size(); ++b) {
    const FitBasin& rival = result.basins[b];
    if (rival.rms > kRivalRms * result.rmsAfter) continue;
    std::vector<Field> outside;
    std::string values;
    for (std::size_t j = 0; j < n_; ++j) {
      values += (j == 0 ? "" : ", ") + name(s_.free[j].field) + " = " + formatShortest(rival.values[j]);
      if (rival.values[j] < result.inputs[j].low || rival.values[j] > result.inputs[j].high)
        outside.push_back(s_.free[j].field);
    }
    if (outside.empty()) continue;
    result.warnings.push_back({outside, "the measured curve fits about as well (RMS " + formatShortest(rival.rms) +
                                            (s_.specimens.empty() ? " N, " : " MPa, ") + std::to_string(rival.starts) +
                                            (rival.starts == 1 ? " start" : " starts") + ") with " + values +
                                            ": it does not decide between the two answers"});
  }
}

FitResult Fit::run() {
  FitResult result;

  // The given values, moved into their bounds where they lie outside.
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
  starts_ = startingPoints(given, s_.starts, s_.seed);
  result.startCount = static_cast<int>(starts_.size());
  const int perRun = static_cast<int>(s_.specimens.size() + s_.pullouts.size());
  const auto finish = [&] {
    result.runs = runs_.load();
    result.stopped = stopped();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
    return result;
  };

  // A search from every start.
  searches_.resize(starts_.size());
  for (std::size_t i = 0; i < starts_.size(); ++i) searches_[i].phase = "start " + std::to_string(i);
  runTasks(starts_.size(), "search", static_cast<int>(starts_.size()) * evaluationsPerStart(n_) * perRun,
           [&](Evaluator& e, std::size_t i) { search(e, i); });
  for (const Track& t : searches_)
    if (!result.refusal && t.first && !t.first->objective)
      result.refusal = Refusal{t.first->refusedField, t.first->note};
  if (!searches_.empty() && searches_[0].first && searches_[0].first->objective) {
    result.rmsBefore = searches_[0].first->rms;
    result.pulloutRmsBefore = searches_[0].first->pulloutRms;
  }
  const auto gather = [&](const std::vector<Track>& tracks) {
    for (const Track& t : tracks) {
      result.log.insert(result.log.end(), t.log.begin(), t.log.end());
      if (t.best && better(*t.best, best_)) best_ = t.best;
    }
  };
  gather(searches_);
  if (stopped() || !best_) return finish();
  result.refusal.reset();

  // The best basins polished.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < searches_.size(); ++i)
    if (searches_[i].best && *searches_[i].best->objective <= kPolishedWithin * *best_->objective) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return *searches_[a].best->objective < *searches_[b].best->objective;
  });
  for (std::size_t i : order) {
    if (polishFrom_.size() == kPolishedBasins) break;
    bool apart = true;
    for (const Trial& p : polishFrom_) apart = apart && chebyshev(searches_[i].best->unit, p.unit) > kBasinRadius;
    if (apart) polishFrom_.push_back(*searches_[i].best);
  }
  polishes_.resize(polishFrom_.size());
  for (Track& t : polishes_) t.phase = "polish";
  runTasks(polishFrom_.size(), "polish",
           static_cast<int>(polishFrom_.size()) * kPolishRounds * 2 * evaluationsPerPolish(n_) * perRun,
           [&](Evaluator& e, std::size_t k) { polish(e, k); });
  gather(polishes_);
  for (std::size_t k = 0; k < polishes_.size(); ++k) polished_.emplace_back(polishFrom_[k], *polishes_[k].best);
  if (stopped()) return finish();

  // The estimates: the Jacobian's, then every input's profile.
  for (std::size_t j = 0; j < n_; ++j) {
    const FreeInput& f = s_.free[j];
    result.inputs.push_back({f.field, "", best_->values[j], f.low, f.high, true, true, std::nullopt});
  }
  jacobianEstimates(*best_, result);
  const double points = static_cast<double>(best_->residuals.size());
  const double dof = points - static_cast<double>(n_);
  const auto varianceOf = [&](double objective) {
    return s_.weighted() ? std::max(1.0, objective / dof) : objective / dof;
  };
  if (dof > 0) {
    const double t975 = studentT975(dof);
    const auto thresholdOf = [&](double objective) { return objective + t975 * t975 * varianceOf(objective); };
    for (int round = 0; round < kProfileRounds; ++round) {
      const double before = *best_->objective;
      threshold_ = thresholdOf(before);
      profileTracks_.assign(2 * n_, {});
      profiles_.assign(2 * n_, {});
      for (std::size_t j = 0; j < n_; ++j) {
        profileTracks_[2 * j].phase = "profile " + name(s_.free[j].field) + " down";
        profileTracks_[2 * j + 1].phase = "profile " + name(s_.free[j].field) + " up";
      }
      runTasks(2 * n_, "intervals",
               static_cast<int>(2 * n_) * kProfilePointsPerSide / 2 * evaluationsPerProfilePoint(n_) * perRun,
               [&](Evaluator& e, std::size_t k) { profile(e, k); });
      if (stopped()) return finish();
      // A profile that found a lower point (the stress jumps a little as groups
      // of fibers rupture a step earlier, and a valley leads the search far)
      // moves the optimum there; one that moved it much is searched again.
      gather(profileTracks_);
      if (!(*best_->objective < before - kProfileMoves * (threshold_ - before))) break;
      if (round + 1 == kProfileRounds) break;
      polishFrom_ = {*best_};
      polishes_.assign(1, {});
      polishes_[0].phase = "polish";
      runTasks(1, "polish", kPolishRounds * 2 * evaluationsPerPolish(n_) * perRun,
               [&](Evaluator& e, std::size_t k) { polish(e, k); });
      gather(polishes_);
      if (stopped()) return finish();
    }
    threshold_ = thresholdOf(*best_->objective);
    for (std::size_t j = 0; j < n_; ++j) result.inputs[j].value = best_->values[j];
    intervals(result);
  } else {
    result.warnings.push_back({{}, "as many measured points as fitted inputs: no interval can be given"});
  }

  result.rmsAfter = best_->rms;
  result.pulloutRmsAfter = best_->pulloutRms;
  if (s_.weighted() && dof > 0) result.chiSquarePerDof = *best_->objective / dof;
  result.texts = s_.base;
  for (std::size_t j = 0; j < n_; ++j) {
    const FreeInput& f = s_.free[j];
    FittedInput& input = result.inputs[j];
    input.value = best_->values[j];
    input.text = rangeValueText(f.field, input.value);
    result.texts[f.field] = input.text;
    const double edge = kOnBound * (f.high - f.low);
    if (input.value - f.low <= edge || f.high - input.value <= edge)
      result.warnings.push_back({{f.field},
                                 name(f.field) + " ended on its bound " +
                                     formatShortest(input.value - f.low <= edge ? f.low : f.high) +
                                     ": the best fit may lie beyond it"});
  }
  basins(result);
  for (FitWarning& w : lawWarnings(result.texts)) result.warnings.push_back(std::move(w));
  return finish();
}

}  // namespace

bool FitSettings::weighted() const {
  bool any = false;
  for (const Specimen& s : specimens)
    for (const MeasuredPoint& p : s.measured) {
      if (!(p.sd > 0)) return false;
      any = true;
    }
  for (const PulloutSpecimen& s : pullouts)
    for (const PulloutPoint& p : s.measured) {
      if (!(p.sd > 0)) return false;
      any = true;
    }
  return any;
}

std::size_t FitSettings::pointCount() const {
  std::size_t count = 0;
  for (const Specimen& s : specimens) count += s.measured.size();
  for (const PulloutSpecimen& s : pullouts) count += s.measured.size();
  return count;
}

std::vector<double> FitSettings::residualScales() const {
  const bool weights = weighted(), joint = !specimens.empty() && !pullouts.empty();
  std::vector<double> scales;
  const auto curve = [&](const auto& points, auto value) {
    double largest = 0;
    for (const auto& p : points) largest = std::max(largest, std::abs(value(p)));
    if (!(largest > 0) || !std::isfinite(largest)) largest = 1;
    for (const auto& p : points) scales.push_back(weights ? p.sd : joint ? largest : 1.0);
  };
  for (const Specimen& s : specimens) curve(s.measured, [](const MeasuredPoint& p) { return p.sigma; });
  for (const PulloutSpecimen& s : pullouts) curve(s.measured, [](const PulloutPoint& p) { return p.load; });
  return scales;
}

FieldTexts specimenTexts(const FitSettings& settings, std::size_t index) {
  FieldTexts texts = settings.base;
  for (const SpecimenInput& input : settings.specimens[index].inputs) texts[input.field] = input.value;
  return texts;
}

FieldTexts pulloutTexts(const FitSettings& settings, std::size_t index) {
  FieldTexts texts = settings.base;
  for (const SpecimenInput& input : settings.pullouts[index].inputs) texts[input.field] = input.value;
  return texts;
}

double pulloutInclination(double degrees) { return degrees * kDegToRad; }

Expected<void> checkPulloutInsideFiber(double lb, const FieldTexts& texts) {
  // The model's fibers are embedded by at most half their length.
  const float halfLf = readParameterSet(texts).params.Lf / 2;
  if (static_cast<float>(lb) <= halfLf) return {};
  return unexpected("lb = " + formatShortest(lb) + " mm lies beyond the longest embedded length of the model, Lf/2 = " +
                    formatShortest(halfLf) + " mm");
}

namespace {

// How many values of the input's precision lie in [low, high] (at most 2^62):
// a range narrower than its input's precision gives runs that cannot differ.
std::uint64_t valuesWithin(Precision precision, double low, double high) {
  if (low < 0 && high > 0) return std::uint64_t{1} << 62;
  // Same sign: the bit patterns count the representable values between them.
  const auto steps = [](auto a, auto b) {
    using Bits = std::conditional_t<sizeof(a) == 4, std::uint32_t, std::uint64_t>;
    const Bits x = std::bit_cast<Bits>(std::abs(a)), y = std::bit_cast<Bits>(std::abs(b));
    return static_cast<std::uint64_t>(x > y ? x - y : y - x);
  };
  return precision == Precision::single ? steps(static_cast<float>(low), static_cast<float>(high)) + 1
                                        : std::min<std::uint64_t>(steps(low, high), std::uint64_t{1} << 62) + 1;
}

// The fewest values a fitted range must hold for the search to tell its steps apart.
constexpr std::uint64_t kMinRangeValues = 1000;

}  // namespace

Expected<FreeInput> parseFreeInput(std::string_view text) {
  const auto fail = [&](const std::string& reason) {
    return unexpected("--fit " + quotedToken(text, 60) + ": " + reason);
  };
  const Expected<InputAssignment> named = splitInputAssignment(text, "NAME=LO:HI");
  if (!named) return fail(named.error());
  const Field field = named->field;
  if (fieldInfo(field).precision() == Precision::int16) return fail(name(field) + " is a count; it cannot be fitted");
  const std::string_view bounds = named->value;
  const auto colon = bounds.find(':');
  if (colon == std::string_view::npos) return fail("a fitted input needs its bounds, NAME=LO:HI");
  const auto low = strictNumber(trim(bounds.substr(0, colon)));
  const auto high = strictNumber(trim(bounds.substr(colon + 1)));
  if (!low || !high) return fail("LO and HI must be finite numbers");
  if (!(*low < *high)) return fail("LO must be below HI");
  if (!std::isfinite(*high - *low)) return fail("the range from LO to HI is not a finite number");
  if (fieldInfo(field).precision() == Precision::single && (std::abs(*low) > FLT_MAX || std::abs(*high) > FLT_MAX))
    return fail(name(field) + " is a single-precision input: LO and HI must lie within ±" + formatShortest(FLT_MAX));
  if (valuesWithin(fieldInfo(field).precision(), *low, *high) < kMinRangeValues)
    return fail("the range holds fewer than " + std::to_string(kMinRangeValues) + " values of " + name(field) +
                "'s precision: its runs could not tell them apart");
  return FreeInput{field, *low, *high};
}

Expected<void> checkFitSettings(const FitSettings& s) {
  if (s.free.empty() || s.free.size() > kMaxFreeInputs)
    return unexpected("a fit varies 1 to " + std::to_string(kMaxFreeInputs) + " inputs, not " +
                      std::to_string(s.free.size()));
  for (std::size_t i = 0; i < s.free.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (s.free[i].field == s.free[j].field) return unexpected("--fit " + name(s.free[i].field) + " is given twice");
  if (s.specimens.empty() && s.pullouts.empty()) return unexpected("a fit needs a measured curve");
  const std::string curves = s.pullouts.empty()    ? "--measured"
                             : s.specimens.empty() ? "--pullout"
                                                   : "--measured and --pullout";
  if (s.pointCount() < s.free.size())
    return unexpected(curves + " " + (s.pullouts.empty() ? "has " : "have ") + std::to_string(s.pointCount()) +
                      " points, fewer than the " + std::to_string(s.free.size()) + " inputs to fit");
  if (s.starts < 1 || s.starts > 1000) return unexpected("--fit-starts must lie between 1 and 1000");
  bool someWeighted = false, someNot = false;
  for (const Specimen& specimen : s.specimens)
    for (const MeasuredPoint& p : specimen.measured) (p.sd > 0 ? someWeighted : someNot) = true;
  for (const PulloutSpecimen& test : s.pullouts)
    for (const PulloutPoint& p : test.measured) (p.sd > 0 ? someWeighted : someNot) = true;
  if (someWeighted && someNot)
    return unexpected(curves + ": either every curve gives standard deviations or none does");

  for (std::size_t k = 0; k < s.pullouts.size(); ++k) {
    const PulloutSpecimen& test = s.pullouts[k];
    for (const SpecimenInput& input : test.inputs)
      for (const FreeInput& f : s.free)
        if (input.field == f.field)
          return unexpected("--pullout " + test.name + " sets " + name(f.field) + ", which the fit varies");
    if (const auto inside = checkPulloutInsideFiber(test.lb, pulloutTexts(s, k)); !inside)
      return unexpected("--pullout " + test.name + ":" + std::to_string(test.lbLine) + ": " + inside.error());
  }
  for (std::size_t k = 0; k < s.specimens.size(); ++k) {
    const Specimen& specimen = s.specimens[k];
    for (const SpecimenInput& input : specimen.inputs)
      for (const FreeInput& f : s.free)
        if (input.field == f.field)
          return unexpected("--measured " + specimen.name + " sets " + name(f.field) + ", which the fit varies");
    const ReadOutcome read = readParameterSet(specimenTexts(s, k));
    const RunConstants c = deriveValues(read.params);
    const StepSchedule schedule = StepSchedule::of(read.params, c);
    double widest = 0;
    for (int step = 0; step <= schedule.lastStep(); ++step) widest = std::max(widest, stepWidth(schedule, step));
    for (const MeasuredPoint& m : specimen.measured)
      if (m.Wcr < 0 || m.Wcr > widest)
        return unexpected("--measured " + specimen.name + ": the width " + formatShortest(m.Wcr) +
                          " mm lies outside the run's crack widths, 0 to " + formatShortest(widest) + " mm");
  }
  return {};
}

FitResult fitMeasuredCurves(const FitSettings& settings, const FitProgress& progress) {
  return Fit(settings, progress).run();
}

}  // namespace fb
