"""Python's values as the engine's input texts, checked as Python checks arguments."""

from __future__ import annotations

import math
import numbers
import os
from collections import namedtuple
from collections.abc import Iterable, Mapping
from typing import Any, Optional

from . import _native

Field = namedtuple("Field", "name unit precision meaning default")
Field.__doc__ = ("An input: its name, unit, precision (single, int16, double; text for the orientation preset), "
                 "meaning and default text.")

FIELDS = [Field(*f) for f in _native.fields()]
NAMES = {f.name for f in FIELDS}
_WHOLE = {f.name for f in FIELDS if f.precision == "int16"}


def defaults() -> dict[str, str]:
    return {f.name: f.default for f in FIELDS}


def check_names(names: Iterable[str], where: str = "") -> None:
    unknown = sorted(set(names) - NAMES)
    if unknown:
        raise TypeError(f"{where}unknown input name(s): {', '.join(map(str, unknown))} (see fiberbridge.fields())")


def text(name: str, value: Any) -> str:
    """A text as the window's box reads it; a number strictly: a whole-number
    input takes no fraction, and nothing takes NaN, infinity or a bool."""
    if isinstance(value, str):
        return value
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name}: expected a number or a text, got {type(value).__name__}")
    if isinstance(value, numbers.Integral):
        return str(int(value))
    value = float(value)
    if not math.isfinite(value):
        raise ValueError(f"{name}: {value} is not a finite number")
    if name in _WHOLE:
        if not value.is_integer():
            raise ValueError(f"{name}: {value!r} is not a whole number")
        return str(int(value))
    # The shortest text that reads back to the same double, as the command line would be given it.
    return repr(value)


def as_dict(inputs: Optional[Mapping[str, Any]], what: str = "inputs") -> dict[str, Any]:
    """A mapping (a dict, a pandas Series, ...) as a dict; None as no inputs."""
    if inputs is None:
        return {}
    if not isinstance(inputs, Mapping) and not (hasattr(inputs, "keys") and hasattr(inputs, "__getitem__")):
        raise TypeError(f"{what}: expected a mapping of input names to values, got {type(inputs).__name__}")
    return {name: inputs[name] for name in inputs.keys()}


def given_texts(inputs: Optional[Mapping[str, Any]], fields: Mapping[str, Any]) -> dict[str, str]:
    """The texts of the inputs given, checked; the others keep their defaults."""
    given = as_dict(inputs)
    given.update(fields)
    check_names(given)
    return {name: text(name, value) for name, value in given.items()}


def texts(inputs: Optional[Mapping[str, Any]], fields: Mapping[str, Any]) -> dict[str, str]:
    """Every input's text: the defaults with the given ones over them."""
    return {**defaults(), **given_texts(inputs, fields)}


def sweep_values(name: str, value: Any) -> list:
    """The values of one swept input: a sequence, never a text's characters."""
    if isinstance(value, (str, bytes)) or not isinstance(value, Iterable):
        raise TypeError(f"{name}: a sweep takes a sequence of values, got {type(value).__name__} "
                        f"(a fixed value goes in base)")
    return list(value)


def whole(name: str, value: Any, minimum: int, maximum: int) -> int:
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name}: expected a whole number, got {type(value).__name__}")
    if not minimum <= value <= maximum:
        raise ValueError(f"{name}: must lie between {minimum} and {maximum}, got {value}")
    return int(value)


# The command line's bounds: threads of a study or a fit, and the starts of a fit.
MOST_JOBS = 4096
MOST_FIT_STARTS = 1000
MOST_SEED = 2**64 - 1


def real(name: str, value: Any) -> float:
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name}: expected a number, got {type(value).__name__}")
    return float(value)


def path(value: Any) -> str:
    """A file name as the system takes it; Python's own rule for a NUL in it."""
    name = os.fsdecode(os.fspath(value))
    if "\0" in name:
        raise ValueError(f"{name!r}: a file name cannot hold a NUL character")
    return name
