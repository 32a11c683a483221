// fiberbridge._native: the engine, the data file, the metrics and the fit for
// Python. It speaks in plain values (dicts of texts, numpy arrays, tuples) so
// that results pickle and travel between Dask workers; python/fiberbridge
// shapes them into the module's classes. The GIL is released while the model runs.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <new>
#include <span>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "engine/inputs.h"
#include "engine/number_text.h"
#include "engine/pullout_law.h"
#include "output/data_file.h"
#include "output/text_file.h"
#include "run/calculator.h"
#include "run/curve_runner.h"
#include "study/calibration.h"
#include "study/fit_report.h"
#include "study/metrics.h"
#include "study/summaries.h"
#include "study/sweep.h"

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

// A whole run: no crack width stops it.
CurveRunner::Curve calculate(CurveRunner& runner, const FieldTexts& texts) {
  return runner.run(texts, std::numeric_limits<double>::infinity());
}

py::array_t<double> column(const std::vector<StepResult>& steps, double StepResult::*member) {
  py::array_t<double> a(static_cast<py::ssize_t>(steps.size()));
  auto view = a.mutable_unchecked<1>();
  for (std::size_t i = 0; i < steps.size(); ++i) view(static_cast<py::ssize_t>(i)) = steps[i].*member;
  return a;
}

py::dict toPython(const CurveRunner::Curve& o) {
  py::dict d;
  d["refusal"] = o.refusal ? py::object(py::make_tuple(o.refusal->field, o.refusal->message)) : py::object(py::none());
  d["warnings"] = o.warnings;
  py::array_t<std::int16_t> step(static_cast<py::ssize_t>(o.steps.size()));
  for (std::size_t i = 0; i < o.steps.size(); ++i) step.mutable_at(static_cast<py::ssize_t>(i)) = o.steps[i].step;
  d["step"] = step;
  d["Wcr"] = column(o.steps, &StepResult::Wcr);
  d["P"] = column(o.steps, &StepResult::P);
  d["sigma"] = column(o.steps, &StepResult::sigma);
  d["ratio"] = column(o.steps, &StepResult::effectiveFiberRatio);
  if (!o.refusal && !o.steps.empty()) {
    const CurveMetrics m = curveMetrics(o.steps);
    d["peak_force"] = m.peak.P / 1000;
    d["peak_stress"] = m.peak.sigma;
    d["peak_width"] = m.peak.Wcr;
    d["energy"] = m.energy;
    d["half_peak_width"] = m.halfPeakWcr ? py::object(py::float_(*m.halfPeakWcr)) : py::object(py::none());
  }
  return d;
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
  if (const auto problem = pulloutLengthProblem(lb)) throw py::value_error(name + ": " + *problem);
  if (const auto problem = pulloutAngleProblem(angle)) throw py::value_error(name + ": " + *problem);
  if (slip.size() != load.size()) throw py::value_error(name + ": its slips and loads differ in length");
  if (!sd.empty() && sd.size() != slip.size())
    throw py::value_error(name + ": its standard deviations and slips differ in length");
  PulloutSpecimen test{name, {}, lb, angle, 0, {}};
  for (std::size_t i = 0; i < slip.size(); ++i) {
    const auto refuse = [&](const std::string& what) {
      throw py::value_error(name + ": point " + std::to_string(i) + ": " + what);
    };
    if (const auto problem = pulloutSlipProblem(slip[i], lb, i > 0 ? std::optional(slip[i - 1]) : std::nullopt))
      refuse(*problem);
    if (!std::isfinite(load[i])) refuse("the load is not a finite number");
    if (!sd.empty() && !(std::isfinite(sd[i]) && sd[i] > 0)) refuse("the standard deviation is not a positive number");
    test.measured.push_back({slip[i], load[i], sd.empty() ? 0.0 : sd[i]});
  }
  return test;
}

