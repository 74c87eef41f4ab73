"""Sweeps: the same table whoever runs them, rows that are the runs' real
samples, the batch runner's table byte for byte, refusals before any work,
and the command line."""
import io
import itertools
import logging
import os
import re
import socket
import subprocess
import sys
import time

import pandas as pd
import pytest

import lemvaris
from lemvaris.__main__ import parse_values

GRID_4x4 = dict(N=[24], M=[30], K=[200], Ah=[-0.5, 0.0, 0.5, 1.0], Kh=[0.0, 0.3, 0.6, 0.9],
                G=[0.2], rSz=[2])
SEEDS = [0, 20261208]
STEPS = 5000


@pytest.fixture(scope="module")
def serial_table():
    return lemvaris.sweep(GRID_4x4, STEPS, sample_every=2000, seeds=SEEDS, processes=1)


def test_serial_processes_and_dask_give_the_same_table(serial_table):
    from distributed import Client, LocalCluster

    local = lemvaris.sweep(GRID_4x4, STEPS, sample_every=2000, seeds=SEEDS, processes=2)
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                      silence_logs=logging.ERROR) as cluster, Client(cluster) as client:
        assert len(client.scheduler_info()["workers"]) == 2
        on_dask = lemvaris.sweep(GRID_4x4, STEPS, sample_every=2000, seeds=SEEDS, client=client)
    assert len(serial_table) > 32
    for other in (local, on_dask):
        pd.testing.assert_frame_equal(serial_table, other, check_exact=True)
        assert serial_table.equals(other)
    # Without seeds: the runs from seed 0, and only those.
    today = lemvaris.sweep(GRID_4x4, STEPS, sample_every=2000, processes=1)
    seed_zero = serial_table[serial_table["seed"] == 0].reset_index(drop=True)
    pd.testing.assert_frame_equal(today, seed_zero, check_exact=True)
    at_0 = serial_table[serial_table["T"] == 0]
    placements = [at_0[at_0["seed"] == seed][list(lemvaris.MEASURES)].to_numpy() for seed in SEEDS]
    assert (placements[0] != placements[1]).any()  # the other seed placed otherwise


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


@pytest.fixture(scope="module")
def scheduler_by_hand(tmp_path_factory):
    """dask-scheduler and two single-threaded dask-worker processes started
    as a person starts them, with no client of this process among them (a
    Client made here would be the default client and hide its absence)."""
    address = f"tcp://127.0.0.1:{free_port()}"
    logs = tmp_path_factory.mktemp("dask")
    env = dict(os.environ, PYTHONPATH=os.path.dirname(os.path.dirname(lemvaris.__file__)))
    commands = [["dask-scheduler", "--host", "127.0.0.1", "--port", address.rsplit(":", 1)[1],
                 "--no-dashboard"]] + [["dask-worker", address, "--nthreads", "1",
                                        "--no-dashboard"]] * 2
    started = []
    for i, command in enumerate(commands):
        with open(logs / f"{i}.log", "w") as log:
            started.append(subprocess.Popen(command, env=env, stdout=log, stderr=log,
                                            cwd=logs))
    try:
        waiting = subprocess.run([sys.executable, "-c", "import sys; from distributed import "
                                  "Client; Client(sys.argv[1], timeout=60).wait_for_workers(2, 60)",
                                  address], capture_output=True, text=True, timeout=120)
        assert waiting.returncode == 0, waiting.stderr
        yield address
    finally:
        for process in reversed(started):  # workers first, then the scheduler
            process.terminate()
            process.wait(timeout=60)
    assert [process.returncode for process in started] == [0, 0, 0], \
        [(logs / f"{i}.log").read_text()[-2000:] for i in range(3)]


def test_a_scheduler_and_workers_started_by_hand(serial_table, scheduler_by_hand, tmp_path):
    """By address, from Python and from the command line: the serial table."""
    by_address = lemvaris.sweep(GRID_4x4, STEPS, sample_every=2000, seeds=SEEDS,
                                client=scheduler_by_hand)
    pd.testing.assert_frame_equal(serial_table, by_address, check_exact=True)
    out = tmp_path / "results.csv"
    run = cli("--N", "24", "--M", "30", "--K", "200", "--Ah=-0.5,0,0.5,1", "--Kh", "0:0.9:0.3",
              "--G", "0.2", "--rSz", "2", "--steps", str(STEPS), "--sample-every", "2000",
              "--seeds", ",".join(map(str, SEEDS)), "--scheduler", scheduler_by_hand,
              "--out", str(out))
    assert run.returncode == 0, run.stderr
    assert out.read_text() == lemvaris.sweeps.csv_text(serial_table)


