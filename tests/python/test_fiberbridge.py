"""The fiberbridge Python module against the command line, locally and on a Dask cluster."""

import os
import pathlib
import subprocess

import numpy as np
import pytest

import fiberbridge

REFERENCE = pathlib.Path(os.environ.get("FIBERBRIDGE_REFERENCE_DIR", pathlib.Path(__file__).parents[1] / "reference"))
CLI = os.environ.get("FIBERBRIDGE_CLI", "fiberbridge-cli")


def read_inputs(path):
    inputs = {}
    for line in path.read_text().splitlines():
        body = line.split("#", 1)[0].strip()
        if body:
            name, value = (part.strip() for part in body.split("=", 1))
            inputs[name] = value
    return inputs


def same_bits(a, b):
    return a.dtype == b.dtype and a.tobytes() == b.tobytes()


@pytest.mark.parametrize("name", sorted(p.stem for p in REFERENCE.glob("*.inputs")))
def test_each_reference_set_gives_the_command_lines_data_file_and_csv(name, tmp_path):
    r = fiberbridge.run(read_inputs(REFERENCE / f"{name}.inputs"))
    r.write_data_file(tmp_path / "run.p-d")
    r.to_csv(tmp_path / "run.csv")
    written = (tmp_path / "run.p-d").read_bytes()
    assert written[written.index(b"\n") + 1:] == (REFERENCE / f"{name}.p-d").read_bytes()
    assert (tmp_path / "run.csv").read_bytes() == (REFERENCE / f"{name}.csv").read_bytes()


def test_numbers_read_as_their_shortest_texts_and_errors_map_to_exceptions():
    by_number = fiberbridge.run(Vf=0.015, kxy=2, division=20)
    by_text = fiberbridge.run({"Vf": "0.015", "kxy": "2"}, division="20")
    for column in ("step", "Wcr", "P", "sigma", "ratio"):
        assert same_bits(getattr(by_number, column), getattr(by_text, column)), column
    assert by_number.inputs["Vf"] == "0.015"

    with pytest.raises(TypeError, match="Vff"):
        fiberbridge.run(Vff=0.01)
    with pytest.raises(fiberbridge.InputRefused) as refused:
        fiberbridge.run(Af=0)
    assert refused.value.field == "Af"
    cli = subprocess.run([CLI, "-o", os.devnull, "--Af", "0"], capture_output=True, text=True)
    assert cli.stderr == f"fiberbridge-cli: {refused.value.reason}\n"


@pytest.mark.filterwarnings("ignore::DeprecationWarning")  # Debian's tornado, inside distributed
def test_a_study_on_a_dask_cluster_gives_the_local_results_in_input_order():
    distributed = pytest.importorskip("distributed")
    runs = fiberbridge.grid(kxy=[0.5, 1, 2, 0], Vf=[0.01, 0.02, 0.03, 0.04], base={"division": 4})
    assert len(runs) == 16 and runs[1] == {"division": 4, "kxy": 0.5, "Vf": 0.02}
    local = fiberbridge.study(runs, jobs=2)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            remote = fiberbridge.study(runs, client=client)
    assert [r.inputs for r in remote] == [r.inputs for r in local]
    for a, b in zip(local, remote):
        assert (a.refusal is None) == (b.refusal is None)
        assert a.ok or b.refusal.field == "kxy"
        for column in ("step", "Wcr", "P", "sigma", "ratio"):
            assert same_bits(getattr(a, column), getattr(b, column))
    assert sum(not r.ok for r in remote) == 4


def test_fit_recovers_known_inputs_like_the_command_lines_fit():
    truth = {"ruptureStrength": 2000, "division": 12, "A": 4.2, "D": 0.35}
    made = fiberbridge.run(truth)
    w = np.linspace(0.05, 2.5, 16)
    sigma = np.interp(w, made.Wcr, made.sigma)
    f = fiberbridge.fit(w, sigma, free={"A": (1, 8), "D": (0.1, 1.5)}, base={"ruptureStrength": 2000, "division": 12},
                        starts=3)
    assert f.inputs["A"] == pytest.approx(4.2, rel=2e-3)
    assert f.inputs["D"] == pytest.approx(0.35, rel=2e-3)
    assert f.rms_after <= made.rms(w, sigma) + 1e-3
    assert f.run.rms(w, sigma) == f.rms_after
    assert not f.warnings
