"""A study's tools: measures asked for by name on every front end, observables
of one's own, the steady stop, and the experiments by name with their claims."""
import json
import os
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest

import lemvaris
from conftest import ROOT, live_processes
from test_sweep import cli

SET = dict(N=30, M=30, K=300, Ah=0.5, Kh=0.8, G=0.2, rSz=3)
OPTIONS = [f"--{name}={value}" for name, value in SET.items()]


def test_measures_asked_by_name_are_the_batch_runners_columns_in_the_order_asked(batch):
    run = cli(*OPTIONS, "--steps", "5000", "--out", "-", "--measures",
              "largest_cluster,clusters", "--processes", "1")
    assert run.returncode == 0, run.stderr
    assert run.stdout == batch(SET, 5000, "--measures", "largest_cluster,clusters").stdout
    table = lemvaris.sweep(SET, 5000, measures=["largest_cluster", "clusters"], processes=1)
    assert list(table.columns[12:16]) == ["mean_row", "largest_cluster", "clusters", "frozen_at"]
    reactor = lemvaris.Reactor(**SET)
    reactor.step(5000)
    assert (reactor.largest_cluster, reactor.clusters) == tuple(table.iloc[-1, 13:15])
    assert reactor.measures(["clusters", "mean_row"]) == \
        {"clusters": reactor.clusters, "mean_row": reactor.mean_row}


def children():
    """This process's live children (the local sweep's workers)."""
    return live_processes(parent=os.getpid())


def test_observables_become_columns_summed_up_and_their_failures_name_the_run():
    # numpy's own functions: the local workers import them by name.
    table = lemvaris.sweep(SET, 4000, seeds=2, processes=2, measures=["clusters"],
                           observe={"first": np.argmax, "diagonal": np.trace})
    assert list(table.columns[13:17]) == ["clusters", "first", "diagonal", "frozen_at"]
    for _, row in table.iterrows():
        reactor = lemvaris.Reactor(**SET, seed=row["seed"])
        reactor.step(row["T"])
        assert (row["first"], row["diagonal"]) == (np.argmax(reactor.grid), np.trace(reactor.grid))
    summary = lemvaris.summarize(table)
    np.testing.assert_array_equal(summary["diagonal_mean"], table.groupby("T")["diagonal"].mean())

    with pytest.raises(TypeError, match="observe\\['own'\\]: the local worker processes cannot"):
        lemvaris.sweep(SET, 100, seeds=2, processes=2, observe={"own": lambda grid: 1})
    # The error on a worker (the first of either): the sweep stops, no worker is left.
    with pytest.raises(lemvaris.ObservableError,
                       match=r"observe\['inverse'\] raised LinAlgError: .* \(N=30, M=30, K=300, "
                             r"Ah=0.5, Kh=0.8, G=0.2, rSz=3, seed=\d, T=0\)"):
        lemvaris.sweep(SET, 10**7, seeds=4, processes=2, observe={"inverse": np.linalg.inv})
    assert children() == []
    with pytest.raises(lemvaris.ObservableError, match="gave a tuple, not a number"):
        lemvaris.sweep(SET, 100, processes=1, observe={"where": np.nonzero})
    with pytest.raises(lemvaris.ObservableError, match="gave nan, not a finite number"):
        lemvaris.sweep(SET, 100, processes=1, observe={"nan": lambda grid: float("nan")})
    with pytest.raises(ValueError, match="observe: 'T' cannot name a column"):
        lemvaris.sweep(SET, 100, processes=1, observe={"T": np.mean})


def test_an_observable_beside_the_script_reaches_the_local_workers(tmp_path):
    (tmp_path / "mine.py").write_text(
        "def rows(grid):\n    return int((grid == 2).any(axis=1).sum())\n")
    script = ("import lemvaris, mine\n"
              f"print(len(lemvaris.sweep({SET!r}, 2000, seeds=2, processes=2, progress=False,"
              " observe={'rows': mine.rows})))\n")
    (tmp_path / "study.py").write_text(script)
    run = subprocess.run([sys.executable, "study.py"], cwd=tmp_path, capture_output=True,
                         text=True, timeout=120)
    assert run.returncode == 0 and run.stdout == "4\n", run.stderr


def test_a_settled_run_ends_early_with_the_rows_of_an_unbroken_run():
    window, tolerance = 4000, 0.01
    whole = lemvaris.sweep(SET, 30000, sample_every=1000, seeds=2, processes=1)
    ended = lemvaris.sweep(SET, 30000, sample_every=1000, seeds=2, processes=1,
                           stop=lemvaris.Steady("mean_row", window, tolerance))
    for seed in (0, 1):
        run, unbroken = ended[ended["seed"] == seed], whole[whole["seed"] == seed]
        assert list(run["stopped"].fillna("")) == [""] * (len(run) - 1) + ["steady"]
        assert unbroken["stopped"].iloc[-1] == "steps" and run["T"].iloc[-1] < 30000
        columns = list(lemvaris.COLUMNS[:-2])
        pd.testing.assert_frame_equal(run[columns].reset_index(drop=True),
                                      unbroken[columns].iloc[:len(run)].reset_index(drop=True))
        # It ended at the first sample whose window of moves had settled.
        T, mean_row = unbroken["T"].to_numpy(), unbroken["mean_row"].to_numpy()
        settled = [t >= window and np.all(np.abs(mean_row[(T >= t - window) & (T <= t)] - m)
                                          <= tolerance * m) for t, m in zip(T, mean_row)]
        assert settled.index(True) == len(run) - 1
    run = cli(*OPTIONS, "--steps", "30000", "--sample-every", "1000", "--seeds", "0:1", "--stop",
              f"mean_row:{window}:{tolerance}", "--out", "-", "--processes", "1")
    assert run.returncode == 0 and run.stdout == lemvaris.sweeps.csv_text(ended), run.stderr


def test_experiments_by_name_run_and_check_their_claims(tmp_path):
    with open(ROOT / "data/experiments.json", encoding="utf-8") as f:
        assert lemvaris.experiments() == json.load(f)
    out = tmp_path / "drops.csv"
    run = subprocess.run([sys.executable, "-m", "lemvaris", "run", "drops", "--seeds", "0:1",
                          "--out", str(out), "--check"], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    table = lemvaris.sweep_experiment("drops", seeds=[0, 1])
    assert table["T"].max() == 20000 and out.read_text() == lemvaris.sweeps.csv_text(table)
    assert run.stdout.startswith("drops: interface / start at T=20000 <= 0.5: holds on seeds 0, 1")
    # Too few moves for the claim: no value, and the claim does not hold.
    run = subprocess.run([sys.executable, "-m", "lemvaris", "run", "drops", "--steps", "1000",
                          "--check"], capture_output=True, text=True)
    assert run.returncode == 3 and "seed 0: the run has no sample at T=20000" in run.stdout
