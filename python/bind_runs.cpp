// The runs of fiberbridge._native: one, many on the task pool, a grid's
// picks, and the data files and tables a run reads and writes.
#include <cmath>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <tuple>

#include "engine/inputs.h"
#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "engine/version.h"
#include "output/data_file.h"
#include "output/text_file.h"
#include "python/bindings.h"
#include "python/native_values.h"
#include "run/task_pool.h"
#include "study/inputs/input_set.h"
#include "study/studies/metrics.h"
#include "study/studies/summaries.h"
#include "study/studies/summary_table.h"
#include "study/studies/sweep.h"

namespace fb {
namespace {

// Runs one after another, or on `jobs` threads with a runner each, and
// hands each run to `on_ended(index, run)` as it ends (or, without
// on_ended, gives them all in input order). Ctrl-C stops the runs in
// flight; those that finished before have been handed on. A run that
// throws (no memory for a class table) stops the study; the exception
// comes back here and Python sees it, with the run it stopped.
py::object runMany(const std::vector<TextMap>& given, std::optional<unsigned> jobs, const py::object& onEnded,
                   bool keepRows) {
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
    const std::string run = failedRun < given.size() ? "the run at index " + std::to_string(failedRun) : "a worker";
    try {
      std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
      raise(PyExc_MemoryError, "not enough memory for " + run + " of the study");
    } catch (const std::exception& e) {
      throw std::runtime_error(run + " of the study failed: " + e.what());
    }
  }
  return onEnded.is_none() ? py::object(all) : py::object(py::none());
}

}  // namespace

void bindRuns(py::module_& m) {
  m.attr("version") = std::string(kVersion);

  // The numbers a run reads from its texts, each in its field's precision and given back as a float.
  m.def("values", [](const TextMap& given) {
    const ReadOutcome read = readParameterSet(textsOf(given));
    py::dict values;
    for (const FieldInfo& info : kFields)
      if (info.isNumber()) values[py::str(std::string(info.name))] = numericValue(read.params, info);
    return values;
  });

  m.def("fields", [] {
    static const char* const kPrecision[] = {"text", "single", "int16", "double"};
    py::list out;
    for (const FieldInfo& info : kFields)
      if (info.field != Field::dataFile)
        out.append(py::make_tuple(std::string(info.name), std::string(info.unit),
                                  kPrecision[static_cast<int>(info.precision())], std::string(info.meaning),
                                  std::string(info.defaultText)));
    return out;
  });

  m.def("run", [](const TextMap& given) {
    const FieldTexts texts = textsOf(given);
    CurveRunner& runner = threadRunner();
    return toPython(watchedCall([&](const Watch& watch) { return calculate(runner, texts, watch); }));
  });

  m.def("run_many", &runMany, py::arg("texts"), py::arg("jobs") = py::none(), py::arg("on_ended") = py::none(),
        py::arg("keep_rows") = true);

  // The study library's grid: its limit on runs and its check that no two
  // runs share a file name. Gives the number of runs; Python makes each run
  // from its index in the same order, so the grid is never held whole.
  m.def(
      "grid",
      [](const TextMap& base, const std::vector<std::pair<std::string, std::vector<std::string>>>& sweeps,
         bool allowLarge) {
        std::vector<Sweep> all;
        for (const auto& [name, values] : sweeps) {
          const auto field = fieldByName(name);
          if (!field) throw py::type_error("unknown input name " + name);
          if (values.empty()) throw py::value_error(name + " has no values to sweep");
          // As --sweep refuses it: rounded, a fraction would run a division twice or one not asked for.
          if (*field == Field::division)
            for (const std::string& value : values)
              if (const double read = readNumber(value).value; read != std::floor(read))
                throw py::value_error("division: " + quotedToken(value) +
                                      " is not a whole number, which division takes");
          all.push_back({*field, name, values});
        }
        const Expected<Grid> grid = makeGrid(textsOf(base), all, allowLarge ? SIZE_MAX : kLargeStudyRuns);
        if (!grid)
          throw py::value_error(grid.error() + (allowLarge ? "" : " (pass allow_large=True if you mean them)"));
        return grid->size();
      },
      py::arg("base"), py::arg("sweeps"), py::arg("allow_large") = false);

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

  // An input set's (name, text) pairs in the order of the file, and the warnings a fit saved with them.
  m.def("read_inputs", [](const std::string& path) {
    const Expected<InputSet> set = parseInputSet(readWhole(path), path);
    if (!set) raise(PyExc_ValueError, set.error());
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [field, text] : set->values) out.emplace_back(fieldInfo(field).name, text);
    return py::make_tuple(out, set->warnings);
  });

  // summary.csv's columns after the varied inputs: (key, heading, unit), keys as Python names them.
  m.def("summary_columns", [] {
    std::vector<std::tuple<std::string, std::string, std::string>> out;
    for (const SummaryColumnInfo& info : kSummaryColumns)
      out.emplace_back(std::string(info.key), std::string(info.header), std::string(info.unit));
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
}

}  // namespace fb
