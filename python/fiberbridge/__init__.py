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

    r.psh(Jtip=10, sigma_fc=2.5)                       # strain-hardening indices
    s = fiberbridge.scatter({"division": 30}, n=64, Vf="normal:0.02:0.002")
    s.Wcr, s.p05, s.p50, s.p95, s.metrics["peak_stress"]
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
    "defaults", "fields", "run", "grid", "study", "fit",
    "PshIndices", "PSH_MARGINS", "PSH_MARGINS_SOURCE", "crack_tip_toughness", "ScatterResult", "scatter",
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
    or None): as the command line's summary gives them. peak_stress and
    peak_width are the sigma0 and delta0 of strain-hardening design, and
    complementary_energy (J/m2) its J'b; psh() gives the indices. `inputs`
    holds the texts the run read. A refused run of a study has `refusal` set
    and no rows.
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
        self.complementary_energy = result.get("complementary_energy")

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

    def psh(self, Jtip: Optional[float] = None, sigma_fc: Optional[float] = None, *,
            Km: Optional[float] = None, Em: Optional[float] = None,
            margins: tuple[float, float] = None) -> "PshIndices":
        """The pseudo strain-hardening indices of this curve against a matrix, as the
        command line's --Jtip (or --Km with --Em), --sigma-fc and --psh-margins give them:
        energy = J'b/Jtip with Jtip in J/m2 (or Km in MPa m^0.5 and Em in GPa, Jtip =
        Km^2/Em), strength = sigma0/sigma_fc with sigma_fc in MPa, and whether both
        exceed `margins` (energy, strength; default PSH_MARGINS)."""
        if self.refusal:
            raise self.refusal
        if self.complementary_energy is None:
            raise ValueError("a run without steps has no peak")
        jtip = _crack_tip_toughness(Jtip, Km, Em)
        if sigma_fc is None:
            raise TypeError("psh needs sigma_fc, the first-crack strength (MPa)")
        energy_margin, strength_margin = PSH_MARGINS if margins is None else margins
        for name, value in (("sigma_fc", sigma_fc), ("margins", energy_margin), ("margins", strength_margin)):
            _positive(name, value)
        return PshIndices(*_native.psh(self.complementary_energy, self.peak_stress, jtip, float(sigma_fc),
                                       float(energy_margin), float(strength_margin)))

    def __repr__(self) -> str:
        if self.refusal:
            return f"<fiberbridge.Run refused: {self.refusal.reason}>"
        return f"<fiberbridge.Run {len(self.step)} steps, peak stress {self.peak_stress:.4f} MPa>"


PshIndices = namedtuple("PshIndices", "energy strength meets_margins")
PshIndices.__doc__ = "The PSH energy index J'b/Jtip, strength index sigma0/sigma_fc, and whether both exceed their margins."

# The default margins (energy, strength) for saturated multiple cracking; PSH_MARGINS_SOURCE cites them.
PSH_MARGINS: tuple[float, float] = tuple(_native.psh_margins)
PSH_MARGINS_SOURCE: str = _native.psh_margins_source


def _positive(name: str, value: Any) -> float:
    if isinstance(value, bool) or not isinstance(value, numbers.Real) or not (math.isfinite(value) and value > 0):
        raise ValueError(f"{name}: {value!r} is not a positive number")
    return float(value)


def crack_tip_toughness(Km: float, Em: float) -> float:
    """The crack-tip toughness Jtip = Km^2/Em (J/m2) of a matrix of fracture toughness Km (MPa m^0.5)
    and modulus Em (GPa)."""
    return _native.crack_tip_toughness(_positive("Km", Km), _positive("Em", Em))


