"""The module follows Python's conventions: strict arguments, mappings as inputs,
exceptions that pickle, a clean namespace, its version and its type stub."""

import ast
import inspect
import os
import pathlib
import pickle
import subprocess
import sys
import types

import numpy as np
import pytest

import fiberbridge

CLI = os.environ.get("FIBERBRIDGE_CLI", "fiberbridge-cli")


def same_rows(a, b):
    return all(getattr(a, c).tobytes() == getattr(b, c).tobytes() for c in ("step", "Wcr", "P", "sigma", "ratio"))


@pytest.mark.parametrize("call, error", [
    (lambda: fiberbridge.run(division=20.5), ValueError),
    (lambda: fiberbridge.run(division=np.float64(20.5)), ValueError),
    (lambda: fiberbridge.run(Vf=True), TypeError),
    (lambda: fiberbridge.run(Vf=[0.01]), TypeError),
    (lambda: fiberbridge.run(Vf=float("nan")), ValueError),
    (lambda: fiberbridge.grid(Vf="0.01"), TypeError),
    (lambda: fiberbridge.grid(Vf=0.01), TypeError),
    (lambda: fiberbridge.study([{}], jobs=1.5), TypeError),
    (lambda: fiberbridge.study([{}], jobs=0), ValueError),
    (lambda: fiberbridge.study([{}], timeout=5), TypeError),
    (lambda: fiberbridge.fit([0.1], [1.0], free={"A": ("1", 8)}), TypeError),
    (lambda: fiberbridge.fit([0.1], [1.0], free={"A": (1, 8)}, starts=2.5), TypeError),
    (lambda: fiberbridge.run(["Vf", 0.01]), TypeError),
])
def test_numbers_are_strict_where_python_gives_numbers(call, error):
    with pytest.raises(error):
        call()


@pytest.mark.parametrize("call, error, says", [
    (lambda: fiberbridge.grid(division=["10", "10.5"]), ValueError, 'division: "10.5" is not a whole number'),
    (lambda: fiberbridge.study([{}], jobs=2**70), ValueError, "jobs: must lie between 1 and 4096"),
    (lambda: fiberbridge.fit([0.1], [1.0], free={"A": (1, 8)}, seed=2**64), ValueError,
     "seed: .* 18446744073709551615"),
    (lambda: fiberbridge.scatter(seed=2**64, Vf="normal:0.02:0.002"), ValueError, "seed: "),
    (lambda: fiberbridge.scatter(n=2**70, Vf="normal:0.02:0.002"), ValueError, "n: must lie between 1 and 10000"),
    (lambda: fiberbridge.pullout("3", 30, [0.1]), TypeError, "lb: "),
    (lambda: fiberbridge.pullout(3, True, [0.1]), TypeError, "angle: "),
    (lambda: fiberbridge.pullout(3, 30, ["0.1"]), TypeError, "slip: "),
    (lambda: fiberbridge.pullout(3, 30, [0.1, True]), TypeError, "slip: "),
    (lambda: fiberbridge.run(division=4).rms([], []), ValueError, "measured curve is empty"),
    (lambda: fiberbridge.run(division=-1), fiberbridge.InputRefused, "division .* must be at least 1"),
    (lambda: fiberbridge.run(division=2).psh(Km=1e-200, Em=1e200, sigma_fc=2, allow_unusual_matrix=True), ValueError,
     "too small or too large"),
    (lambda: fiberbridge.run(division=2).psh(Jtip=8, sigma_fc=1e-320, allow_unusual_matrix=True), ValueError,
     "sigma_fc"),
])
def test_arguments_out_of_range_or_of_another_kind_are_named(call, error, says):
    with pytest.raises(error, match=says):
        call()


def test_whole_numbers_given_as_floats_and_texts_keep_the_windows_reading():
    by_int = fiberbridge.run(division=20)
    assert same_rows(by_int, fiberbridge.run(division=20.0))
    assert same_rows(by_int, fiberbridge.run(division=np.int64(20)))
    # A text is read as the window's box reads it: the division rounds half to even.
    assert same_rows(by_int, fiberbridge.run(division="20.5"))


