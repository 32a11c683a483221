"""fiberbridge's calibration: fits to measured curves and pullout tests, and the pullout law itself."""

import json as _json
import math as _math
import numbers as _numbers
from typing import Any as _Any, Callable as _Callable, Mapping as _Mapping, Optional as _Optional, Sequence as _Sequence

from . import InputRefused, _floats, _inputs, _native, run


class FitResult:
    """A calibration: the fitted inputs with their 95 % intervals (from each input's
    profile), standard errors and correlations, the RMS difference before and after,
    the warnings, the basins the starts ended in and the fitted Run. `report` holds
    what `fiberbridge-cli --fit-report` writes: rms, rms_before, runs, seconds,
    inputs (name, value, low, high), warnings (inputs, text) and basins. With pullout
    tests, pullout_rms_before and pullout_rms_after (N) are theirs, with beam tests
    beam_rms_before and beam_rms_after (kN); without a
    measured bridging curve rms_before and rms_after are None and the fitted Run is
    the bridging curve the fitted law predicts. `adequacy` says whether the model
    reproduces the curves within their noise (None with too few points): with standard
    deviations chi-square and its p, else the runs test of the residuals' signs and
    their RMS against the points' own noise; `outliers` lists the points the fit lies
    too far from (file, line, point, x, y, t, threshold), the most extreme first.

    As SciPy's and lmfit's results: `success` (the fit ended without a warning),
    `message` (its warnings, or that there were none), `nfev` (runs of the model),
    `x` (the fitted values by name), `residuals` (computed minus measured at every
    point: the bridging curves' in MPa, curve after curve, then the pullout tests'
    in N, then the beam tests' in kN), `chi_square_per_dof` (with standard deviations), and `aic` and `bic` of
    the sum of squares the fit minimised, as lmfit gives them. `str(fit)` is the
    command line's report; in a notebook it shows as a table; `plot()` draws it."""

    def __init__(self, result: dict, curves: _Sequence[tuple] = (), pullouts: _Sequence[tuple] = (),
                 beams: _Sequence[tuple] = ()):
        self.inputs = dict(result["values"])
        self.x = self.inputs
        self.nfev = result["runs"]
        import numpy as np

        self.residuals = np.asarray(result["residuals"], dtype=np.float64)
        points, fitted = len(self.residuals), len(self.inputs)
        # lmfit's criteria: n ln(S/n) + 2k and n ln(S/n) + k ln n.
        log_likelihood = points * _math.log(result["objective"] / points) if points and result["objective"] > 0 \
            else -_math.inf
        self.aic = log_likelihood + 2 * fitted
        self.bic = log_likelihood + _math.log(max(points, 1)) * fitted
        self._curves, self._pullouts, self._beams = list(curves), list(pullouts), list(beams)
        self._handle, self._curves_drawn = result.get("handle"), None
        self.intervals = {name: tuple(bounds) for name, bounds in result["intervals"].items()}
        self.standard_errors = dict(result["standard_errors"])
        names = list(result["names"])
        self.correlation = {(a, b): result["correlation"][i][j]
                            for i, a in enumerate(names) for j, b in enumerate(names)
                            if result["correlation"] and not _math.isnan(result["correlation"][i][j])}
        self.rms_before = result["rms_before"]
        self.rms_after = result["rms_after"]
        self.pullout_rms_before = result["pullout_rms_before"]
        self.pullout_rms_after = result["pullout_rms_after"]
        self.beam_rms_before = result["beam_rms_before"]
        self.beam_rms_after = result["beam_rms_after"]
        self.warnings = list(result["warnings"])
        self.notes = list(result["notes"])
        self.runs = result["runs"]
        self.seconds = result["seconds"]
        self.basins = list(result["basins"])
        self.chi_square_per_dof = result["chi_square_per_dof"]
        self.report = _json.loads(result["report"])
        self.adequacy = self.report["adequacy"]
        self.outliers = list(self.report["outliers"])
        self.texts = dict(result["texts"])
        self.run = run(self.texts)
        self._report_text = result["report_text"]
        self.success = bool(result["fitted"]) and not self.warnings
        self.message = "; ".join(self.warnings) if self.warnings else "fitted, without a warning"

    def report_text(self) -> str:
        """The report the command line prints for this fit, word for word."""
        return self._report_text

    def __str__(self) -> str:
        return self._report_text or repr(self)

    def _repr_html_(self) -> str:
        from html import escape

        def number(value) -> str:
            return "" if value is None else f"{value:.6g}"

        rows = "".join(
            f"<tr><td>{escape(name)}</td><td>{number(value)}</td><td>{number(self.intervals[name][0])}</td>"
            f"<td>{number(self.intervals[name][1])}</td><td>{number(self.standard_errors.get(name))}</td></tr>"
            for name, value in self.inputs.items())
        rms = (f"RMS {number(self.rms_before)} → {number(self.rms_after)} MPa" if self.rms_after is not None
               else f"pullout RMS {number(self.pullout_rms_before)} → {number(self.pullout_rms_after)} N"
               if self.pullout_rms_after is not None
               else f"beam RMS {number(self.beam_rms_before)} → {number(self.beam_rms_after)} kN")
        warnings = "".join(f"<li>{escape(w)}</li>" for w in self.warnings)
        return ("<div><table><thead><tr><th>input</th><th>value</th><th>95 % low</th><th>95 % high</th>"
                f"<th>standard error</th></tr></thead><tbody>{rows}</tbody></table>"
                f"<p>{escape(rms)}; {self.nfev} runs in {self.seconds:.1f} s</p>"
                + (f"<p>warnings:</p><ul>{warnings}</ul>" if warnings else "<p>no warning</p>")
                + f"<details><summary>report</summary><pre>{escape(self._report_text)}</pre></details></div>")

    def plot(self, ax=None):
        """Draws the fit as the command line's --plot does, with matplotlib (which this
        needs): each specimen's measured points, its fitted curve and the band that the
        inputs at the ends of their intervals span, with the residuals in a panel below
        when no `ax` is given; a fit to pullout tests alone draws their loads against
        slip, one to beam tests alone their loads against CMOD. Returns the axes drawn on (a pair with the residual panel)."""
        import matplotlib.pyplot as plt

        if self._handle is None:
            raise ValueError("this fit ended without a result to draw")
        if self._curves_drawn is None:
            self._curves_drawn = self._handle.curves()  # runs the band's members, once
        drawn = self._curves_drawn
        residual_ax = None
        if ax is None:
            _, (ax, residual_ax) = plt.subplots(2, 1, sharex=True, figsize=(6.4, 6.4),
                                                gridspec_kw={"height_ratios": [3, 1]})
        if drawn["specimens"]:
            for (name, w, sigma, _, _), curve in zip(self._curves, drawn["specimens"]):
                label = curve["label"] or name
                (fw, fs), (_, low), (_, high) = curve["fitted"], curve["band_low"], curve["band_high"]
                line, = ax.plot(fw, fs, label=f"{label}, fitted")
                ax.fill_between(fw, low, high, color=line.get_color(), alpha=0.2, linewidth=0,
                                label=f"{label}, 95 % band")
                ax.plot(w, sigma, "o", markersize=3, color=line.get_color(), label=f"{label}, measured")
                if residual_ax is not None:
                    residual_ax.plot(*curve["residuals"], "o", markersize=3, color=line.get_color())
            ax.set_ylabel("bridging stress (MPa)")
            (residual_ax or ax).set_xlabel("crack width Wcr (mm)")
        else:
            # Tests of one kind alone: their residuals are all the fit's, test after test.
            pullouts = bool(drawn["pullouts"])
            tests = ([(curve["label"], slip, load) for (_, _, _, slip, load, _, _, _), curve
                      in zip(self._pullouts, drawn["pullouts"])] if pullouts
                     else [(name, cmod, load) for name, cmod, load, _, _ in self._beams])
            at = 0
            for (label, x, load), curve in zip(tests, drawn["pullouts"] if pullouts else drawn["beams"]):
                line, = ax.plot(*curve["fitted"], label=f"{label}, fitted")
                ax.plot(x, load, "o", markersize=3, color=line.get_color(), label=f"{label}, measured")
                if residual_ax is not None:
                    residual_ax.plot(x, self.residuals[at:at + len(x)], "o", markersize=3, color=line.get_color())
                at += len(x)
            ax.set_ylabel("pullout load (N)" if pullouts else "beam load (kN)")
            (residual_ax or ax).set_xlabel("slip (mm)" if pullouts else "CMOD (mm)")
        ax.legend(fontsize="small")
        if residual_ax is not None:
            residual_ax.axhline(0, color="grey", linewidth=0.8)
            residual_ax.set_ylabel("computed − measured")
            return ax, residual_ax
        return ax

    def __getstate__(self) -> dict:
        # The library's handle stays in this process; a pickled fit draws no plot.
        return {**self.__dict__, "_handle": None, "_curves_drawn": self._curves_drawn}

    def __repr__(self) -> str:
        fitted = ", ".join(f"{k}={v:.6g}" for k, v in self.inputs.items())
        if self.rms_after is None and self.pullout_rms_after is None:
            return f"<fiberbridge.FitResult {fitted}; beam RMS {self.beam_rms_after:.4f} kN>"
        if self.rms_after is None:
            return f"<fiberbridge.FitResult {fitted}; pullout RMS {self.pullout_rms_after:.4f} N>"
        return f"<fiberbridge.FitResult {fitted}; RMS {self.rms_after:.4f} MPa>"