unsigned jobsOr(std::optional<unsigned> jobs) {
  return jobs.value_or(std::max(1u, std::thread::hardware_concurrency()));
}

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

  m.def("run", [](const TextMap& given) {
    const FieldTexts texts = textsOf(given);
    CurveRunner::Curve o;
    {
      py::gil_scoped_release free;
      o = calculate(threadRunner(), texts);
    }
    return toPython(o);
  });

  // Runs one after another on this thread, or on `jobs` threads with a calculator each.
  // A run that throws (no memory for a class table) stops the study; the
  // exception comes back here and Python sees it, with the run it stopped.
  m.def(
      "run_many",
      [](const std::vector<TextMap>& given, std::optional<unsigned> jobs) {
        std::vector<FieldTexts> texts;
        for (const TextMap& g : given) texts.push_back(textsOf(g));
        std::vector<CurveRunner::Curve> outcomes(texts.size());
        std::mutex mutex;
        std::exception_ptr failure;  // the first, under `mutex`
        std::size_t failedRun = 0;
        {
          py::gil_scoped_release free;
          std::atomic<std::size_t> next{0};
          const auto fail = [&](std::size_t run) {
            std::lock_guard lock(mutex);
            if (!failure) {
              failure = std::current_exception();
              failedRun = run;
            }
            next = texts.size();  // the others take no further run
          };
          // Whatever a worker throws is kept for the caller: an exception
          // leaving a thread would end the interpreter.
          const auto worker = [&](CurveRunner& runner) {
            std::size_t i = texts.size();
            try {
              while ((i = next.fetch_add(1)) < texts.size()) outcomes[i] = calculate(runner, texts[i]);
            } catch (...) {
              fail(i);
            }
          };
          const unsigned threads =
              std::max(1u, std::min<unsigned>(jobsOr(jobs), std::max<std::size_t>(texts.size(), 1)));
          std::vector<std::jthread> pool;
          const unsigned share = std::max(1u, std::thread::hardware_concurrency() / threads);
          for (unsigned t = 0; t < threads && threads > 1; ++t) {
            try {
              pool.emplace_back([&, share] {
                try {
                  CurveRunner runner(share);
                  worker(runner);
                } catch (...) {
                  fail(texts.size());
                }
              });
            } catch (const std::system_error&) {
              break;  // the system gives no more threads: those started take every run
            }
          }
          if (pool.empty()) {
            try {
              worker(threadRunner());
            } catch (...) {
              fail(texts.size());
            }
          }
        }
        if (failure) {
          const std::string run =
              failedRun < texts.size() ? "the run at index " + std::to_string(failedRun) : "a worker";
          try {
            std::rethrow_exception(failure);
          } catch (const std::bad_alloc&) {
            PyErr_SetString(PyExc_MemoryError, ("not enough memory for " + run + " of the study").c_str());
            throw py::error_already_set();
          } catch (const std::exception& e) {
            throw std::runtime_error(run + " of the study failed: " + e.what());
          }
        }
        py::list out;
        for (const CurveRunner::Curve& o : outcomes) out.append(toPython(o));
        return out;
      },
      py::arg("texts"), py::arg("jobs") = py::none());

  // The study library's grid: its order, its limit on runs and its check
  // that no two runs share a file name. Gives each run's picks of the values.
  m.def("grid", [](const TextMap& base, const std::vector<std::pair<std::string, std::vector<std::string>>>& sweeps) {
    std::vector<Sweep> all;
    for (const auto& [name, values] : sweeps) {
      const auto field = fieldByName(name);
      if (!field) throw py::type_error("unknown input name " + name);
      if (values.empty()) throw py::value_error(name + " has no values to sweep");
      all.push_back({*field, name, values});
    }
    const Grid grid = expandGrid(textsOf(base), all);
    if (!grid.error.empty()) throw py::value_error(grid.error);
    std::vector<std::vector<std::size_t>> picks;
    for (const GridRun& run : grid.runs) picks.push_back(run.picks);
    return picks;
  });

  // Through the run driver, as every data file is written: the same run again
  // gives the same rows, bit for bit.
  m.def("write_data_file", [](const TextMap& given, const std::string& path) {
    FieldTexts texts = textsOf(given);
    texts[Field::dataFile] = path;
    std::optional<std::string> error;
    {
      py::gil_scoped_release free;
      CurveRunner runner;
      error = runner.writeDataFile(texts);
    }
    return error;
  });

  m.def("to_csv",
        [](const py::array_t<std::int16_t>& step, const py::array_t<double>& Wcr, const py::array_t<double>& P,
           const py::array_t<double>& sigma, const py::array_t<double>& ratio,
           const std::string& path) { return writeTextFile(path, rowsCsv(stepsOf(step, Wcr, P, sigma, ratio))); });

  m.def("rms",
        [](const py::array_t<std::int16_t>& step, const py::array_t<double>& Wcr, const py::array_t<double>& P,
           const py::array_t<double>& sigma, const py::array_t<double>& ratio, const std::vector<double>& w,
           const std::vector<double>& measured) -> std::optional<double> {
          const auto fit = compareMeasured(stepsOf(step, Wcr, P, sigma, ratio), pointsOf(w, measured));
          if (!fit || fit->used < fit->total) return std::nullopt;
          return fit->rms;
        });

  // The pullout law's load at each slip of a test that pulls one fiber.
  m.def("pullout", [](const TextMap& given, double lb, double angle, const std::vector<double>& slips) {
    const FieldTexts texts = textsOf(given);
    if (const auto problem = pulloutLengthProblem(lb)) throw py::value_error(*problem);
    if (const auto problem = pulloutAngleProblem(angle)) throw py::value_error(*problem);
    if (const auto beyond = pulloutBeyondFiber(lb, texts)) throw py::value_error(*beyond);
    for (std::size_t i = 0; i < slips.size(); ++i)
      if (const auto problem = pulloutSlipProblem(slips[i], std::numeric_limits<double>::infinity(),
                                                  i > 0 ? std::optional(slips[i - 1]) : std::nullopt))
        throw py::value_error("slip " + std::to_string(i) + ": " + *problem);
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
          const FreeInputParse parsed = parseFreeInput(name + "=" + exactText(low) + ":" + exactText(high));
          if (!parsed.input) throw py::value_error(parsed.error.substr(parsed.error.find(": ") + 2));
          s.free.push_back(*parsed.input);
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
        if (const auto problem = checkFitSettings(s)) throw py::value_error(*problem);
        FitResult r;
        {
          py::gil_scoped_release free;
          r = fitMeasuredCurves(s);
        }
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
        d["report"] = r.inputs.empty() ? std::string() : fitReportJson(s, r);
        d["refusal"] = r.refusal ? py::object(py::str(r.refusal->message)) : py::object(py::none());
        TextMap texts;
        for (const FieldInfo& info : kFields)
          if (info.isNumber()) texts[std::string(info.name)] = r.texts[info.field];
        d["texts"] = texts;
        return d;
      },
      py::arg("texts"), py::arg("free"), py::arg("curves"), py::arg("starts"), py::arg("seed"),
      py::arg("jobs") = py::none(), py::arg("pullouts") = py::list());
}