def test_any_mapping_or_pandas_series_is_an_input_set():
    by_keywords = fiberbridge.run(Vf=0.015, division=20)
    assert same_rows(by_keywords, fiberbridge.run(types.MappingProxyType({"Vf": 0.015, "division": 20})))
    pd = pytest.importorskip("pandas")
    row = pd.Series({"Vf": 0.015, "division": 20})  # one dtype: the division becomes 20.0
    assert same_rows(by_keywords, fiberbridge.run(row))
    frame = pd.DataFrame({"Vf": [0.015, 0.02], "division": [20, 20]})
    from_frame = fiberbridge.study(frame)
    assert same_rows(by_keywords, from_frame[0]) and from_frame[1].inputs["Vf"] == "0.02"
    assert [r.inputs["Vf"] for r in fiberbridge.study(frame.iloc[i] for i in range(2))] == ["0.015", "0.02"]


def test_a_refusal_names_one_field_pickles_whole_and_keeps_the_command_lines_message():
    with pytest.raises(fiberbridge.InputRefused) as refused:
        fiberbridge.run(A=1e30, B=30)
    e = refused.value
    assert e.field == "A" and e.reason.startswith("A/B ")
    again = pickle.loads(pickle.dumps(e))
    assert type(again) is fiberbridge.InputRefused and (again.field, again.reason, str(again)) == (e.field, e.reason,
                                                                                                    e.reason)
    cli = subprocess.run([CLI, "-o", os.devnull, "--A", "1e30", "--B", "30"], capture_output=True, text=True)
    assert cli.stderr == f"fiberbridge-cli: {e.reason}\n"
    # A fit that no start can run names the field too.
    with pytest.raises(fiberbridge.InputRefused) as refused:
        fiberbridge.fit([0.1, 0.2], [1.0, 1.0], free={"A": (1, 8)}, base={"kxy": 0, "division": 4}, starts=1)
    assert refused.value.field == "kxy"
    # A refused run of a study keeps its refusal through a pickle too.
    refused_run = fiberbridge.study([{"fp0": 1e30, "fp1": 1e30}])[0]
    assert pickle.loads(pickle.dumps(refused_run.refusal)).field == "fp0"


def test_the_namespace_holds_the_public_names_the_version_and_the_stub():
    public = {n for n in dir(fiberbridge) if not n.startswith("_")}
    assert public == set(fiberbridge.__all__)
    cli = subprocess.run([CLI, "--version"], capture_output=True, text=True, check=True)
    assert cli.stdout == f"fiberbridge-cli {fiberbridge.__version__}\n"

    package = pathlib.Path(fiberbridge.__file__).parent
    assert (package / "py.typed").exists()
    stub = ast.parse((package / "__init__.pyi").read_text())
    declared = {node.name: node for node in stub.body if isinstance(node, (ast.FunctionDef, ast.ClassDef))}
    declared.update({node.target.id: node for node in stub.body if isinstance(node, ast.AnnAssign)})
    assert set(fiberbridge.__all__) <= set(declared)
    # Each function's parameters, in order, as the module takes them.
    for name in fiberbridge.__all__:
        node = declared[name]
        if isinstance(node, ast.FunctionDef):
            args = node.args
            stubbed = [a.arg for a in args.posonlyargs + args.args] + ([args.vararg.arg] if args.vararg else []) + \
                [a.arg for a in args.kwonlyargs] + ([args.kwarg.arg] if args.kwarg else [])
            assert stubbed == list(inspect.signature(getattr(fiberbridge, name)).parameters), name