def fit(measured_w: _Optional[_Sequence[float]] = None, measured_sigma: _Optional[_Sequence[float]] = None,
        free: _Optional[_Mapping[str, tuple[float, float]]] = None, base: _Optional[_Mapping[str, _Any]] = None,
        starts: _Optional[int] = None, seed: _Optional[int] = None, jobs: _Optional[int] = None,
        measured_sd: _Optional[_Sequence[float]] = None,
        curves: _Optional[_Sequence[_Mapping[str, _Any]]] = None,
        pullouts: _Optional[_Sequence[_Mapping[str, _Any]]] = None, robust: bool = False,
        progress: _Optional[_Callable[[dict], object]] = None,
        beams: _Optional[_Sequence[_Mapping[str, _Any]]] = None, ft: _Optional[float] = None,
        Gf: _Optional[float] = None, Ec: _Optional[float] = None,
        beam_size: tuple[float, float, float, float] = (150, 150, 500, 25), prior=None) -> FitResult:
    """Fits the `free` inputs, each within its (low, high) bounds, to a measured curve,
    as fiberbridge-cli --measured ... --fit NAME=LO:HI does. `measured_sd` gives each
    point's standard deviation (MPa): the fit then minimises chi-square. Several
    specimens go in `curves`, each a mapping with "w", "sigma", optionally "sd", the
    "inputs" that specimen alone sets (its Vf, say) and a "name"; the fitted inputs
    are shared by all. Single-fiber pullout tests go in `pullouts`, each a mapping
    with "lb" (mm), "angle" (degrees, default 0), "slip" (mm), "load" (N), optionally
    "sd" (N), "inputs", "name", and what stretched besides the fiber's slip:
    "free_length" (mm) with "Ef" (GPa), or "compliance" (mm/N), as fiberbridge-cli
    --pullout reads them; they are
    fitted with the pullout law alone, and with measured curves beside them the fit
    is joint (see the README on how loads and stresses are weighed). `robust=True` fits
    with a soft-L1 loss, as --robust does. Notched-beam tests go in `beams`, each a
    mapping with "cmod" (mm), "load" (kN), optionally "sd" (kN), "inputs" and "name"
    (read_beam_test gives one), fitted through the beam of each run's law with the
    matrix's `ft` (MPa) and `Gf` (N/mm), the modulus `Ec` (GPa) and `beam_size`
    (width, depth, span, notch in mm), as --beam-measured does. `prior` (a stage-1
    FitResult, or the path of its --fit-report) holds that fit's inputs: this fit is
    fitted again at the ends of their intervals and its intervals widen, as
    --fit-prior does; `base` must hold the values stage 1 found. `progress(report)` is called a few times
    a second with a dict: "phase" ("search", "polish", "intervals"), "runs" done,
    "planned" (runs at most, as planned now), "best_rms" and "seconds_left" (None
    until known); an exception it raises stops the fit. Ctrl-C stops it."""
    if not free:
        raise TypeError("fit needs free={name: (low, high), ...}")
    texts = _inputs.texts(base, {})
    _inputs.check_names(free)
    if curves is None and (pullouts or beams) and measured_w is None and measured_sigma is None:
        curves = []
    elif curves is None:
        if measured_w is None or measured_sigma is None:
            raise TypeError("fit needs measured_w and measured_sigma, curves, pullouts or beams")
        curves = [{"w": measured_w, "sigma": measured_sigma, "sd": measured_sd}]
    elif measured_w is not None or measured_sigma is not None:
        raise TypeError("give measured_w and measured_sigma, or curves, not both")
    native_curves = []
    for k, curve in enumerate(curves):
        name = str(curve.get("name", f"curve {k + 1}"))
        inputs = _inputs.as_dict(curve.get("inputs"), f"{name}: inputs")
        _inputs.check_names(inputs, f"{name}: ")
        sd = curve.get("sd")
        native_curves.append((name, _floats(curve["w"]), _floats(curve["sigma"]),
                              [] if sd is None else _floats(sd),
                              {key: _inputs.text(key, value) for key, value in inputs.items()}))
    native_pullouts = []
    for k, test in enumerate(pullouts or []):
        test = _inputs.as_dict(test, f"pullout {k + 1}")
        name = str(test.get("name", f"pullout {k + 1}"))
        missing = [key for key in ("lb", "slip", "load") if key not in test]
        if missing:
            raise TypeError(f"{name}: a pullout test needs {', '.join(missing)}")
        inputs = _inputs.as_dict(test.get("inputs"), f"{name}: inputs")
        _inputs.check_names(inputs, f"{name}: ")
        sd = test.get("sd")
        native_pullouts.append((name, _inputs.real(f"{name}: lb", test["lb"]),
                                _inputs.real(f"{name}: angle", test.get("angle", 0)), _floats(test["slip"]),
                                _floats(test["load"]), [] if sd is None else _floats(sd),
                                {key: _inputs.text(key, value) for key, value in inputs.items()},
                                tuple(_inputs.real(f"{name}: {key}", test.get(key, 0))
                                      for key in ("free_length", "Ef", "compliance"))))
    native_beams = []
    for k, test in enumerate(beams or []):
        test = _inputs.as_dict(test, f"beam {k + 1}")
        name = str(test.get("name", f"beam {k + 1}"))
        missing = [key for key in ("cmod", "load") if key not in test]
        if missing:
            raise TypeError(f"{name}: a beam test needs {', '.join(missing)}")
        inputs = _inputs.as_dict(test.get("inputs"), f"{name}: inputs")
        _inputs.check_names(inputs, f"{name}: ")
        sd = test.get("sd")
        native_beams.append((name, _floats(test["cmod"]), _floats(test["load"]), [] if sd is None else _floats(sd),
                             {key: _inputs.text(key, value) for key, value in inputs.items()}))
    beam_model = None
    if native_beams:
        missing = [name for name, value in (("ft", ft), ("Gf", Gf), ("Ec", Ec)) if value is None]
        if missing:
            raise TypeError(f"a fit to beam tests needs {', '.join(missing)}: the beam cracks at the matrix's "
                            "strength and bends by the composite's modulus")
        beam_model = (_inputs.real("ft", ft), _inputs.real("Gf", Gf), _inputs.real("Ec", Ec),
                      tuple(_inputs.real("beam_size", x) for x in beam_size))
    elif ft is not None or Gf is not None or Ec is not None:
        raise TypeError("ft, Gf and Ec go with beams, the beam tests to fit")
    bounds = [(name, _inputs.real(f"{name}'s low bound", lo), _inputs.real(f"{name}'s high bound", hi))
              for name, (lo, hi) in free.items()]
    result = _native.fit(texts, bounds, native_curves,
                         _native.default_fit_starts if starts is None
                         else _inputs.whole("starts", starts, 1, _inputs.MOST_FIT_STARTS),
                         1 if seed is None else _inputs.whole("seed", seed, 0, _inputs.MOST_SEED),
                         None if jobs is None else _inputs.whole("jobs", jobs, 1, _inputs.MOST_JOBS), native_pullouts,
                         bool(robust), progress, native_beams, beam_model, *_prior_report(prior))
    if result["refusal"] is not None and not result["names"]:
        field, reason = result["refusal"]
        raise InputRefused(field, "no start of the fit gave a run the model accepts: " + reason)
    return FitResult(result, native_curves, native_pullouts, native_beams)


