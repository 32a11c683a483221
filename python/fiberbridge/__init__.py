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


import math as _math
import numbers as _numbers
import sys as _sys
import warnings as _warnings
from collections import namedtuple as _namedtuple
from typing import Any as _Any, Callable as _Callable, Iterable as _Iterable, Mapping as _Mapping, \
    Optional as _Optional, Sequence as _Sequence

from . import _grid, _inputs, _native, _study, _tables
from ._grid import Grid
from ._inputs import Field

__version__: str = _native.version

__all__ = [
    "InputRefused", "StudyInterrupted", "StudyTimedOut", "Field", "Run", "DataFile", "FitResult",
    "defaults", "fields", "run", "grid", "Grid", "study", "submit_study", "fit", "pullout",
    "read_data_file", "read_inputs", "read_summary", "read_measured", "read_pullout", "read_beam_test", "to_frame",
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


_DEFAULT_TEXTS = _inputs.defaults()


def _same_bits(a, b) -> bool:
    # NaN equals NaN, and 0.0 differs from -0.0: what the model wrote, bit for bit.
    import numpy as np

    x, y = np.asarray(a), np.asarray(b)
    if x.shape != y.shape:
        return False
    if x.dtype.kind == "f" and y.dtype.kind == "f":
        return x.tobytes() == y.astype(x.dtype).tobytes()
    return bool(np.all(x == y))


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
    psh() gives the indices; jb_resolved whether the steps resolve J'b (a peak
    in the first three steps, or J'b moving by more than 2 % at twice the
    division, does not) and jb_resolution which division does. `inputs` holds
    the texts the run read. A refused run of a study has `refusal` set and no rows.
    """

    def __init__(self, inputs: dict[str, str], result: dict):
        super().__init__(inputs, result)
        refusal = result["refusal"]
        self.refusal = InputRefused(*refusal) if refusal else None
        self.warnings = list(result["warnings"])

    @property
    def inputs(self) -> dict[str, str]:
        """The texts the run read, every input."""
        return {**_DEFAULT_TEXTS, **self._given}

    @inputs.setter
    def inputs(self, texts: dict[str, str]) -> None:
        # Only what differs from the defaults: a study of a million runs holds a million of these.
        self._given = {k: v for k, v in texts.items() if _DEFAULT_TEXTS.get(k) != v}

    @property
    def values(self) -> dict[str, float]:
        """The numbers the run read from its texts, in each input's precision ("1,5" is 1.0, as the window
        reads it; a single-precision input's float as stored): the run's inputs as numbers."""
        return _native.values(self.inputs)

    @property
    def ok(self) -> bool:
        return self.refusal is None

    def _jb_check(self):
        # Runs the model again at finer divisions up to the peak, once.
        if getattr(self, "_jb", None) is None:
            if not self.ok or self.step is None or len(self.step) == 0:
                return None
            self._jb = _native.jb_resolution(self.inputs, self.step, self.Wcr, self.P, self.sigma, self.ratio)
        return self._jb

    @property
    def jb_resolved(self) -> _Optional[bool]:
        """Whether the steps resolve J'b; None without rows (a refused run, or keep_rows=False)."""
        check = self._jb_check()
        return None if check is None else check[0]

    @property
    def jb_resolution(self) -> _Optional[str]:
        """"resolved at division 30", or "not resolved at division 10: the peak lies at step 1;
        division 640 resolves it"; None without rows."""
        check = self._jb_check()
        return None if check is None else check[1]

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

    def tension_law(self, ft: _Optional[float] = None, Gf: _Optional[float] = None):
        """The composite's tension law as fiberbridge-cli --export writes it: (w in mm, stress in MPa)
        arrays, the bridging stress plus, given the matrix's ft (MPa) and Gf (N/mm), its Hordijk softening."""
        if (ft is None) != (Gf is None):
            raise TypeError("ft and Gf go together: the matrix's softening")
        if ft is not None:
            _positive("ft", ft), _positive("Gf", Gf)
        return _native.tension_law(*self._rows(), 0.0 if ft is None else float(ft), 0.0 if Gf is None else float(Gf))

    def beam(self, ft: float, Gf: float, Ec: float, size: tuple[float, float, float, float] = (150, 150, 500, 25)) -> dict:
        """The EN 14651 notched beam of this run's tension law with the matrix (ft MPa, Gf N/mm) and the
        composite's modulus Ec (GPa), as fiberbridge-cli --beam computes it: "fL" and "fR" (fR1-fR4, MPa),
        the "cmod" (mm) and "load" (kN) curve, and the fib Model Code 2010 "frc_class" of these mean
        values (None when there is none), "structural_use" and the simplified laws ("rigid_plastic_ftu",
        "linear_fts", "linear_ftu" at "linear_wu" mm). `size`: width, depth, span and notch in mm."""
        _positive("Ec", Ec)
        w, sigma = self.tension_law(ft, Gf)
        return _native.beam(list(w), list(sigma), float(Ec), tuple(float(x) for x in size))

    def psh(self, Jtip: _Optional[float] = None, sigma_fc: _Optional[float] = None, *,
            Km: _Optional[float] = None, Em: _Optional[float] = None,
            margins: tuple[float, float] = None, allow_unusual_matrix: bool = False) -> "PshIndices":
        """The pseudo strain-hardening indices of this curve against a matrix, as the
        command line's --Jtip (or --Km with --Em), --sigma-fc and --psh-margins give them:
        energy = J'b/Jtip with Jtip in J/m2 (or Km in MPa m^0.5 and Em in GPa, Jtip =
        Km^2/Em), strength = sigma0/sigma_fc with sigma_fc in MPa, and whether both
        exceed `margins` (energy, strength; default PSH_MARGINS). A matrix outside Em
        1-100 GPa, Km 0.05-5 MPa m^0.5, Jtip 0.5-500 J/m2 or sigma_fc 0.5-20 MPa is a
        ValueError naming the likely slip of unit, unless allow_unusual_matrix."""
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
        if self.jb_resolved is False:
            _warnings.warn(f"J'b {self.jb_resolution}: the energy index depends on the division", stacklevel=2)
        if not allow_unusual_matrix:
            given = {"Jtip": Jtip, "Km": Km, "Em": Em, "sigma_fc": sigma_fc}
            for name, value in given.items():
                if value is not None:
                    _native.check_matrix(name, float(value))
        return PshIndices(*_native.psh(self.complementary_energy, self.peak_stress, jtip, float(sigma_fc),
                                       float(energy_margin), float(strength_margin)))

    def __repr__(self) -> str:
        # The inputs that tell this run from the defaults, the first few of them.
        shown = [f"{k}={v}" for k, v in self._given.items()]
        inputs = ", ".join(shown[:6]) + (f", ... ({len(shown)} inputs)" if len(shown) > 6 else "")
        inputs = inputs or "the defaults"
        if self.refusal:
            return f"<fiberbridge.Run {inputs}: refused: {self.refusal.reason}>"
        if self.step is None:
            return f"<fiberbridge.Run {inputs}: without rows, peak stress {self.peak_stress:.4f} MPa>"
        return f"<fiberbridge.Run {inputs}: {len(self.step)} steps, peak stress {self.peak_stress:.4f} MPa>"

    def __eq__(self, other: object) -> bool:
        """Runs of the same inputs with the same rows (bit for bit) and figures, or refused alike."""
        if not isinstance(other, Run):
            return NotImplemented
        if self.inputs != other.inputs or repr(self.refusal) != repr(other.refusal):
            return False
        for name in (*_tables.COLUMNS, *_tables.FIGURES):
            a, b = getattr(self, name), getattr(other, name)
            if (a is None) != (b is None):
                return False
            if a is not None and not _same_bits(a, b):
                return False
        return True

    __hash__ = None  # type: ignore[assignment]


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
    for warning in result.warnings:  # a text cut by the window's reading, a doubtful orientation
        _warnings.warn(warning, stacklevel=2)
    return result


