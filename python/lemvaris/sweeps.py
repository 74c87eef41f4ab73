"""Parameter sweeps: many independent runs, each one task, gathered into one
pandas table whose content does not depend on where the runs ran (serially,
in local processes or on a Dask cluster): the runs are exact.

Worker processes import this module to run their tasks, so it loads pandas,
tqdm and Dask only in the process that asks for the sweep.
"""
import concurrent.futures
import itertools
import multiprocessing
import operator
import os
import sys

from ._core import REFRESH_INTERVAL, SEED_LIMIT, Reactor, check_parameters

PARAMETERS = ("N", "M", "K", "Ah", "Kh", "G", "rSz")
RUN = PARAMETERS + ("seed",)  # the columns that tell one run of a table from another
MEASURES = ("bottom", "wall_contacts", "interface", "mean_row")
COLUMNS = RUN + ("T",) + MEASURES + ("frozen_at",)

_INTEGER_PARAMETERS = ("N", "M", "K", "rSz")
_STEP_LIMIT = 2**31 - 1  # T is the program's signed 32-bit step counter


def run_one(parameters, steps, sample_every, seed=0):
    """One run from `seed`: the measures at T = 0, sample_every, 2
    sample_every, ... and at the last T (steps, or the T at which the reactor
    froze). Returns the samples as (T, bottom, wall_contacts, interface,
    mean_row) tuples and the frozen T or None."""
    reactor = Reactor(*parameters, seed=seed)

    def sample():
        m = reactor.measures()
        return (reactor.T,) + tuple(m[name] for name in MEASURES)

    samples = [sample()]
    while reactor.T < steps and not reactor.frozen:
        reactor.step(min(sample_every - reactor.T % sample_every, steps - reactor.T))
        if reactor.T != samples[-1][0]:
            samples.append(sample())
    return samples, (reactor.T if reactor.frozen else None)


def _whole(name, value):
    try:
        return operator.index(value)
    except TypeError:
        raise TypeError(f"{name} must be an integer, not {value!r}") from None


def _check_names(names, where):
    missing = [name for name in PARAMETERS if name not in names]
    unknown = [str(name) for name in names if name not in PARAMETERS]
    if missing or unknown:
        problems = ([f"missing {', '.join(missing)}"] if missing else []) + (
            [f"unknown {', '.join(unknown)}"] if unknown else [])
        raise ValueError(f"{where}: {'; '.join(problems)}")


def _one_run(values, where):
    """The seven parameters of one run as a tuple in PARAMETERS order, checked."""
    _check_names(values, where)
    run = tuple(_whole(name, values[name]) if name in _INTEGER_PARAMETERS else float(values[name])
                for name in PARAMETERS)
    try:
        check_parameters(*run)
    except ValueError as error:
        raise ValueError(f"{where}: {error}") from None
    return run


def runs_of(parameters):
    """The runs of a sweep, checked, as tuples in PARAMETERS order: every
    combination of a dict of lists (a single value stands for a list of one;
    the last parameter varies fastest), or one run per dict of a list."""
    if isinstance(parameters, dict):
        _check_names(parameters, "parameters")
        choices = [[value] if isinstance(value, (str, bytes)) or not hasattr(value, "__iter__")
                   else list(value) for value in (parameters[name] for name in PARAMETERS)]
        combinations = (dict(zip(PARAMETERS, c)) for c in itertools.product(*choices))
        return [_one_run(values, f"run {values}") for values in combinations]
    return [_one_run(dict(values), f"run {i}") for i, values in enumerate(parameters)]


def seeds_of(seeds):
    """The seeds of a sweep, checked: a list of distinct seeds, or an int n
    for the seeds 0..n-1."""
    if isinstance(seeds, (str, bytes)) or not hasattr(seeds, "__iter__"):
        count = _whole("seeds", seeds)
        if count < 1:
            raise ValueError(f"seeds must be at least 1 (seeds 0..n-1), not {count}")
        return list(range(count))
    chosen = [_whole("seeds", seed) for seed in seeds]
    for seed in chosen:
        if not 0 <= seed <= SEED_LIMIT:
            raise ValueError(f"seeds: seed must be an integer from 0 to {SEED_LIMIT}, not {seed}")
    if not chosen or len(set(chosen)) != len(chosen):
        raise ValueError(f"seeds must be distinct and at least one, not {chosen}")
    return chosen


