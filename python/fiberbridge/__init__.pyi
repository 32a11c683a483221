# The types of the fiberbridge package, for type checkers and editors.
import os
from typing import Any, Callable, Iterable, Mapping, NamedTuple, Optional, Sequence, Union, overload

import numpy as np
import numpy.typing as npt

_Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]

__version__: str
__all__: list[str]

class Field(NamedTuple):
    name: str
    unit: str
    precision: str
    meaning: str
    default: str

class InputRefused(ValueError):
    field: str
    reason: str
    def __init__(self, field: str, reason: str) -> None: ...

class StudyInterrupted(KeyboardInterrupt):
    results: list[Optional[Run]]
    done: int
    def __init__(self, message: str, results: list[Optional[Run]]) -> None: ...

class StudyTimedOut(TimeoutError):
    results: list[Optional[Run]]
    done: int
    def __init__(self, message: str, results: list[Optional[Run]]) -> None: ...

class _Curve:
    inputs: dict[str, str]
    # A curve's rows and figures always exist, but for two cases that a program
    # knows it made: a study run with keep_rows=False keeps no rows, and a refused
    # run of a study (its `refusal` set) has neither rows nor figures; both are None.
    step: npt.NDArray[np.int16]
    Wcr: npt.NDArray[np.float64]
    P: npt.NDArray[np.float64]
    sigma: npt.NDArray[np.float64]
    ratio: npt.NDArray[np.float64]
    peak_force: float
    peak_stress: float
    peak_width: float
    energy: float
    half_peak_width: Optional[float]
    complementary_energy: float
    def __init__(self, inputs: dict[str, str], result: dict[str, Any]) -> None: ...
    def to_csv(self, path: _Path) -> None: ...
    def rms(self, measured_w: npt.ArrayLike, measured_sigma: npt.ArrayLike) -> float: ...
    def to_frame(self) -> Any: ...

class Run(_Curve):
    refusal: Optional[InputRefused]
    warnings: list[str]
    def __init__(self, inputs: dict[str, str], result: dict[str, Any]) -> None: ...
    @property
    def values(self) -> dict[str, float]: ...
    def tension_law(self, ft: Optional[float] = None, Gf: Optional[float] = None) -> tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]]: ...
    def beam(self, ft: float, Gf: float, Ec: float,
             size: tuple[float, float, float, float] = ...) -> dict[str, Any]: ...
    @property
    def ok(self) -> bool: ...
    @property
    def jb_resolved(self) -> Optional[bool]: ...
    @property
    def jb_resolution(self) -> Optional[str]: ...
    def write_data_file(self, path: _Path) -> None: ...
    def psh(self, Jtip: Optional[float] = None, sigma_fc: Optional[float] = None, *, Km: Optional[float] = None,
            Em: Optional[float] = None, margins: Optional[tuple[float, float]] = None,
            allow_unusual_matrix: bool = False) -> PshIndices: ...

class PshIndices(NamedTuple):
    energy: float
    strength: float
    meets_margins: bool

PSH_MARGINS: tuple[float, float]
PSH_MARGINS_SOURCE: str
def crack_tip_toughness(Km: float, Em: float) -> float: ...

class ScatterResult:
    runs: list[Run]
    labels: list[str]
    refused: int
    Wcr: npt.NDArray[np.float64]
    mean: npt.NDArray[np.float64]
    sd: npt.NDArray[np.float64]
    p05: npt.NDArray[np.float64]
    p50: npt.NDArray[np.float64]
    p95: npt.NDArray[np.float64]
    metrics: dict[str, npt.NDArray[np.float64]]
    def distribution(self, metric: str) -> dict[str, float]: ...
    def band_frame(self) -> Any: ...
    def to_frame(self) -> Any: ...
    def share_meeting_margins(self, Jtip: Optional[float] = None, sigma_fc: Optional[float] = None, *,
                              Km: Optional[float] = None, Em: Optional[float] = None,
                              margins: Optional[tuple[float, float]] = None,
                              allow_unusual_matrix: bool = False) -> float: ...

def scatter(inputs: Optional[Mapping[str, Any]] = None, n: int = 64, seed: int = 1, client: Any = None,
            jobs: Optional[int] = None, **distributions: Any) -> ScatterResult: ...

