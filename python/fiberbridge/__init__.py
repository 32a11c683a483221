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
    load = fiberbridge.pullout(3, 30, slips, A=2.5)    # one fiber's pullout law (N)

    d = fiberbridge.read_data_file("run.p-d")         # a data file's rows and header
    fiberbridge.to_frame(results)                      # a pandas DataFrame, where pandas is installed
"""


import json as _json
import math as _math
import numbers as _numbers
import sys as _sys
from collections import namedtuple as _namedtuple
from typing import Any as _Any, Callable as _Callable, Iterable as _Iterable, Mapping as _Mapping, \
    Optional as _Optional, Sequence as _Sequence

from . import _inputs, _native, _study, _tables
from ._inputs import Field

__version__: str = _native.version

__all__ = [
    "InputRefused", "StudyInterrupted", "StudyTimedOut", "Field", "Run", "DataFile", "FitResult",
    "defaults", "fields", "run", "grid", "study", "fit", "pullout",
    "read_data_file", "read_inputs", "read_summary", "to_frame",
    "PshIndices", "PSH_MARGINS", "PSH_MARGINS_SOURCE", "crack_tip_toughness", "ScatterResult", "scatter",
]


class InputRefused(ValueError):
    """The model cannot use these inputs. `field` names the one input to change
    (of a pair such as fp0/fp1, the first; the reason names both), `reason` is
    the command line's message. It pickles, so it crosses process pools and Dask."""

    def __init__(self, field: str, reason: str):
        super().__init__(reason)
        self.field = field
        self.reason = reason

    def __reduce__(self):
        return type(self), (self.field, self.reason)


class _StudyStopped:
    # What a study stopped early keeps.
    def __init__(self, message: str, results: list):
        super().__init__(message)
        self.results = results
        self.done = sum(r is not None for r in results)

    def __reduce__(self):
        return type(self), (str(self), self.results)


class StudyInterrupted(_StudyStopped, KeyboardInterrupt):
    """Ctrl-C ended a study early. `results` holds a Run for every run that
    finished before the stop, in input order, and None for those cut short or
    never started; `done` counts the finished ones."""


class StudyTimedOut(_StudyStopped, TimeoutError):
    """A study on a cluster did not end within its `timeout`; `results` and
    `done` as for StudyInterrupted."""


def fields() -> list[Field]:
    """Every input, in the window's order, from the program's one field table."""
    return list(_inputs.FIELDS)


def defaults() -> dict[str, str]:
    """The window's default text of every input."""
    return _inputs.defaults()


class _Curve:
    """Rows and the figures of the curve they draw, as a run or a data file gives them."""

    step: _Any
    Wcr: _Any
    P: _Any
    sigma: _Any
    ratio: _Any

    def __init__(self, inputs: dict[str, str], result: dict):
        self.inputs = inputs
        for name in _tables.COLUMNS:
            setattr(self, name, result.get(name))
        for name in _tables.FIGURES:
            setattr(self, name, result.get(name))

    def _rows(self):
        if self.step is None:
            raise ValueError("this run kept no rows (keep_rows=False); run it again for them")
        return self.step, self.Wcr, self.P, self.sigma, self.ratio

    def to_csv(self, path) -> None:
        """The rows as the command line's --csv writes them; a value that is no finite number is left empty."""
        _native.to_csv(*self._rows(), _inputs.path(path))

    def rms(self, measured_w: _Sequence[float], measured_sigma: _Sequence[float]) -> float:
        """RMS difference (MPa) to a measured curve, the computed stress linear between steps."""
        w, sigma = _floats(measured_w), _floats(measured_sigma)
        if not w and not sigma:
            raise ValueError("the measured curve is empty: it holds no point to compare")
        value = _native.rms(*self._rows(), w, sigma)
        if value is None:
            raise ValueError("a measured width lies outside this run's crack widths")
        return value

    def to_frame(self):
        """The rows as a pandas DataFrame (step, Wcr, P, sigma, ratio); needs pandas."""
        return _tables.rows_frame(self)