def _progress_bar(total, progress):
    from tqdm import tqdm
    show = sys.stderr.isatty() if progress is None else bool(progress)
    return tqdm(total=total, unit="run", desc="sweep", disable=not show, file=sys.stderr)


# The local worker processes, kept from one sweep to the next (starting them
# costs a good part of a second): (worker count, pool) or None.
_pool = None


def _local_processes(processes):
    """A pool of `processes` workers, the one of the last sweep when it has as
    many; forkserver, not fork, since the parent may have threads."""
    global _pool
    if _pool is not None and _pool[0] == processes:
        return _pool[1]
    _drop_pool()
    context = multiprocessing.get_context("forkserver")
    # Workers fork from a server that has already imported what they run.
    context.set_forkserver_preload(["lemvaris", "concurrent.futures.process"])
    _pool = (processes, concurrent.futures.ProcessPoolExecutor(max_workers=processes,
                                                                mp_context=context))
    return _pool[1]


def _drop_pool():
    """Stop the kept workers, what they still run included."""
    global _pool
    if _pool is not None:
        _pool[1].shutdown(wait=False, cancel_futures=True)
        _pool = None


def _gather(submit, as_completed, cancel, tasks, bar):
    """Submit every task, follow them on the bar, and return their results in
    task order; on any failure or Ctrl+C the rest is cancelled."""
    futures = [submit(task) for task in tasks]
    try:
        for _ in as_completed(futures):
            bar.update(1)
        return [future.result() for future in futures]
    except BaseException:
        cancel(futures)
        raise


def sweep(parameters, steps, sample_every=REFRESH_INTERVAL, client=None, *, seeds=(0,),
          processes=None, progress=None):
    """Run every parameter set from every seed for `steps` moves and return a
    pandas DataFrame with one row per run and sample: the columns COLUMNS,
    frozen_at empty (pd.NA) unless the run froze.

    parameters: a dict of lists (every combination) or a list of dicts.
    seeds: a list of seeds (0 to 4294967295), or an int n for 0..n-1; every
    parameter set runs from each, the seed varying fastest.
    client: None for local processes (`processes` of them, every core by
    default; processes=1 runs the runs one after another in this process), or
    a dask.distributed Client, whose workers must be able to import lemvaris.
    progress: a bar on standard error; None shows it when that is a terminal.
    """
    import pandas as pd

    seeds = seeds_of(seeds)
    runs = [(run, seed) for run in runs_of(parameters) for seed in seeds]
    steps = _whole("steps", steps)
    sample_every = _whole("sample_every", sample_every)
    if not 0 <= steps <= _STEP_LIMIT:
        raise ValueError(f"steps must be from 0 to {_STEP_LIMIT}, not {steps}")
    if sample_every < 1:
        raise ValueError(f"sample_every must be at least 1, not {sample_every}")
    if processes is not None and _whole("processes", processes) < 1:
        raise ValueError(f"processes must be at least 1, not {processes}")
    if client is not None:
        from distributed import Client, as_completed
        if not isinstance(client, Client):
            raise TypeError(f"client must be a dask.distributed Client, not {client!r}")
    tasks = [(run, steps, sample_every, seed) for run, seed in runs]

    with _progress_bar(len(tasks), progress) as bar:
        if client is not None:
            results = _gather(lambda task: client.submit(run_one, *task, pure=False), as_completed,
                              client.cancel, tasks, bar)
        elif processes == 1 or len(tasks) <= 1:
            results = []
            for task in tasks:
                results.append(run_one(*task))
                bar.update(1)
        else:
            workers = processes or len(os.sched_getaffinity(0))  # every core this process may use
            pool = _local_processes(min(workers, len(tasks)))
            try:
                results = _gather(lambda task: pool.submit(run_one, *task),
                                  concurrent.futures.as_completed,
                                  lambda futures: [f.cancel() for f in futures], tasks, bar)
            except BaseException:
                _drop_pool()  # it may be broken, or busy with runs nobody waits for
                raise

    rows = [run + (seed,) + sample + (frozen_at,)
            for (run, seed), (samples, frozen_at) in zip(runs, results) for sample in samples]
    table = pd.DataFrame(rows, columns=list(COLUMNS))
    types = {name: "int64" for name in _INTEGER_PARAMETERS + ("seed", "T", "bottom",
                                                               "wall_contacts", "interface")}
    types.update({"Ah": "float64", "Kh": "float64", "G": "float64", "mean_row": "float64",
                  "frozen_at": "Int64"})
    return table.astype(types)
