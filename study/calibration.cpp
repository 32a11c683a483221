#include "study/calibration.h"

#include <Eigen/Dense>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <nlopt.hpp>
#include <random>
#include <thread>

#include "engine/curve_runner.h"
#include "engine/inputs.h"
#include "engine/message_text.h"
#include "engine/number_format.h"
#include "engine/number_reader.h"
#include "study/input_set.h"
#include "study/metrics.h"
#include "study/sweep.h"
#include "study/text_files.h"

namespace fb {
namespace {

// What the search sees of inputs the model refuses: far worse than any curve.
constexpr double kRefusedRms = 1e10;
// Each search ends when its steps in the unit cube fall below this, or after this many runs.
constexpr double kUnitTolerance = 1e-5;
// The search that ends best is searched on, in rounds from a trust region of this size.
constexpr std::size_t kPolishedSearches = 1;
constexpr int kPolishRounds = 4;
constexpr double kPolishStep = 0.05;
int evaluationsPerStart(std::size_t freeInputs) { return 60 + 40 * static_cast<int>(freeInputs); }

std::string name(Field f) { return std::string(fieldInfo(f).name); }

struct Trial {
  std::vector<double> values;  // as the model read them
  std::vector<double> residuals;
  std::optional<double> rms;
  std::string note;
};

// Runs the model for values of the free inputs; one per worker, with its class table.
class Evaluator {
 public:
  Evaluator(const FitSettings& s, unsigned threads) : settings_(s), runner_(threads) {
    for (const MeasuredPoint& m : s.measured) widest_ = std::max(widest_, m.Wcr);
  }

  Trial evaluate(const std::vector<double>& x) {
    FieldTexts texts = settings_.base;
    Trial t;
    for (std::size_t j = 0; j < x.size(); ++j) {
      const Field f = settings_.free[j].field;
      texts[f] = rangeValueText(f, x[j]);
      t.values.push_back(numberReader(texts[f]));
    }
    const CurveRunner::Curve curve = runner_.run(texts, widest_);
    if (curve.refusal) {
      t.note = curve.refusal->message;
      return t;
    }
    for (const MeasuredPoint& m : settings_.measured) {
      const auto computed = stressAt(curve.steps, m.Wcr);
      if (!computed) {
        t.note = "the measured width " + formatShortest(m.Wcr) + " mm lies beyond this run's crack widths";
        return t;
      }
      t.residuals.push_back(*computed - m.sigma);
    }
    t.rms = compareMeasured(curve.steps, settings_.measured)->rms;
    return t;
  }

 private:
  const FitSettings& settings_;
  double widest_ = 0;
  CurveRunner runner_;
};

// The starting points in the unit cube: the given values first, then a Latin
// hypercube. The generator and the mapping to [0, 1) are spelled out, so that
// a seed gives the same points with any standard library.
std::vector<std::vector<double>> startingPoints(const std::vector<double>& given, int starts, std::uint64_t seed) {
  std::vector<std::vector<double>> points{given};
  const int cells = starts - 1;
  if (cells <= 0) return points;
  std::mt19937_64 random(seed);
  const auto unit = [&random] { return static_cast<double>(random() >> 11) * 0x1.0p-53; };
  std::vector<std::vector<double>> columns;
  for (std::size_t j = 0; j < given.size(); ++j) {
    std::vector<int> cell(cells);
    for (int i = 0; i < cells; ++i) cell[i] = i;
    for (int i = cells - 1; i > 0; --i) std::swap(cell[i], cell[random() % static_cast<std::uint64_t>(i + 1)]);
    std::vector<double> column(cells);
    for (int i = 0; i < cells; ++i) column[i] = (cell[i] + unit()) / cells;
    columns.push_back(column);
  }
  for (int i = 0; i < cells; ++i) {
    std::vector<double> point;
    for (const auto& column : columns) point.push_back(column[i]);
    points.push_back(point);
  }
  return points;
}

struct Search {
  std::vector<FitEvaluation> log;
  std::optional<Trial> best;
  std::optional<Trial> first;
};

// The estimates' uncertainty from the residual Jacobian at the optimum, and
// the warnings where the curve cannot decide an input.
void judgeEstimates(const FitSettings& s, Evaluator& evaluator, const Trial& best, FitResult& result) {
  const std::size_t n = s.free.size(), m = s.measured.size();
  Eigen::MatrixXd J = Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(m), static_cast<Eigen::Index>(n));
  std::vector<bool> known(n, true);
  for (std::size_t j = 0; j < n; ++j) {
    const FreeInput& f = s.free[j];
    const double h = 0.01 * (f.high - f.low);
    std::vector<double> up = best.values, down = best.values;
    up[j] = std::min(best.values[j] + h, f.high);
    down[j] = std::max(best.values[j] - h, f.low);
    const Trial a = evaluator.evaluate(up), b = evaluator.evaluate(down);
    for (const Trial* t : {&a, &b}) result.log.push_back({"errors", t->values, t->rms, t->note});
    result.runs += 2;
    if (!a.rms || !b.rms || a.values[j] == b.values[j]) {
      known[j] = false;
      continue;
    }
    for (std::size_t i = 0; i < m; ++i)
      J(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) =
          (a.residuals[i] - b.residuals[i]) / (a.values[j] - b.values[j]);
  }

