"""Lemvaris from Python: the reactor of the teaching simulation, its
measures and its screen (the program's own C++ code), parameter sweeps on
local processes or a Dask cluster, and plots of their tables.

    import lemvaris
    r = lemvaris.Reactor(N=100, M=100, K=3000, Ah=0.5, Kh=0.8, G=0.2, rSz=3, seed=0)
    r.step(20000)
    r.mean_row, r.grid, r.save_png("screen.png")
    df = lemvaris.sweep({"N": [50], "M": [50], "K": [600], "Ah": [0, 0.5, 1],
                         "Kh": [0, 0.5, 1], "G": [0.2], "rSz": [3]}, steps=100000,
                        seeds=10)
"""
import importlib

from ._core import REFRESH_INTERVAL, SEED_LIMIT, Reactor, check_parameters
from .sweeps import COLUMNS, MEASURES, PARAMETERS, RUN, sweep

__all__ = ["Reactor", "check_parameters", "sweep", "REFRESH_INTERVAL", "SEED_LIMIT", "PARAMETERS",
           "RUN", "MEASURES", "COLUMNS"]


def __getattr__(name):
    # The plots load matplotlib only when they are asked for.
    if name == "plot":
        return importlib.import_module(".plot", __name__)
    raise AttributeError(f"module 'lemvaris' has no attribute {name!r}")
