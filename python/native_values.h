#pragma once

// How fiberbridge._native hands values across: input texts in, runs out as
// dicts of numpy arrays and figures, refusals as (field, message), files read
// and written under the command line's rules with Python's exceptions.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>  // every part converts the same containers

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/crack_steps.h"
#include "engine/field_table.h"
#include "python/watched_call.h"
#include "run/curve_runner.h"
#include "study/inputs/measured_curve.h"

namespace fb {

namespace py = pybind11;

using TextMap = std::map<std::string, std::string>;

/// The inputs of `given` over the defaults, without a data file. Unknown
/// names are the Python layer's TypeError; here every name is a field.
FieldTexts textsOf(const TextMap& given);

/// The runner of the calling thread: a notebook's runs, or a Dask worker's
/// chunks, reuse one class table instead of touching fresh memory each time.
CurveRunner& threadRunner();

/// A whole run: no crack width stops it, only the watch.
CurveRunner::Curve calculate(CurveRunner& runner, const FieldTexts& texts, const Watch& watch);

/// A refusal as Python raises it: the one input to change, and the message; or None.
py::object refusalOf(const std::optional<Refusal>& refusal);

/// The rows as numpy arrays (unless `keepRows` is false), and the figures of the curve they draw.
void putRows(py::dict& d, const std::vector<StepResult>& steps, bool keepRows);

/// A run as a dict: its refusal, its warnings, its rows and figures.
py::dict toPython(const CurveRunner::Curve& curve, bool keepRows = true);

py::array_t<double> array(const std::vector<double>& values);

/// The rows of a run handed back from Python.
std::vector<StepResult> stepsOf(const py::array_t<std::int16_t>& step, const py::array_t<double>& Wcr,
                                const py::array_t<double>& P, const py::array_t<double>& sigma,
                                const py::array_t<double>& ratio);

/// A measured curve as Python gives it; NaN and infinity are refused, as the
/// command line refuses them in a file, naming `curve` and the point.
std::vector<MeasuredPoint> pointsOf(const std::vector<double>& w, const std::vector<double>& sigma,
                                    const std::vector<double>& sd = {}, const std::string& curve = "measured");

[[noreturn]] void raise(PyObject* type, const std::string& message);

/// The file's text, as the command line reads files: a file that cannot be
/// opened is an OSError with its error number; one that is no regular file or
/// too large, a ValueError with its path.
std::string readWhole(const std::string& path);

/// An OSError of the right subclass for writeTextFile's "path: reason".
[[noreturn]] void raiseWriteFailure(const std::string& path, const std::string& message);

/// The jobs asked for, or the CPUs this process may use.
unsigned jobsOr(std::optional<unsigned> jobs);

}  // namespace fb