class Run(_Curve):
    """One calculation: its rows as numpy arrays and the figures of its curve.

    step, Wcr (mm), P (N), sigma (MPa), ratio (effective fiber ratio): full
    precision, the values of the command line's --csv; None in a study run
    with keep_rows=False. peak_force (kN), peak_stress (MPa), peak_width (mm),
    energy (N/mm) and half_peak_width (mm, or None): as the command line's
    summary gives them. peak_stress and peak_width are the sigma0 and delta0
    of strain-hardening design, and complementary_energy (J/m2) its J'b;
    psh() gives the indices. `inputs` holds the texts the run read. A refused
    run of a study has `refusal` set and no rows.
    """

    def __init__(self, inputs: dict[str, str], result: dict):
        super().__init__(inputs, result)
        refusal = result["refusal"]
        self.refusal = InputRefused(*refusal) if refusal else None
        self.warnings = list(result["warnings"])

    @property
    def ok(self) -> bool:
        return self.refusal is None

    def write_data_file(self, path) -> None:
        """The data file, byte for byte as fiberbridge-cli writes it for these inputs (its clock line aside).
        A file that cannot be written raises OSError (FileNotFoundError, PermissionError, ...) with its path."""
        name = _inputs.path(path)
        failure = _native.write_data_file(self.inputs, name)
        if failure is None:
            return
        if isinstance(failure[0], str):
            raise InputRefused(*failure)
        code, reason = failure
        if code:
            raise OSError(code, reason, name)
        raise OSError(f"{name}: {reason}")

    def psh(self, Jtip: _Optional[float] = None, sigma_fc: _Optional[float] = None, *,
            Km: _Optional[float] = None, Em: _Optional[float] = None,
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
        _divisor("sigma_fc", float(sigma_fc))
        return PshIndices(*_native.psh(self.complementary_energy, self.peak_stress, jtip, float(sigma_fc),
                                       float(energy_margin), float(strength_margin)))

    def __repr__(self) -> str:
        if self.refusal:
            return f"<fiberbridge.Run refused: {self.refusal.reason}>"
        if self.step is None:
            return f"<fiberbridge.Run without rows, peak stress {self.peak_stress:.4f} MPa>"
        return f"<fiberbridge.Run {len(self.step)} steps, peak stress {self.peak_stress:.4f} MPa>"


PshIndices = _namedtuple("PshIndices", "energy strength meets_margins")
PshIndices.__doc__ = "The PSH energy index J'b/Jtip, strength index sigma0/sigma_fc, and whether both exceed their margins."

# The default margins (energy, strength) for saturated multiple cracking; PSH_MARGINS_SOURCE cites them.
PSH_MARGINS: tuple[float, float] = tuple(_native.psh_margins)
PSH_MARGINS_SOURCE: str = _native.psh_margins_source


def _positive(name: str, value: _Any) -> float:
    if isinstance(value, bool) or not isinstance(value, _numbers.Real) or not (_math.isfinite(value) and value > 0):
        raise ValueError(f"{name}: {value!r} is not a positive number")
    return float(value)


def crack_tip_toughness(Km: float, Em: float) -> float:
    """The crack-tip toughness Jtip = Km^2/Em (J/m2) of a matrix of fracture toughness Km (MPa m^0.5)
    and modulus Em (GPa)."""
    return _native.crack_tip_toughness(_positive("Km", Km), _positive("Em", Em))


def _divisor(name: str, value: float) -> float:
    # Km^2/Em can round to 0 or overflow; an index divided by it would then say nothing.
    if not (_math.isfinite(value) and value >= _sys.float_info.min):
        raise ValueError(f"{name} = {value!r} is too small or too large to divide by")
    return value


def _crack_tip_toughness(Jtip, Km, Em) -> float:
    if Jtip is not None:
        if Km is not None or Em is not None:
            raise TypeError("give Jtip, or Km with Em, not both")
        return _divisor("Jtip", _positive("Jtip", Jtip))
    if Km is None or Em is None:
        raise TypeError("the energy index needs Jtip (J/m2), or Km (MPa m^0.5) with Em (GPa)")
    return _divisor("Jtip = Km^2/Em", crack_tip_toughness(Km, Em))


class DataFile(_Curve):
    """A data file read back: its rows at the file's precision (Wcr, sigma and
    ratio to 5 decimals, P to 2) with the figures of their curve, and its
    header. `inputs` holds the texts of the inputs the header records (the
    pullout law and the division are not among them; fp1 is absent when it
    was negative); `calculated` is the header's clock ("09:05:07 on
    03-04-2026"); `total_fiber` and `fiber_number_coefficient` its two counts."""

    def __init__(self, path: str, result: dict):
        header = dict(result["header"])
        self.path = path
        self.calculated = f"{header.pop('time')} on {header.pop('date')}"
        self.total_fiber = float(header.pop("totalFiber"))
        self.fiber_number_coefficient = float(header.pop("fiberNumberCoefficient"))
        super().__init__(header, result)

    def __repr__(self) -> str:
        return f"<fiberbridge.DataFile {self.path}: {len(self.step)} steps>"


def run(inputs: _Optional[_Mapping[str, _Any]] = None, **fields: _Any) -> Run:
    """One calculation. Inputs come from `inputs` (a dict, a pandas Series, any
    mapping) and then the keywords; the others keep their defaults. A text is
    read as the window's box reads it ("12mm" is 12); a number strictly.

    Raises InputRefused when the model cannot use them, TypeError for an
    unknown name or a value of another type, ValueError for NaN, infinity or
    a fraction for a whole-number input (division). Ctrl-C stops it.
    """
    texts = _inputs.texts(inputs, fields)
    result = Run(texts, _native.run(texts))
    if result.refusal:
        raise result.refusal
    return result


def grid(base: _Optional[_Mapping[str, _Any]] = None, **sweeps: _Iterable[_Any]) -> list[dict[str, _Any]]:
    """Every combination of the swept values over `base`, the first keyword varying slowest,
    as the command line's --sweep options make them (at most as many runs, no two with
    one data file name). Each sweep is a sequence; a text or a single number raises
    TypeError (a fixed value goes in `base`)."""
    base = _inputs.as_dict(base, "base")
    names = list(sweeps)
    _inputs.check_names([*names, *base])
    values = {n: _inputs.sweep_values(n, sweeps[n]) for n in names}
    picks = _native.grid(_inputs.texts(base, {}), [(n, [_inputs.text(n, v) for v in values[n]]) for n in names])
    return [{**base, **{n: values[n][i] for n, i in zip(names, pick)}} for pick in picks]


def study(runs: _Iterable[_Mapping[str, _Any]], jobs: _Optional[int] = None, client=None, *,
          progress: _Optional[_Callable[[int, int], object]] = None, keep_rows: bool = True,
          timeout: _Optional[float] = None) -> list[Run]:
    """Runs every input set and gives the runs in input order.

    `runs` holds mappings (dicts, pandas Series) or is a pandas DataFrame, a
    run per row. Without a client the runs share `jobs` local threads (1 to
    4096; default: the CPUs this process may use, at most SLURM_CPUS_PER_TASK).
    With a dask.distributed Client they go out as many small tasks, their
    number set by the count of runs, not by the workers present, so that
    workers that join later take work too; `timeout`
    (seconds) ends a study on a cluster that has not finished by then. The
    results are the same, bit for bit, whichever way the study ran; a
    refused run comes back with its `refusal` set.

    `progress(done, total)` is called on this thread as each run ends.
    With keep_rows=False a run keeps its figures, not its rows, so that a
    study of 100,000 runs fits in memory.

    Ctrl-C stops the study within a second with StudyInterrupted (a
    KeyboardInterrupt), the timeout with StudyTimedOut (a TimeoutError);
    the `results` of either keep every run that had finished, and the runs
    in flight are lost.
    """
    if hasattr(runs, "columns") and hasattr(runs, "to_dict"):
        runs = runs.to_dict("records")  # a DataFrame: a run per row
    given = [_inputs.given_texts(r, {}) for r in runs]
    if jobs is not None:
        jobs = _inputs.whole("jobs", jobs, 1, _inputs.MOST_JOBS)
    if timeout is not None:
        if client is None:
            raise TypeError("timeout: only a study on a cluster (client=...) takes one; Ctrl-C stops a local study")
        if _inputs.real("timeout", timeout) <= 0:
            raise ValueError(f"timeout: must be positive, got {timeout}")
    defaults = _inputs.defaults()
    try:
        results = _study.run_all(given, jobs, client, keep_rows, progress, timeout)
    except _study.Interrupted as stop:
        kept = [None if i not in stop.ended else Run({**defaults, **t}, stop.ended[i]) for i, t in enumerate(given)]
        timed_out = isinstance(stop.__cause__, TimeoutError)
        message = f"{str(stop.__cause__) or 'interrupted'}; {len(stop.ended)} of {len(given)} runs finished"
        raise (StudyTimedOut if timed_out else StudyInterrupted)(message, kept) from stop.__cause__
    return [Run({**defaults, **t}, r) for t, r in zip(given, results)]


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
                            if result["correlation"] and not _math.isnan(result["correlation"][i][j])}
        self.rms_before = result["rms_before"]
        self.rms_after = result["rms_after"]
        self.pullout_rms_before = result["pullout_rms_before"]
        self.pullout_rms_after = result["pullout_rms_after"]
        self.warnings = list(result["warnings"])
        self.notes = list(result["notes"])
        self.runs = result["runs"]
        self.seconds = result["seconds"]
        self.report = _json.loads(result["report"])
        self.basins = self.report["basins"]
        self.chi_square_per_dof = self.report["chi_square_per_dof"]
        self.texts = dict(result["texts"])
        self.run = run(self.texts)
        self._report_text = result["report_text"]

    def report_text(self) -> str:
        """The report the command line prints for this fit, word for word."""
        return self._report_text

    def __str__(self) -> str:
        return self._report_text or repr(self)

    def __repr__(self) -> str:
        fitted = ", ".join(f"{k}={v:.6g}" for k, v in self.inputs.items())
        if self.rms_after is None:
            return f"<fiberbridge.FitResult {fitted}; pullout RMS {self.pullout_rms_after:.4f} N>"
        return f"<fiberbridge.FitResult {fitted}; RMS {self.rms_after:.4f} MPa>"


