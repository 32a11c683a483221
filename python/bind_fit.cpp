// The fit of fiberbridge._native: measured curves, pullout and beam tests as
// Python gives them, checked as the command line checks its files, the fit,
// and the pullout law itself.
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <tuple>

#include "engine/inputs.h"
#include "engine/message_text.h"
#include "engine/parameter_set.h"
#include "engine/pullout_law.h"
#include "python/bindings.h"
#include "python/native_values.h"
#include "study/fit/calibration.h"
#include "study/fit/fit_curves.h"
#include "study/fit/fit_prior.h"
#include "study/fit/fit_report.h"
#include "study/fit/pullout_test.h"
#include "study/inputs/beam_test.h"
#include "study/inputs/measured_curve.h"
#include "study/inputs/pullout_curve.h"

namespace fb {
namespace {

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

// The inputs a specimen alone sets, as Python names them.
std::vector<SpecimenInput> specimenInputsOf(const std::string& specimen, const TextMap& inputs) {
  std::vector<SpecimenInput> out;
  for (const auto& [name, value] : inputs) {
    const auto field = fieldByName(name);
    if (!field) throw py::type_error(specimen + ": unknown input name " + name);
    out.push_back({*field, value});
  }
  return out;
}

using FreeBounds = std::vector<std::tuple<std::string, double, double>>;
using Curves =
    std::vector<std::tuple<std::string, std::vector<double>, std::vector<double>, std::vector<double>, TextMap>>;
using Pullouts = std::vector<std::tuple<std::string, double, double, std::vector<double>, std::vector<double>,
                                        std::vector<double>, TextMap, std::tuple<double, double, double>>>;

using Beams =
    std::vector<std::tuple<std::string, std::vector<double>, std::vector<double>, std::vector<double>, TextMap>>;
// The matrix's ft (MPa) and Gf (N/mm), the modulus Ec (GPa) and the beam's size (b, h, span, notch in mm).
using BeamModel = std::optional<std::tuple<double, double, double, std::tuple<double, double, double, double>>>;

// A beam test as Python gives it; its points are checked with the fit's settings, as a file's are.
BeamSpecimen beamOf(const std::string& name, const std::vector<double>& cmod, const std::vector<double>& load,
                    const std::vector<double>& sd, const TextMap& inputs) {
  if (cmod.size() != load.size()) throw py::value_error(name + ": its CMODs and loads differ in length");
  if (!sd.empty() && sd.size() != cmod.size())
    throw py::value_error(name + ": its standard deviations and CMODs differ in length");
  BeamSpecimen test{name, specimenInputsOf(name, inputs), {}};
  for (std::size_t i = 0; i < cmod.size(); ++i) {
    if (!sd.empty() && !(std::isfinite(sd[i]) && sd[i] > 0))
      throw py::value_error(name + ": point " + std::to_string(i) +
                            ": the standard deviation is not a positive number");
    test.measured.push_back({cmod[i], load[i], sd.empty() ? 0.0 : sd[i]});
  }
  return test;
}

FitSettings fitSettingsOf(const TextMap& given, const FreeBounds& free, const Curves& curves, const Pullouts& pullouts,
                          const Beams& beams, const BeamModel& beamModel) {
  FitSettings s;
  s.base = textsOf(given);
  for (const auto& [name, low, high] : free) {
    const auto field = fieldByName(name);
    if (!field || *field == Field::dataFile) throw py::value_error("unknown input name " + quotedToken(name));
    const Expected<FreeInput> checked = freeInput(*field, low, high);
    if (!checked) throw py::value_error(checked.error());
    s.free.push_back(*checked);
  }
  for (const auto& [name, w, sigma, sd, inputs] : curves)
    s.specimens.push_back({name, specimenInputsOf(name, inputs), pointsOf(w, sigma, sd, name)});
  for (const auto& [name, lb, angle, slip, load, sd, inputs, stretch] : pullouts) {
    PulloutSpecimen test = pulloutOf(name, lb, angle, slip, load, sd);
    test.inputs = specimenInputsOf(name, inputs);
    const auto& [freeLength, Ef, compliance] = stretch;
    test.stretch = {freeLength, Ef, compliance};
    if (const auto fine = checkPulloutStretch(test.stretch); !fine) throw py::value_error(name + ": " + fine.error());
    s.pullouts.push_back(std::move(test));
  }
  for (const auto& [name, cmod, load, sd, inputs] : beams)
    s.beams.tests.push_back(beamOf(name, cmod, load, sd, inputs));
  if (beamModel) {
    const auto& [ft, Gf, Ec, size] = *beamModel;
    const auto& [b, h, span, notch] = size;
    s.beams.matrix = MatrixTension{ft, Gf, Ec};
    s.beams.E = Ec;
    s.beams.geometry = {b, h, span, notch};
  }
  return s;
}

// A specimen's inputs by name, in the file's order.
std::vector<std::pair<std::string, std::string>> inputsOf(const std::vector<SpecimenInput>& inputs) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const SpecimenInput& input : inputs) out.emplace_back(fieldInfo(input.field).name, input.value);
  return out;
}