class DataFile(_Curve):
    path: str
    calculated: str
    total_fiber: float
    fiber_number_coefficient: float
    def __init__(self, path: str, result: dict[str, Any]) -> None: ...

class FitResult:
    inputs: dict[str, float]
    intervals: dict[str, tuple[float, float]]
    standard_errors: dict[str, Optional[float]]
    correlation: dict[tuple[str, str], float]
    rms_before: Optional[float]
    rms_after: Optional[float]
    pullout_rms_before: Optional[float]
    pullout_rms_after: Optional[float]
    beam_rms_before: Optional[float]
    beam_rms_after: Optional[float]
    warnings: list[str]
    notes: list[str]
    runs: int
    seconds: float
    report: dict[str, Any]
    basins: list[dict[str, Any]]
    chi_square_per_dof: Optional[float]
    adequacy: Optional[dict[str, Any]]
    outliers: list[dict[str, Any]]
    texts: dict[str, str]
    run: Run
    success: bool
    message: str
    nfev: int
    x: dict[str, float]
    residuals: npt.NDArray[np.float64]
    aic: float
    bic: float
    def __init__(self, result: dict[str, Any], curves: Sequence[tuple[Any, ...]] = ...,
                 pullouts: Sequence[tuple[Any, ...]] = ...) -> None: ...
    def report_text(self) -> str: ...
    def plot(self, ax: Any = None) -> Any: ...

def fields() -> list[Field]: ...
def defaults() -> dict[str, str]: ...
def run(inputs: Optional[Mapping[str, Any]] = None, **fields: Any) -> Run: ...
class Grid(Sequence[dict[str, Any]]):
    def __len__(self) -> int: ...
    @overload
    def __getitem__(self, index: int) -> dict[str, Any]: ...
    @overload
    def __getitem__(self, index: slice) -> list[dict[str, Any]]: ...
def grid(base: Optional[Mapping[str, Any]] = None, *, allow_large: bool = False,
         **sweeps: Iterable[Any]) -> Grid: ...
def study(runs: Iterable[Mapping[str, Any]], jobs: Optional[int] = None, client: Any = None, *,
          progress: Optional[Callable[[int, int], object]] = None, keep_rows: bool = True,
          timeout: Optional[float] = None) -> list[Run]: ...
def submit_study(runs: Iterable[Mapping[str, Any]], client: Any, *, keep_rows: bool = True) -> list[Any]: ...
def fit(measured_w: Optional[npt.ArrayLike] = None, measured_sigma: Optional[npt.ArrayLike] = None,
        free: Optional[Mapping[str, tuple[float, float]]] = None, base: Optional[Mapping[str, Any]] = None,
        starts: Optional[int] = None, seed: Optional[int] = None, jobs: Optional[int] = None,
        measured_sd: Optional[npt.ArrayLike] = None,
        curves: Optional[Sequence[Mapping[str, Any]]] = None,
        pullouts: Optional[Sequence[Mapping[str, Any]]] = None, robust: bool = False,
        progress: Optional[Callable[[dict[str, Any]], object]] = None,
        beams: Optional[Sequence[Mapping[str, Any]]] = None, ft: Optional[float] = None,
        Gf: Optional[float] = None, Ec: Optional[float] = None,
        beam_size: tuple[float, float, float, float] = (150, 150, 500, 25),
        prior: Optional[Union[FitResult, _Path]] = None) -> FitResult: ...
@overload
def pullout(lb: float, angle: float, slip: float, **inputs: Any) -> float: ...
@overload
def pullout(lb: float, angle: float, slip: npt.ArrayLike, **inputs: Any) -> npt.NDArray[np.float64]: ...
def read_data_file(path: _Path) -> DataFile: ...
def read_inputs(path: _Path) -> dict[str, str]: ...
def read_summary(path: _Path) -> list[dict[str, Any]]: ...
def read_measured(path: _Path) -> dict[str, Any]: ...
def read_pullout(path: _Path) -> dict[str, Any]: ...
def read_beam_test(path: _Path) -> dict[str, Any]: ...
def to_frame(results: Iterable[Any], design: Any = None) -> Any: ...
