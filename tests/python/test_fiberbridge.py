"""The fiberbridge Python module against the command line, locally and on a Dask cluster."""

import os
import pathlib
import subprocess
import sys

import numpy as np
import pytest

import fiberbridge

REFERENCE = pathlib.Path(os.environ.get("FIBERBRIDGE_REFERENCE_DIR", pathlib.Path(__file__).parents[1] / "reference"))
CLI = os.environ.get("FIBERBRIDGE_CLI", "fiberbridge-cli")


def same_bits(a, b):
    return a.dtype == b.dtype and a.tobytes() == b.tobytes()


@pytest.mark.parametrize("name", sorted(p.stem for p in REFERENCE.glob("*.inputs")))
def test_each_reference_set_gives_the_command_lines_data_file_and_csv(name, tmp_path):
    r = fiberbridge.run(fiberbridge.read_inputs(REFERENCE / f"{name}.inputs"))
    r.write_data_file(tmp_path / "run.p-d")
    r.to_csv(tmp_path / "run.csv")
    written = (tmp_path / "run.p-d").read_bytes()
    assert written[written.index(b"\n") + 1:] == (REFERENCE / f"{name}.p-d").read_bytes()
    assert (tmp_path / "run.csv").read_bytes() == (REFERENCE / f"{name}.csv").read_bytes()


def test_a_file_that_cannot_be_written_says_where_and_why_and_nul_ends_no_name(tmp_path):
    r = fiberbridge.run(division=4)
    missing = tmp_path / "missing" / "run.p-d"
    with pytest.raises(FileNotFoundError) as failed:
        r.write_data_file(missing)
    assert failed.value.filename == str(missing) and failed.value.strerror == "No such file or directory"
    assert "another application" not in str(failed.value)
    with pytest.raises(FileNotFoundError) as failed:
        r.to_csv(tmp_path / "missing" / "run.csv")
    assert failed.value.filename == str(tmp_path / "missing" / "run.csv")
    for write in (r.write_data_file, r.to_csv, fiberbridge.read_data_file, fiberbridge.read_inputs):
        with pytest.raises(ValueError, match="NUL"):
            write(str(tmp_path / "a") + "\x00b")
    assert not (tmp_path / "a").exists()


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


def test_a_grid_is_the_command_lines_grid_made_run_by_run():
    assert fiberbridge.grid({"Vf": "0.01"}, kxy=[1, 2]) == [{"Vf": "0.01", "kxy": 1}, {"Vf": "0.01", "kxy": 2}]
    kxy, vf = list(range(1, 4001)), [i / 1e6 for i in range(1, 2502)]
    with pytest.raises(ValueError, match="more than 10000000 runs .*allow_large=True"):
        fiberbridge.grid(kxy=kxy, Vf=vf)
    # Ten million runs and more, held as their sweeps; run i from i, the last sweep fastest.
    big = fiberbridge.grid(kxy=kxy, Vf=vf, base={"division": 8}, allow_large=True)
    assert len(big) == 4000 * 2501
    assert big[2502] == {"division": 8, "kxy": 2, "Vf": vf[1]}
    assert big[-1] == {"division": 8, "kxy": 4000, "Vf": vf[-1]}
    assert big[2500:2503] == [big[2500], big[2501], big[2502]] and big[2501]["kxy"] == 2
    with pytest.raises(IndexError):
        big[len(big)]
    with pytest.raises(ValueError, match="two runs would both be named kxy=1"):
        fiberbridge.grid(kxy=[1, "1"])


