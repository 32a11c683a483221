"""Ctrl-C reaches a run, a study and a fit within a second, as in any Python
loop, and a study keeps the runs that had finished."""

import signal
import subprocess
import sys
import time

import pytest

LONG_WORK = {
    # Each call alone takes seconds, so only a stop inside it answers in time.
    "run": "fiberbridge.run(division=16000)",
    "study": "fiberbridge.study([{'division': 1500 + i} for i in range(300)], jobs=2, "
             "progress=lambda done, total: done == 1 and print('first', flush=True))",
    "fit": "fiberbridge.fit([0.1, 0.5, 1.0], [1.0, 0.8, 0.5], free={'A': (1, 8), 'D': (0.1, 1.5)}, "
           "base={'division': 3000}, starts=64)",
}

SCRIPT = """
import sys, fiberbridge
print('start', flush=True)
try:
    {work}
except fiberbridge.StudyInterrupted as e:
    finished = [r for r in e.results if r is not None]
    assert all(r.ok and len(r.step) == 2 * int(r.inputs['division']) + 1 for r in finished)
    print('kept', e.done, len(finished), flush=True)
    sys.exit(130)
except KeyboardInterrupt:
    sys.exit(130)
print('ended before the signal', flush=True)
"""


@pytest.mark.parametrize("call", sorted(LONG_WORK))
def test_ctrl_c_ends_the_call_within_a_second(call):
    child = subprocess.Popen([sys.executable, "-c", SCRIPT.format(work=LONG_WORK[call])], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "start\n"
        if call == "study":
            assert child.stdout.readline() == "first\n"  # a run has finished
        time.sleep(0.3)  # well inside the work
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        child.wait(timeout=30)
        late = time.monotonic() - sent
    finally:
        child.kill()
    out, err = child.communicate()
    assert child.returncode == 130, out + err
    assert late < 1.0, f"{call} took {late:.2f} s to stop"
    if call == "study":
        _, done, kept = out.split()
        assert int(done) == int(kept) > 0  # the runs finished before the signal are kept
