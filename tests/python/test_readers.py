"""The readers give back what the program writes: data files, input sets and a study's summary.csv."""

import os
import pathlib
import subprocess
import sys
import threading

import numpy as np
import pytest

import fiberbridge

CLI = os.environ.get("FIBERBRIDGE_CLI", "fiberbridge-cli")
PROJECT = pathlib.Path(__file__).resolve().parents[2]


def test_a_data_file_reads_back_as_its_rows_and_header(tmp_path):
    inputs = {"Vf": 0.015, "Am": 1.5e7, "kxy": 2, "fp0": 0.7, "fp1": -1, "thetaRxy": 10, "division": 12}
    r = fiberbridge.run(inputs)
    r.write_data_file(tmp_path / "run.p-d")
    d = fiberbridge.read_data_file(tmp_path / "run.p-d")
    assert d.inputs["Vf"] == "0.015" and d.inputs["Am"] == "1.5E+07" and d.inputs["kxy"] == "2"
    assert d.inputs["fp0"] == "0.7" and "fp1" not in d.inputs  # a negative fp1 is not written
    assert d.inputs["thetaRxy"] == "10" and d.inputs["strengthReduction"] == "0.3"
    assert "division" not in d.inputs and "A" not in d.inputs
    assert d.total_fiber == pytest.approx(1.5e7 * 0.015 / 0.007854, rel=1e-6)
    assert len(d.calculated) == len("09:05:07 on 03-04-2026")
    assert d.step.tobytes() == r.step.tobytes()
    for column, decimals in (("Wcr", 5), ("P", 2), ("sigma", 5), ("ratio", 5)):
        assert np.abs(getattr(d, column) - getattr(r, column)).max() <= 0.5 * 10 ** -decimals * (1 + 1e-9), column
    assert d.peak_force == pytest.approx(r.peak_force, abs=1e-5)
    # Read on its own terms: the rows it holds, written again as CSV.
    d.to_csv(tmp_path / "back.csv")
    assert (tmp_path / "back.csv").read_text().splitlines()[1].startswith("0,")


def test_a_file_that_is_no_data_file_is_refused_with_its_line(tmp_path):
    r = fiberbridge.run(division=3)
    r.write_data_file(tmp_path / "run.p-d")
    lines = (tmp_path / "run.p-d").read_bytes().split(b"\r\n")
    for number, broken, reason in ((3, b"    Af(mm2)=x", "not the header line"),
                                   (8, b" 1            0.1", "holds 2 values"),
                                   (9, b" 2            0.1  nan  1  1", '"nan" is not a number')):
        changed = lines.copy()
        changed[number - 1] = broken
        (tmp_path / "bad.p-d").write_bytes(b"\r\n".join(changed))
        with pytest.raises(ValueError, match=f"bad.p-d:{number}: .*{reason}"):
            fiberbridge.read_data_file(tmp_path / "bad.p-d")


def test_an_input_set_saved_by_the_command_line_repeats_its_run(tmp_path):
    saved = tmp_path / "sample.inputs"
    subprocess.run([CLI, "-o", os.devnull, "--Vf", "0.015", "--kxy", "12mm", "--division", "9",
                    "--save-inputs", str(saved)], check=True, capture_output=True)
    inputs = fiberbridge.read_inputs(saved)
    assert inputs["kxy"] == "12mm" and inputs["division"] == "9" and "dataFile" not in inputs
    # Every input but a preset, which a set holds only where one is used.
    assert list(inputs) == [f.name for f in fiberbridge.fields() if f.name != "orientation"]
    again = fiberbridge.run(inputs)
    assert again.sigma.tobytes() == fiberbridge.run(Vf=0.015, kxy=12, division=9).sigma.tobytes()
    subprocess.run([CLI, "-o", os.devnull, "--orientation", "isotropic", "--division", "9",
                    "--save-inputs", str(saved)], check=True, capture_output=True)
    inputs = fiberbridge.read_inputs(saved)
    assert list(inputs) == [f.name for f in fiberbridge.fields()] and inputs["orientation"] == "isotropic"
    isotropic = fiberbridge.run(inputs)
    assert isotropic.sigma.tobytes() == fiberbridge.run(orientation="isotropic", division=9).sigma.tobytes()
    assert isotropic.peak_stress != fiberbridge.run(division=9).peak_stress
    # A fit's doubt about a saved value comes back with the set.
    saved.write_text("# warning: Am has no effect on the computed stress: fix it\n# a note\nVf = 0.01\n")
    with pytest.warns(UserWarning, match=r"^Am has no effect on the computed stress: fix it \(saved in .*sample.inputs\)$"):
        assert fiberbridge.read_inputs(saved) == {"Vf": "0.01"}
    saved.write_text("Vf = 0.01\nVff = 2\n")
    with pytest.raises(ValueError, match="sample.inputs:2"):
        fiberbridge.read_inputs(saved)


