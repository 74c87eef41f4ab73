"""Plots with matplotlib: a sweep's table (lemvaris.sweep) and a reactor::

    ax = lemvaris.plot.series(df, "interface")      # a line per run, or the mean over seeds
    ax = lemvaris.plot.phase_map(df, "Ah", "Kh", "wall_contacts")   # at the last sample
    ax = lemvaris.plot.errorbars(df, "Ah", "clusters", by="G")      # mean and 95% interval
    ax = lemvaris.plot.grid(reactor)                 # the cells as the screen colours them
    anim = lemvaris.plot.animation(reactor, frames=40, moves=2000)
    IPython.display.HTML(anim.to_jshtml())           # in a notebook

Each draws on `ax` when given, else on a new figure, and returns the axes
(animation returns a matplotlib FuncAnimation).
"""
import matplotlib.pyplot as plt
import numpy as np
from matplotlib import animation as _animation
from matplotlib.colors import ListedColormap

from ._core import CELL_COLOURS, PALETTE
from .summary import check_table, spread, summarize
from .sweeps import PARAMETERS, RUN, measure_columns

# Legend entries shown inside the axes; up to _LEGEND_OUTSIDE beside them in
# columns; more lines are told apart by colour along a colour bar.
_LEGEND_INSIDE = 8
_LEGEND_OUTSIDE = 40
_DASHES = ("-", "--", ":", "-.")  # with ten colours, 40 lines told apart


def _varying(df, names=RUN):
    return [name for name in names if df[name].nunique() > 1]


def _check_measure(df, measure):
    measures = measure_columns(df)
    if measure not in measures:
        raise ValueError(f"measure must be one of {', '.join(measures)}, not {measure!r}")


def _check_parameters(df, names):
    """ValueError unless names are parameters and they alone vary (of the
    parameters; the seed may)."""
    for name in names:
        if name not in PARAMETERS:
            raise ValueError(f"{name!r} is not a parameter")
    others = [name for name in _varying(df, PARAMETERS) if name not in names]
    if others:
        raise ValueError(f"{', '.join(others)} vary as well; select one value of each first")


def _new_axes(ax):
    return plt.subplots()[1] if ax is None else ax


def _label(names, values, varying):
    return ", ".join(f"{name}={value:g}" for name, value in zip(names, values)
                     if name in varying)


def _colours_for_many(ax, keys, names, varying):
    """Colours along viridis by the first varying parameter, with its colour
    bar: a legend of so many entries could not be read."""
    first = varying[0]
    values = np.array([key[names.index(first)] for key in keys], dtype=float)
    low, high = values.min(), values.max()
    norm = plt.Normalize(low, high if high > low else low + 1)
    bar = plt.cm.ScalarMappable(norm=norm, cmap="viridis")
    ax.figure.colorbar(bar, ax=ax, label=first)
    return [bar.to_rgba(value) for value in values]


