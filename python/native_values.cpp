#include "python/native_values.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/cpu_allotment.h"
#include "engine/inputs.h"
#include "output/text_file.h"
#include "study/studies/metrics.h"

namespace fb {
namespace {

py::array_t<double> column(const std::vector<StepResult>& steps, double StepResult::*member) {
  py::array_t<double> a(static_cast<py::ssize_t>(steps.size()));
  auto view = a.mutable_unchecked<1>();
  for (std::size_t i = 0; i < steps.size(); ++i) view(static_cast<py::ssize_t>(i)) = steps[i].*member;
  return a;
}

// OSError(code, reason, path), which Python makes the subclass of the code
// (FileNotFoundError, PermissionError, ...) with errno and filename set.
[[noreturn]] void raiseOSError(int code, const std::string& reason, const std::string& path) {
  PyErr_SetObject(PyExc_OSError, py::make_tuple(code, reason, path).ptr());
  throw py::error_already_set();
}

}  // namespace

FieldTexts textsOf(const TextMap& given) {
  FieldTexts texts = FieldTexts::defaults();
  for (const auto& [name, text] : given)
    if (const auto field = fieldByName(name)) texts[*field] = text;
  texts[Field::dataFile].clear();
  return texts;
}

CurveRunner& threadRunner() {
  thread_local CurveRunner runner;
  return runner;
}

CurveRunner::Curve calculate(CurveRunner& runner, const FieldTexts& texts, const Watch& watch) {
  CurveRunner::Curve curve = runner.run(texts, std::numeric_limits<double>::infinity(), watch.stop());
  // What the window's reading cut from a text comes first: it changed the inputs themselves.
  std::vector<std::string> cut = cutTextWarnings(texts);
  curve.warnings.insert(curve.warnings.begin(), cut.begin(), cut.end());
  return curve;
}

py::object refusalOf(const std::optional<Refusal>& refusal) {
  if (!refusal) return py::none();
  return py::make_tuple(std::string(fieldToChange(*refusal)), refusal->message);
}

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

py::dict toPython(const CurveRunner::Curve& o, bool keepRows) {
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

std::vector<MeasuredPoint> pointsOf(const std::vector<double>& w, const std::vector<double>& sigma,
                                    const std::vector<double>& sd, const std::string& curve) {
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

unsigned jobsOr(std::optional<unsigned> jobs) { return jobs.value_or(allottedCpus()); }

}  // namespace fb
