"""The plots show the table's numbers: one line per run with the varying
parameters in its label, a heat map whose cells are the runs' values (their
mean over seeds), and error bars of the mean's 95% interval."""
import matplotlib

matplotlib.use("Agg")

import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
import pytest  # noqa: E402
from scipy import stats  # noqa: E402

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
    with pytest.raises(ValueError, match="^y is 'Ah', as x is"):
        lemvaris.plot.phase_map(table, "Ah", "Ah", "interface")
    plt.close("all")


def test_several_seeds_give_the_mean_in_its_band_and_runs_on_request():
    seeded = lemvaris.sweep(dict(GRID, Kh=0.2), 4000, seeds=3, processes=1)
    ax = lemvaris.plot.series(seeded, "interface")
    summary = lemvaris.summarize(seeded)
    assert [line.get_label() for line in ax.get_lines()] == [f"Ah={a:g}" for a in GRID["Ah"]]
    for line, band, (_, rows) in zip(ax.get_lines(), ax.collections,
                                     summary.groupby("Ah", sort=False)):
        np.testing.assert_array_equal(line.get_ydata(), rows["interface_mean"])
        corners = {tuple(v) for v in np.round(band.get_paths()[0].vertices, 9)}
        for T, mean, half in zip(rows["T"], rows["interface_mean"], rows["interface_ci95"]):
            assert (T, round(mean - half, 9)) in corners and (T, round(mean + half, 9)) in corners
    runs = lemvaris.plot.series(seeded, "bottom", band=False).get_lines()
    assert [line.get_label() for line in runs] == \
        [f"Ah={a:g}, seed={s}" for a in GRID["Ah"] for s in (0, 1, 2)]
    plt.close("all")


def test_legends_stay_readable_with_many_runs():
    many = lemvaris.sweep(dict(GRID, Ah=[i / 10 for i in range(11)], Kh=[0.0, 0.5]), 500,
                          processes=1)
    ax = lemvaris.plot.series(many, "bottom")  # 22 runs: a legend beside, in columns
    legend = ax.get_legend()
    assert len(legend.get_texts()) == 22 and legend._ncols >= 2
    assert legend.get_bbox_to_anchor().x0 > ax.get_window_extent().x1
    styles = {(line.get_color(), line.get_linestyle()) for line in ax.get_lines()}
    assert len(styles) == 22
    more = lemvaris.sweep(dict(GRID, Ah=[i / 10 for i in range(11)], Kh=[0.0, 0.3, 0.6, 0.9]),
                          500, processes=1)
    ax = lemvaris.plot.series(more, "bottom")  # 44 runs: colours along a bar of Ah
    assert ax.get_legend() is None and len(ax.figure.axes) == 2
    assert ax.figure.axes[1].get_ylabel() == "Ah"
    colours = {}
    for line, (values, _) in zip(ax.get_lines(), more.groupby(list(lemvaris.RUN), sort=False)):
        colours.setdefault(values[3], set()).add(line.get_color())
    assert all(len(c) == 1 for c in colours.values()) and \
        len({c.pop() for c in colours.values()}) == 11
    plt.close("all")


def test_phase_map_crosses_the_frozen_runs():
    table = lemvaris.sweep(dict(N=40, M=40, K=400, Ah=[0.0, 0.6], Kh=[0.0, 0.6], G=-0.7, rSz=1),
                           10000, processes=1)  # Kh=0 freezes by then, Kh=0.6 later
    last = table.groupby(list(lemvaris.RUN)).tail(1)
    frozen = last[last["frozen_at"].notna()]
    assert list(frozen["Kh"]) == [0.0, 0.0]
    ax = lemvaris.plot.phase_map(table, "Ah", "Kh", "bottom")
    crosses = {tuple(p) for p in ax.collections[0].get_offsets()}
    assert crosses == {([0.0, 0.6].index(a), [0.0, 0.6].index(k))
                       for a, k in zip(frozen["Ah"], frozen["Kh"])}
    assert "frozen" in ax.get_title()
    plt.close("all")


def test_grid_and_animation_show_the_reactor_in_the_screens_colours():
    reactor = lemvaris.Reactor(N=30, M=40, K=300, Ah=0.5, Kh=0.8, G=0.2, rSz=3)
    reactor.step(1000)
    image = lemvaris.plot.grid(reactor).get_images()[0]
    np.testing.assert_array_equal(image.get_array(), reactor.grid)
    rgb = np.round(image.to_rgba(reactor.grid)[..., :3] * 255).astype(np.uint8)
    np.testing.assert_array_equal(rgb, lemvaris.PALETTE[[1, 0, 14]][reactor.grid])
    anim = lemvaris.plot.animation(reactor, frames=5, moves=300)
    html = anim.to_jshtml()
    assert html.count("data:image/png;base64") == 5 and reactor.T == 1000 + 4 * 300
    plt.close("all")


def test_over_seeds_the_map_is_the_mean_and_the_error_bars_its_interval():
    table = lemvaris.sweep(dict(N=40, M=40, K=400, Ah=[0.0, 0.6], Kh=[0.0, 0.6], G=-0.7, rSz=1),
                           10000, seeds=3, processes=1)
    last = table.groupby(list(lemvaris.RUN)).tail(1)
    cells = last.groupby(["Kh", "Ah"]).agg(mean=("bottom", "mean"), std=("bottom", "std"),
                                           frozen=("frozen_at", "count"))
    ax = lemvaris.plot.phase_map(table, "Ah", "Kh", "bottom")
    np.testing.assert_array_equal(ax.get_images()[0].get_array(),
                                  cells["mean"].unstack().to_numpy())
    shares = {tuple(text.xy): text.get_text() for text in ax.texts}
    assert shares and shares == {([0.0, 0.6].index(a), [0.0, 0.6].index(k)): f"{n}/3"
                                 for (k, a), n in cells["frozen"].items() if n}
    ax = lemvaris.plot.errorbars(table, "Ah", "bottom", by="Kh")
    assert [c.get_label() for c in ax.containers] == ["Kh=0", "Kh=0.6"]
    half = stats.t.ppf(0.975, 2) * cells["std"] / np.sqrt(3)
    for bars, kh in zip(ax.containers, [0.0, 0.6]):
        line, _, (segments,) = bars.lines
        np.testing.assert_array_equal(line.get_ydata(), cells.loc[kh, "mean"])
        np.testing.assert_allclose([y1 - y0 for (_, y0), (_, y1) in segments.get_segments()],
                                   2 * half.loc[kh], rtol=1e-12)
    with pytest.raises(ValueError, match="Kh vary"):
        lemvaris.plot.errorbars(table, "Ah", "bottom")
    plt.close("all")
