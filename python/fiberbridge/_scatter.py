"""fiberbridge's scatter: inputs drawn from distributions, run as a study, and the band they give."""

import math as _math
import warnings as _warnings
from typing import Any as _Any, Mapping as _Mapping, Optional as _Optional

from . import InputRefused, Run, _inputs, _native, _tables, study


class ScatterResult:
    """A scatter of some inputs: the band of the finished samples' bridging stress and
    their metrics, as fiberbridge-cli --scatter gives them.

    Wcr (mm) holds the crack widths of the widest sample's steps; mean, sd, p05, p50 and p95
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
                        for name in _tables.FIGURES}

    def distribution(self, metric: str) -> dict[str, float]:
        """mean, sd, p05, p50 and p95 of a metric over the samples that have it."""
        values = [v for v in self.metrics[metric].tolist() if not _math.isnan(v)]
        return dict(zip(("mean", "sd", "p05", "p50", "p95"), _native.spread(values)))

    def share_meeting_margins(self, Jtip: _Optional[float] = None, sigma_fc: _Optional[float] = None, *,
                              Km: _Optional[float] = None, Em: _Optional[float] = None,
                              margins: tuple[float, float] = None, allow_unusual_matrix: bool = False) -> float:
        """The share of the finished samples whose PSH indices exceed both margins (see Run.psh);
        one warning counts the samples whose J'b the steps do not resolve."""
        finished = [r for r in self.runs if r.ok and r.peak_stress is not None]
        with _warnings.catch_warnings():
            _warnings.simplefilter("ignore")  # each sample's; counted below
            meets = sum(1 for r in finished if r.psh(Jtip, sigma_fc, Km=Km, Em=Em, margins=margins,
                                                      allow_unusual_matrix=allow_unusual_matrix).meets_margins)
        unresolved = sum(1 for r in finished if r.jb_resolved is False)
        if unresolved:
            _warnings.warn(f"J'b is not resolved in {unresolved} of {len(finished)} finished samples: "
                           "their energy indices depend on the division", stacklevel=2)
        return meets / len(finished)

    def band_frame(self):
        """The band as a pandas DataFrame under --band's headings (Wcr (mm), mean (MPa), ...); needs pandas."""
        pd = _tables.pandas()
        return pd.DataFrame({"Wcr (mm)": self.Wcr, "mean (MPa)": self.mean, "sd (MPa)": self.sd,
                             "p05 (MPa)": self.p05, "p50 (MPa)": self.p50, "p95 (MPa)": self.p95})

    def to_frame(self):
        """The samples as to_frame(results) gives a study's runs, with each drawn input a column; needs pandas."""
        return _tables.runs_frame(self.runs)

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
    n = _inputs.whole("n", n, 1, _native.most_scatter_samples)
    seed = _inputs.whole("seed", seed, 0, _inputs.MOST_SEED)
    base = _inputs.texts(inputs, {})
    drawn = [(name, _distribution_text(name, value)) for name, value in distributions.items()]
    samples = _native.scatter_samples(base, drawn, n, seed)
    runs = study([texts for texts, _ in samples], jobs=jobs, client=client)
    finished = [(r.Wcr.tolist(), r.sigma.tolist()) for r in runs if r.ok and len(r.Wcr) > 0]
    if not finished:
        first = next((r.refusal for r in runs if r.refusal), None)
        raise InputRefused(first.field if first else "", "no sample gave a run the model accepts" +
                           (f": {first.reason}" if first else ""))
    return ScatterResult(runs, [label for _, label in samples], _native.band(finished))


# Their home is the package, where the stub declares them and pickle finds them.
ScatterResult.__module__ = scatter.__module__ = "fiberbridge"