def test_progress_counts_every_run_as_it_ends():
    calls = []
    runs = fiberbridge.grid(kxy=[0.5, 1, 2, 0], base={"division": 6})
    fiberbridge.study(runs, jobs=2, progress=lambda done, total: calls.append((done, total)))
    assert calls == [(k, 4) for k in range(1, 5)]

    def stop(done, total):
        raise RuntimeError("enough")
    with pytest.raises(RuntimeError, match="enough"):
        fiberbridge.study(runs, progress=stop)


def test_a_study_without_rows_keeps_every_figure_and_says_the_rows_are_gone(tmp_path):
    runs = fiberbridge.grid(kxy=[0.5, 2, 0], base={"division": 8})
    full = fiberbridge.study(runs)
    slim = fiberbridge.study(runs, keep_rows=False)
    for a, b in zip(full, slim):
        assert b.step is None and b.sigma is None
        assert (a.peak_force, a.peak_stress, a.peak_width, a.energy, a.half_peak_width) == \
            (b.peak_force, b.peak_stress, b.peak_width, b.energy, b.half_peak_width)
        assert (a.refusal is None) == (b.refusal is None)
    with pytest.raises(ValueError, match="keep_rows"):
        slim[0].to_csv(tmp_path / "rows.csv")
    slim[0].write_data_file(tmp_path / "again.p-d")  # the run again, from its inputs
    assert fiberbridge.read_data_file(tmp_path / "again.p-d").peak_force == pytest.approx(full[0].peak_force, abs=1e-5)


def test_runs_compare_by_inputs_and_bits_and_show_what_sets_them_apart():
    runs = fiberbridge.grid(kxy=[0.5, 2, 0], base={"division": 8})
    first, again = fiberbridge.study(runs), fiberbridge.study(runs, jobs=2)
    assert first == again  # the same bits however the study ran
    assert first[0] != first[1] and first[2] == again[2] and first[2].refusal
    assert fiberbridge.study(runs[:1], keep_rows=False)[0] != first[0]  # the rows are part of a run
    other = fiberbridge.run(kxy=0.5, division=8, Vf="0.0200")  # another text for the default value
    assert other.inputs != first[0].inputs and other != first[0]
    assert repr(first[0]).startswith("<fiberbridge.Run kxy=0.5, division=8: 17 steps, peak stress ")
    assert repr(first[2]) == "<fiberbridge.Run kxy=0, division=8: refused: " + first[2].refusal.reason + ">"
    many = fiberbridge.run(division=2, Vf=0.01, kxy=2, kzx=2, A=1.5, B=0.4, D=0.3)
    assert repr(many).startswith("<fiberbridge.Run Vf=0.01, kxy=2, kzx=2, division=2, A=1.5, B=0.4, ... (7 inputs): ")


def test_a_text_the_windows_reading_cuts_is_named_and_the_numbers_are_at_hand():
    with pytest.warns(UserWarning, match='Vf "1,5" is read as 1 \\(the number at its start\\)'):
        cut = fiberbridge.run(Vf="1,5", division=2)
    assert cut.warnings == ['Vf "1,5" is read as 1 (the number at its start)']
    assert cut.values["Vf"] == 1.0 and cut.values["division"] == 2.0
    # A single-precision input's number as the run stored it, not the text's double.
    assert cut.values["Af"] == float(np.float32(0.007854)) != 0.007854
    [study] = fiberbridge.study([{"thetaRxy": "abc", "division": 2}])
    assert study.warnings == ['thetaRxy "abc" holds no number and is read as 0'] and study.values["thetaRxy"] == 0


def test_a_typed_script_passes_mypy_strict_and_runs():
    script = pathlib.Path(__file__).with_name("typed_usage.py")
    namespace = {}
    exec(compile(script.read_text(), str(script), "exec"), namespace)
    assert namespace["doubled_widths"]().dtype == np.float64 and len(namespace["peak_stresses"]()) == 2
    api = pytest.importorskip("mypy.api", reason="mypy is not installed: the typed script is not type-checked")
    out, err, status = api.run(["--strict", "--no-incremental", "--cache-dir", os.devnull, str(script)])
    assert status == 0, out + err


