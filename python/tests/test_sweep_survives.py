"""Sweeps that survive: a worker that ends costs only its run, finished runs
are on the disk as they finish, and a resumed sweep ends with the table of
an unbroken one, byte for byte."""
import os
import re
import signal
import subprocess
import sys
import textwrap
import time

import pandas as pd
import pytest

import lemvaris
from lemvaris import sweeps
from test_sweep_stops import in_session

PARAMETERS = dict(N=24, M=30, K=200, Ah=[0.0, 0.5, 1.0], Kh=0.6, G=0.2, rSz=2)
SEEDS = [0, 1, 2, 3]
SWEEP = dict(parameters=PARAMETERS, steps=6000, sample_every=2000, seeds=SEEDS)
OTHER = "is a sweep of other parameters, seeds, measures, observables or stop"


@pytest.fixture(scope="module")
def unbroken():
    return lemvaris.sweep(**SWEEP, processes=1)


def counted_runs(monkeypatch, stop_after=None):
    """run_one, counted, in this process (processes=1); KeyboardInterrupt
    in place of the run after `stop_after` runs."""
    calls, real = [], sweeps.run_one

    def run_one(parameters, steps, sample_every, seed=0, *more, **options):
        if len(calls) == stop_after:
            raise KeyboardInterrupt
        calls.append((parameters[3], seed))
        return real(parameters, steps, sample_every, seed, *more, **options)
    monkeypatch.setattr(sweeps, "run_one", run_one)
    return calls


def test_a_run_that_ends_its_worker_runs_again_and_twice_is_given_up(unbroken, tmp_path,
                                                                      monkeypatch):
    # Ah=1 seed 2 ends its worker once, Ah=0.5 seed 3 every time.
    (tmp_path / "faulty.py").write_text(textwrap.dedent("""
        import os, signal
        from lemvaris import sweeps
        real = sweeps.run_one

        def run_one(parameters, steps, sample_every, seed=0, *more, **options):
            with open("calls", "a") as calls:
                print(parameters[3], seed, file=calls)
            if (parameters[3], seed) == (0.5, 3) or \\
                    (parameters[3], seed) == (1.0, 2) and os.path.exists("once"):
                if seed == 2:
                    os.unlink("once")
                os.kill(os.getpid(), signal.SIGKILL)
            return real(parameters, steps, sample_every, seed, *more, **options)
    """))
    (tmp_path / "once").touch()
    script = textwrap.dedent(f"""
        import faulty, lemvaris
        from lemvaris import sweeps
        sweeps.run_one = faulty.run_one
        try:
            lemvaris.sweep(**{SWEEP!r}, processes=2, out="results.csv")
        except sweeps.LostRuns as lost:
            lost.table.to_pickle("kept.pkl")
            print(lost)
    """)
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(
        [str(tmp_path), os.path.dirname(os.path.dirname(lemvaris.__file__))]))
    run = subprocess.run([sys.executable, "-c", script], cwd=tmp_path, env=env,
                         capture_output=True, text=True, timeout=300)
    assert run.returncode == 0 and run.stderr == "", run.stderr
    assert run.stdout.startswith(
        "1 run ended the worker process that ran it, each of 2 times: N=24, M=30, K=200, "
        "Ah=0.5, Kh=0.6, G=0.2, rSz=2, seed=3 (signal SIGKILL); the other runs' rows are in this "
        "error's table and in results.csv.partial"), run.stdout
    calls = (tmp_path / "calls").read_text().split()
    assert calls.count("1.0") == 4 + 1 and not (tmp_path / "once").exists()  # ran again
    lost = (unbroken["Ah"] == 0.5) & (unbroken["seed"] == 3)
    pd.testing.assert_frame_equal(pd.read_pickle(tmp_path / "kept.pkl"),
                                  unbroken[~lost].reset_index(drop=True), check_exact=True)
    assert sorted(p.name for p in tmp_path.glob("results*")) == ["results.csv.partial"]

    # Resumed, only the lost run runs; the table is the unbroken sweep's.
    calls = counted_runs(monkeypatch)
    out = tmp_path / "results.csv"
    resumed = lemvaris.sweep(**SWEEP, processes=1, out=out, resume=True)
    assert calls == [(0.5, 3)]
    pd.testing.assert_frame_equal(resumed, unbroken, check_exact=True)
    assert out.read_text() == sweeps.csv_text(unbroken)
    assert not (tmp_path / "results.csv.partial").exists()


