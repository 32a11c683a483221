"""Results as tables: the rows of summary.csv as values, and pandas DataFrames where pandas is installed."""

from __future__ import annotations

import csv
import io
import re
from typing import Any, Optional

from . import _native
from ._inputs import path as _path

# summary.csv's headings by key, as the study library writes them.
HEADINGS = {key: heading for key, heading, _ in _native.summary_columns()}
# The figures of a curve, by their summary.csv keys, in its order.
FIGURES = ("peak_force", "peak_stress", "peak_width", "energy", "half_peak_width", "complementary_energy")
COLUMNS = ("step", "Wcr", "P", "sigma", "ratio")
_INTEGER = re.compile(r"-?[0-9]+")
_DECIMAL = re.compile(r"-?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][-+]?[0-9]+)?")


def value(text: str) -> Any:
    """A field's text as the number it writes, or the text; empty as None."""
    if text == "":
        return None
    if _INTEGER.fullmatch(text):
        return int(text)
    if _DECIMAL.fullmatch(text):
        return float(text)
    return text


def read_summary(path) -> list[dict[str, Any]]:
    name = _path(path)
    try:
        text = _native.read_file(name).decode("utf-8")
    except UnicodeDecodeError as e:
        raise ValueError(f"{name}: not a summary: byte {e.start} is not UTF-8 text") from None
    skipped = 0
    while text.startswith("# "):  # a shard's part: its lines of the study, the shard and the sweeps
        text, skipped = text[text.find("\n") + 1:] if "\n" in text else "", skipped + 1
    reader = csv.reader(io.StringIO(text, newline=""))
    rows = []
    try:
        for row in reader:
            if not rows and HEADINGS["status"] not in row:
                raise ValueError(f"{name}: not a summary: its header has no status column")
            if rows and len(row) != len(rows[0]):
                raise ValueError(f"{name}:{reader.line_num + skipped}: {len(row)} fields under a header of "
                                 f"{len(rows[0])}")
            rows.append(row)
    except csv.Error as e:
        raise ValueError(f"{name}:{reader.line_num + skipped}: {e}") from None
    if not rows:
        raise ValueError(f"{name}: not a summary: it holds no header")
    return [{column: value(field) for column, field in zip(rows[0], row)} for row in rows[1:]]


def pandas():
    try:
        import pandas
    except ImportError:
        raise ImportError("to_frame needs pandas (Debian: apt install python3-pandas); "
                          "the rest of fiberbridge works without it") from None
    return pandas


def rows_frame(curve) -> Any:
    if curve.step is None:
        raise ValueError("this run kept no rows (keep_rows=False); run it again for them")
    return pandas().DataFrame({name: getattr(curve, name) for name in COLUMNS})


def is_missing(cell: Any) -> bool:
    """Whether a design frame's cell is empty: None, NaN, or pandas' NA and NaT."""
    if cell is None:
        return True
    try:
        return bool(cell != cell)  # NaN, and NaT, are not themselves
    except (TypeError, ValueError):  # pandas' NA has no truth value
        return True


def _units() -> dict[str, str]:
    # Each column's unit by its key: the inputs' from the field table, the figures' from summary.csv's.
    units = {name: unit for name, unit, _, _, _ in _native.fields()}
    units.update({key: unit for key, _, unit in _native.summary_columns()})
    return {key: unit for key, unit in units.items() if unit}


def runs_frame(results, design=None) -> Any:
    pd = pandas()
    results = list(results)
    if all(isinstance(r, dict) for r in results):
        # read_summary's rows: under the keys a study's frame has.
        keys = {heading: key for key, heading in HEADINGS.items()}
        frame = pd.DataFrame(results).rename(columns=keys)
        frame.attrs["units"] = {c: u for c, u in _units().items() if c in frame.columns}
        return frame
    # The inputs that differ between the runs, then the figures;
    # None is a run that a stopped study did not finish.
    ended = [r for r in results if r is not None]
    names = [] if design is not None else [
        n for n in (ended[0].inputs if ended else {}) if any(r.inputs.get(n) != ended[0].inputs.get(n) for r in ended)]
    records = []
    for r in results:
        if r is None:
            records.append({"status": "not run"})
            continue
        refusal: Optional[BaseException] = getattr(r, "refusal", None)
        message = str(refusal) if refusal is not None else "; ".join(getattr(r, "warnings", [])) or None
        records.append({**{n: value(r.inputs.get(n, "")) for n in names},
                        "status": "finished" if refusal is None else "refused",
                        **{f: getattr(r, f) for f in FIGURES},
                        "message": message})
    frame = pd.DataFrame.from_records(records, columns=[*names, "status", *FIGURES, "message"])
    if design is not None:
        if len(design) != len(frame):
            raise ValueError(f"design: {len(design)} rows for {len(frame)} runs; give the frame the study ran")
        frame.index = design.index
        frame = pd.concat([design, frame], axis=1)
    frame.attrs["units"] = {c: u for c, u in _units().items() if c in frame.columns}
    return frame