@pytest.mark.filterwarnings("ignore::DeprecationWarning")  # Debian's tornado, inside distributed
def test_a_study_on_a_dask_cluster_gives_the_local_results_in_input_order(monkeypatch):
    distributed = pytest.importorskip("distributed")
    # Tasks of several runs, as a study of more than 200 runs has.
    monkeypatch.setattr(fiberbridge._study, "_TASKS_PER_STUDY", 5)
    runs = fiberbridge.grid(kxy=[0.5, 1, 2, 0], Vf=[0.01, 0.02, 0.03, 0.04], base={"division": 4})
    assert len(runs) == 16 and runs[1] == {"division": 4, "kxy": 0.5, "Vf": 0.02}
    local = fiberbridge.study(runs, jobs=2)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            remote = fiberbridge.study(runs, client=client)
            # A refusal crosses the process boundary whole.
            assert client.submit(fiberbridge.run, kxy=0).exception().field == "kxy"
            # The futures themselves, for as_completed and progress: tasks of a few runs each.
            futures = fiberbridge.submit_study(runs, client)
            ended = {futures.index(f): f.result() for f in distributed.as_completed(futures)}
            submitted = [run for k in range(len(futures)) for run in ended[k]]
            assert len(futures) == 4 and len(submitted) == 16
    assert [r.inputs for r in remote] == [r.inputs for r in local] == [r.inputs for r in submitted]
    assert all(same_bits(a.sigma, b.sigma) for a, b in zip(local, submitted) if a.ok)
    for a, b in zip(local, remote):
        assert (a.refusal is None) == (b.refusal is None)
        assert a.ok or b.refusal.field == "kxy"
        for column in ("step", "Wcr", "P", "sigma", "ratio"):
            assert same_bits(getattr(a, column), getattr(b, column))
    assert sum(not r.ok for r in remote) == 4


def test_a_fits_progress_is_heard_on_this_thread_and_can_stop_it():
    made = fiberbridge.run(ruptureStrength=2000, division=12, A=4.2, D=0.35)
    w = np.linspace(0.05, 2.5, 16)
    settings = dict(free={"A": (1, 8), "D": (0.1, 1.5)}, base={"ruptureStrength": 2000, "division": 12}, starts=4)
    seen = []
    f = fiberbridge.fit(w, np.interp(w, made.Wcr, made.sigma), progress=seen.append, **settings)
    assert seen, "no progress was reported"
    assert {r["phase"] for r in seen} <= {"search", "polish", "intervals"}
    assert all(a["runs"] <= b["runs"] <= f.nfev for a, b in zip(seen, seen[1:]))

    class Enough(Exception):
        pass

    def enough(report):
        raise Enough(report["phase"])

    with pytest.raises(Enough):
        fiberbridge.fit(w, np.interp(w, made.Wcr, made.sigma), progress=enough, **settings)


def test_a_fit_draws_its_specimens_points_fitted_curves_and_residuals():
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    w = np.linspace(0.05, 2.5, 12)
    curves = []
    for vf in (0.01, 0.03):
        made = fiberbridge.run(ruptureStrength=2000, division=12, A=4.2, D=0.35, Vf=vf)
        curves.append({"name": f"Vf {vf}", "w": w, "sigma": np.interp(w, made.Wcr, made.sigma) * 1.01,
                       "inputs": {"Vf": vf}})
    f = fiberbridge.fit(curves=curves, free={"A": (1, 8)}, base={"ruptureStrength": 2000, "division": 12, "D": 0.35},
                        starts=1)
    ax, residual_ax = f.plot()
    lines = ax.get_lines()
    assert [line.get_label() for line in lines] == ["Vf 0.01: Vf=0.01, fitted", "Vf 0.01: Vf=0.01, measured",
                                                    "Vf 0.03: Vf=0.03, fitted", "Vf 0.03: Vf=0.03, measured"]
    assert len(ax.collections) == 2  # each specimen's band
    # Each specimen's fitted curve is its own run: the second holds three times the fibers.
    assert lines[2].get_ydata().max() > 2.5 * lines[0].get_ydata().max()
    drawn = np.concatenate([line.get_ydata() for line in residual_ax.get_lines()[:2]])
    assert np.allclose(drawn, f.residuals, rtol=0, atol=1e-12)