def test_a_summary_reads_as_the_python_study_of_the_same_grid(tmp_path):
    out = tmp_path / "study"
    cli = subprocess.run([CLI, "--sweep", "kxy=0.5,2,0", "--sweep", "Vf=0.01,0.02", "--division", "6",
                          "--output-dir", str(out), "--jobs", "1"], capture_output=True, text=True)
    assert cli.returncode == 1  # the kxy=0 runs are refused
    rows = fiberbridge.read_summary(out / "summary.csv")
    results = fiberbridge.study(fiberbridge.grid(kxy=[0.5, 2, 0], Vf=[0.01, 0.02], base={"division": 6}))
    assert [(row["kxy"], row["Vf"]) for row in rows] == [(0.5, 0.01), (0.5, 0.02), (2, 0.01), (2, 0.02), (0, 0.01),
                                                         (0, 0.02)]
    for row, r in zip(rows, results):
        assert row["status"] == ("finished" if r.ok else "refused")
        # Every figure a Run has sits under the heading of its key, at full precision both ways.
        for key in fiberbridge._tables.FIGURES:
            assert row[fiberbridge._tables.HEADINGS[key]] == getattr(r, key), key
        # The command line's word on J'b is Python's, and its message says which division resolves it.
        assert row["J'b resolved"] == (None if not r.ok else "yes" if r.jb_resolved else "no")
        assert row["message"] == (r.refusal.reason if not r.ok else None if r.jb_resolved else f"J'b {r.jb_resolution}")


def test_a_studys_data_file_that_cannot_be_opened_names_its_path_and_reason(tmp_path):
    out = tmp_path / "study"
    (out / "kxy=2.p-d").mkdir(parents=True)  # a folder where the data file goes
    subprocess.run([CLI, "--sweep", "kxy=1,2", "--division", "4", "--output-dir", str(out)], capture_output=True)
    rows = fiberbridge.read_summary(out / "summary.csv")
    assert rows[0]["status"] == "finished"
    assert rows[1]["status"] == "failed"
    assert rows[1]["message"] == f"{out / 'kxy=2.p-d'}: Is a directory"


def test_a_shards_part_reads_as_the_whole_studys_summary_of_its_runs(tmp_path):
    sweep = ["--sweep", "kxy=0.5,1,2", "--division", "4", "--jobs", "1"]
    subprocess.run([CLI, *sweep, "--output-dir", str(tmp_path / "whole")], check=True, capture_output=True)
    subprocess.run([CLI, *sweep, "--output-dir", str(tmp_path / "part"), "--shard", "2/2"], check=True,
                   capture_output=True)
    whole = fiberbridge.read_summary(tmp_path / "whole" / "summary.csv")
    part = fiberbridge.read_summary(tmp_path / "part" / "summary-shard-2-of-2.csv")
    assert [row["status"] for row in part] == ["finished"]
    assert part[0] == whole[1]


def fifo(at):
    os.mkfifo(at)

    def unblock():  # were the reader waiting for a writer, this ends its wait
        try:
            os.close(os.open(at, os.O_WRONLY | os.O_NONBLOCK))
        except OSError:
            pass
    timer = threading.Timer(2, unblock)
    timer.daemon = True
    timer.start()