  // Each column scaled by its input's range, so that inputs of any unit compare.
  Eigen::MatrixXd S = J;
  for (std::size_t j = 0; j < n; ++j) S.col(static_cast<Eigen::Index>(j)) *= s.free[j].high - s.free[j].low;
  double largest = 0;
  for (std::size_t j = 0; j < n; ++j) largest = std::max(largest, S.col(static_cast<Eigen::Index>(j)).norm());
  std::vector<std::size_t> active;
  for (std::size_t j = 0; j < n; ++j) {
    if (!known[j]) continue;
    if (S.col(static_cast<Eigen::Index>(j)).norm() <= 1e-4 * largest) {
      result.warnings.push_back(name(s.free[j].field) + " has no effect on the computed stress: fix it");
      known[j] = false;
      continue;
    }
    active.push_back(j);
  }

  const auto tradeOff = [&](std::size_t a, std::size_t b) {
    result.warnings.push_back(name(s.free[a].field) + " and " + name(s.free[b].field) +
                              " trade off on this curve: fix one of them");
  };
  result.correlation.assign(n, std::vector<double>(n, std::nan("")));
  const Eigen::Index k = static_cast<Eigen::Index>(active.size());
  if (k == 0) return;
  Eigen::MatrixXd A(static_cast<Eigen::Index>(m), k);
  for (Eigen::Index c = 0; c < k; ++c) A.col(c) = S.col(static_cast<Eigen::Index>(active[c]));
  const Eigen::JacobiSVD<Eigen::MatrixXd> svd(A);
  const auto& sv = svd.singularValues();
  if (sv(k - 1) <= 1e-8 * sv(0)) {
    // No unique optimum: inputs whose effects on the stress are (nearly) one.
    for (Eigen::Index a = 0; a < k; ++a)
      for (Eigen::Index b = a + 1; b < k; ++b) {
        const double cosine = A.col(a).dot(A.col(b)) / (A.col(a).norm() * A.col(b).norm());
        if (std::abs(cosine) > 0.95) {
          tradeOff(active[a], active[b]);
          known[active[a]] = known[active[b]] = false;
        }
      }
    return;
  }
  const double dof = static_cast<double>(m) - static_cast<double>(n);
  if (dof <= 0) return;  // as many points as inputs: no residual variance to go by
  double sumOfSquares = 0;
  for (double r : best.residuals) sumOfSquares += r * r;
  const Eigen::MatrixXd scaledCovariance = (A.transpose() * A).inverse() * (sumOfSquares / dof);
  for (Eigen::Index a = 0; a < k; ++a) {
    const std::size_t ja = active[a];
    const double range = s.free[ja].high - s.free[ja].low;
    result.inputs[ja].standardError = std::sqrt(scaledCovariance(a, a)) * range;
    for (Eigen::Index b = 0; b < k; ++b) {
      const double rho = scaledCovariance(a, b) / std::sqrt(scaledCovariance(a, a) * scaledCovariance(b, b));
      result.correlation[ja][active[b]] = rho;
      if (b > a && std::abs(rho) > 0.95) tradeOff(ja, active[b]);
    }
  }
}

}  // namespace

FreeInputParse parseFreeInput(std::string_view text) {
  FreeInputParse out;
  const auto fail = [&](const std::string& reason) {
    out.error = "--fit " + quotedToken(text, 60) + ": " + reason;
    return out;
  };
  const InputAssignment named = splitInputAssignment(text, "NAME=LO:HI");
  if (!named.field) return fail(named.error);
  const Field field = *named.field;
  if (fieldInfo(field).precision() == Precision::int16) return fail(name(field) + " is a count; it cannot be fitted");
  const std::string_view bounds = named.value;
  const auto colon = bounds.find(':');
  if (colon == std::string_view::npos) return fail("a fitted input needs its bounds, NAME=LO:HI");
  const auto low = strictNumber(trim(bounds.substr(0, colon)));
  const auto high = strictNumber(trim(bounds.substr(colon + 1)));
  if (!low || !high) return fail("LO and HI must be finite numbers");
  if (!(*low < *high)) return fail("LO must be below HI");
  out.input = FreeInput{field, *low, *high};
  return out;
}

