// fiberbridge._native: the engine, the data file, the metrics and the fit for
// Python. It speaks in plain values (dicts of texts, numpy arrays, tuples) so
// that results pickle and travel between Dask workers; python/fiberbridge
// shapes them into the module's classes. The model runs with the GIL released,
// watched for Ctrl-C (python/watched_call.h).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <stdexcept>
#include <string_view>

#include "engine/cpu_allotment.h"
#include "engine/inputs.h"
#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "engine/pullout_law.h"
#include "engine/version.h"
#include "output/data_file.h"
#include "output/text_file.h"
#include "python/watched_call.h"
#include "run/calculator.h"
#include "run/curve_runner.h"
#include "run/task_pool.h"
#include "study/design/design_indices.h"
#include "study/design/scatter.h"
#include "study/fit/calibration.h"
#include "study/fit/fit_report.h"
#include "study/inputs/input_set.h"
#include "study/inputs/pullout_curve.h"
#include "study/studies/metrics.h"
#include "study/studies/summaries.h"
#include "study/studies/sweep.h"

namespace py = pybind11;

namespace fb {
namespace {

using TextMap = std::map<std::string, std::string>;

// Unknown names are the Python layer's TypeError; here every name is a field.
FieldTexts textsOf(const TextMap& given) {
  FieldTexts texts = FieldTexts::defaults();
  for (const auto& [name, text] : given)
    if (const auto field = fieldByName(name)) texts[*field] = text;
  texts[Field::dataFile].clear();
  return texts;
}

// The runner of the calling thread: a notebook's runs, or a Dask worker's
// chunks, reuse one class table instead of touching fresh memory each time.
CurveRunner& threadRunner() {
  thread_local CurveRunner runner;
  return runner;
}

// A whole run: no crack width stops it, only the watch.
CurveRunner::Curve calculate(CurveRunner& runner, const FieldTexts& texts, const Watch& watch) {
  return runner.run(texts, std::numeric_limits<double>::infinity(), watch.stop());
}

// A refusal as Python raises it: the one input to change, and the message.
py::object refusalOf(const std::optional<Refusal>& refusal) {
  if (!refusal) return py::none();
  return py::make_tuple(std::string(fieldToChange(*refusal)), refusal->message);
}

py::array_t<double> column(const std::vector<StepResult>& steps, double StepResult::*member) {
  py::array_t<double> a(static_cast<py::ssize_t>(steps.size()));
  auto view = a.mutable_unchecked<1>();
  for (std::size_t i = 0; i < steps.size(); ++i) view(static_cast<py::ssize_t>(i)) = steps[i].*member;
  return a;
}

// The rows as numpy arrays, and the figures of the curve they draw.
void putRows(py::dict& d, const std::vector<StepResult>& steps, bool keepRows) {
  if (keepRows) {
    py::array_t<std::int16_t> step(static_cast<py::ssize_t>(steps.size()));
    for (std::size_t i = 0; i < steps.size(); ++i) step.mutable_at(static_cast<py::ssize_t>(i)) = steps[i].step;
    d["step"] = step;
    d["Wcr"] = column(steps, &StepResult::Wcr);
    d["P"] = column(steps, &StepResult::P);
    d["sigma"] = column(steps, &StepResult::sigma);
    d["ratio"] = column(steps, &StepResult::effectiveFiberRatio);
  }
  if (!steps.empty()) {
    const CurveMetrics m = curveMetrics(steps);
    d["peak_force"] = m.peak.P / 1000;
    d["peak_stress"] = m.peak.sigma;
    d["peak_width"] = m.peak.Wcr;
    d["energy"] = m.energy;
    d["half_peak_width"] = m.halfPeakWcr ? py::object(py::float_(*m.halfPeakWcr)) : py::object(py::none());
    d["complementary_energy"] = m.complementaryEnergy;
  }
}

py::dict toPython(const CurveRunner::Curve& o, bool keepRows = true) {
  py::dict d;
  d["refusal"] = refusalOf(o.refusal);
  d["warnings"] = o.warnings;
  putRows(d, o.refusal ? std::vector<StepResult>{} : o.steps, keepRows);
  return d;
}

py::array_t<double> array(const std::vector<double>& values) {
  py::array_t<double> a(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), a.mutable_data());
  return a;
}

[[noreturn]] void raise(PyObject* type, const std::string& message) {
  PyErr_SetString(type, message.c_str());
  throw py::error_already_set();
}

// OSError(code, reason, path), which Python makes the subclass of the code
// (FileNotFoundError, PermissionError, ...) with errno and filename set.
[[noreturn]] void raiseOSError(int code, const std::string& reason, const std::string& path) {
  PyErr_SetObject(PyExc_OSError, py::make_tuple(code, reason, path).ptr());
  throw py::error_already_set();
}

// The file's text, as the command line reads files: a file that cannot be
// opened is an OSError with its error number; one that is no regular file or
// too large, a ValueError with its path.
std::string readWhole(const std::string& path) {
  Expected<std::string, ReadFailure> text = readNamedFile(path);
  if (text) return std::move(*text);
  if (text.error().code != 0) raiseOSError(text.error().code, text.error().reason, path);
  raise(PyExc_ValueError, path + ": " + text.error().reason);
}

// writeTextFile gives "path: reason" with the system's text; the number is the one whose text it is.
[[noreturn]] void raiseWriteFailure(const std::string& path, const std::string& message) {
  const std::string reason = message.starts_with(path + ": ") ? message.substr(path.size() + 2) : message;
  for (int code = 1; code < 256; ++code)
    if (reason == std::strerror(code)) raiseOSError(code, reason, path);
  raise(PyExc_OSError, message);
}

std::vector<StepResult> stepsOf(const py::array_t<std::int16_t>& step, const py::array_t<double>& Wcr,
                                const py::array_t<double>& P, const py::array_t<double>& sigma,
                                const py::array_t<double>& ratio) {
  std::vector<StepResult> steps(static_cast<std::size_t>(step.size()));
  for (py::ssize_t i = 0; i < step.size(); ++i)
    steps[static_cast<std::size_t>(i)] = {step.at(i), Wcr.at(i), P.at(i), sigma.at(i), ratio.at(i)};
  return steps;
}

// A measured curve as Python gives it; NaN and infinity are refused, as the
// command line refuses them in a file.
std::vector<MeasuredPoint> pointsOf(const std::vector<double>& w, const std::vector<double>& sigma,
                                    const std::vector<double>& sd = {}, const std::string& curve = "measured") {
  if (w.size() != sigma.size()) throw py::value_error(curve + ": its widths and stresses differ in length");
  if (!sd.empty() && sd.size() != w.size())
    throw py::value_error(curve + ": its standard deviations and widths differ in length");
  std::vector<MeasuredPoint> points;
  for (std::size_t i = 0; i < w.size(); ++i) {
    const auto refuse = [&](const char* what) {
      throw py::value_error(curve + ": point " + std::to_string(i) + ": " + what);
    };
    if (!std::isfinite(w[i])) refuse("the crack width is not a finite number");
    if (!std::isfinite(sigma[i])) refuse("the stress is not a finite number");
    if (!sd.empty() && !(std::isfinite(sd[i]) && sd[i] > 0)) refuse("the standard deviation is not a positive number");
    points.push_back({w[i], sigma[i], sd.empty() ? 0.0 : sd[i]});
  }
  return points;
}

// A pullout test as Python gives it, checked as the command line checks a file.
PulloutSpecimen pulloutOf(const std::string& name, double lb, double angle, const std::vector<double>& slip,
                          const std::vector<double>& load, const std::vector<double>& sd) {
  if (const auto fine = checkPulloutLength(lb); !fine) throw py::value_error(name + ": " + fine.error());
  if (const auto fine = checkPulloutAngle(angle); !fine) throw py::value_error(name + ": " + fine.error());
  if (slip.size() != load.size()) throw py::value_error(name + ": its slips and loads differ in length");
  if (!sd.empty() && sd.size() != slip.size())
    throw py::value_error(name + ": its standard deviations and slips differ in length");
  PulloutSpecimen test{name, {}, lb, angle, 0, {}};
  for (std::size_t i = 0; i < slip.size(); ++i) {
    const auto refuse = [&](const std::string& what) {
      throw py::value_error(name + ": point " + std::to_string(i) + ": " + what);
    };
    if (const auto fine = checkPulloutSlip(slip[i], lb, i > 0 ? std::optional(slip[i - 1]) : std::nullopt); !fine)
      refuse(fine.error());
    if (!std::isfinite(load[i])) refuse("the load is not a finite number");
    if (!sd.empty() && !(std::isfinite(sd[i]) && sd[i] > 0)) refuse("the standard deviation is not a positive number");
    test.measured.push_back({slip[i], load[i], sd.empty() ? 0.0 : sd[i]});
  }
  return test;
}

unsigned jobsOr(std::optional<unsigned> jobs) { return jobs.value_or(allottedCpus()); }

}  // namespace
}  // namespace fb