def grid(base: _Optional[_Mapping[str, _Any]] = None, *, allow_large: bool = False,
         **sweeps: _Iterable[_Any]) -> _grid.Grid:
    """Every combination of the swept values over `base`, the first keyword varying slowest,
    as the command line's --sweep options make them (no two runs with one data file name).
    Each sweep is a sequence; a text or a single number raises TypeError (a fixed value goes
    in `base`). The grid is a sequence whose runs are made as they are asked for, so it holds
    only its sweeps; more than 10,000,000 runs need allow_large=True, as a likely typo."""
    base = _inputs.as_dict(base, "base")
    names = list(sweeps)
    _inputs.check_names([*names, *base])
    values = {n: _inputs.sweep_values(n, sweeps[n]) for n in names}
    size = _native.grid(_inputs.texts(base, {}), [(n, [_inputs.text(n, v) for v in values[n]]) for n in names],
                        allow_large)
    return _grid.Grid(base, values, size)


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
    With keep_rows=False a run keeps its figures, not its rows: about 0.7 KiB
    a run, so that a study of a million runs fits in memory. `runs` may be any
    iterable, a grid() or a generator among them.

    Ctrl-C stops the study within a second with StudyInterrupted (a
    KeyboardInterrupt), the timeout with StudyTimedOut (a TimeoutError);
    the `results` of either keep every run that had finished, and the runs
    in flight are lost.
    """
    given = _given_runs(runs)
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


def _given_runs(runs) -> list[dict[str, str]]:
    if hasattr(runs, "columns") and hasattr(runs, "to_dict"):
        # A design frame: a run per row. Its other columns (a specimen's id, a
        # note) are the user's, kept for to_frame(results, design); an empty cell
        # (NaN, None) is the input's default, as an omitted keyword is.
        other = [c for c in runs.columns if c not in _inputs.NAMES]
        if other:
            _warnings.warn(f"the design's columns {', '.join(map(str, other))} are no inputs: the runs leave them out "
                           f"(to_frame(results, design) keeps them)", stacklevel=3)
        records = runs[[c for c in runs.columns if c in _inputs.NAMES]].to_dict("records")
        return [_inputs.given_texts({k: v for k, v in r.items() if not _tables.is_missing(v)}, {}) for r in records]
    return [_inputs.given_texts(r, {}) for r in runs]


def _study_task(given: list[dict[str, str]], keep_rows: bool) -> list[Run]:
    # On a Dask worker: a task's runs, handed back as Runs.
    defaults = _inputs.defaults()
    return [Run({**defaults, **t}, r) for t, r in zip(given, _study.run_task(given, keep_rows))]


def submit_study(runs: _Iterable[_Mapping[str, _Any]], client, *, keep_rows: bool = True) -> list:
    """Hands a study to a dask.distributed `client` and returns its futures at
    once, so that distributed.progress(futures) and as_completed(futures) can
    follow it: one future per task of a few runs (as study() splits them), in
    input order, each giving its runs as a list of Run in input order; so
    `[run for f in futures for run in f.result()]` is what study(runs,
    client=client) returns. A refused run has its `refusal` set; cancel the
    futures to stop the study."""
    given = _given_runs(runs)
    size = _study.runs_per_task(len(given))
    starts = range(0, len(given), size)
    return client.map(_study_task, [given[i:i + size] for i in starts], [keep_rows] * len(starts), pure=False)


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
    Read and refused as read_data_file says. A warning that the fit which
    saved the set gave of its values ("# warning: ..." lines, such as an input
    the curves did not decide) is repeated as a UserWarning."""
    name = _inputs.path(path)
    values, saved = _native.read_inputs(name)
    for text in saved:
        _warnings.warn(f"{text} (saved in {name})", stacklevel=2)
    return dict(values)


