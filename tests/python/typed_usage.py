"""fiberbridge as a typed script or notebook uses it: arrays in where arrays go,
numbers out where numbers always come. The suite checks it under mypy --strict."""

import numpy as np
import numpy.typing as npt

import fiberbridge


def doubled_widths() -> npt.NDArray[np.float64]:
    run = fiberbridge.run(Vf=0.015, division=10)
    return run.Wcr * 2


def rms_of(run: fiberbridge.Run) -> float:
    return run.rms(np.array([0.1, 0.2]), [1.0, 0.5])


def fitted_a(w: npt.NDArray[np.float64], sigma: npt.NDArray[np.float64]) -> float:
    result = fiberbridge.fit(measured_w=w, measured_sigma=sigma, free={"A": (1.0, 8.0)}, starts=1)
    low, high = result.intervals["A"]
    residuals: npt.NDArray[np.float64] = result.residuals
    print(result.success, result.message, result.nfev, result.aic, low, high, float(residuals.mean()))
    return result.x["A"]


def peak_stresses() -> list[float]:
    runs = fiberbridge.grid(kxy=[0.5, 1.0], base={"division": 4})
    return [r.peak_stress * 1.0 for r in fiberbridge.study(runs, keep_rows=False) if r.ok]


def loads() -> tuple[npt.NDArray[np.float64], float]:
    many = fiberbridge.pullout(3.0, 0.0, np.linspace(0, 1, 5))
    one: float = fiberbridge.pullout(3.0, 0.0, 0.5)
    return many, one