py::object optionalFloat(std::optional<double> value) {
  return value ? py::object(py::float_(*value)) : py::object(py::none());
}

// The result as fiberbridge.FitResult takes it.
py::dict fitResultDict(const FitSettings& s, const FitResult& r) {
  py::dict d;
  py::dict values, errors, intervals;
  std::vector<std::string> names;
  for (const FittedInput& input : r.inputs) {
    const std::string name(fieldInfo(input.field).name);
    names.push_back(name);
    values[py::str(name)] = input.value;
    errors[py::str(name)] = optionalFloat(input.standardError);
    intervals[py::str(name)] = py::make_tuple(input.low, input.high);
  }
  d["names"] = names;
  d["values"] = values;
  d["standard_errors"] = errors;
  d["intervals"] = intervals;
  d["correlation"] = r.correlation;
  // With pullout tests alone the RMS is theirs: the stress RMS is unknown.
  const bool stresses = !s.specimens.empty();
  d["rms_before"] = stresses ? optionalFloat(r.rmsBefore) : py::none();
  d["rms_after"] = stresses ? optionalFloat(r.rmsAfter) : py::none();
  d["pullout_rms_before"] = optionalFloat(r.pulloutRmsBefore);
  d["pullout_rms_after"] = optionalFloat(r.pulloutRmsAfter);
  d["beam_rms_before"] = optionalFloat(r.beamRmsBefore);
  d["beam_rms_after"] = optionalFloat(r.beamRmsAfter);
  std::vector<std::string> warnings;
  for (const FitWarning& w : r.warnings) warnings.push_back(w.text);
  d["warnings"] = warnings;
  d["notes"] = r.notes;
  py::list basins;
  for (const FitBasin& basin : r.basins) {
    py::dict at;
    for (std::size_t j = 0; j < basin.values.size() && j < s.free.size(); ++j)
      at[py::str(fieldInfo(s.free[j].field).name)] = basin.values[j];
    basins.append(py::dict(py::arg("rms") = basin.rms, py::arg("starts") = basin.starts, py::arg("values") = at));
  }
  d["basins"] = basins;
  d["chi_square_per_dof"] = optionalFloat(r.chiSquarePerDof);
  d["residuals"] = array(r.residuals);
  d["objective"] = r.objective;
  d["fitted"] = r.outcome == FitOutcome::fitted;
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
    if (info.field != Field::dataFile) texts[std::string(info.name)] = fitted[info.field];
  d["texts"] = texts;
  return d;
}

// A fit's settings and result, kept for the curves that show it: they cost
// runs (the band's), so they are made only when a plot asks for them.
struct FitHandle {
  FitSettings settings;
  FitResult result;
};

py::object pointsArray(const std::vector<CurvePoint>& points) {
  std::vector<double> w, sigma;
  for (const CurvePoint& p : points) w.push_back(p.Wcr), sigma.push_back(p.sigma);
  return py::make_tuple(array(w), array(sigma));
}

// The curves the command line's fit figure draws, as (widths, stresses) or (slips, loads) pairs.
py::dict fitCurvesOf(const FitHandle& handle) {
  const FitCurves curves =
      watchedCall([&](const Watch& watch) { return fitCurves(handle.settings, handle.result, watch.stop()); });
  py::list specimens, pullouts;
  for (const SpecimenFitCurves& c : curves.specimens)
    specimens.append(py::dict(py::arg("label") = c.label, py::arg("fitted") = pointsArray(c.fitted),
                              py::arg("start") = pointsArray(c.start), py::arg("band_low") = pointsArray(c.bandLow),
                              py::arg("band_high") = pointsArray(c.bandHigh),
                              py::arg("residuals") = pointsArray(c.residuals)));
  for (const PulloutFitCurves& c : curves.pullouts) {
    std::vector<double> slip, load;
    for (const PulloutPoint& p : c.fitted) slip.push_back(p.slip), load.push_back(p.load);
    pullouts.append(py::dict(py::arg("label") = c.label, py::arg("fitted") = py::make_tuple(array(slip), array(load))));
  }
  py::list beams;
  for (const BeamFitCurves& c : curves.beams) {
    std::vector<double> cmod, load;
    for (const BeamPoint& p : c.fitted) cmod.push_back(p.cmod), load.push_back(p.load);
    beams.append(py::dict(py::arg("label") = c.label, py::arg("fitted") = py::make_tuple(array(cmod), array(load))));
  }
  return py::dict(py::arg("specimens") = specimens, py::arg("pullouts") = pullouts, py::arg("beams") = beams);
}

