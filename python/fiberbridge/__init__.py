"""FiberBridge: the fiber bridging law of a cracked short-fiber-reinforced composite.

The same engine as the window and fiberbridge-cli. Inputs keep their field names
(Am, Vf, kxy, thetaRxy, strengthReduction, ...); a value may be a number or a
text, and a text is read exactly as the window's box reads it ("12mm" is 12).

    import fiberbridge
    r = fiberbridge.run(Vf=0.015, kxy=2)
    r.Wcr, r.sigma, r.peak_stress

    runs = fiberbridge.grid(kxy=[0.5, 1, 2], Vf=[0.01, 0.02])
    results = fiberbridge.study(runs)                  # local threads
    results = fiberbridge.study(runs, client=client)   # a dask.distributed Client

    f = fiberbridge.fit(w, sigma, free={"A": (1, 8), "D": (0.1, 1.5)})

    load = fiberbridge.pullout(3, 30, slips, A=2.5)    # one fiber's pullout law (N)
"""

from __future__ import annotations

import itertools
import json
import math
import numbers
from collections import namedtuple
from typing import Any, Iterable, Mapping, Optional, Sequence

from . import _native

__all__ = [
    "InputRefused", "Field", "Run", "FitResult",
    "defaults", "fields", "run", "grid", "study", "fit", "pullout",
]

Field = namedtuple("Field", "name unit precision meaning default")
Field.__doc__ = "An input: its name, unit, precision (single, int16, double), meaning and default text."

_FIELDS = [Field(*f) for f in _native.fields()]
_NAMES = {f.name for f in _FIELDS}


class InputRefused(ValueError):
    """The model cannot use these inputs; `field` names the input, `reason` says why."""

    def __init__(self, field: str, reason: str):
        super().__init__(reason)
        self.field = field
        self.reason = reason


def fields() -> list[Field]:
    """Every input, in the window's order, from the program's one field table."""
    return list(_FIELDS)


def defaults() -> dict[str, str]:
    """The window's default text of every input."""
    return {f.name: f.default for f in _FIELDS}


def _text(name: str, value: Any) -> str:
    if isinstance(value, str):
        return value
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name}: expected a number or a text, got {type(value).__name__}")
    if isinstance(value, numbers.Integral):
        return str(int(value))
    value = float(value)
    if not math.isfinite(value):
        raise ValueError(f"{name}: {value} is not a finite number")
    # The shortest text that reads back to the same double, as the command line would be given it.
    return repr(value)


def _texts(inputs: Optional[Mapping[str, Any]], fields: Mapping[str, Any]) -> dict[str, str]:
    given = dict(inputs or {})
    given.update(fields)
    unknown = sorted(set(given) - _NAMES)
    if unknown:
        raise TypeError(f"unknown input name(s): {', '.join(unknown)} (see fiberbridge.fields())")
    texts = defaults()
    texts.update({name: _text(name, value) for name, value in given.items()})
    return texts


class Run:
    """One calculation: its rows as numpy arrays and the figures of its curve.

    step, Wcr (mm), P (N), sigma (MPa), ratio (effective fiber ratio): full
    precision, the values of the command line's --csv. peak_force (kN),
    peak_stress (MPa), peak_width (mm), energy (N/mm) and half_peak_width (mm,
    or None): as the command line's summary gives them. `inputs` holds the
    texts the run read. A refused run of a study has `refusal` set and no rows.
    """

    def __init__(self, inputs: dict[str, str], result: dict):
        self.inputs = inputs
        refusal = result["refusal"]
        self.refusal = InputRefused(*refusal) if refusal else None
        self.warnings = list(result["warnings"])
        self.step = result["step"]
        self.Wcr = result["Wcr"]
        self.P = result["P"]
        self.sigma = result["sigma"]
        self.ratio = result["ratio"]
        self.peak_force = result.get("peak_force")
        self.peak_stress = result.get("peak_stress")
        self.peak_width = result.get("peak_width")
        self.energy = result.get("energy")
        self.half_peak_width = result.get("half_peak_width")

    @property
    def ok(self) -> bool:
        return self.refusal is None

    def _rows(self):
        return self.step, self.Wcr, self.P, self.sigma, self.ratio

    def write_data_file(self, path: str) -> None:
        """The data file, byte for byte as fiberbridge-cli writes it for these inputs (its clock line aside)."""
        error = _native.write_data_file(self.inputs, str(path))
        if error:
            raise OSError(error)

    def to_csv(self, path: str) -> None:
        """The rows as the command line's --csv writes them."""
        error = _native.to_csv(*self._rows(), str(path))
        if error:
            raise OSError(error)

    def rms(self, measured_w: Sequence[float], measured_sigma: Sequence[float]) -> float:
        """RMS difference (MPa) to a measured curve, the computed stress linear between steps."""
        value = _native.rms(*self._rows(), _floats(measured_w), _floats(measured_sigma))
        if value is None:
            raise ValueError("a measured width lies outside this run's crack widths")
        return value

    def __repr__(self) -> str:
        if self.refusal:
            return f"<fiberbridge.Run refused: {self.refusal.reason}>"
        return f"<fiberbridge.Run {len(self.step)} steps, peak stress {self.peak_stress:.4f} MPa>"


