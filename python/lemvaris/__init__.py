"""Lemvaris from Python: the reactor of the teaching simulation, its
measures and its screen (the program's own C++ code), parameter sweeps on
local processes or a Dask cluster, their summaries over seeds, and plots.
For example::

    import lemvaris
    r = lemvaris.Reactor(N=100, M=100, K=3000, Ah=0.5, Kh=0.8, G=0.2, rSz=3, seed=0)
    r.step(20000)
    r.mean_row, r.grid, r.save_png("screen.png"), r.save("run.state")
    for T in r.samples(10000, every=2000):      # the batch runner's sample T's
        print(T, r.interface)
    rgb = lemvaris.PALETTE[r.screen()]          # the screen as a (480, 640, 3) picture
    df = lemvaris.sweep({"N": [50], "M": [50], "K": [600], "Ah": [0, 0.5, 1],
                         "Kh": [0, 0.5, 1], "G": [0.2], "rSz": [3]}, steps=100000,
                        seeds=10)
    lemvaris.summarize(df)                      # mean, std and 95% interval over the seeds
    df = lemvaris.sweep(..., measures=["clusters", "largest_cluster"],   # more columns
                        observe={"top": top_row},                        # top_row(grid) -> number
                        stop=lemvaris.Steady("interface", 20000, 0.02))  # settled: ended
    lemvaris.experiments(), lemvaris.sweep_experiment("drops", seeds=5)  # the help's experiments

In Jupyter a Reactor shows as its screen; lemvaris.plot draws tables, the
grid and animations with matplotlib.
"""
import ast
import importlib
import inspect

from ._core import NAMED_MEASURES, PALETTE, REFRESH_INTERVAL, SEED_LIMIT, Reactor, __version__, \
    check_parameters
from ._experiments import ClaimCheck, check_claim, experiment, experiments, sweep_experiment
from .summary import summarize
from .sweeps import COLUMNS, MAX_RUNS, MEASURES, PARAMETERS, RUN, ObservableError, Steady, sweep

__all__ = ["Reactor", "check_parameters", "sweep", "summarize", "Steady", "ObservableError",
           "experiments", "experiment", "sweep_experiment", "check_claim", "ClaimCheck",
           "PALETTE", "REFRESH_INTERVAL", "SEED_LIMIT", "MAX_RUNS", "PARAMETERS", "RUN",
           "MEASURES", "NAMED_MEASURES", "COLUMNS", "__version__"]


def _signature(function):
    """The signature of a compiled function from the first line of the
    docstring pybind11 writes for it, "name(self: ..., N: int = None, *,
    seed: int = 0) -> None", without self; inspect cannot read a compiled
    function's own."""
    line = function.__doc__.splitlines()[0]
    arguments = ast.parse(f"def f{line[line.index('('):line.rindex(')') + 1]}: pass").body[0].args
    kinds = [(arguments.args, inspect.Parameter.POSITIONAL_OR_KEYWORD, arguments.defaults),
             (arguments.kwonlyargs, inspect.Parameter.KEYWORD_ONLY, arguments.kw_defaults)]
    parameters = []
    for names, kind, defaults in kinds:
        defaults = [None] * (len(names) - len(defaults)) + list(defaults)
        for name, default in zip(names, defaults):
            value = inspect.Parameter.empty if default is None else ast.literal_eval(default)
            parameters.append(inspect.Parameter(name.arg, kind, default=value))
    return inspect.Signature(parameters[1:])


Reactor.__signature__ = _signature(Reactor.__init__)


def __getattr__(name):
    # The plots load matplotlib only when they are asked for.
    if name == "plot":
        return importlib.import_module(".plot", __name__)
    raise AttributeError(f"module 'lemvaris' has no attribute {name!r}")