def _floats(values) -> list[float]:
    # The module refuses NaN and infinity, naming the curve and the point.
    return [float(v) for v in values]


def fit(measured_w: _Optional[_Sequence[float]] = None, measured_sigma: _Optional[_Sequence[float]] = None,
        free: _Optional[_Mapping[str, tuple[float, float]]] = None, base: _Optional[_Mapping[str, _Any]] = None,
        starts: _Optional[int] = None, seed: _Optional[int] = None, jobs: _Optional[int] = None,
        measured_sd: _Optional[_Sequence[float]] = None,
        curves: _Optional[_Sequence[_Mapping[str, _Any]]] = None,
        pullouts: _Optional[_Sequence[_Mapping[str, _Any]]] = None) -> FitResult:
    """Fits the `free` inputs, each within its (low, high) bounds, to a measured curve,
    as fiberbridge-cli --measured ... --fit NAME=LO:HI does. `measured_sd` gives each
    point's standard deviation (MPa): the fit then minimises chi-square. Several
    specimens go in `curves`, each a mapping with "w", "sigma", optionally "sd", the
    "inputs" that specimen alone sets (its Vf, say) and a "name"; the fitted inputs
    are shared by all. Single-fiber pullout tests go in `pullouts`, each a mapping
    with "lb" (mm), "angle" (degrees, default 0), "slip" (mm), "load" (N), optionally
    "sd" (N), "inputs" and "name", as fiberbridge-cli --pullout reads them; they are
    fitted with the pullout law alone, and with measured curves beside them the fit
    is joint (see the README on how loads and stresses are weighed). Ctrl-C stops it."""
    if not free:
        raise TypeError("fit needs free={name: (low, high), ...}")
    texts = _inputs.texts(base, {})
    _inputs.check_names(free)
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
                                {key: _inputs.text(key, value) for key, value in inputs.items()}))
    bounds = [(name, _inputs.real(f"{name}'s low bound", lo), _inputs.real(f"{name}'s high bound", hi))
              for name, (lo, hi) in free.items()]
    result = _native.fit(texts, bounds, native_curves,
                         _native.default_fit_starts if starts is None
                         else _inputs.whole("starts", starts, 1, _inputs.MOST_FIT_STARTS),
                         1 if seed is None else _inputs.whole("seed", seed, 0, _inputs.MOST_SEED),
                         None if jobs is None else _inputs.whole("jobs", jobs, 1, _inputs.MOST_JOBS), native_pullouts)
    if result["refusal"] is not None and not result["names"]:
        field, reason = result["refusal"]
        raise InputRefused(field, "no start of the fit gave a run the model accepts: " + reason)
    return FitResult(result)