def test_fit_recovers_known_inputs_like_the_command_lines_fit(tmp_path):
    truth = {"ruptureStrength": 2000, "division": 12, "A": 4.2, "D": 0.35}
    made = fiberbridge.run(truth)
    w = np.linspace(0.05, 2.5, 16)
    sigma = np.interp(w, made.Wcr, made.sigma)
    # With scatter, the intervals hold the truth (the C++ tests prove the exact recovery).
    noisy = sigma + 0.01 * sigma.max() * np.sin(7.3 * np.arange(len(w)))
    f = fiberbridge.fit(w, noisy, free={"A": (1, 8), "D": (0.1, 1.5)}, base={"ruptureStrength": 2000, "division": 12},
                        starts=3)
    assert f.rms_after <= made.rms(w, noisy)
    assert f.run.rms(w, noisy) == f.rms_after
    assert not f.warnings
    for name, truth_value in (("A", 4.2), ("D", 0.35)):
        low, high = f.intervals[name]
        assert low <= truth_value <= high
        entry = f.report["inputs"][list(f.inputs).index(name)]
        assert entry == {
            "name": name, "unit": {f.name: f.unit for f in fiberbridge.fields()}[name], "value": f.inputs[name], "low": low, "high": high,
            "low_on_bound": False, "high_on_bound": False, "spans_answers": False, "fit_low": None, "fit_high": None,
            "low_end": entry["low_end"], "high_end": entry["high_end"]}
        # Where its profile reached each end, with the other input fitted again: what a second stage holds.
        assert low <= entry["low_end"][name] < f.inputs[name] < entry["high_end"][name] <= high
    assert f.report["rms"] == f.rms_after and f.report["basins"][0]["starts"] >= 1
    assert f.adequacy["adequate"] and f.adequacy["sign_runs"] > 0 and f.outliers == []
    # As SciPy's and lmfit's results read: residuals computed minus measured, at every point.
    assert f.success and f.message == "fitted, without a warning" and f.x == f.inputs and f.nfev == f.runs
    assert np.allclose(f.residuals, np.interp(w, f.run.Wcr, f.run.sigma) - noisy, rtol=0, atol=1e-12)
    assert np.sqrt(np.mean(f.residuals ** 2)) == pytest.approx(f.rms_after, rel=1e-12)
    assert f.aic == pytest.approx(len(w) * np.log(np.mean(f.residuals ** 2)) + 2 * 2)
    assert f.bic - f.aic == pytest.approx(2 * np.log(len(w)) - 4)
    assert "<td>A</td>" in f._repr_html_() and "no warning" in f._repr_html_()
    # One point far off is named by its place in the curve (arrays have no lines).
    spiked = noisy.copy()
    spiked[8] += 0.5 * sigma.max()
    g = fiberbridge.fit(w, spiked, free={"A": (1, 8), "D": (0.1, 1.5)}, base={"ruptureStrength": 2000, "division": 12},
                        starts=1)
    assert [(o["point"], o["line"]) for o in g.outliers] == [(8, 0)], g.outliers
    assert any(text.startswith("outlier: ") and " point 9 (" in text for text in g.warnings), g.warnings
    assert not g.success and "outlier: " in g.message and "<li>outlier: " in g._repr_html_()
    robust = fiberbridge.fit(w, spiked, free={"A": (1, 8), "D": (0.1, 1.5)},
                             base={"ruptureStrength": 2000, "division": 12}, starts=1, robust=True)
    assert robust.report["robust_scale"] > 0 and robust.adequacy["set_aside"] == 1
    assert abs(robust.inputs["A"] - 4.2) < abs(g.inputs["A"] - 4.2), (robust.inputs, g.inputs)

    # Two specimens of other fiber contents share the fitted law.
    specimens = []
    for vf in (0.01, 0.03):
        r = fiberbridge.run({**truth, "Vf": vf})
        specimens.append({"w": w, "sigma": np.interp(w, r.Wcr, r.sigma), "sd": [0.01] * len(w), "inputs": {"Vf": vf}})
    joint = fiberbridge.fit(curves=specimens, free={"A": (1, 8)}, base={"ruptureStrength": 2000, "division": 12,
                                                                         "D": 0.35}, starts=2)
    assert joint.inputs["A"] == pytest.approx(4.2, rel=2e-3) and joint.chi_square_per_dof is not None
    # The fitted run is the first specimen's, as the command line runs and saves it.
    assert joint.run.inputs["Vf"] == "0.01" and joint.run.rms(w, specimens[0]["sigma"]) < 0.05
    # Bounds below the truth: the fit ends on one, and a warning says so.
    low = fiberbridge.fit(w, sigma, free={"A": (2.5, 4)}, base={**truth, "A": 3}, starts=1)
    assert "A ended on its bound 4: the best fit may lie beyond it" in low.warnings, low.warnings
    # Its report is the command line's, word for word but the clock.
    measured = tmp_path / "m.csv"
    measured.write_text("".join(f"{x!r},{y!r}\n" for x, y in zip(w, sigma)))
    cli = subprocess.run([CLI, "--measured", str(measured), "--fit", "A=2.5:4", "--fit-starts", "1",
                          "--ruptureStrength", "2000", "--division", "12", "--A", "3", "--D", "0.35"],
                         capture_output=True, text=True, check=True)
    def without_clock(text):
        return [line.split(" runs in ")[0] for line in text.splitlines()]
    assert without_clock(low.report_text()) == without_clock(cli.stdout) and str(low) == low.report_text()