def test_rows_are_every_runs_samples_at_the_sampling_times(serial_table):
    assert list(serial_table.columns) == list(lemvaris.COLUMNS)
    assert list(serial_table.columns[6:9]) == ["rSz", "seed", "T"]
    assert serial_table.attrs == dict(version=lemvaris.__version__, steps=STEPS,
                                      sample_every=2000)
    runs = serial_table.groupby(list(lemvaris.RUN), sort=False)
    assert runs.ngroups == 32
    # Every combination once, the seed varying fastest, then the last parameter.
    firsts = runs.head(1)
    assert list(zip(firsts["Ah"], firsts["Kh"], firsts["seed"])) == [
        (a, k, seed) for a in GRID_4x4["Ah"] for k in GRID_4x4["Kh"] for seed in SEEDS]
    for values, run in runs:
        frozen = run["frozen_at"].iloc[-1]
        assert run["frozen_at"].iloc[:-1].isna().all()  # only the last row knows
        if pd.isna(frozen):
            assert list(run["T"]) == [0, 2000, 4000, 5000]
        else:  # a frozen run stops at its frozen T
            assert list(run["T"]) == [T for T in (0, 2000, 4000) if T < frozen] + [frozen]
        reactor = lemvaris.Reactor(*values[:-1], seed=values[-1])
        for _, row in run.iterrows():
            reactor.step(row["T"] - reactor.T)
            assert reactor.measures() == {name: row[name] for name in lemvaris.MEASURES}
        if not pd.isna(frozen):  # it cannot move on from there
            assert reactor.step(1) == 0 and reactor.frozen


def test_the_command_lines_table_is_the_batch_runners_byte_for_byte(batch):
    """Each number read as the batch runner reads it (0.81635414257042066 is
    not Python's float of it), a negative value as a word of its own, a comma
    list: the rows are lemvaris-batch's, a frozen run's last one included."""
    run = cli("--N", "40", "--M", "40", "--K", "400", "--Ah", "0", "--Kh",
              "0,0.81635414257042066", "--G", "-0.7", "--rSz", "1", "--steps", "20000",
              "--sample-every", "3000", "--out", "-", "--processes", "1")
    assert run.returncode == 0, run.stderr
    expected = ""
    for kh in ("0", "0.81635414257042066"):
        rows = batch(dict(N=40, M=40, K=400, Ah=0, Kh=kh, G=-0.7, rSz=1), 20000,
                     "--sample-every", 3000).stdout
        expected += rows.split("\n", 1)[1] if expected else rows
    assert run.stdout == expected
    table = pd.read_csv(io.StringIO(run.stdout))
    assert tuple(table.columns) == lemvaris._core.TABLE_COLUMNS
    assert table["frozen_at"].notna().any() and set(table["Kh"]) == {0, 0.8163541425704206}


def test_list_of_dicts_and_single_values():
    runs = [dict(N=20, M=20, K=50, Ah=0.5, Kh=0.5, G=0.0, rSz=2),
            dict(N=20, M=20, K=50, Ah=0.5, Kh=0.5, G=0.25, rSz=2)]
    from_list = lemvaris.sweep(runs, 3000, sample_every=1000, seeds=[0, 1], processes=1)
    from_dict = lemvaris.sweep(dict(N=20, M=20, K=50, Ah=0.5, Kh=0.5, G=[0, 0.25], rSz=2), 3000,
                               sample_every=1000, seeds=2, processes=1)
    pd.testing.assert_frame_equal(from_list, from_dict, check_exact=True)
    assert list(from_list["T"]) == [0, 1000, 2000, 3000] * 4
    assert list(from_list["seed"]) == [0] * 4 + [1] * 4 + [0] * 4 + [1] * 4


@pytest.mark.parametrize("parameters,message", [
    (dict(GRID_4x4, Kh=[0.5, 1.5]), "Kh must be"),
    (dict(GRID_4x4, K=[721]), "K must be at most N\\*M = 720"),
    ({k: v for k, v in GRID_4x4.items() if k != "rSz"}, "missing rSz"),
    (dict(GRID_4x4, gravity=[1]), "unknown gravity"),
    ([dict(N=5, M=5, K=5, Ah=0, Kh=0, G=0, rSz=0)], "run 0: rSz must be"),
    ([dict(N=5, M=5, K=5, Ah=0, Kh=0, G=0, rSz=1.5)], "run 0: rSz must be an integer"),
    # Counted before anything is built: 100 values of each parameter are 10**14 runs.
    ({name: [0.01 * i for i in range(100)] for name in lemvaris.PARAMETERS},
     "the sweep has 100000000000000 runs, more than max_runs=100000"),
    (itertools.repeat(dict(N=5, M=5, K=5, Ah=0, Kh=0, G=0, rSz=1)), "more than max_runs"),
    # A repeated run would stand as two in every summary.
    (dict(GRID_4x4, Ah=[0, 0.5, 0.5, 1]), "parameters: Ah: 0.5 is given more than once"),
    ([dict(N=5, M=5, K=5, Ah=0, Kh=0, G=0, rSz=1)] * 2, "run 1: the same parameters as run 0"),
])
def test_bad_runs_are_refused_before_any_work(parameters, message, monkeypatch):
    monkeypatch.setattr(lemvaris.sweeps, "run_one", None)  # would fail if called
    with pytest.raises((ValueError, TypeError), match=message):
        lemvaris.sweep(parameters, 100, processes=1)
    # 16 parameter sets from 2 seeds: 32 runs.
    with pytest.raises(ValueError, match="32 runs, more than max_runs=31; pass max_runs=32"):
        lemvaris.sweep(GRID_4x4, 100, seeds=2, max_runs=31)


