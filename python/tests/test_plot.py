"""The plots show the table's numbers: one line per run with the varying
parameters in its label, and a heat map whose cells are the runs' values."""
import matplotlib

matplotlib.use("Agg")

import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
import pytest  # noqa: E402

import lemvaris  # noqa: E402
import lemvaris.plot  # noqa: E402

GRID = dict(N=20, M=24, K=150, Ah=[0.0, 0.5, 1.0], Kh=[0.2, 0.8], G=0.2, rSz=2)


@pytest.fixture(scope="module")
def table():
    return lemvaris.sweep(GRID, 5000, processes=1)


def test_series_draws_each_run_over_t(table):
    ax = lemvaris.plot.series(table, "interface")
    lines = ax.get_lines()
    assert len(lines) == 6
    labels = [line.get_label() for line in lines]
    assert labels[0] == "Ah=0, Kh=0.2" and labels[-1] == "Ah=1, Kh=0.8"
    last = table[(table["Ah"] == 1.0) & (table["Kh"] == 0.8)]
    np.testing.assert_array_equal(lines[-1].get_xdata(), last["T"])
    np.testing.assert_array_equal(lines[-1].get_ydata(), last["interface"])
    assert ax.get_ylabel() == "interface"
    plt.close("all")


def test_phase_map_cells_are_each_runs_value(table):
    ax = lemvaris.plot.phase_map(table, "Ah", "Kh", "mean_row")
    cells = ax.get_images()[0].get_array()
    assert cells.shape == (2, 3)  # rows Kh, columns Ah
    last = table.groupby(list(lemvaris.PARAMETERS)).tail(1)
    for i, kh in enumerate(GRID["Kh"]):
        for j, ah in enumerate(GRID["Ah"]):
            row = last[(last["Ah"] == ah) & (last["Kh"] == kh)]
            assert cells[i, j] == row["mean_row"].item()
    assert [t.get_text() for t in ax.get_xticklabels()] == ["0", "0.5", "1"]
    plt.close("all")


def test_phase_map_at_a_given_t(table):
    ax = lemvaris.plot.phase_map(table, "Kh", "Ah", "bottom", T=2000)
    cells = ax.get_images()[0].get_array()
    for i, ah in enumerate(GRID["Ah"]):
        for j, kh in enumerate(GRID["Kh"]):
            run = table[(table["Ah"] == ah) & (table["Kh"] == kh)]
            at = run[run["T"] == 2000]
            if at.empty:  # frozen earlier: its state at 2000 is its last
                assert run["frozen_at"].iloc[-1] < 2000
                at = run.tail(1)
            assert cells[i, j] == at["bottom"].item()
    with pytest.raises(ValueError, match="T=3000"):
        lemvaris.plot.phase_map(table, "Kh", "Ah", "bottom", T=3000)
    plt.close("all")


def test_phase_map_refuses_a_third_varying_parameter_and_unknown_names(table):
    wider = lemvaris.sweep(dict(GRID, G=[0.1, 0.2]), 1000, processes=1)
    with pytest.raises(ValueError, match="G vary"):
        lemvaris.plot.phase_map(wider, "Ah", "Kh", "interface")
    with pytest.raises(ValueError, match="measure"):
        lemvaris.plot.phase_map(table, "Ah", "Kh", "temperature")
    with pytest.raises(ValueError, match="parameter"):
        lemvaris.plot.phase_map(table, "Ah", "T", "interface")
    plt.close("all")


def test_runs_from_several_seeds_stay_apart():
    seeded = lemvaris.sweep(dict(GRID, Kh=0.2), 1000, seeds=2, processes=1)
    labels = [line.get_label() for line in lemvaris.plot.series(seeded, "bottom").get_lines()]
    assert labels == [f"Ah={a:g}, seed={s}" for a in GRID["Ah"] for s in (0, 1)]
    with pytest.raises(ValueError, match="seed vary"):
        lemvaris.plot.phase_map(seeded, "Ah", "Kh", "bottom")
    plt.close("all")