def test_pullout_gives_the_laws_load_in_the_shape_of_the_slips_and_its_fit_recovers_the_law():
    # The window's law at lb 6 mm: 1 N at 0.2 mm, the 3 N peak at 0.5 mm, zero at pull-out.
    load = fiberbridge.pullout(6, 0, np.array([[0.1, 0.2, 0.5], [3.25, 5.0, 6.0]]))
    assert load.shape == (2, 3)
    assert load[0] == pytest.approx([0.5, 1, 3], rel=1e-6)
    assert load[1] == pytest.approx([1.5, 3 / 5.5, 0], rel=1e-5, abs=1e-9)
    # One slip gives one load, a plain float; a Series keeps its index.
    assert fiberbridge.pullout(6, 0, 0.5) == load[0][2] and type(fiberbridge.pullout(6, 0, 0.5)) is float
    try:
        import pandas as pd
    except ImportError:  # pandas is optional
        pd = None
    if pd is not None:
        series = fiberbridge.pullout(6, 0, pd.Series([0.1, 0.5], index=["a", "b"]))
        assert list(series.index) == ["a", "b"] and series["b"] == load[0][2]
    # Inclined by 60 degrees the snubbed peak exceeds the reduced rupture load: out for good.
    assert fiberbridge.pullout(6, 60, [0.1, 0.5, 1.0])[1:].tolist() == [0, 0]
    with pytest.raises(ValueError, match="angle"):
        fiberbridge.pullout(3, 95, [0.1])
    with pytest.raises(ValueError, match="Lf/2"):
        fiberbridge.pullout(7, 0, [0.1])

    truth = {"A": 2.5, "B": 0.5, "D": 0.3}
    tests = []
    for lb in (1, 3, 5):
        slip = lb * np.linspace(0, 1, 30) ** 2
        tests.append({"lb": lb, "slip": slip, "load": fiberbridge.pullout(lb, 0, slip, **truth)})
    f = fiberbridge.fit(free={"A": (0.5, 5), "B": (0, 1.5), "D": (0.05, 1)}, pullouts=tests, starts=4)
    for name, value in truth.items():
        assert f.inputs[name] == pytest.approx(value, rel=2e-3)
    assert f.rms_after is None and f.rms_before is None and f.pullout_rms_after < 1e-3 < f.pullout_rms_before
    assert f.report["rms_before"] is None and f.report["pullout_rms_before"] == f.pullout_rms_before
    assert f.report["rms"] is None and f.report["pullout_rms"] == f.pullout_rms_after
    assert f.run.peak_stress > 0  # the bridging curve the fitted law predicts
    with pytest.raises(TypeError, match="needs load"):
        fiberbridge.fit(free={"A": (0.5, 5)}, pullouts=[{"lb": 3, "slip": [0.1]}])
    with pytest.raises(ValueError, match="goes back"):
        fiberbridge.fit(free={"A": (0.5, 5)}, pullouts=[{"lb": 3, "slip": [0.2, 0.1], "load": [1, 1]}])
    # A second stage from inclined tests holds this law; with it as the prior, its intervals widen.
    noisy = [{**t, "load": t["load"] + 0.02 * np.sin(3.7 * np.arange(len(t["load"])))} for t in tests]
    law = fiberbridge.fit(free={"A": (0.5, 5), "B": (0, 1.5), "D": (0.05, 1)}, pullouts=noisy, starts=2)
    inclined = []
    for angle in (30, 45):
        slip = 3 * np.linspace(0, 1, 30) ** 2
        load = fiberbridge.pullout(3, angle, slip, **truth, fp0=0.6)
        inclined.append({"lb": 3, "angle": angle, "slip": slip, "load": load + 0.02 * np.cos(np.arange(30))})
    held = {name: law.run.inputs[name] for name in truth}
    second = fiberbridge.fit(free={"fp0": (0, 1.5)}, base=held, pullouts=inclined, starts=2, prior=law)
    low, high = second.intervals["fp0"]
    alone = second.report["inputs"][0]
    assert second.report["prior"]["inputs"] == ["A", "B", "D"]
    assert low <= alone["fit_low"] and high >= alone["fit_high"] and high - low > alone["fit_high"] - alone["fit_low"]
    with pytest.raises(ValueError, match="A is fitted here and was fitted in stage 1"):
        fiberbridge.fit(free={"A": (0.5, 5)}, base=held, pullouts=inclined, starts=1, prior=law)


