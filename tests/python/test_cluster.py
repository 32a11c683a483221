"""A Dask study goes out as many small tasks: workers that join late take work,
and a study that no worker serves ends at its timeout."""

import threading
import time

import pytest

import fiberbridge

distributed = pytest.importorskip("distributed")
pytestmark = pytest.mark.filterwarnings("ignore::DeprecationWarning")  # Debian's tornado, inside distributed


@pytest.fixture
def empty_cluster():
    with distributed.LocalCluster(n_workers=0, threads_per_worker=1, processes=False,
                                  dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            yield cluster, client


def test_workers_that_join_after_the_start_take_part_of_the_study(empty_cluster):
    cluster, client = empty_cluster
    runs = fiberbridge.grid(division=[300 + i for i in range(48)])
    calls = []
    # Every worker joins after the study has gone out.
    threading.Timer(0.3, cluster.scale, args=(6,)).start()
    with distributed.get_task_stream(client) as tasks:
        results = fiberbridge.study(runs, client=client, progress=lambda done, total: calls.append((done, total)),
                                    timeout=120)
    workers = {task["worker"] for task in tasks.data}
    assert len(workers) > 4, f"{len(tasks.data)} tasks on {len(workers)} workers"
    assert calls == [(k, 48) for k in range(1, 49)]
    local = fiberbridge.study(runs, jobs=1)
    assert all(a.sigma.tobytes() == b.sigma.tobytes() for a, b in zip(local, results))


def test_a_study_that_no_worker_serves_ends_at_its_timeout(empty_cluster):
    _, client = empty_cluster
    began = time.monotonic()
    with pytest.raises(fiberbridge.StudyTimedOut) as stopped:
        fiberbridge.study([{"division": 4}] * 3, client=client, timeout=1)
    assert 1 <= time.monotonic() - began < 5
    assert stopped.value.results == [None] * 3 and stopped.value.done == 0
    assert "did not end within 1 s" in str(stopped.value)
