"""Plots of a sweep's table (lemvaris.sweep) with matplotlib.

    ax = lemvaris.plot.series(df, "interface")        # one line per run over T
    ax = lemvaris.plot.phase_map(df, "Ah", "Kh", "wall_contacts")   # at the last sample
    ax.figure.savefig("map.png")

Both draw on `ax` when given, else on a new figure, and return the axes.
"""
import matplotlib.pyplot as plt
import numpy as np

from .sweeps import MEASURES, PARAMETERS, RUN


def _varying(df):
    return [name for name in RUN if df[name].nunique() > 1]


def _check_measure(measure):
    if measure not in MEASURES:
        raise ValueError(f"measure must be one of {', '.join(MEASURES)}, not {measure!r}")


def _new_axes(ax):
    return plt.subplots()[1] if ax is None else ax


def series(df, measure, ax=None):
    """One line per run of `measure` over T, labelled by the parameters (and
    the seed) that vary across the table."""
    _check_measure(measure)
    ax = _new_axes(ax)
    varying = _varying(df)
    for values, run in df.groupby(list(RUN), sort=False):
        label = ", ".join(f"{name}={value:g}" for name, value in zip(RUN, values)
                          if name in varying)
        ax.plot(run["T"].to_numpy(), run[measure].to_numpy(), label=label or None)
    ax.set_xlabel("T (moves)")
    ax.set_ylabel(measure)
    if varying:
        ax.legend(fontsize="small")
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
    last sample by default). Every other parameter, and the seed, must be
    fixed."""
    _check_measure(measure)
    for name in (x, y):
        if name not in PARAMETERS:
            raise ValueError(f"{name!r} is not a parameter")
    others = [name for name in _varying(df) if name not in (x, y)]
    if others:
        raise ValueError(f"{', '.join(others)} vary as well; select one value of each first")
    rows = at_T(df, T)
    table = rows.pivot(index=y, columns=x, values=measure)
    ax = _new_axes(ax)
    image = ax.imshow(table.to_numpy(dtype=float), origin="lower", aspect="auto",
                      interpolation="nearest")
    ax.set_xticks(range(len(table.columns)), [f"{v:g}" for v in table.columns])
    ax.set_yticks(range(len(table.index)), [f"{v:g}" for v in table.index])
    ax.set_xlabel(x)
    ax.set_ylabel(y)
    last = "last sample" if T is None else f"T={T}"
    ax.set_title(f"{measure} at {last}")
    ax.figure.colorbar(image, ax=ax, label=measure)
    return ax