@pytest.mark.parametrize("bad", [float("nan"), float("inf")])
def test_measurements_that_are_not_numbers_are_refused(bad):
    made = fiberbridge.run(division=6)
    with pytest.raises(ValueError, match="not a finite number"):
        made.rms([0.1, 0.2], [1.0, bad])
    with pytest.raises(ValueError, match="not a finite number"):
        fiberbridge.fit([0.1, bad, 0.3], [1.0, 2.0, 1.5], free={"A": (1, 8)}, base={"division": 6})


def test_a_study_without_memory_for_a_class_table_raises_memory_error_instead_of_ending_python():
    # The command line's tests build a stand-in for a system short of memory beside them.
    scarce = pathlib.Path(CLI).resolve().parents[1] / "tests" / "cli" / "libfb_scarce_system.so"
    if not scarce.exists():
        pytest.skip(f"no {scarce}")
    script = "\n".join([
        "import fiberbridge",
        "for jobs in (1, 2):",
        "    try:",
        "        fiberbridge.study([{'division': 2}] * 3, jobs=jobs)",
        "    except MemoryError as e:",
        "        print(e)",
    ])
    env = {**os.environ, "LD_PRELOAD": str(scarce), "FB_NO_TABLE_MEMORY": "1"}
    child = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True, timeout=120)
    assert child.returncode == 0, child.stderr
    first, second = child.stdout.splitlines()
    assert first == "not enough memory for the run at index 0 of the study"
    assert second in {f"not enough memory for the run at index {i} of the study" for i in (0, 1)}


