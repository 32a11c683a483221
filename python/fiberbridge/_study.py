"""A study's runs on local threads or as many small Dask tasks, handed back as they end."""

from __future__ import annotations

import math
import time
from typing import Callable, Optional

from . import _native

# Dask tasks: about this many per study, each of at least one run and at most
# _MOST_RUNS_PER_TASK, so that workers that join later still find work.
_TASKS_PER_STUDY = 200
_MOST_RUNS_PER_TASK = 50


def runs_per_task(count: int) -> int:
    return max(1, min(_MOST_RUNS_PER_TASK, math.ceil(count / _TASKS_PER_STUDY)))


def run_task(given: list[dict[str, str]], keep_rows: bool) -> list[dict]:
    # On a Dask worker: the task's runs one after another, on the worker's class table.
    return _native.run_many(given, 1, None, keep_rows)


class Interrupted(Exception):
    """The study stopped early; `ended` maps the index of every run that ended to its result."""

    def __init__(self, ended: dict[int, dict]):
        super().__init__()
        self.ended = ended


def run_all(given: list[dict[str, str]], jobs: Optional[int], client, keep_rows: bool,
            progress: Optional[Callable[[int, int], object]], timeout: Optional[float]) -> list[dict]:
    """Every run's result in input order. Raises Interrupted (from the
    KeyboardInterrupt or TimeoutError that stopped it) with what had ended."""
    ended: dict[int, dict] = {}
    total = len(given)

    def on_ended(index: int, result: dict) -> None:
        ended[index] = result
        if progress is not None:
            progress(len(ended), total)

    try:
        if client is None:
            _native.run_many(given, jobs, on_ended, keep_rows)
        else:
            _on_cluster(client, given, keep_rows, on_ended, timeout)
    except (KeyboardInterrupt, TimeoutError) as e:
        raise Interrupted(ended) from e
    return [ended[i] for i in range(total)]


def _on_cluster(client, given, keep_rows, on_ended, timeout) -> None:
    from distributed import wait

    size = runs_per_task(len(given))
    starts = range(0, len(given), size)
    futures = client.map(run_task, [given[i:i + size] for i in starts], [keep_rows] * len(starts), pure=False)
    first = dict(zip(futures, starts))
    deadline = None if timeout is None else time.monotonic() + timeout
    pending = set(futures)
    try:
        while pending:
            left = None if deadline is None else deadline - time.monotonic()
            if left is not None and left <= 0:
                raise TimeoutError(f"the study did not end within {timeout} s "
                                   f"({len(futures) - len(pending)} of {len(futures)} tasks ended)")
            try:
                done, pending = wait(pending, timeout=left, return_when="FIRST_COMPLETED")
            except TimeoutError:
                continue  # the deadline check above says so
            for future in done:
                for k, result in enumerate(future.result()):
                    on_ended(first[future] + k, result)
    finally:
        if pending:
            client.cancel(list(pending))