def run(inputs: Optional[Mapping[str, Any]] = None, **fields: Any) -> Run:
    """One calculation. Inputs come from `inputs` and then the keywords; the others keep their defaults.

    Raises InputRefused when the model cannot use them, TypeError for an unknown name.
    """
    texts = _texts(inputs, fields)
    result = Run(texts, _native.run(texts))
    if result.refusal:
        raise result.refusal
    return result


def _sweep_values(value: Any) -> list:
    # A text or a single number is one value, not the characters of a text.
    if isinstance(value, (str, bytes, numbers.Number)):
        return [value]
    return list(value)


def grid(base: Optional[Mapping[str, Any]] = None, **sweeps: Iterable[Any]) -> list[dict[str, Any]]:
    """Every combination of the swept values over `base`, the first keyword varying slowest,
    as the command line's --sweep options make them (at most as many runs, no two with
    one data file name). A single value or text is one value."""
    names = list(sweeps)
    unknown = sorted((set(names) | set(base or {})) - _NAMES)
    if unknown:
        raise TypeError(f"unknown input name(s): {', '.join(unknown)} (see fiberbridge.fields())")
    values = {n: _sweep_values(sweeps[n]) for n in names}
    picks = _native.grid(_texts(base, {}), [(n, [_text(n, v) for v in values[n]]) for n in names])
    return [{**(base or {}), **{n: values[n][i] for n, i in zip(names, pick)}} for pick in picks]


def _run_chunk(texts: list[dict[str, str]]) -> list[dict]:
    # On a Dask worker: the chunk's runs one after another, on the worker's class table.
    return _native.run_many(texts, 1)


def study(runs: Iterable[Mapping[str, Any]], jobs: Optional[int] = None, client=None) -> list[Run]:
    """Runs every input set and gives the runs in input order.

    Without a client the runs share `jobs` local threads (default: all cores).
    With a dask.distributed Client they are mapped over its workers in chunks.
    The results are the same, bit for bit, whichever way the study ran; a
    refused run comes back with its `refusal` set.
    """
    texts = [_texts(r, {}) for r in runs]
    if client is None:
        results = _native.run_many(texts, jobs)
    else:
        workers = max(1, len(client.scheduler_info().get("workers", {})))
        size = max(1, math.ceil(len(texts) / (4 * workers)))
        chunks = [texts[i:i + size] for i in range(0, len(texts), size)]
        futures = client.map(_run_chunk, chunks, pure=False)
        results = [r for chunk in client.gather(futures) for r in chunk]
    return [Run(t, r) for t, r in zip(texts, results)]


class FitResult:
    """A calibration: the fitted inputs with their 95 % intervals (from each input's
    profile), standard errors and correlations, the RMS difference before and after,
    the warnings, the basins the starts ended in and the fitted Run. `report` holds
    what `fiberbridge-cli --fit-report` writes: rms, rms_before, runs, seconds,
    inputs (name, value, low, high), warnings (inputs, text) and basins. With pullout
    tests, pullout_rms_before and pullout_rms_after (N) are theirs; without a
    measured bridging curve rms_before and rms_after are None and the fitted Run is
    the bridging curve the fitted law predicts."""

    def __init__(self, result: dict):
        self.inputs = dict(result["values"])
        self.intervals = {name: tuple(bounds) for name, bounds in result["intervals"].items()}
        self.standard_errors = dict(result["standard_errors"])
        names = list(result["names"])
        self.correlation = {(a, b): result["correlation"][i][j]
                            for i, a in enumerate(names) for j, b in enumerate(names)
                            if result["correlation"] and not math.isnan(result["correlation"][i][j])}
        self.rms_before = result["rms_before"]
        self.rms_after = result["rms_after"]
        self.pullout_rms_before = result["pullout_rms_before"]
        self.pullout_rms_after = result["pullout_rms_after"]
        self.warnings = list(result["warnings"])
        self.notes = list(result["notes"])
        self.runs = result["runs"]
        self.seconds = result["seconds"]
        self.report = json.loads(result["report"])
        self.basins = self.report["basins"]
        self.chi_square_per_dof = self.report["chi_square_per_dof"]
        self.texts = dict(result["texts"])
        self.run = run(self.texts)

    def __repr__(self) -> str:
        fitted = ", ".join(f"{k}={v:.6g}" for k, v in self.inputs.items())
        if self.rms_after is None:
            return f"<fiberbridge.FitResult {fitted}; pullout RMS {self.pullout_rms_after:.4f} N>"
        return f"<fiberbridge.FitResult {fitted}; RMS {self.rms_after:.4f} MPa>"