def test_bad_steps_and_sampling_are_refused():
    with pytest.raises(ValueError, match="steps"):
        lemvaris.sweep(GRID_4x4, -1)
    with pytest.raises(ValueError, match="sample_every"):
        lemvaris.sweep(GRID_4x4, 100, sample_every=0)
    with pytest.raises(TypeError, match="client"):
        lemvaris.sweep(GRID_4x4, 100, client=8786)
    for address in ("foo", "inproc://x", "tcp://host:99999", "tcp://host"):
        with pytest.raises(ValueError, match="not a scheduler's address"):
            lemvaris.sweep(GRID_4x4, 100, client=address)
    with pytest.raises(ValueError, match="processes"):
        lemvaris.sweep(GRID_4x4, 100, processes=0)
    for seeds, message in [(0, ""), ([], ""), ([-1], ""), ([2**32], ""),
                           ([4, 3, 4], ": 4 is given more than once"),
                           # Counted as read, never listed whole.
                           (itertools.count(), ": more than 100000 seeds")]:
        with pytest.raises(ValueError, match=f"^seeds{message}"):
            lemvaris.sweep(GRID_4x4, 100, seeds=seeds, processes=1)
    for seeds in ([1.5], "3"):
        with pytest.raises(TypeError, match="^seeds"):
            lemvaris.sweep(GRID_4x4, 100, seeds=seeds, processes=1)


def test_ranges_include_their_stop_and_keep_decimal_values():
    assert parse_values("Ah", "0:1:0.25") == [0.0, 0.25, 0.5, 0.75, 1.0]
    assert parse_values("Kh", "0:0.3:0.1") == [0.0, 0.1, 0.2, 0.3]
    assert parse_values("G", "-1:1:0.5") == [-1.0, -0.5, 0.0, 0.5, 1.0]
    assert parse_values("N", "10:55:20") == [10, 30, 50]
    # Whole numbers count by 1 when the step is left out.
    assert parse_values("seeds", "0:9") == list(range(10))
    # A comma always separates values; lists of numbers and ranges.
    assert parse_values("Ah", "0,1") == [0.0, 1.0]
    assert parse_values("Kh", "0:0.4:0.2,1") == [0.0, 0.2, 0.4, 1.0]
    for name, text, message in [
            ("Ah", "0:1", "neither a number nor START:STOP:STEP"),
            ("Ah", "1:0:0.5", "step must be positive"), ("Ah", "0:1:0", "step must be positive"),
            ("N", "10:20:2.5", 'must be an integer from 1 to 250, not "12.5"'),
            ("Ah", "0,5", 'must be a number from -1 to 1, not "5"'),
            ("seeds", "-1", ': seed must be an integer from 0 to 4294967295, not "-1"'),
            ("seeds", "0:4294967295", "more than 100000 values"),
            ("Ah", "0:1:1e-999999999", "more than 100000 values"),
            ("N", "1e999:1000", "out of range"), ("Ah", "0,0.5,0", "gives 0 more than once")]:
        with pytest.raises(ValueError, match=f"^--{name}.*{re.escape(message)}"):
            parse_values(name, text)


def cli(*arguments):
    return subprocess.run([sys.executable, "-m", "lemvaris", "sweep", *arguments],
                          capture_output=True, text=True, timeout=300)


def test_command_line_writes_the_sweeps_table(tmp_path):
    out = tmp_path / "results.csv"
    run = cli("--N", "20", "--M", "24", "--K", "150", "--Ah", "0,0.5:1:0.5", "--Kh", "0.6",
              "--G", "-0.2:0.2:0.4", "--rSz", "2", "--steps", "4500", "--out", str(out),
              "--processes", "2", "--seeds", "3:4")
    assert run.returncode == 0, run.stderr
    expected = lemvaris.sweep(dict(N=20, M=24, K=150, Ah=[0, 0.5, 1], Kh=0.6, G=[-0.2, 0.2],
                                   rSz=2), 4500, seeds=[3, 4], processes=1)
    assert out.read_text() == lemvaris.sweeps.csv_text(expected)