@pytest.mark.parametrize("make, error, says", [
    (lambda at: None, FileNotFoundError, "No such file"),
    (lambda at: at.mkdir(), IsADirectoryError, "not a regular file"),
    pytest.param(lambda at: at.write_text("x") and at.chmod(0), PermissionError, "Permission denied",
                 marks=pytest.mark.skipif(os.geteuid() == 0, reason="root reads any file")),
    (fifo, ValueError, "not a regular file"),
    (lambda at: at.write_bytes(b"") or os.truncate(at, (64 << 20) + 1), ValueError, "larger than 64 MiB"),
    (lambda at: at.write_bytes(b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe"), ValueError, ""),
])
@pytest.mark.parametrize("reader", [fiberbridge.read_data_file, fiberbridge.read_inputs, fiberbridge.read_summary])
def test_every_reader_refuses_as_the_command_line_does_with_pythons_exceptions(tmp_path, reader, make, error, says):
    at = tmp_path / "file"
    make(at)
    with pytest.raises(error, match=says) as raised:
        reader(at)
    assert str(at) in str(raised.value) and not isinstance(raised.value, UnicodeError)
    if issubclass(error, OSError):
        assert raised.value.errno is not None and raised.value.filename == str(at)


def test_a_summary_that_lost_a_field_names_its_line(tmp_path):
    # The second run's line lost a field.
    (tmp_path / "summary.csv").write_text("kxy,data file,status,message\n0.5,kxy=0.5.p-d,finished,\n"
                                          "2,kxy=2.p-d,finished\n")
    with pytest.raises(ValueError, match="summary.csv:3: 3 fields under a header of 4"):
        fiberbridge.read_summary(tmp_path / "summary.csv")


def test_a_file_named_dash_is_that_file_not_standard_input(tmp_path):
    (tmp_path / "-").write_text("Vf = 0.03\n")
    child = subprocess.run([sys.executable, "-c", "import fiberbridge; print(fiberbridge.read_inputs('-')['Vf'])"],
                           cwd=tmp_path, input="Vf = 0.02\n", capture_output=True, text=True, timeout=60)
    assert child.stdout == "0.03\n", child.stderr


def test_curve_files_read_as_the_command_line_reads_them_and_fit_as_given(tmp_path):
    measured = tmp_path / "m.csv"
    measured.write_text("crack width;stress;sd\n# Vf = 0.01\n0,1;1,5;0,25\n0,2;2;0,5\n")
    curve = fiberbridge.read_measured(measured)
    assert curve["name"] == str(measured) and curve["inputs"] == {"Vf": "0.01"}
    assert curve["w"].tolist() == [0.1, 0.2] and curve["sigma"].tolist() == [1.5, 2.0]
    assert curve["sd"].tolist() == [0.25, 0.5]
    (tmp_path / "bad.csv").write_text("0.1,1\n0.2,x\n")
    with pytest.raises(ValueError, match=f"{tmp_path / 'bad.csv'}:2: stress"):
        fiberbridge.read_measured(tmp_path / "bad.csv")

    test = tmp_path / "p.csv"
    test.write_text("# lb = 3\n# angle = 30\n# free length = 10\n# Ef = 40\n# Af = 0.0012566\n0,0\n0.5,1.25\n")
    read = fiberbridge.read_pullout(test)
    assert (read["lb"], read["angle"], read["free_length"], read["Ef"], read["compliance"]) == (3, 30, 10, 40, 0)
    assert read["slip"].tolist() == [0, 0.5] and read["load"].tolist() == [0, 1.25] and read["sd"] is None
    assert read["inputs"] == {"Af": "0.0012566"}

    # What a reader gives is what fit takes: the same fit as from the command line's file.
    sample = PROJECT / "examples" / "sample-synthetic.csv"
    by_reader = fiberbridge.fit(curves=[fiberbridge.read_measured(sample)], free={"A": (0.5, 4)}, starts=2)
    cli = subprocess.run([CLI, "--measured", str(sample), "--fit", "A=0.5:4", "--fit-starts", "2", "-q"],
                         capture_output=True, text=True)
    assert cli.returncode == 0, cli.stderr
    assert by_reader.report_text().split("\n")[1:] == cli.stdout.split("\n")[1:]  # the clock's line aside


def test_the_example_notebook_runs_from_top_to_bottom():
    nbformat = pytest.importorskip("nbformat", reason="nbformat is not installed: the notebook is not run")
    preprocessors = pytest.importorskip("nbconvert.preprocessors",
                                        reason="nbconvert is not installed: the notebook is not run")
    examples = pathlib.Path(__file__).resolve().parents[2] / "examples"
    notebook = nbformat.read(examples / "notebook.ipynb", as_version=4)
    preprocessors.ExecutePreprocessor(timeout=600).preprocess(notebook, {"metadata": {"path": str(examples)}})
    printed = "".join(out.get("text", "") for cell in notebook.cells if cell.cell_type == "code"
                      for out in cell.outputs)
    assert "fitted" in printed or "RMS" in printed, printed
    assert "<fiberbridge.Run Vf=0.015, kxy=2, division=40: 81 steps" in printed, printed