def _floats(values) -> list[float]:
    # The module refuses NaN and infinity, naming the curve and the point.
    return [float(v) for v in values]


def fit(measured_w: Optional[Sequence[float]] = None, measured_sigma: Optional[Sequence[float]] = None,
        free: Optional[Mapping[str, tuple[float, float]]] = None, base: Optional[Mapping[str, Any]] = None,
        starts: Optional[int] = None, seed: Optional[int] = None, jobs: Optional[int] = None,
        measured_sd: Optional[Sequence[float]] = None,
        curves: Optional[Sequence[Mapping[str, Any]]] = None,
        pullouts: Optional[Sequence[Mapping[str, Any]]] = None) -> FitResult:
    """Fits the `free` inputs, each within its (low, high) bounds, to a measured curve,
    as fiberbridge-cli --measured ... --fit NAME=LO:HI does. `measured_sd` gives each
    point's standard deviation (MPa): the fit then minimises chi-square. Several
    specimens go in `curves`, each a mapping with "w", "sigma", optionally "sd", the
    "inputs" that specimen alone sets (its Vf, say) and a "name"; the fitted inputs
    are shared by all. Single-fiber pullout tests go in `pullouts`, each a mapping
    with "lb" (mm), "angle" (degrees, default 0), "slip" (mm), "load" (N), optionally
    "sd" (N), "inputs" and "name", as fiberbridge-cli --pullout reads them; they are
    fitted with the pullout law alone, and with measured curves beside them the fit
    is joint (see the README on how loads and stresses are weighed)."""
    if not free:
        raise TypeError("fit needs free={name: (low, high), ...}")
    texts = _texts(base, {})
    unknown = sorted(set(free) - _NAMES)
    if unknown:
        raise TypeError(f"unknown input name(s): {', '.join(unknown)} (see fiberbridge.fields())")
    if curves is None and pullouts and measured_w is None and measured_sigma is None:
        curves = []
    elif curves is None:
        if measured_w is None or measured_sigma is None:
            raise TypeError("fit needs measured_w and measured_sigma, curves or pullouts")
        curves = [{"w": measured_w, "sigma": measured_sigma, "sd": measured_sd}]
    elif measured_w is not None or measured_sigma is not None:
        raise TypeError("give measured_w and measured_sigma, or curves, not both")
    native_curves = []
    for k, curve in enumerate(curves):
        name = str(curve.get("name", f"curve {k + 1}"))
        inputs = curve.get("inputs") or {}
        bad = sorted(set(inputs) - _NAMES)
        if bad:
            raise TypeError(f"{name}: unknown input name(s): {', '.join(bad)}")
        sd = curve.get("sd")
        native_curves.append((name, _floats(curve["w"]), _floats(curve["sigma"]),
                              [] if sd is None else _floats(sd),
                              {key: _text(key, value) for key, value in inputs.items()}))
    native_pullouts = []
    for k, test in enumerate(pullouts or []):
        name = str(test.get("name", f"pullout {k + 1}"))
        missing = [key for key in ("lb", "slip", "load") if key not in test]
        if missing:
            raise TypeError(f"{name}: a pullout test needs {', '.join(missing)}")
        inputs = test.get("inputs") or {}
        bad = sorted(set(inputs) - _NAMES)
        if bad:
            raise TypeError(f"{name}: unknown input name(s): {', '.join(bad)}")
        sd = test.get("sd")
        native_pullouts.append((name, float(test["lb"]), float(test.get("angle", 0)), _floats(test["slip"]),
                                _floats(test["load"]), [] if sd is None else _floats(sd),
                                {key: _text(key, value) for key, value in inputs.items()}))
    bounds = [(name, float(lo), float(hi)) for name, (lo, hi) in free.items()]
    result = _native.fit(texts, bounds, native_curves,
                         _native.default_fit_starts if starts is None else int(starts), 1 if seed is None else int(seed), jobs,
                         native_pullouts)
    if result["refusal"] is not None and not result["names"]:
        raise InputRefused("", "no start of the fit gave a run the model accepts: " + result["refusal"])
    return FitResult(result)


def pullout(lb: float, angle: float, slip, **inputs: Any):
    """The pullout law's load (N) of one fiber of embedded length `lb` (mm) inclined
    by `angle` (degrees) at each slip (mm) of `slip`, in order as a test pulls it:
    a fiber pulled out or ruptured carries nothing after. The law is the one each
    fiber class of a run follows, bit for bit; `inputs` set its coefficients (A, B,
    ..., fp0, strengthReduction, Af, ...), the others keep their defaults. numpy in,
    numpy out: the result has the shape of `slip`."""
    import numpy as np

    texts = _texts(None, inputs)
    slips = np.asarray(slip, dtype=float)
    loads = _native.pullout(texts, float(lb), float(angle), [float(s) for s in slips.ravel()])
    return np.asarray(loads).reshape(slips.shape)