def test_a_command_line_sweep_killed_outright_resumes_to_the_same_bytes(tmp_path):
    arguments = [sys.executable, "-m", "lemvaris", "sweep", "--N", "60", "--M", "60", "--K",
                 "900", "--Ah", "0:1:0.5", "--Kh", "0.8", "--G", "0.2", "--rSz", "3",
                 "--steps", "100000", "--seeds", "0:2", "--processes", "2", "--out",
                 "results.csv"]
    partial = tmp_path / "results.csv.partial"
    process = subprocess.Popen(arguments, cwd=tmp_path, start_new_session=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 120
    while not partial.exists() or partial.read_text().count("\n# ") < 2:
        assert process.poll() is None and time.monotonic() < deadline
        time.sleep(0.05)
    os.kill(process.pid, signal.SIGKILL)
    process.wait()
    deadline = time.monotonic() + 5
    while in_session(process.pid):  # the workers end with their parent
        assert time.monotonic() < deadline, in_session(process.pid)
        time.sleep(0.1)
    with partial.open("a") as file:  # as if the kill came in the middle of a run's rows
        file.write("60,60,900,0.5,0.8,0.2,3,1,0,5")
    before = partial.read_bytes()

    other = subprocess.run(arguments[:-6] + ["--seeds", "0:3", "--processes", "2", "--out",
                                             "results.csv", "--resume"],
                           cwd=tmp_path, capture_output=True, text=True, timeout=60)
    assert (other.returncode, other.stderr) == (2, "python3 -m lemvaris: --resume: "
                                                   f"results.csv.partial {OTHER}\n")
    assert partial.read_bytes() == before

    resumed = subprocess.run(arguments + ["--resume"], cwd=tmp_path, capture_output=True,
                             text=True, timeout=300)
    assert resumed.returncode == 0, resumed.stderr
    expected = lemvaris.sweep(dict(N=60, M=60, K=900, Ah=[0, 0.5, 1], Kh=0.8, G=0.2, rSz=3),
                              100000, seeds=3, processes=1)
    assert (tmp_path / "results.csv").read_text() == sweeps.csv_text(expected)
    assert not partial.exists()


@pytest.mark.parametrize("change,message", [
    (dict(steps=7000), "is a sweep of steps 6000, not 7000"),
    (dict(sample_every=3000), "is a sweep of sample_every 2000, not 3000"),
    (dict(seeds=[0, 1, 2, 4]), OTHER),
    (dict(parameters=dict(PARAMETERS, Ah=[0.0, 0.5, 0.75])), OTHER),
    (dict(measures=["clusters"]), OTHER),
    ("version 0.0.1", "is a sweep of version 0.0.1, not " + lemvaris.__version__),
])
def test_a_resume_of_another_sweep_is_refused(change, message, tmp_path, monkeypatch):
    out = tmp_path / "results.csv"
    counted_runs(monkeypatch, stop_after=3)
    with pytest.raises(KeyboardInterrupt):
        lemvaris.sweep(**SWEEP, processes=1, out=out)
    partial = tmp_path / "results.csv.partial"
    if isinstance(change, str):
        partial.write_text(partial.read_text().replace(f"version {lemvaris.__version__}",
                                                       change, 1))
        change = {}
    before = partial.read_bytes()
    with pytest.raises(sweeps.OtherSweep,
                       match=f"^resume: {re.escape(str(partial))} {message}$") as refused:
        lemvaris.sweep(**dict(SWEEP, **change), processes=1, out=out, resume=True)
    assert "\n" not in str(refused.value) and partial.read_bytes() == before