py::dict fit(const TextMap& given, const FreeBounds& free, const Curves& curves, int starts, std::uint64_t seed,
             std::optional<unsigned> jobs, const Pullouts& pullouts, bool robust, const py::object& progress,
             const Beams& beams, const BeamModel& beamModel, const std::optional<std::string>& priorReport,
             const std::string& priorName) {
  FitSettings s = fitSettingsOf(given, free, curves, pullouts, beams, beamModel);
  if (priorReport) {
    Expected<std::vector<PriorInput>> prior = parseFitPrior(*priorReport, priorName);
    if (!prior) throw py::value_error(prior.error());
    s.prior = std::move(*prior);
    s.priorName = priorName;
  }
  s.robust = robust;
  s.starts = starts;
  s.seed = seed;
  s.jobs = jobsOr(jobs);
  if (const auto possible = checkFitSettings(s); !possible) throw py::value_error(possible.error());
  if (const auto held = checkFitPrior(s); !held) throw py::value_error(held.error());
  // The fit reports on its own thread; Python hears the latest report on its own.
  std::mutex mutex;
  std::optional<FitProgressReport> latest;  // not yet handed on, under `mutex`
  const auto handOn = [&] {
    std::optional<FitProgressReport> report;
    {
      std::lock_guard lock(mutex);
      report.swap(latest);
    }
    if (report)
      progress(py::dict(py::arg("phase") = report->phase, py::arg("runs") = report->runs,
                        py::arg("planned") = report->planned, py::arg("best_rms") = optionalFloat(report->bestRms),
                        py::arg("seconds_left") = optionalFloat(report->secondsLeft)));
  };
  const FitResult r = watchedCall(
      [&](Watch& watch) {
        FitSettings watched = s;
        watched.stop = watch.stop();
        if (progress.is_none()) return fitMeasuredCurves(watched);
        return fitMeasuredCurves(watched, [&](const FitProgressReport& report) {
          {
            std::lock_guard lock(mutex);
            latest = report;
          }
          watch.nudge();
        });
      },
      progress.is_none() ? std::function<void()>() : std::function<void()>(handOn));
  py::dict d = fitResultDict(s, r);
  if (r.outcome == FitOutcome::fitted)
    d["handle"] = std::make_shared<FitHandle>(FitHandle{s, r});
  else
    d["handle"] = py::none();
  return d;
}

}  // namespace

void bindFit(py::module_& m) {
  m.attr("default_fit_starts") = kDefaultFitStarts;

  py::class_<FitHandle, std::shared_ptr<FitHandle>>(m, "FitHandle").def("curves", &fitCurvesOf);

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

  // A measured curve's file as the command line reads it: (widths, stresses, standard deviations or
  // empty, the specimen's inputs).
  m.def("read_measured", [](const std::string& path) {
    const Expected<MeasuredCurve> curve = parseMeasuredCurve(readWhole(path), path);
    if (!curve) raise(PyExc_ValueError, curve.error());
    std::vector<double> w, sigma, sd;
    for (const MeasuredPoint& p : curve->points) {
      w.push_back(p.Wcr);
      sigma.push_back(p.sigma);
      if (p.sd > 0) sd.push_back(p.sd);
    }
    return py::make_tuple(array(w), array(sigma), sd.empty() ? py::object(py::none()) : py::object(array(sd)),
                          inputsOf(curve->inputs));
  });

  // A pullout test's file as the command line reads it: (lb, angle, slips, loads, standard deviations or
  // empty, the test's inputs, (free length, Ef, compliance)).
  m.def("read_pullout", [](const std::string& path) {
    const Expected<PulloutCurve> test = parsePulloutCurve(readWhole(path), path);
    if (!test) raise(PyExc_ValueError, test.error());
    std::vector<double> slip, load, sd;
    for (const PulloutPoint& p : test->points) {
      slip.push_back(p.slip);
      load.push_back(p.load);
      if (p.sd > 0) sd.push_back(p.sd);
    }
    const PulloutStretch& s = test->stretch;
    return py::make_tuple(test->lb, test->angle, array(slip), array(load),
                          sd.empty() ? py::object(py::none()) : py::object(array(sd)), inputsOf(test->inputs),
                          py::make_tuple(s.freeLength, s.Ef, s.compliance));
  });

  m.def("fit", &fit, py::arg("texts"), py::arg("free"), py::arg("curves"), py::arg("starts"), py::arg("seed"),
        py::arg("jobs") = py::none(), py::arg("pullouts") = py::list(), py::arg("robust") = false,
        py::arg("progress") = py::none(), py::arg("beams") = py::list(), py::arg("beam_model") = py::none(),
        py::arg("prior") = py::none(), py::arg("prior_name") = "");

  // A beam test's file as the command line reads it: (CMODs, loads, standard deviations or empty, the test's inputs).
  m.def("read_beam_test", [](const std::string& path) {
    const Expected<BeamTestCurve> test = parseBeamTest(readWhole(path), path);
    if (!test) raise(PyExc_ValueError, test.error());
    std::vector<double> cmod, load, sd;
    for (const BeamTestPoint& p : test->points) {
      cmod.push_back(p.cmod);
      load.push_back(p.load);
      if (p.sd > 0) sd.push_back(p.sd);
    }
    return py::make_tuple(array(cmod), array(load), sd.empty() ? py::object(py::none()) : py::object(array(sd)),
                          inputsOf(test->inputs));
  });
}

}  // namespace fb