def test_no_nan_reaches_a_csv(tmp_path):
    r = fiberbridge.run(division=4)
    r.sigma[2] = np.nan
    r.P[3] = np.inf
    r.to_csv(tmp_path / "rows.csv")
    lines = (tmp_path / "rows.csv").read_text().splitlines()
    assert "nan" not in lines[3] and lines[3].split(",")[3] == ""
    assert "inf" not in lines[4] and "1e999" not in lines[4] and lines[4].split(",")[2] == ""
    assert lines[2].split(",")[3] != ""


def test_the_module_needs_no_pandas_and_to_frame_says_what_is_missing():
    script = "\n".join([
        "import sys",
        "sys.modules['pandas'] = None  # as if it were not installed",
        "import fiberbridge",
        "r = fiberbridge.run(division=4)",
        "try:",
        "    r.to_frame()",
        "except ImportError as e:",
        "    print(e)",
    ])
    child = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60)
    assert child.returncode == 0, child.stderr
    assert "needs pandas" in child.stdout


def test_frames_hold_the_rows_and_a_row_per_run():
    pytest.importorskip("pandas")
    runs = fiberbridge.grid(kxy=[0.5, 2, 0], base={"division": 8, "Vf": 0.015})
    results = fiberbridge.study(runs)
    rows = results[0].to_frame()
    assert list(rows.columns) == ["step", "Wcr", "P", "sigma", "ratio"]
    assert rows["sigma"].to_numpy().tobytes() == results[0].sigma.tobytes()
    table = fiberbridge.to_frame(results)
    assert list(table["kxy"]) == [0.5, 2, 0]  # only the input that varies
    assert "Vf" not in table.columns
    assert list(table["peak_stress"][:2]) == [results[0].peak_stress, results[1].peak_stress]
    assert table["message"][2].startswith("kxy") and table["message"][0] is None
    assert table.attrs["units"]["peak_force"] == "kN" and "kxy" not in table.attrs["units"]
    # A stopped study's results hold None for the runs it did not finish.
    stopped = fiberbridge.to_frame([results[0], None, results[2]])
    assert list(stopped["status"]) == ["finished", "not run", "refused"]
    assert list(stopped["kxy"][[0, 2]]) == [0.5, 0]


def test_a_design_frame_joins_its_results_and_an_empty_cell_is_the_default(tmp_path):
    pd = pytest.importorskip("pandas")
    design = pd.DataFrame({"specimen": ["a", "b", "c"], "kxy": [0.5, 2.0, 0.0], "Vf": [0.01, float("nan"), 0.02]},
                          index=pd.Index([11, 12, 13], name="id"))
    design["division"] = 6
    with pytest.warns(UserWarning, match="the design's columns specimen are no inputs"):
        results = fiberbridge.study(design)
    assert results[1].inputs["Vf"] == fiberbridge.defaults()["Vf"]  # NaN: the default
    table = fiberbridge.to_frame(results, design)
    assert list(table.index) == [11, 12, 13] and table.index.name == "id"
    assert list(table["specimen"]) == ["a", "b", "c"] and list(table["status"]) == ["finished", "finished", "refused"]
    assert table.loc[12, "peak_stress"] == results[1].peak_stress
    assert table.attrs["units"]["peak_width"] == "mm"
    # The command line's summary of the same runs reads under the same names.
    subprocess.run([CLI, "-q", "--sweep", "kxy=0.5,2,0", "--division", "6", "--output-dir", str(tmp_path / "s")],
                   capture_output=True)
    summary = fiberbridge.to_frame(fiberbridge.read_summary(tmp_path / "s" / "summary.csv"))
    assert {"status", "peak_force", "peak_stress", "message"} <= set(summary.columns)
    assert set(table.columns) - {"specimen", "kxy", "Vf", "division"} <= set(summary.columns)
    with pytest.raises(ValueError, match="design: 2 rows for 3 runs"):
        fiberbridge.to_frame(results, design[:2])