std::optional<std::string> checkFitSettings(const FitSettings& s) {
  if (s.free.empty() || s.free.size() > kMaxFreeInputs)
    return "a fit varies 1 to " + std::to_string(kMaxFreeInputs) + " inputs, not " + std::to_string(s.free.size());
  for (std::size_t i = 0; i < s.free.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (s.free[i].field == s.free[j].field) return "--fit " + name(s.free[i].field) + " is given twice";
  if (s.measured.size() < s.free.size())
    return "--measured has " + std::to_string(s.measured.size()) + " points, fewer than the " +
           std::to_string(s.free.size()) + " inputs to fit";
  if (s.starts < 1 || s.starts > 1000) return std::string("--fit-starts must lie between 1 and 1000");

  const ReadOutcome read = readParameterSet(s.base);
  const RunConstants k = deriveValues(read.params);
  const StepSchedule schedule = StepSchedule::of(read.params, k);
  double widest = 0;
  for (int n = 0; n <= schedule.lastStep(); ++n) widest = std::max(widest, stepWidth(schedule, n));
  for (const MeasuredPoint& m : s.measured)
    if (m.Wcr < 0 || m.Wcr > widest)
      return "--measured: the width " + formatShortest(m.Wcr) + " mm lies outside the run's crack widths, 0 to " +
             formatShortest(widest) + " mm";
  return std::nullopt;
}

FitResult fitMeasuredCurve(const FitSettings& s, const FitProgress& progress) {
  const auto began = std::chrono::steady_clock::now();
  FitResult result;
  const std::size_t n = s.free.size();

  // The given values, moved into their bounds where they lie outside.
  std::vector<double> given(n);
  for (std::size_t j = 0; j < n; ++j) {
    const FreeInput& f = s.free[j];
    const double value = numberReader(s.base[f.field]);
    given[j] = std::clamp(value, f.low, f.high);
    if (given[j] != value)
      result.notes.push_back(name(f.field) + " = " + s.base[f.field] + " lies outside its bounds " +
                             formatShortest(f.low) + ":" + formatShortest(f.high) + "; its search starts from " +
                             formatShortest(given[j]));
  }
  std::vector<double> givenUnit(n);
  for (std::size_t j = 0; j < n; ++j) givenUnit[j] = (given[j] - s.free[j].low) / (s.free[j].high - s.free[j].low);
  const std::vector<std::vector<double>> starts = startingPoints(givenUnit, s.starts, s.seed);

  std::vector<Search> searches(starts.size());
  std::atomic<int> runs{0};
  std::mutex mutex;
  std::optional<double> bestSoFar;  // under `mutex`
  const auto stopped = [&s] { return s.stop && s.stop->load(); };

  // One run at `at` in the unit cube, kept in the search of start `i`.
  const auto evaluateInto = [&](Evaluator& evaluator, std::size_t i, const std::vector<double>& at) {
    Search& into = searches[i];
    std::vector<double> x(n);
    for (std::size_t j = 0; j < n; ++j)
      x[j] = s.free[j].low + std::clamp(at[j], 0.0, 1.0) * (s.free[j].high - s.free[j].low);
    Trial t = evaluator.evaluate(x);
    ++runs;
    into.log.push_back({std::to_string(i), t.values, t.rms, t.note});
    if (!into.first) into.first = t;
    if (t.rms && (!into.best || *t.rms < *into.best->rms)) {
      into.best = t;
      std::lock_guard lock(mutex);
      if (!bestSoFar || *t.rms < *bestSoFar) bestSoFar = t.rms;
    }
    return t;
  };

  // One local search of start `i` from `u`, restarted from its best point while
  // that improves, up to `rounds` times: a fresh trust region walks on where
  // the jagged parts of the curve (fibers that rupture at one step or the
  // next) made the last one shrink.
  const auto search = [&](Evaluator& evaluator, std::size_t i, std::vector<double> u, int rounds, double step) {
    Search& into = searches[i];
    const auto objective = [&](const std::vector<double>& at) {
      if (stopped()) throw nlopt::forced_stop();
      const Trial t = evaluateInto(evaluator, i, at);
      return t.rms ? *t.rms : kRefusedRms;
    };
    nlopt::opt opt(nlopt::LN_BOBYQA, static_cast<unsigned>(n));
    opt.set_lower_bounds(std::vector<double>(n, 0.0));
    opt.set_upper_bounds(std::vector<double>(n, 1.0));
    opt.set_xtol_abs(kUnitTolerance);
    opt.set_maxeval(evaluationsPerStart(n));
    if (step > 0) opt.set_initial_step(step);
    opt.set_min_objective([](const std::vector<double>& at, std::vector<double>&,
                             void* data) { return (*static_cast<decltype(objective)*>(data))(at); },
                          const_cast<void*>(static_cast<const void*>(&objective)));
    u.resize(n);
    for (int round = 0; round < rounds && !stopped(); ++round) {
      const double before = into.best ? *into.best->rms : HUGE_VAL;
      if (into.best)
        for (std::size_t j = 0; j < n; ++j)
          u[j] = (into.best->values[j] - s.free[j].low) / (s.free[j].high - s.free[j].low);
      double value = 0;
      try {
        opt.optimize(u, value);
      } catch (const std::exception&) {
        // A stop, or a search that ran out of room; its best point so far stands.
      }
      if (into.best && !(*into.best->rms < before)) break;
    }
  };

  // Runs tasks on up to `jobs` workers, each with a class table of its own;
  // a task writes only its own search, so the outcome does not depend on the workers.
  const auto runTasks = [&](std::size_t count, const std::function<void(Evaluator&, std::size_t)>& task) {
    std::atomic<std::size_t> next{0};
    std::size_t workersLeft = std::clamp<std::size_t>(s.jobs, 1, std::max<std::size_t>(count, 1));
    std::condition_variable ended;
    std::vector<std::jthread> threads;
    // The workers share the cores; each runs the model on its share of them.
    const unsigned share = std::max(1u, std::thread::hardware_concurrency() / static_cast<unsigned>(workersLeft));
    for (std::size_t t = 0, workers = workersLeft; t < workers; ++t)
      threads.emplace_back([&, share] {
        Evaluator evaluator(s, share);
        for (std::size_t k; !stopped() && (k = next.fetch_add(1)) < count;) task(evaluator, k);
        std::lock_guard lock(mutex);
        --workersLeft;
        ended.notify_one();
      });
    std::unique_lock lock(mutex);
    while (workersLeft > 0) {
      ended.wait_for(lock, std::chrono::milliseconds(100));
      if (!progress) continue;
      const std::optional<double> best = bestSoFar;
      lock.unlock();
      progress(runs.load(), best);
      lock.lock();
    }
  };

  // A search from every start, then the best searched on from where it ended.
  runTasks(starts.size(), [&](Evaluator& e, std::size_t i) { search(e, i, starts[i], 1, 0); });
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < searches.size(); ++i)
    if (searches[i].best) order.push_back(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return *searches[a].best->rms < *searches[b].best->rms; });
  order.resize(std::min(order.size(), kPolishedSearches));
  runTasks(order.size(), [&](Evaluator& e, std::size_t k) { search(e, order[k], {}, kPolishRounds, kPolishStep); });
  result.runs = runs.load();
  result.stopped = stopped();

  // The searches in start order: the best curve wins, the earlier start on a tie.
  const Trial* best = nullptr;
  for (const Search& search : searches) {
    result.log.insert(result.log.end(), search.log.begin(), search.log.end());
    if (search.best && (!best || *search.best->rms < *best->rms)) best = &*search.best;
    if (!result.refusal && search.first && !search.first->rms) result.refusal = Refusal{"", search.first->note};
  }
  if (!searches.empty() && searches[0].first) result.rmsBefore = searches[0].first->rms;
  if (result.stopped || !best) {
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    return result;
  }
  result.refusal.reset();
  result.rmsAfter = *best->rms;
  result.texts = s.base;
  for (std::size_t j = 0; j < n; ++j) {
    const FreeInput& f = s.free[j];
    const std::string text = rangeValueText(f.field, best->values[j]);
    result.texts[f.field] = text;
    result.inputs.push_back({f.field, text, best->values[j], std::nullopt});
    const double edge = 1e-6 * (f.high - f.low);
    if (best->values[j] - f.low <= edge || f.high - best->values[j] <= edge)
      result.warnings.push_back(name(f.field) + " ended on its bound " +
                                formatShortest(best->values[j] - f.low <= edge ? f.low : f.high) +
                                ": the best fit may lie beyond it");
  }
  Evaluator evaluator(s, 0);
  judgeEstimates(s, evaluator, *best, result);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  return result;
}

}  // namespace fb