def read_data_file(path) -> DataFile:
    """A data file as the program writes it (Shift-JIS text with CR LF line
    ends): its rows and its header's inputs. The readers read as the command
    line does: a regular file of at most 64 MiB, "-" being a file of that name.
    A file that cannot be opened raises OSError (FileNotFoundError,
    IsADirectoryError, PermissionError, ...) with errno and filename; one that
    is no regular file, too large or no FiberBridge data file, ValueError
    naming it (and the line)."""
    name = _inputs.path(path)
    return DataFile(name, _native.read_data_file(name))


def read_inputs(path) -> dict[str, str]:
    """An input set (`name = value` lines, as --save-inputs writes them): the
    texts by input name, in the file's order; pass it to run() or study().
    Read and refused as read_data_file says."""
    return dict(_native.read_inputs(_inputs.path(path)))


def read_summary(path) -> list[dict[str, _Any]]:
    """The rows of a study's summary.csv, one dict per run under the file's
    column names; numbers as int or float, an empty field as None. A shard's
    part (summary-shard-K-of-N.csv) reads the same, its first line, naming the
    study, left out: the runs of other shards are "not run". Read and refused
    as read_data_file says; a file that is no summary is a ValueError naming it."""
    return _tables.read_summary(path)


def to_frame(results):
    """A pandas DataFrame of a study: a row per run with the inputs that differ
    between the runs, its status ("finished", "refused", or "not finished" for
    the None of a stopped study's results), the figures and the refusal; rows
    from read_summary as they are. Needs pandas, which the rest of the module
    does not."""
    return _tables.runs_frame(results)


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
        self.metrics = {name: numpy.array([_math.nan if getattr(r, name) is None else getattr(r, name)
                                           for r in finished], dtype=float)
                        for name in _SCATTER_METRICS}

    def distribution(self, metric: str) -> dict[str, float]:
        """mean, sd, p05, p50 and p95 of a metric over the samples that have it."""
        values = [v for v in self.metrics[metric].tolist() if not _math.isnan(v)]
        return dict(zip(("mean", "sd", "p05", "p50", "p95"), _native.spread(values)))

    def share_meeting_margins(self, Jtip: _Optional[float] = None, sigma_fc: _Optional[float] = None, *,
                              Km: _Optional[float] = None, Em: _Optional[float] = None,
                              margins: tuple[float, float] = None) -> float:
        """The share of the finished samples whose PSH indices exceed both margins (see Run.psh)."""
        finished = [r for r in self.runs if r.ok and r.peak_stress is not None]
        meets = sum(1 for r in finished if r.psh(Jtip, sigma_fc, Km=Km, Em=Em, margins=margins).meets_margins)
        return meets / len(finished)

    def __repr__(self) -> str:
        return f"<fiberbridge.ScatterResult {len(self.runs)} samples, {self.refused} refused>"