def pullout(lb: float, angle: float, slip, **inputs: _Any):
    """The pullout law's load (N) of one fiber of embedded length `lb` (mm) inclined
    by `angle` (degrees) at each slip (mm) of `slip`, in order as a test pulls it:
    a fiber pulled out or ruptured carries nothing after. The law is the one each
    fiber class of a run follows, bit for bit; `inputs` set its coefficients (A, B,
    ..., fp0, strengthReduction, Af, ...), the others keep their defaults. numpy in,
    numpy out: the result has the shape of `slip`; a single slip gives a float, and a
    pandas Series a Series on its index. `lb`, `angle` and `slip` take numbers only:
    a text or a bool is a TypeError."""
    import numpy as np

    texts = _inputs.texts(None, inputs)
    lb, angle = _inputs.real("lb", lb), _inputs.real("angle", angle)
    given = np.asarray(slip) if isinstance(slip, np.ndarray) else np.asarray(slip, dtype=object)
    # A text or a bool would pass as a number through numpy; a slip is a length.
    if given.dtype.kind not in "iuf" and not all(isinstance(s, _numbers.Real) and not isinstance(s, bool)
                                                  for s in given.ravel()):
        raise TypeError(f"slip: expected a number or an array of numbers, got {slip!r:.60}")
    slips = given.astype(float)
    loads = np.asarray(_native.pullout(texts, lb, angle, slips.ravel().tolist())).reshape(slips.shape)
    if slips.ndim == 0:
        return float(loads)
    if hasattr(slip, "index") and hasattr(slip, "to_numpy") and getattr(slip, "ndim", 0) == 1:
        return type(slip)(loads, index=slip.index, name="load (N)")  # a Series keeps its index
    return loads