def _finish_legend(ax, count):
    if count <= _LEGEND_INSIDE:
        ax.legend(fontsize="small")
    else:
        columns = -(-count // 20)
        ax.legend(fontsize="x-small", ncols=columns, loc="upper left", bbox_to_anchor=(1.02, 1),
                  borderaxespad=0)
        ax.figure.set_size_inches(6.4 + 1.6 * columns, ax.figure.get_size_inches()[1])
        ax.figure.tight_layout()


def series(df, measure, ax=None, band=True):
    """`measure` over T. A table of one seed: one line per run. A table of
    several seeds (and band=True): one line per parameter set, the mean over
    its seeds (summarize), in a band of its 95% confidence interval. Lines
    are labelled by what varies; with more than 40 lines, coloured by the
    first varying parameter along a colour bar instead."""
    _check_measure(df, measure)
    ax = _new_axes(ax)
    ensemble = band and df["seed"].nunique() > 1
    names = list(PARAMETERS) if ensemble else list(RUN)
    varying = _varying(df, names)
    groups = list((summarize(df) if ensemble else df).groupby(names, sort=False))
    many = len(groups) > _LEGEND_OUTSIDE and varying
    if many:
        styles = [(colour, "-") for colour in
                  _colours_for_many(ax, [k for k, _ in groups], names, varying)]
    else:  # ten colours, then the same in other dashes: no two lines alike
        styles = [(f"C{i % 10}", _DASHES[i // 10]) for i in range(len(groups))]
    for (values, rows), (colour, dashes) in zip(groups, styles):
        label = None if many else (_label(names, values, varying) or None)
        T = rows["T"].to_numpy()
        if ensemble:
            mean = rows[f"{measure}_mean"].to_numpy()
            half = np.nan_to_num(rows[f"{measure}_ci95"].to_numpy())
            ax.plot(T, mean, label=label, color=colour, linestyle=dashes)
            ax.fill_between(T, mean - half, mean + half, color=colour, alpha=0.2, linewidth=0)
        else:
            ax.plot(T, rows[measure].to_numpy(), label=label, color=colour, linestyle=dashes,
                    linewidth=0.8 if many else None)
    ax.set_xlabel("T (moves)")
    ax.set_ylabel(f"{measure} (mean of {df['seed'].nunique()} seeds, 95% interval)"
                  if ensemble else measure)
    if varying and not many:
        _finish_legend(ax, len(groups))
    return ax


def at_T(df, T=None):
    """Each run's row at T: its last sample when T is None; else its sample at
    T, or its last one when it froze before T."""
    runs = list(RUN)
    if T is None:
        return df.groupby(runs, sort=False).tail(1)
    last = df[df["T"] <= T].groupby(runs, sort=False).tail(1)
    frozen_there = last["frozen_at"].eq(last["T"]).fillna(False).astype(bool)
    known = (last["T"] == T) | frozen_there
    if len(last) != df.groupby(runs).ngroups or not known.all():
        raise ValueError(f"not every run has a sample at T={T}")
    return last


def phase_map(df, x, y, measure, T=None, ax=None):
    """A heat map of `measure` over the parameters x and y at T (each run's
    last sample by default), with several seeds their mean; a cross marks
    each cell where a run had frozen by then, with several seeds labelled by
    how many of them had. Every other parameter must be fixed."""
    _check_measure(df, measure)
    if x == y:
        raise ValueError(f"y is {y!r}, as x is: a phase map needs two parameters")
    check_table(df)
    _check_parameters(df, (x, y))
    rows = at_T(df, T).assign(frozen=lambda rows: rows["frozen_at"].notna())
    cells = rows.groupby([y, x], sort=True).agg(value=(measure, "mean"), frozen=("frozen", "sum"),
                                                 runs=("frozen", "size"))
    table = cells["value"].unstack(x)
    ax = _new_axes(ax)
    image = ax.imshow(table.to_numpy(dtype=float), origin="lower", aspect="auto",
                      interpolation="nearest")
    ax.set_xticks(range(len(table.columns)), [f"{v:g}" for v in table.columns])
    ax.set_yticks(range(len(table.index)), [f"{v:g}" for v in table.index])
    ax.set_xlabel(x)
    ax.set_ylabel(y)
    seeds = df["seed"].nunique()
    frozen = cells[cells["frozen"] > 0]
    if len(frozen):
        columns, lines = list(table.columns), list(table.index)
        at = [(columns.index(v), lines.index(w)) for w, v in frozen.index]
        ax.scatter(*zip(*at), marker="x", color="red", s=60, label="frozen")
        if seeds > 1:
            for (column, line), (k, n) in zip(at, zip(frozen["frozen"], frozen["runs"])):
                ax.annotate(f"{k}/{n}", (column, line), xytext=(6, 6), textcoords="offset points",
                            color="red", fontsize="small")
    last = "last sample" if T is None else f"T={T}"
    mean = f" (mean of {seeds} seeds)" if seeds > 1 else ""
    ax.set_title(f"{measure}{mean} at {last}" + ("  (x: frozen)" if len(frozen) else ""))
    ax.figure.colorbar(image, ax=ax, label=measure)
    return ax


def errorbars(df, x, measure, by=None, T=None, ax=None):
    """The mean of `measure` over the seeds against the parameter x, with
    its 95% interval (summarize's ci95) as error bars, at T (each run's last
    sample by default: where it ended, also when a Steady stop ended it); one
    line per value of the parameter `by` when given. Every other parameter
    must be fixed."""
    _check_measure(df, measure)
    names = [x] if by is None else [by, x]
    if by == x:
        raise ValueError(f"by must be another parameter than x, not {by!r}")
    _check_parameters(df, names)
    stats = spread(at_T(df, T).groupby(names, sort=True), [measure]).reset_index()
    ax = _new_axes(ax)
    lines = [(None, stats)] if by is None else list(stats.groupby(by, sort=True))
    for value, part in lines:
        half = part[f"{measure}_ci95"]
        ax.errorbar(part[x], part[f"{measure}_mean"], yerr=None if half.isna().all() else half,
                    marker="o", capsize=3, label=None if by is None else f"{by}={value:g}")
    ax.set_xlabel(x)
    last = "last sample" if T is None else f"T={T}"
    seeds = df["seed"].nunique()
    ax.set_ylabel(f"{measure} (mean of {seeds} seeds, 95% interval)" if seeds > 1 else measure)
    ax.set_title(f"{measure} at {last}")
    if by is not None:
        _finish_legend(ax, len(lines))
    return ax


# imshow's arguments for a grid of cell states.
_CELLS = dict(cmap=ListedColormap(PALETTE[list(CELL_COLOURS)] / 255.0), vmin=0, vmax=2,
              interpolation="nearest")


def grid(reactor, ax=None):
    """The reactor's grid, walls included, each cell in its colour on the
    screen (walls blue, particles yellow, empty cells black)."""
    ax = _new_axes(ax)
    ax.imshow(reactor.grid, **_CELLS)
    ax.set_axis_off()
    ax.set_title(f"T={reactor.T}" + (", frozen" if reactor.frozen else ""))
    return ax


def animation(reactor, frames=50, moves=1000, ax=None, screen=False, interval=100):
    """An animation of the reactor going on: each frame `moves` more moves
    (fewer once it freezes), drawn as grid() draws it, or as the whole screen
    with screen=True. The reactor itself moves on as the frames are drawn;
    anim.to_jshtml() gives the HTML a notebook shows (IPython.display.HTML)."""
    ax = _new_axes(ax)
    ax.set_axis_off()
    picture = (lambda: PALETTE[reactor.screen()]) if screen else (lambda: reactor.grid)
    image = ax.imshow(picture(), **({} if screen else _CELLS))
    title = ax.set_title(f"T={reactor.T}")

    def frame(index):
        if index:
            reactor.step(moves)
        image.set_data(picture())
        title.set_text(f"T={reactor.T}" + (", frozen" if reactor.frozen else ""))
        return image, title

    anim = _animation.FuncAnimation(ax.figure, frame, frames=frames, interval=interval,
                                    blit=False, repeat=False)
    plt.close(ax.figure)  # shown through the animation, not as a still figure too
    return anim