def _crack_tip_toughness(Jtip, Km, Em) -> float:
    if Jtip is not None:
        if Km is not None or Em is not None:
            raise TypeError("give Jtip, or Km with Em, not both")
        return _positive("Jtip", Jtip)
    if Km is None or Em is None:
        raise TypeError("the energy index needs Jtip (J/m2), or Km (MPa m^0.5) with Em (GPa)")
    return crack_tip_toughness(Km, Em)


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

    Without a client the runs share `jobs` local threads (default: the CPUs this process may use).
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
    inputs (name, value, low, high), warnings (inputs, text) and basins."""

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
        return f"<fiberbridge.FitResult {fitted}; RMS {self.rms_after:.4f} MPa>"


def _floats(values) -> list[float]:
    # The module refuses NaN and infinity, naming the curve and the point.
    return [float(v) for v in values]


def fit(measured_w: Optional[Sequence[float]] = None, measured_sigma: Optional[Sequence[float]] = None,
        free: Optional[Mapping[str, tuple[float, float]]] = None, base: Optional[Mapping[str, Any]] = None,
        starts: Optional[int] = None, seed: Optional[int] = None, jobs: Optional[int] = None,
        measured_sd: Optional[Sequence[float]] = None,
        curves: Optional[Sequence[Mapping[str, Any]]] = None) -> FitResult:
    """Fits the `free` inputs, each within its (low, high) bounds, to a measured curve,
    as fiberbridge-cli --measured ... --fit NAME=LO:HI does. `measured_sd` gives each
    point's standard deviation (MPa): the fit then minimises chi-square. Several
    specimens go in `curves`, each a mapping with "w", "sigma", optionally "sd", the
    "inputs" that specimen alone sets (its Vf, say) and a "name"; the fitted inputs
    are shared by all."""
    if not free:
        raise TypeError("fit needs free={name: (low, high), ...}")
    texts = _texts(base, {})
    unknown = sorted(set(free) - _NAMES)
    if unknown:
        raise TypeError(f"unknown input name(s): {', '.join(unknown)} (see fiberbridge.fields())")
    if curves is None:
        if measured_w is None or measured_sigma is None:
            raise TypeError("fit needs measured_w and measured_sigma, or curves")
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
    bounds = [(name, float(lo), float(hi)) for name, (lo, hi) in free.items()]
    result = _native.fit(texts, bounds, native_curves,
                         _native.default_fit_starts if starts is None else int(starts), 1 if seed is None else int(seed), jobs)
    if result["refusal"] is not None and not result["names"]:
        raise InputRefused("", "no start of the fit gave a run the model accepts: " + result["refusal"])
    return FitResult(result)


_SCATTER_METRICS = ("peak_force", "peak_stress", "peak_width", "energy", "half_peak_width", "complementary_energy")


class ScatterResult:
    """A scatter of some inputs: the band of the finished samples' bridging stress and
    their metrics, as fiberbridge-cli --scatter gives them.

    Wcr (mm) holds the band's 2 * division + 1 crack widths; mean, sd, p05, p50 and p95
    (MPa) the stress there, each sample's curve linear between its steps and 0 beyond
    its last width. `runs` holds every sample's Run in draw order (`labels` its drawn
    values), `refused` how many the model refused: they are left out of the band and
    the metrics. metrics[name] is a numpy array over the finished samples of each of
    peak_force, peak_stress, peak_width, energy, half_peak_width (NaN where the stress
    never halves) and complementary_energy."""

    def __init__(self, runs: list[Run], labels: list[str], band: dict):
        import numpy
        self.runs = runs
        self.labels = labels
        finished = [r for r in runs if r.ok and r.peak_stress is not None]
        self.refused = sum(1 for r in runs if not r.ok)
        self.Wcr, self.mean, self.sd = band["Wcr"], band["mean"], band["sd"]
        self.p05, self.p50, self.p95 = band["p05"], band["p50"], band["p95"]
        self.metrics = {name: numpy.array([math.nan if getattr(r, name) is None else getattr(r, name)
                                           for r in finished], dtype=float)
                        for name in _SCATTER_METRICS}

    def distribution(self, metric: str) -> dict[str, float]:
        """mean, sd, p05, p50 and p95 of a metric over the samples that have it."""
        values = [v for v in self.metrics[metric].tolist() if not math.isnan(v)]
        return dict(zip(("mean", "sd", "p05", "p50", "p95"), _native.spread(values)))

    def share_meeting_margins(self, Jtip: Optional[float] = None, sigma_fc: Optional[float] = None, *,
                              Km: Optional[float] = None, Em: Optional[float] = None,
                              margins: tuple[float, float] = None) -> float:
        """The share of the finished samples whose PSH indices exceed both margins (see Run.psh)."""
        finished = [r for r in self.runs if r.ok and r.peak_stress is not None]
        meets = sum(1 for r in finished if r.psh(Jtip, sigma_fc, Km=Km, Em=Em, margins=margins).meets_margins)
        return meets / len(finished)

    def __repr__(self) -> str:
        return f"<fiberbridge.ScatterResult {len(self.runs)} samples, {self.refused} refused>"


def _distribution_text(name: str, value: Any) -> str:
    if isinstance(value, str):
        return value
    try:
        kind, a, b = value
    except (TypeError, ValueError):
        raise TypeError(f"{name}: expected 'normal:MEAN:SD' or a tuple (kind, a, b), got {value!r}") from None
    return f"{kind}:{_text(name, a)}:{_text(name, b)}"


def scatter(inputs: Optional[Mapping[str, Any]] = None, n: int = 64, seed: int = 1, client=None,
            jobs: Optional[int] = None, **distributions: Any) -> ScatterResult:
    """Draws the inputs named in `distributions` by a seeded Latin hypercube, every other
    input from `inputs` (or its default), runs the `n` samples as study() does (local
    threads, or a dask.distributed `client`) and gives their band and metrics.

    Each distribution is a text or a tuple: "normal:MEAN:SD", "lognormal:MEAN:SD" (the
    mean and standard deviation of the input itself) or "uniform:LO:HI", e.g.
    scatter(n=64, Vf="normal:0.02:0.002", fp0=("uniform", 0.4, 0.6)). The samples are
    those of fiberbridge-cli --scatter ... --samples n --seed seed. A sample the model
    refuses is counted in `refused`; a distribution text that is wrong is a ValueError
    naming the input."""
    if not distributions:
        raise TypeError("scatter needs at least one distribution, e.g. Vf='normal:0.02:0.002'")
    unknown = sorted((set(distributions) | set(inputs or {})) - _NAMES)
    if unknown:
        raise TypeError(f"unknown input name(s): {', '.join(unknown)} (see fiberbridge.fields())")
    if isinstance(n, bool) or not isinstance(n, numbers.Integral):
        raise TypeError(f"n: expected a whole number, got {n!r}")
    if isinstance(seed, bool) or not isinstance(seed, numbers.Integral) or seed < 0:
        raise ValueError(f"seed: expected a whole number from 0, got {seed!r}")
    base = _texts(inputs, {})
    drawn = [(name, _distribution_text(name, value)) for name, value in distributions.items()]
    samples = _native.scatter_samples(base, drawn, int(n), int(seed))
    runs = study([texts for texts, _ in samples], jobs=jobs, client=client)
    finished = [(r.Wcr.tolist(), r.sigma.tolist()) for r in runs if r.ok and len(r.Wcr) > 0]
    if not finished:
        first = next((r.refusal for r in runs if r.refusal), None)
        raise InputRefused(first.field if first else "", "no sample gave a run the model accepts" +
                           (f": {first.reason}" if first else ""))
    return ScatterResult(runs, [label for _, label in samples], _native.band(finished, base["division"]))