def test_the_psh_indices_of_a_run_are_its_ratios_to_the_matrix():
    r = fiberbridge.run(division=10)
    assert r.complementary_energy > 0
    psh = r.psh(Jtip=r.complementary_energy / 4, sigma_fc=r.peak_stress / 1.5)
    assert psh.energy == pytest.approx(4, rel=1e-15) and psh.strength == pytest.approx(1.5, rel=1e-15)
    assert psh.meets_margins
    assert not r.psh(Jtip=r.complementary_energy / 4, sigma_fc=r.peak_stress / 1.5, margins=(4.5, 1.3)).meets_margins
    # Km = 0.5 MPa m^0.5 and Em = 20 GPa make Jtip 12.5 J/m2.
    assert fiberbridge.crack_tip_toughness(0.5, 20) == 12.5
    assert r.psh(Km=0.5, Em=20, sigma_fc=1).energy == pytest.approx(r.complementary_energy / 12.5, rel=1e-15)
    assert fiberbridge.PSH_MARGINS == (2.7, 1.3)
    with pytest.raises(TypeError):
        r.psh(sigma_fc=1)
    with pytest.raises(ValueError, match="Jtip"):
        r.psh(Jtip=-1, sigma_fc=1)
    # A matrix at the ends of the plausible ranges is taken; beyond them, its unit is doubted.
    r.psh(Jtip=0.5, sigma_fc=20)
    r.psh(Km=5, Em=1, sigma_fc=0.5)
    with pytest.raises(ValueError, match=r"Em is in GPa: 20000 GPa .*; did you give MPa\? \(allow_unusual_matrix"):
        r.psh(Km=0.5, Em=20000, sigma_fc=1)
    assert r.psh(Km=0.5, Em=20000, sigma_fc=1, allow_unusual_matrix=True).energy > 0


def test_a_scatter_gives_the_command_lines_band_locally_and_on_a_dask_client(tmp_path):
    band = tmp_path / "band.csv"
    cli = subprocess.run([CLI, "-q", "--division", "6", "--scatter", "Vf=normal:0.002:0.004", "--scatter",
                          "fp0=uniform:0.4:0.6", "--samples", "12", "--seed", "5", "--band", str(band)],
                         capture_output=True, text=True)
    assert cli.returncode == 0, cli.stderr
    rows = np.loadtxt(band, delimiter=",", skiprows=1)
    s = fiberbridge.scatter({"division": 6}, n=12, seed=5, Vf="normal:0.002:0.004", fp0=("uniform", 0.4, 0.6))
    assert f"12 samples (seed 5): {12 - s.refused} finished, {s.refused} refused" in cli.stdout
    assert 0 < s.refused < 12 and len(s.metrics["peak_stress"]) == 12 - s.refused
    assert s.share_meeting_margins(Jtip=1e-9, sigma_fc=1e-9, allow_unusual_matrix=True) == 1  # of the finished samples, not of all
    for k, column in enumerate(("Wcr", "mean", "sd", "p05", "p50", "p95")):
        assert same_bits(rows[:, k], getattr(s, column)), column
    try:
        import pandas
    except ImportError:
        pandas = None
    if pandas is not None:  # the band as the command line's file reads, and a row per sample
        assert s.band_frame().equals(pandas.read_csv(band, float_precision="round_trip"))
        samples = s.to_frame()
        assert len(samples) == 12 and {"Vf", "fp0"} <= set(samples.columns)
        assert (samples["status"] == "refused").sum() == s.refused
    distributed = pytest.importorskip("distributed")
    with distributed.Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None) as client:
        remote = fiberbridge.scatter({"division": 6}, n=12, seed=5, client=client, Vf="normal:0.002:0.004",
                                     fp0=("uniform", 0.4, 0.6))
    assert same_bits(remote.p95, s.p95) and remote.refused == s.refused
    with pytest.raises(ValueError, match='"gauss" is not a distribution'):
        fiberbridge.scatter(Vf="gauss:1:2")
    with pytest.raises(TypeError):
        fiberbridge.scatter(Vf=("normal", 1))