def read_summary(path) -> list[dict[str, _Any]]:
    """The rows of a study's summary.csv, one dict per run under the file's
    column names; numbers as int or float, an empty field as None. A shard's
    part (summary-shard-K-of-N.csv) reads the same, its lines naming the study,
    the shard and the sweeps left out: it holds the shard's own runs. Read and refused
    as read_data_file says; a file that is no summary is a ValueError naming it."""
    return _tables.read_summary(path)


def to_frame(results, design=None):
    """A pandas DataFrame of a study: a row per run with the inputs that differ
    between the runs, its status ("finished", "refused", or "not run" for the
    None of a stopped study's results), the figures and the message (the
    refusal, or the run's warnings), named as the keys of summary.csv's columns
    (read_summary's rows get the same names), with each column's unit in
    `frame.attrs["units"]`. Given the `design` frame the study ran, the result
    keeps its index and all its columns (ids and notes too) in place of the
    varied inputs, for joins. Needs pandas, which the rest of the module does not."""
    return _tables.runs_frame(results, design)


def _floats(values) -> list[float]:
    # The module refuses NaN and infinity, naming the curve and the point.
    return [float(v) for v in values]


# Defined apart, on the runs above.
from ._fit import FitResult, fit, pullout, read_beam_test, read_measured, read_pullout  # noqa: E402
from ._scatter import ScatterResult, scatter  # noqa: E402