def read_measured(path) -> dict:
    """A measured bridging curve's file, read as fiberbridge-cli --measured reads it
    (separators, header, decimal commas, `# NAME = VALUE` specimen inputs, an
    optional column of standard deviations): {"name", "w" (mm), "sigma" (MPa),
    "sd" (MPa, or None), "inputs"}, ready to go into fit(curves=[...]). Read and
    refused as read_data_file says, a wrong line as a ValueError naming file and line."""
    name = _inputs.path(path)
    w, sigma, sd, inputs = _native.read_measured(name)
    return {"name": name, "w": w, "sigma": sigma, "sd": sd, "inputs": dict(inputs)}


def _prior_report(prior) -> tuple:
    """(the report's JSON text, its name) of a stage-1 fit given as a FitResult or a path."""
    if prior is None:
        return None, ""
    if isinstance(prior, FitResult):
        return _json.dumps(prior.report), "the stage-1 FitResult"
    name = _inputs.path(prior)
    with open(name, encoding="utf-8") as report:
        return report.read(), name


def read_beam_test(path) -> dict:
    """A notched-beam test's file, read as fiberbridge-cli --beam-measured reads it:
    {"name", "cmod" (mm), "load" (kN), "sd" (kN, or None), "inputs"}, ready to go into
    fit(beams=[...]). Refused as read_measured."""
    name = _inputs.path(path)
    cmod, load, sd, inputs = _native.read_beam_test(name)
    return {"name": name, "cmod": cmod, "load": load, "sd": sd, "inputs": dict(inputs)}


def read_pullout(path) -> dict:
    """A single-fiber pullout test's file, read as fiberbridge-cli --pullout reads it:
    {"name", "lb" (mm), "angle" (degrees), "slip" (mm), "load" (N), "sd" (N, or None),
    "inputs", and "free_length" (mm), "Ef" (GPa) and "compliance" (mm/N), 0 where the
    file gives none}, ready to go into fit(pullouts=[...]). Refused as read_measured."""
    name = _inputs.path(path)
    lb, angle, slip, load, sd, inputs, (free_length, Ef, compliance) = _native.read_pullout(name)
    return {"name": name, "lb": lb, "angle": angle, "slip": slip, "load": load, "sd": sd, "inputs": dict(inputs),
            "free_length": free_length, "Ef": Ef, "compliance": compliance}


# Their home is the package, where the stub declares them and pickle finds them.
for _defined in (FitResult, fit, pullout, read_measured, read_pullout, read_beam_test):
    _defined.__module__ = "fiberbridge"