def test_a_runs_tension_law_and_beam_are_the_command_lines(tmp_path):
    cli = subprocess.run([CLI, "--division", "12", "--kxy", "2", "--ft", "3", "--Gf", "0.1", "--Ec", "30", "--beam",
                          "--beam-curve", str(tmp_path / "beam.csv"), "--export", f"csv:{tmp_path / 'law.csv'}"],
                         capture_output=True, text=True)
    assert cli.returncode == 0, cli.stderr
    r = fiberbridge.run(division=12, kxy=2)
    w, sigma = r.tension_law(ft=3, Gf=0.1)
    law = np.loadtxt(tmp_path / "law.csv", delimiter=",", skiprows=2)
    assert same_bits(w, law[:, 0]) and same_bits(sigma, law[:, 1])
    beam = r.beam(ft=3, Gf=0.1, Ec=30)
    curve = np.loadtxt(tmp_path / "beam.csv", delimiter=",", skiprows=1)
    assert same_bits(beam["cmod"], curve[:, 0]) and same_bits(beam["load"], curve[:, 1])
    assert f"fL {beam['fL']:.2f} MPa, fR1 {beam['fR'][0]:.2f}, fR2 {beam['fR'][1]:.2f}" in cli.stdout
    assert f"class {beam['frc_class'] or 'none'}" in cli.stdout
    bare_w, bare_sigma = r.tension_law()
    assert bare_sigma[0] == 0 and len(bare_w) < len(w)
    with pytest.raises(ValueError, match="begins at the tensile strength at zero opening"):
        fiberbridge._native.beam(list(bare_w), list(bare_sigma), 30.0, (150.0, 150.0, 500.0, 25.0))
    with pytest.raises(TypeError, match="ft and Gf go together"):
        r.tension_law(ft=3)


def test_a_fit_to_a_beam_test_is_the_command_lines(tmp_path):
    made = fiberbridge.run(division=8, A=2)
    beam = made.beam(ft=3, Gf=0.1, Ec=30)
    cmod = np.array([0.02, 0.05, 0.1, 0.3, 0.6, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5])
    load = np.interp(cmod, beam["cmod"], beam["load"]) * (1 + 0.02 * np.sin(5.1 * np.arange(len(cmod))))
    path = tmp_path / "beam.csv"
    path.write_text("CMOD (mm),load (kN)\n" + "".join(f"{x!r},{y!r}\n" for x, y in zip(cmod, load)))
    test = fiberbridge.read_beam_test(path)
    assert same_bits(test["cmod"], cmod) and same_bits(test["load"], load) and test["sd"] is None
    f = fiberbridge.fit(beams=[test], free={"A": (1, 3)}, base={"division": 8}, starts=1, ft=3, Gf=0.1, Ec=30)
    cli = subprocess.run([CLI, "--beam-measured", str(path), "--fit", "A=1:3", "--fit-starts", "1", "--division", "8",
                          "--ft", "3", "--Gf", "0.1", "--Ec", "30"], capture_output=True, text=True, check=True)

    def without_clock(text):
        return [line.split(" runs in ")[0] for line in text.splitlines()]
    assert without_clock(f.report_text()) == without_clock(cli.stdout)
    assert f.rms_after is None and f.beam_rms_after == f.report["beam_rms"] and abs(f.inputs["A"] - 2) < 0.05
    assert "beam RMS" in repr(f)
    with pytest.raises(TypeError, match="needs Ec"):
        fiberbridge.fit(beams=[test], free={"A": (1, 3)}, ft=3, Gf=0.1)
    with pytest.raises(ValueError, match="point 2: CMOD 0.1 mm goes back from 0.2 mm"):
        fiberbridge.fit(beams=[{"cmod": [0.2, 0.1], "load": [5, 4]}], free={"A": (1, 3)}, ft=3, Gf=0.1, Ec=30)
