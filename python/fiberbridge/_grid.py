"""A study's grid made run by run from its index, as the command line's --sweep makes it."""

from __future__ import annotations

from collections.abc import Sequence
from typing import Any, Union, overload


class Grid(Sequence):
    """Every combination of the swept values over the base inputs, the first
    sweep varying slowest. Run i is made when it is asked for, so a grid of
    millions of runs costs the memory of its sweeps."""

    def __init__(self, base: dict[str, Any], sweeps: dict[str, list[Any]], size: int):
        self._base = base
        self._names = list(sweeps)
        self._values = [sweeps[n] for n in self._names]
        self._size = size

    def __len__(self) -> int:
        return self._size

    @overload
    def __getitem__(self, index: int) -> dict[str, Any]: ...
    @overload
    def __getitem__(self, index: slice) -> list[dict[str, Any]]: ...

    def __getitem__(self, index: Union[int, slice]) -> Union[dict[str, Any], list[dict[str, Any]]]:
        if isinstance(index, slice):
            return [self[i] for i in range(*index.indices(self._size))]
        i = index.__index__()
        if i < 0:
            i += self._size
        if not 0 <= i < self._size:
            raise IndexError(f"run {index} of a grid of {self._size} runs")
        # Mixed radix: the last sweep's pick is the last digit.
        run = dict(self._base)
        picks = []
        for values in reversed(self._values):
            i, pick = divmod(i, len(values))
            picks.append(pick)
        for name, values, pick in zip(self._names, self._values, reversed(picks)):
            run[name] = values[pick]
        return run

    def __eq__(self, other: object) -> bool:
        if isinstance(other, (str, bytes)) or not isinstance(other, Sequence):
            return NotImplemented
        return len(self) == len(other) and all(a == b for a, b in zip(self, other))

    __hash__ = None  # type: ignore[assignment]

    def __repr__(self) -> str:
        sweeps = " × ".join(f"{n} ({len(v)})" for n, v in zip(self._names, self._values))
        return f"<Grid of {self._size} runs: {sweeps}>"