PYBIND11_MODULE(_native, m) {
  using namespace fb;
  m.doc() = "FiberBridge's engine for Python; use the fiberbridge package.";
  m.attr("default_fit_starts") = kDefaultFitStarts;

  m.def("fields", [] {
    static const char* const kPrecision[] = {"text", "single", "int16", "double"};
    py::list out;
    for (const FieldInfo& info : kFields)
      if (info.isNumber())
        out.append(py::make_tuple(std::string(info.name), std::string(info.unit),
                                  kPrecision[static_cast<int>(info.precision())], std::string(info.meaning),
                                  std::string(info.defaultText)));
    return out;
  });

  m.attr("version") = std::string(kVersion);

  m.def("run", [](const TextMap& given) {
    const FieldTexts texts = textsOf(given);
    CurveRunner& runner = threadRunner();
    return toPython(watchedCall([&](const Watch& watch) { return calculate(runner, texts, watch); }));
  });

  // Runs one after another, or on `jobs` threads with a runner each, and
  // hands each run to `on_ended(index, run)` as it ends (or, without
  // on_ended, gives them all in input order). Ctrl-C stops the runs in
  // flight; those that finished before have been handed on. A run that
  // throws (no memory for a class table) stops the study; the exception
  // comes back here and Python sees it, with the run it stopped.
  m.def(
      "run_many",
      [](const std::vector<TextMap>& given, std::optional<unsigned> jobs, const py::object& onEnded,
         bool keepRows) -> py::object {
        std::mutex mutex;
        std::vector<std::pair<std::size_t, CurveRunner::Curve>> ended;  // not yet handed on, under `mutex`
        std::exception_ptr failure;                                     // the first, under `mutex`
        std::size_t failedRun = 0;
        CurveRunner& callersRunner = threadRunner();
        const auto study = [&](Watch& watch) {
          TaskPoolSettings pool;
          pool.jobs = jobsOr(jobs);
          pool.stopped = [&watch] { return watch.stopped(); };
          try {
            runTasks(given.size(), pool, [&](unsigned threads) -> TaskRunner {
              // Alone with the default jobs, the caller's runner and its tables serve again.
              std::shared_ptr<CurveRunner> own;
              if (jobs || threads < pool.jobs) own = std::make_shared<CurveRunner>(threads);
              CurveRunner& runner = own ? *own : callersRunner;
              return [&, own](std::size_t i) {
                try {
                  CurveRunner::Curve curve = calculate(runner, textsOf(given[i]), watch);
                  if (watch.stopped()) return;  // cut short: not a result
                  {
                    std::lock_guard lock(mutex);
                    ended.emplace_back(i, std::move(curve));
                  }
                  watch.nudge();
                } catch (...) {
                  std::lock_guard lock(mutex);
                  if (!failure) {
                    failure = std::current_exception();
                    failedRun = i;
                  }
                  throw;  // the others take no further run
                }
              };
            });
          } catch (...) {
            // A worker that could not be made: no run of its own to name.
            std::lock_guard lock(mutex);
            if (!failure) {
              failure = std::current_exception();
              failedRun = given.size();
            }
          }
          return true;
        };

        py::list all;
        if (onEnded.is_none())
          for (std::size_t i = 0; i < given.size(); ++i) all.append(py::none());
        const auto handOn = [&] {
          std::vector<std::pair<std::size_t, CurveRunner::Curve>> batch;
          {
            std::lock_guard lock(mutex);
            batch.swap(ended);
          }
          for (const auto& [i, curve] : batch) {
            py::dict run = toPython(curve, keepRows);
            if (onEnded.is_none())
              all[i] = run;
            else
              onEnded(i, run);
          }
        };
        watchedCall(study, handOn);

        if (failure) {
          const std::string run =
              failedRun < given.size() ? "the run at index " + std::to_string(failedRun) : "a worker";
          try {
            std::rethrow_exception(failure);
          } catch (const std::bad_alloc&) {
            raise(PyExc_MemoryError, "not enough memory for " + run + " of the study");
          } catch (const std::exception& e) {
            throw std::runtime_error(run + " of the study failed: " + e.what());
          }
        }
        return onEnded.is_none() ? py::object(all) : py::object(py::none());
      },
      py::arg("texts"), py::arg("jobs") = py::none(), py::arg("on_ended") = py::none(), py::arg("keep_rows") = true);

  // The study library's grid: its order, its limit on runs and its check
  // that no two runs share a file name. Gives each run's picks of the values.
  m.def("grid", [](const TextMap& base, const std::vector<std::pair<std::string, std::vector<std::string>>>& sweeps) {
    std::vector<Sweep> all;
    for (const auto& [name, values] : sweeps) {
      const auto field = fieldByName(name);
      if (!field) throw py::type_error("unknown input name " + name);
      if (values.empty()) throw py::value_error(name + " has no values to sweep");
      // As --sweep refuses it: rounded, a fraction would run a division twice or one not asked for.
      if (*field == Field::division)
        for (const std::string& value : values)
          if (const double read = readNumber(value).value; read != std::floor(read))
            throw py::value_error("division: " + quotedToken(value) + " is not a whole number, which division takes");
      all.push_back({*field, name, values});
    }
    const Expected<Grid> grid = expandGrid(textsOf(base), all);
    if (!grid) throw py::value_error(grid.error());
    std::vector<std::vector<std::size_t>> picks;
    for (const GridRun& run : grid->runs) picks.push_back(run.picks);
    return picks;
  });

  // Through the run driver, as every data file is written: the same run again
  // gives the same rows, bit for bit.
  // None, or (field to change, refusal message) or (error number, reason).
  m.def("write_data_file", [](const TextMap& given, const std::string& path) -> py::object {
    FieldTexts texts = textsOf(given);
    texts[Field::dataFile] = path;
    const auto written =
        watchedCall([&](const Watch& watch) { return CurveRunner().writeDataFile(texts, watch.stop()); });
    if (written) return py::none();
    const CurveRunner::FileFailure& failure = written.error();
    if (failure.refusal) return refusalOf(failure.refusal);
    return py::make_tuple(failure.code, failure.reason);
  });

  // A data file read back: the header's values as written and the rows, with their figures.
  m.def("read_data_file", [](const std::string& path) {
    const Expected<DataFileContent> content = parseDataFile(readWhole(path));
    if (!content) raise(PyExc_ValueError, path + ":" + content.error().substr(content.error().find(' ') + 1));
    py::dict d;
    d["header"] = content->header;
    putRows(d, content->rows, true);
    return d;
  });

  // A file's bytes under the readers' rules, for the readers written in Python.
  m.def("read_file", [](const std::string& path) { return py::bytes(readWhole(path)); });

  // An input set's (name, text) pairs in the order of the file.
  m.def("read_inputs", [](const std::string& path) {
    const Expected<InputSet> set = parseInputSet(readWhole(path), path);
    if (!set) raise(PyExc_ValueError, set.error());
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [field, text] : set->values) out.emplace_back(fieldInfo(field).name, text);
    return out;
  });

  m.def("to_csv",
        [](const py::array_t<std::int16_t>& step, const py::array_t<double>& Wcr, const py::array_t<double>& P,
           const py::array_t<double>& sigma, const py::array_t<double>& ratio, const std::string& path) {
          const Expected<void> written = writeTextFile(path, rowsCsv(stepsOf(step, Wcr, P, sigma, ratio)));
          if (!written) raiseWriteFailure(path, written.error());
        });

  m.def("rms",
        [](const py::array_t<std::int16_t>& step, const py::array_t<double>& Wcr, const py::array_t<double>& P,
           const py::array_t<double>& sigma, const py::array_t<double>& ratio, const std::vector<double>& w,
           const std::vector<double>& measured) -> std::optional<double> {
          const auto fit = compareMeasured(stepsOf(step, Wcr, P, sigma, ratio), pointsOf(w, measured));
          if (!fit || fit->used < fit->total) return std::nullopt;
          return fit->rms;
        });

  // The PSH indices of a curve's complementary energy (J/m2) and peak stress
  // (MPa) against the matrix, with the verdict on the margins.
  m.attr("psh_margins") = py::make_tuple(PshMargins{}.energy, PshMargins{}.strength);
  m.attr("psh_margins_source") = std::string(kPshMarginsSource);
  m.def("crack_tip_toughness", &crackTipToughness, py::arg("Km"), py::arg("Em"));
  m.def("psh", [](double complementaryEnergy, double peakStress, double Jtip, double sigmaFc, double energyMargin,
                  double strengthMargin) {
    CurveMetrics curve;
    curve.complementaryEnergy = complementaryEnergy;
    curve.peak.sigma = peakStress;
    const PshIndices psh = pshIndices(curve, {Jtip, sigmaFc, {energyMargin, strengthMargin}});
    return py::make_tuple(psh.energy, psh.strength, psh.meetsMargins);
  });

  // A scatter's samples as the command line draws them: each one's texts and label.
  m.def("scatter_samples", [](const TextMap& base, const std::vector<std::pair<std::string, std::string>>& drawn,
                              int count, std::uint64_t seed) {
    std::vector<ScatterInput> inputs;
    for (const auto& [name, distribution] : drawn) {
      const Expected<ScatterInput> parsed = parseScatter(name + "=" + distribution);
      // Named as Python gives it, without the command line's option.
      if (!parsed) throw py::value_error(parsed.error().substr(std::string_view("--scatter ").size()));
      inputs.push_back(*parsed);
    }
    if (count < 1 || count > kMaxScatterSamples)
      throw py::value_error("n must lie between 1 and " + std::to_string(kMaxScatterSamples));
    py::list out;
    for (const GridRun& sample : scatterSamples(textsOf(base), inputs, count, seed)) {
      TextMap texts;
      for (const FieldInfo& info : kFields)
        if (info.isNumber()) texts[std::string(info.name)] = sample.texts[info.field];
      out.append(py::make_tuple(texts, sample.label));
    }
    return out;
  });

  // The band of finished curves (Wcr, sigma) on the grid of the division's text.
  m.def("band", [](const std::vector<std::pair<std::vector<double>, std::vector<double>>>& curves,
                   const std::string& division) {
    std::vector<std::vector<StepResult>> steps;
    for (const auto& [w, sigma] : curves) {
      std::vector<StepResult>& s = steps.emplace_back();
      for (std::size_t i = 0; i < std::min(w.size(), sigma.size()); ++i) s.push_back({0, w[i], 0, sigma[i], 0});
    }
    if (steps.empty()) throw py::value_error("no finished sample to make a band of");
    const Band band = scatterBand(steps, roundDivision(numberReader(division)).value_or(0));
    std::vector<double> columns[5];
    for (const Spread& s : band.sigma) {
      columns[0].push_back(s.mean);
      columns[1].push_back(s.sd);
      columns[2].push_back(s.p05);
      columns[3].push_back(s.p50);
      columns[4].push_back(s.p95);
    }
    py::dict d;
    d["Wcr"] = array(band.Wcr);
    const char* names[] = {"mean", "sd", "p05", "p50", "p95"};
    for (int k = 0; k < 5; ++k) d[names[k]] = array(columns[k]);
    return d;
  });

  m.def("spread", [](const std::vector<double>& values) {
    if (values.empty()) throw py::value_error("no values");
    const Spread s = spreadOf(values);
    return py::make_tuple(s.mean, s.sd, s.p05, s.p50, s.p95);
  });

  // The pullout law's load at each slip of a test that pulls one fiber.
  m.def("pullout", [](const TextMap& given, double lb, double angle, const std::vector<double>& slips) {
    const FieldTexts texts = textsOf(given);
    if (const auto fine = checkPulloutLength(lb); !fine) throw py::value_error(fine.error());
    if (const auto fine = checkPulloutAngle(angle); !fine) throw py::value_error(fine.error());
    if (const auto inside = checkPulloutInsideFiber(lb, texts); !inside) throw py::value_error(inside.error());
    for (std::size_t i = 0; i < slips.size(); ++i)
      if (const auto fine = checkPulloutSlip(slips[i], std::numeric_limits<double>::infinity(),
                                             i > 0 ? std::optional(slips[i - 1]) : std::nullopt);
          !fine)
        throw py::value_error("slip " + std::to_string(i) + ": " + fine.error());
    const PulloutFiber fiber =
        pulloutFiber(readParameterSet(texts).params, static_cast<float>(lb), pulloutInclination(angle));
    py::array_t<double> loads(static_cast<py::ssize_t>(slips.size()));
    pulloutCurve(fiber, slips, std::span<double>(loads.mutable_data(), slips.size()));
    return loads;
  });

  m.def(
      "fit",
      [](const TextMap& given, const std::vector<std::tuple<std::string, double, double>>& free,
         const std::vector<
             std::tuple<std::string, std::vector<double>, std::vector<double>, std::vector<double>, TextMap>>& curves,
         int starts, std::uint64_t seed, std::optional<unsigned> jobs,
         const std::vector<std::tuple<std::string, double, double, std::vector<double>, std::vector<double>,
                                      std::vector<double>, TextMap>>& pullouts) {
        FitSettings s;
        s.base = textsOf(given);
        for (const auto& [name, low, high] : free) {
          const auto field = fieldByName(name);
          if (!field || *field == Field::dataFile) throw py::value_error("unknown input name " + quotedToken(name));
          const Expected<FreeInput> checked = freeInput(*field, low, high);
          if (!checked) throw py::value_error(checked.error());
          s.free.push_back(*checked);
        }
        for (const auto& [name, w, sigma, sd, inputs] : curves) {
          Specimen specimen{name, {}, pointsOf(w, sigma, sd, name)};
          for (const auto& [field, value] : inputs) {
            const auto known = fieldByName(field);
            if (!known) throw py::type_error(name + ": unknown input name " + field);
            specimen.inputs.push_back({*known, value});
          }
          s.specimens.push_back(std::move(specimen));
        }
        for (const auto& [name, lb, angle, slip, load, sd, inputs] : pullouts) {
          PulloutSpecimen test = pulloutOf(name, lb, angle, slip, load, sd);
          for (const auto& [field, value] : inputs) {
            const auto known = fieldByName(field);
            if (!known) throw py::type_error(name + ": unknown input name " + field);
            test.inputs.push_back({*known, value});
          }
          s.pullouts.push_back(std::move(test));
        }
        s.starts = starts;
        s.seed = seed;
        s.jobs = jobsOr(jobs);
        if (const auto possible = checkFitSettings(s); !possible) throw py::value_error(possible.error());
        const FitResult r = watchedCall([&](const Watch& watch) {
          FitSettings watched = s;
          watched.stop = watch.stop();
          return fitMeasuredCurves(watched);
        });
        py::dict d;
        py::dict values, errors, intervals;
        std::vector<std::string> names;
        for (const FittedInput& input : r.inputs) {
          const std::string name(fieldInfo(input.field).name);
          names.push_back(name);
          values[py::str(name)] = input.value;
          errors[py::str(name)] =
              input.standardError ? py::object(py::float_(*input.standardError)) : py::object(py::none());
          intervals[py::str(name)] = py::make_tuple(input.low, input.high);
        }
        d["names"] = names;
        d["values"] = values;
        d["standard_errors"] = errors;
        d["intervals"] = intervals;
        d["correlation"] = r.correlation;
        // With pullout tests alone the RMS is theirs: the stress RMS is unknown.
        const bool stresses = !s.specimens.empty();
        d["rms_before"] = r.rmsBefore && stresses ? py::object(py::float_(*r.rmsBefore)) : py::object(py::none());
        d["rms_after"] = stresses ? py::object(py::float_(r.rmsAfter)) : py::object(py::none());
        d["pullout_rms_before"] =
            r.pulloutRmsBefore ? py::object(py::float_(*r.pulloutRmsBefore)) : py::object(py::none());
        d["pullout_rms_after"] =
            r.pulloutRmsAfter ? py::object(py::float_(*r.pulloutRmsAfter)) : py::object(py::none());
        std::vector<std::string> warnings;
        for (const FitWarning& w : r.warnings) warnings.push_back(w.text);
        d["warnings"] = warnings;
        d["notes"] = r.notes;
        d["runs"] = r.runs;
        d["seconds"] = r.seconds;
        const bool done = r.outcome == FitOutcome::fitted;
        d["report"] = done ? fitReportJson(s, r) : std::string();
        d["report_text"] = done ? fitReportText(s, r) : std::string();
        d["refusal"] = refusalOf(r.refusal);
        // The fitted run, as the command line runs and saves it.
        const FieldTexts fitted = fittedRunTexts(s, r);
        TextMap texts;
        for (const FieldInfo& info : kFields)
          if (info.isNumber()) texts[std::string(info.name)] = fitted[info.field];
        d["texts"] = texts;
        return d;
      },
      py::arg("texts"), py::arg("free"), py::arg("curves"), py::arg("starts"), py::arg("seed"),
      py::arg("jobs") = py::none(), py::arg("pullouts") = py::list());
}