def _distribution_text(name: str, value: _Any) -> str:
    if isinstance(value, str):
        return value
    try:
        kind, a, b = value
    except (TypeError, ValueError):
        raise TypeError(f"{name}: expected 'normal:MEAN:SD' or a tuple (kind, a, b), got {value!r}") from None
    return f"{kind}:{_inputs.text(name, a)}:{_inputs.text(name, b)}"


def scatter(inputs: _Optional[_Mapping[str, _Any]] = None, n: int = 64, seed: int = 1, client=None,
            jobs: _Optional[int] = None, **distributions: _Any) -> ScatterResult:
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
    inputs = _inputs.as_dict(inputs)
    _inputs.check_names([*distributions, *inputs])
    if isinstance(n, bool) or not isinstance(n, _numbers.Integral):
        raise TypeError(f"n: expected a whole number, got {n!r}")
    seed = _inputs.whole("seed", seed, 0, _inputs.MOST_SEED)
    base = _inputs.texts(inputs, {})
    drawn = [(name, _distribution_text(name, value)) for name, value in distributions.items()]
    samples = _native.scatter_samples(base, drawn, int(n), int(seed))
    runs = study([texts for texts, _ in samples], jobs=jobs, client=client)
    finished = [(r.Wcr.tolist(), r.sigma.tolist()) for r in runs if r.ok and len(r.Wcr) > 0]
    if not finished:
        first = next((r.refusal for r in runs if r.refusal), None)
        raise InputRefused(first.field if first else "", "no sample gave a run the model accepts" +
                           (f": {first.reason}" if first else ""))
    return ScatterResult(runs, [label for _, label in samples], _native.band(finished, base["division"]))


def pullout(lb: float, angle: float, slip, **inputs: _Any):
    """The pullout law's load (N) of one fiber of embedded length `lb` (mm) inclined
    by `angle` (degrees) at each slip (mm) of `slip`, in order as a test pulls it:
    a fiber pulled out or ruptured carries nothing after. The law is the one each
    fiber class of a run follows, bit for bit; `inputs` set its coefficients (A, B,
    ..., fp0, strengthReduction, Af, ...), the others keep their defaults. numpy in,
    numpy out: the result has the shape of `slip`. `lb`, `angle` and `slip` take
    numbers only: a text or a bool is a TypeError."""
    import numpy as np

    texts = _inputs.texts(None, inputs)
    lb, angle = _inputs.real("lb", lb), _inputs.real("angle", angle)
    given = np.asarray(slip) if isinstance(slip, np.ndarray) else np.asarray(slip, dtype=object)
    # A text or a bool would pass as a number through numpy; a slip is a length.
    if given.dtype.kind not in "iuf" and not all(isinstance(s, _numbers.Real) and not isinstance(s, bool)
                                                  for s in given.ravel()):
        raise TypeError(f"slip: expected a number or an array of numbers, got {slip!r:.60}")
    slips = given.astype(float)
    loads = _native.pullout(texts, lb, angle, slips.ravel().tolist())
    return np.asarray(loads).reshape(slips.shape)