@pytest.mark.parametrize("arguments,named", [
    (["--Ah", "0:2:0.5"], '--Ah must be a number from -1 to 1, not "1.5"'),
    (["--Ah", "0:1"], "--Ah"),
    (["--N=30"], "--N given twice"),
    (["--Ah=0:1:1e-20"], "--Ah"),  # counted, never built
    (["--Ah=0:1:1e-30"], "--Ah"),
    (["--Ah", "0,0.5,0"], "--Ah"),
    (["--seeds", "0:99998,7"], '--seeds: "0:99998,7" gives 7 more than once'),  # in linear time
    (["--steps", "-5"], "--steps"),
    (["--steps", "many"], "--steps"),
    (["--seeds", "-1"], "--seeds"),
    (["--seeds", "4294967296"], "--seeds"),
    (["--seeds", "0:1e12"], "--seeds"),
    (["--Kh", "0:1:0.01", "--seeds", "0:999"], "--max-runs 101000"),
    (["--Ah", "0,1", "--max-runs", "1"], "--max-runs 2"),
    (["--resume", "--resume"], "--resume given twice"),
    (["--out", "-", "--resume"], "--resume needs --out FILE"),
    (["--scheduler", "foo"], "--scheduler"),
    (["--scheduler", "inproc://x"], "--scheduler"),
    (["--out", ""], 'cannot write ""'),
    (["--out", "/proc/version"], '"/proc/version"'),
    (["--out", "{tmp}/folder"], "folder"),
    (["--out", "{tmp}/fifo"], "fifo"),
    (["--out", "-", "--closed-stdout"], "standard output is closed"),
])
def test_command_line_refusals_exit_2_at_once_with_one_line(arguments, named, tmp_path):
    (tmp_path / "folder").mkdir()
    os.mkfifo(tmp_path / "fifo")
    base = {"--N": "10", "--M": "10", "--K": "20", "--Ah": "0", "--Kh": "0", "--G": "0.2",
            "--rSz": "1", "--steps": "100", "--out": str(tmp_path / "results.csv")}
    closed = "--closed-stdout" in arguments
    arguments = [a.replace("{tmp}", str(tmp_path)) for a in arguments if a != "--closed-stdout"]
    options = [a for a in arguments if "=" in a or a == "--resume"]
    base.update(dict(zip(*[iter(a for a in arguments if a not in options)] * 2)))
    started = time.monotonic()
    run = subprocess.run([sys.executable, "-m", "lemvaris", "sweep",
                          *[x for pair in base.items() for x in pair], *options],
                         stdout=subprocess.DEVNULL if closed else subprocess.PIPE,
                         stderr=subprocess.PIPE, text=True, timeout=10,
                         preexec_fn=(lambda: os.close(1)) if closed else None)
    assert time.monotonic() - started < 10
    assert run.returncode == 2, run.stderr
    assert named in run.stderr
    assert len(run.stderr.splitlines()) == 1 and "Traceback" not in run.stderr, run.stderr
    assert sorted(p.name for p in tmp_path.iterdir()) == ["fifo", "folder"]


def test_help_lists_every_option_with_its_range():
    text = subprocess.run([sys.executable, "-m", "lemvaris", "sweep", "--help"],
                          capture_output=True, text=True, env=dict(os.environ, COLUMNS="200"),
                          check=True).stdout
    ranges = {"--steps": "from 0 to 2147483647", "--sample-every": "from 1 to 2147483647",
              "--out": "'-': standard output", "--scheduler": "tcp://HOST:PORT",
              "--processes": "1 or more", "--max-runs": "1 or more (default 100000)",
              "--measures": "clusters, largest_cluster", "--stop": "MEASURE:WINDOW:TOLERANCE",
              "--resume": "FILE.partial"}
    for p in lemvaris._core.PARAMETER_INFO:  # the room's description
        shown = [f"{v:g}" if isinstance(v, float) else str(v) for v in (p["low"], p["high"])]
        option = "--seeds" if p["name"] == "seed" else f"--{p['name']}"
        ranges[option] = f"{p['meaning']}: {'numbers' if p['kind'] == 'real' else 'integers'} " \
                         f"from {shown[0]} to {shown[1]}"
    options = {line.split()[0] for line in text.splitlines() if line.startswith("  --")}
    assert options == set(ranges)  # no option without its range
    for option, phrase in ranges.items():
        line = next(line for line in text.splitlines() if line.strip().startswith(option + " "))
        assert phrase in line, line
    assert "0,0.5,1" in text and "START:STOP:STEP" in text
