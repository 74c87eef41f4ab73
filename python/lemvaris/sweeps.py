"""Parameter sweeps: many independent runs, each one task, gathered into one
pandas table whose content does not depend on where the runs ran (serially,
in local processes or on a Dask cluster): the runs are exact.

A sweep is counted before it is built, and every run is checked before any
starts. Ctrl+C (or SIGTERM, in a main thread that has no handler of its own)
stops every local worker at once; on Dask the running tasks stop within a
second. A local worker that dies costs only its run. With out=, each run's
rows reach out.partial as the run finishes, and resume=True goes on from
there. Worker processes import this module to run their tasks, so it loads
pandas, tqdm and Dask only in the process that asks for the sweep.

Sections: what a run records (measures, observables, the steady stop); one
run and its rows; the parameter sets and seeds; Dask and the local workers;
lost runs, the partial file and resume; the sweep.
"""
import collections
import contextlib
import dataclasses
import hashlib
import itertools
import math
import numbers
import operator
import os
import pickle
import pickletools
import re
import signal
import sys
import threading
import time
import uuid

from ._core import MAX_T, NAMED_MEASURES, PARAMETER_INFO, REFRESH_INTERVAL, SEED_LIMIT, \
    STOP_REASONS, TABLE_COLUMNS, Reactor, __version__, check_column_name, check_output, \
    check_parameters, table_csv, write_output

PARAMETERS = tuple(p["name"] for p in PARAMETER_INFO if p["kind"] != "seed")
RUN = PARAMETERS + ("seed",)  # the columns that tell one run of a table from another
# The table's data columns; lemvaris-batch's table has steps, sample_every and
# version after them, which a DataFrame keeps in its attrs. Measures asked for
# by name and observables add columns after mean_row.
COLUMNS = TABLE_COLUMNS[:TABLE_COLUMNS.index("stopped") + 1]
MEASURES = COLUMNS[COLUMNS.index("T") + 1:COLUMNS.index("frozen_at")]  # in every table

INTEGER_PARAMETERS = tuple(p["name"] for p in PARAMETER_INFO if p["kind"] == "integer")
STEP_LIMIT = MAX_T  # T is the program's signed 32-bit step counter
MAX_RUNS = 100_000  # runs a sweep may have unless more are asked for


# ------------------------------------------ what a run records
class Stopped(Exception):
    """A run stopped because its sweep was stopped."""


class ObservableError(RuntimeError):
    """An observable of a sweep (observe=) raised, or gave no number."""


def measure_columns(table):
    """The measures of a table: its columns from bottom to the one before
    frozen_at (the four, the measures asked for by name, the observables)."""
    columns = list(table.columns)
    return columns[columns.index("T") + 1:columns.index("frozen_at")]


@dataclasses.dataclass(frozen=True)
class Steady:
    """A run's stop once it has settled: it ends at the first sample at which
    `measure` has changed by at most `tolerance` times its value over the
    last `window` moves, as its samples in that window show (the run must
    have made `window` moves). Its table's last row says stopped=steady."""
    measure: str
    window: int
    tolerance: float

    def __post_init__(self):
        if not isinstance(self.measure, str):
            raise TypeError(f"Steady: measure must be a column's name, not {self.measure!r}")
        window = whole("Steady: window", self.window)
        if not 1 <= window <= MAX_T:
            raise ValueError(f"Steady: window must be from 1 to {MAX_T} moves, not {window}")
        tolerance = self.tolerance
        if not isinstance(tolerance, numbers.Real) or isinstance(tolerance, bool):
            raise TypeError(f"Steady: tolerance must be a number, not {tolerance!r}")
        if not 0 <= tolerance < math.inf:
            raise ValueError(f"Steady: tolerance must be 0 or more, not {tolerance!r}")
        object.__setattr__(self, "window", window)
        object.__setattr__(self, "tolerance", float(tolerance))

    def settled(self, recent, start):
        """Whether a run whose first sample was at T = start has settled at
        the last of `recent`, its (T, value) samples from T - window on."""
        T, value = recent[-1]
        return T - start >= self.window and \
            all(abs(v - value) <= self.tolerance * abs(value) for _, v in recent)


class Recording(collections.namedtuple("Recording", "measures observe steady")):
    """What a sweep's runs take besides the four measures: measures asked for
    by name, observables as (name, function) pairs, and a Steady stop or
    None; the columns they add, in order."""

    @property
    def columns(self):
        return tuple(self.measures) + tuple(name for name, _ in self.observe)


def recording_of(measures=(), observe=None, stop=None, sample_every=REFRESH_INTERVAL):
    """sweep()'s measures, observe and stop, checked, as a Recording."""
    named = [measures] if isinstance(measures, str) else list(measures)
    for name in named:
        if name in MEASURES:
            raise ValueError(f"measures: {name} is in every table; ask for "
                             f"{' or '.join(NAMED_MEASURES)}")
        if name not in NAMED_MEASURES:
            raise ValueError(f"measures: no measure is named {name!r} "
                             f"({', '.join(NAMED_MEASURES)})")
    if len(set(named)) != len(named):
        raise ValueError(f"measures: {next(n for n in named if named.count(n) > 1)} given twice")
    if observe is None:
        observe = {}
    if not isinstance(observe, dict):
        raise TypeError(f"observe must be a dict of names and functions, not {observe!r}")
    for name, function in observe.items():
        try:
            check_column_name(name)
        except (TypeError, ValueError) as error:
            raise type(error)(f"observe: {error}") from None
        if not callable(function):
            raise TypeError(f"observe[{name!r}] must be callable, not {function!r}")
    recording = Recording(tuple(named), tuple(observe.items()), stop)
    if len(recording.columns) > 32:
        raise ValueError(f"measures and observe add {len(recording.columns)} columns; at most 32")
    if stop is not None:
        if not isinstance(stop, Steady):
            raise TypeError(f"stop must be None or a lemvaris.Steady, not {stop!r}")
        measures_here = MEASURES + recording.columns
        if stop.measure not in measures_here:
            raise ValueError(f"stop: Steady's measure must be one of {', '.join(measures_here)}, "
                             f"not {stop.measure!r}")
        if stop.window < sample_every:
            raise ValueError(f"stop: Steady's window of {stop.window} moves is shorter than "
                             f"sample_every={sample_every}: it would hold one sample")
    return recording


def _loadable_by_workers(recording):
    """TypeError unless the local worker processes can load every observable:
    they import it by name, and they do not run the caller's __main__."""
    for name, function in recording.observe:
        try:
            data = pickle.dumps(function, protocol=2)  # its globals as GLOBAL "module name"
            main = any(op.name == "GLOBAL" and arg.startswith("__main__ ")
                       for op, arg, _ in pickletools.genops(data))
            reason = "it is defined in __main__, which they do not run" if main else None
        except Exception as error:  # noqa: BLE001 - the reason is what counts
            reason = str(error)
        if reason:
            raise TypeError(f"observe[{name!r}]: the local worker processes cannot load "
                            f"{function!r}: {reason}; define it in a module they can import, "
                            f"or sweep with processes=1 or on Dask")


def _observed(name, function, grid, parameters, seed, T):
    try:
        value = function(grid)
    except Exception as error:
        raise ObservableError(f"observe[{name!r}] raised {type(error).__name__}: {error} "
                              f"({_described(parameters, seed)}, T={T})") from error
    if not isinstance(value, numbers.Real) or isinstance(value, bool):
        raise ObservableError(f"observe[{name!r}] gave a {type(value).__name__}, not a number "
                              f"({_described(parameters, seed)}, T={T})")
    if not math.isfinite(value):  # a summary could not count it
        raise ObservableError(f"observe[{name!r}] gave {value}, not a finite number "
                              f"({_described(parameters, seed)}, T={T})")
    return float(value)


def _described(parameters, seed):
    """A run's parameters (a tuple in PARAMETERS' order, or a dict) and seed."""
    values = parameters.values() if isinstance(parameters, dict) else parameters
    return ", ".join(f"{name}={value}" for name, value in zip(PARAMETERS, values)) + \
        f", seed={seed}"


# ---------------------------------------- one run and its rows
_NOTHING_MORE = Recording((), (), None)


def run_one(parameters, steps, sample_every, seed=0, recording=None, stop=None):
    """One run from `seed`, sampled by the batch runner's rule: the measures
    at T = 0, every multiple of sample_every and the last T (steps, the T at
    which the reactor froze, or where recording's Steady stop found it
    settled). Returns the samples as (T, bottom, wall_contacts, interface,
    mean_row, *recording.columns) tuples and the frozen T or None. stop(),
    when given, is asked every few thousand moves; True raises Stopped."""
    recording = recording or _NOTHING_MORE
    reactor = Reactor(*parameters, seed=seed)
    names = MEASURES + tuple(recording.measures)
    steady = recording.steady
    if steady is not None:
        column = (MEASURES + recording.columns).index(steady.measure)
        recent = collections.deque()

    def look():
        if stop():
            raise Stopped("the sweep was stopped")

    samples = []
    for T in reactor.samples(steps, sample_every, stop=None if stop is None else look):
        values = tuple(reactor.measures(names).values())
        if recording.observe:
            grid = reactor.grid
            values += tuple(_observed(name, function, grid, parameters, seed, T)
                            for name, function in recording.observe)
        samples.append((T,) + values)
        if steady is not None:
            recent.append((T, values[column]))
            while recent[0][0] < T - steady.window:
                recent.popleft()
            if steady.settled(recent, samples[0][0]):
                break
    return samples, (reactor.T if reactor.frozen else None)


# Why a run ended, in the table's words.
_STEPS, _FROZEN, _STEADY = STOP_REASONS


def _rows_of(run, seed, result, steps):
    """A run's rows in the table: frozen_at and stopped on its last only."""
    samples, frozen_at = result
    stopped = _FROZEN if frozen_at is not None else \
        _STEPS if samples[-1][0] == steps else _STEADY
    return [run + (seed,) + sample + (None, None) for sample in samples[:-1]] + \
        [run + (seed,) + samples[-1] + (frozen_at, stopped)]


def _table(runs, results, steps, sample_every, recording):
    """The sweep's DataFrame from its runs ((parameters, seed) pairs) and
    their results (run_one's; None for a run that has none, which is left
    out): the observables' columns reals, the measures' integers."""
    import pandas as pd

    recording = recording or _NOTHING_MORE
    before = COLUMNS[:COLUMNS.index("frozen_at")]
    rows = [row for (run, seed), result in zip(runs, results) if result is not None
            for row in _rows_of(run, seed, result, steps)]
    table = pd.DataFrame(rows, columns=list(before + recording.columns + ("frozen_at", "stopped")))
    types = {name: "int64" for name in INTEGER_PARAMETERS + ("seed", "T", "bottom",
                                                              "wall_contacts", "interface")}
    types.update({name: "int64" for name in recording.measures})
    types.update({name: "float64" for name in ("Ah", "Kh", "G", "mean_row") +
                  recording.columns[len(recording.measures):]})
    types.update(frozen_at="Int64", stopped="string")
    table = table.astype(types)
    table.attrs.update(version=__version__, steps=steps, sample_every=sample_every)
    return table


# -------------------------------- the parameter sets and seeds
def whole(name, value):
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
    try:
        check_parameters(**values)
    except (TypeError, ValueError) as error:
        raise type(error)(f"{where}: {error}") from None
    return tuple(operator.index(values[name]) if name in INTEGER_PARAMETERS
                 else float(values[name]) for name in PARAMETERS)


def _listed(value):
    return [value] if isinstance(value, (str, bytes)) or not hasattr(value, "__iter__") \
        else list(value)


class TooManyRuns(ValueError):
    """A sweep of more runs than its limit allows."""

    def __init__(self, runs, limit):
        super().__init__(f"the sweep has {runs} runs, more than max_runs={limit}; "
                         f"pass max_runs={runs} to run it")
        self.runs, self.limit = runs, limit


def _plan(parameters, limit, per_set=1):
    """The parameter sets of a sweep as (values, where) pairs, made as they
    are used; their number is checked against `limit` runs (per_set runs a
    set) before any is made."""
    if isinstance(parameters, dict):
        _check_names(parameters, "parameters")
        choices = [_listed(parameters[name]) for name in PARAMETERS]
        for name, values in zip(PARAMETERS, choices):
            _refuse_repeats(values, f"parameters: {name}")
        count = math.prod(len(c) for c in choices)
        sets = (dict(zip(PARAMETERS, c)) for c in itertools.product(*choices))
        labelled = ((values, f"run {values}") for values in sets)
    else:
        if not hasattr(parameters, "__len__"):  # an iterator: read no more than allowed
            parameters = list(itertools.islice(parameters, limit // per_set + 1))
        count = len(parameters)
        labelled = ((dict(values), f"run {i}") for i, values in enumerate(parameters))
    if count * per_set > limit:
        raise TooManyRuns(count * per_set, limit)
    return labelled


def _refuse_repeats(values, where):
    """ValueError naming the first value given twice: a repeated run would
    run twice and stand as two runs in every summary."""
    seen = set()
    for value in values:
        try:
            if value in seen:
                raise ValueError(f"{where}: {value!r} is given more than once")
            seen.add(value)
        except TypeError:  # unhashable: refused by the parameters' own check
            pass


def runs_of(parameters, limit=MAX_RUNS, per_set=1):
    """The parameter sets of a sweep, checked, as tuples in PARAMETERS order:
    every combination of a dict of lists (a single value stands for a list
    of one; the last parameter varies fastest), or one set per dict of a
    list. ValueError when per_set times their number is over `limit`, or
    when a value of a list, or a set of a list, is given twice."""
    runs = []
    first = {}
    for values, where in _plan(parameters, limit, per_set):
        run = _one_run(values, where)
        if first.setdefault(run, where) is not where:
            raise ValueError(f"{where}: the same parameters as {first[run]}")
        runs.append(run)
    return runs


def seeds_of(seeds, limit=MAX_RUNS):
    """The seeds of a sweep, checked: distinct seeds from any iterable, or an
    int n for the seeds 0..n-1 (a range, built as it is used). More than
    `limit` seeds (each at least one run) is refused before they are read."""
    if isinstance(seeds, (str, bytes)) or not hasattr(seeds, "__iter__"):
        count = whole("seeds", seeds)
        if not 1 <= count <= SEED_LIMIT + 1:
            raise ValueError(f"seeds must be from 1 to {SEED_LIMIT + 1} (seeds 0..n-1), "
                             f"not {count}")
        return range(count)
    if isinstance(seeds, range) and len(seeds) and seeds.step > 0:
        if seeds.start < 0 or seeds[-1] > SEED_LIMIT:
            raise ValueError(f"seeds must be from 0 to {SEED_LIMIT}, not {seeds}")
        return seeds
    count = len(seeds) if hasattr(seeds, "__len__") else None
    if count is None:  # an iterator, perhaps endless: read one more than allowed
        seeds = list(itertools.islice(seeds, limit + 1))
    if (len(seeds) if count is None else count) > limit:
        many = f"more than {limit}" if count is None else f"{count}"
        raise ValueError(f"seeds: {many} seeds are more than max_runs={limit} runs")
    chosen = [whole("seeds", seed) for seed in seeds]
    for seed in chosen:
        if not 0 <= seed <= SEED_LIMIT:
            raise ValueError(f"seeds: seed must be an integer from 0 to {SEED_LIMIT}, not {seed}")
    if not chosen:
        raise ValueError("seeds must be at least one")
    _refuse_repeats(chosen, "seeds")
    return chosen


# ---------------------------------- Dask and the local workers
# A Dask scheduler's address: tcp://, tls://, ws:// or wss://, then HOST:PORT
# (the scheme may be left out for tcp).
_ADDRESS = re.compile(r"(?:(?:tcp|tls|wss?)://)?(?:\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9._-]+):(\d{1,5})")


def scheduler_address(address):
    """address, checked to be one a Dask client can connect to."""
    match = _ADDRESS.fullmatch(address) if isinstance(address, str) else None
    if match is None or not 1 <= int(match[1]) <= 65535:
        raise ValueError(f"{address!r} is not a scheduler's address (tcp://HOST:PORT)")
    return address


def connect(address, timeout=10):
    """A Dask client of the scheduler at address; OSError naming it when it
    does not answer within `timeout` seconds."""
    from distributed import Client
    scheduler_address(address)
    try:
        return Client(address, timeout=timeout, set_as_default=False)
    except (OSError, TimeoutError) as error:
        reason = str(error).splitlines()[0] if str(error) else type(error).__name__
        raise OSError(f"cannot reach the scheduler at {address}: {reason}") from None


def csv_text(table):
    """The table as lemvaris-batch writes it, row by row by the same code:
    its columns, then the steps, sample_every and version of its attrs."""
    missing = [name for name in ("steps", "sample_every") if name not in table.attrs]
    if missing:
        raise ValueError(f"the table has no {' and '.join(missing)} in its attrs (a sweep's has)")
    extra = measure_columns(table)[len(MEASURES):]
    columns = {name: table[name].to_numpy(dtype="float64", na_value=float("nan"))
               for name in COLUMNS[:COLUMNS.index("frozen_at") + 1] + tuple(extra)}
    columns["stopped"] = table["stopped"].to_numpy(dtype=object, na_value=None).tolist()
    return table_csv(columns, table.attrs["steps"], table.attrs["sample_every"], extra)


def _progress_bar(total, progress):
    from tqdm import tqdm
    show = sys.stderr is not None and sys.stderr.isatty() if progress is None else bool(progress)
    return tqdm(total=total, unit="run", desc="sweep", disable=not show, file=sys.stderr)


class _Terminated(BaseException):
    """SIGTERM during a sweep."""


@contextlib.contextmanager
def _sigterm_stops_the_sweep():
    """SIGTERM, when it would end the process outright, first stops the
    sweep (its workers with it) and then ends the process as it would have."""
    if threading.current_thread() is not threading.main_thread() or \
            signal.getsignal(signal.SIGTERM) is not signal.SIG_DFL:
        yield
        return

    def stop(signum, frame):
        raise _Terminated()

    signal.signal(signal.SIGTERM, stop)
    try:
        yield
    except _Terminated:
        signal.signal(signal.SIGTERM, signal.SIG_DFL)
        signal.raise_signal(signal.SIGTERM)
        raise
    finally:
        if signal.getsignal(signal.SIGTERM) is stop:
            signal.signal(signal.SIGTERM, signal.SIG_DFL)


class _DaskStop:
    """A running task's look at its sweep's stop signal (a Dask Event), at
    most once a second and not in its first second."""

    def __init__(self, name):
        self.name = name
        self.next_look = None

    def __call__(self):
        now = time.monotonic()
        if self.next_look is None or now < self.next_look:
            self.next_look = self.next_look or now + 1.0
            return False
        self.next_look = now + 1.0
        from distributed import Event
        return Event(self.name).is_set()


def _on_dask(client, tasks, finished):
    from distributed import Event, as_completed
    event = Event(f"lemvaris-stop-{uuid.uuid4().hex}", client=client)
    stop = _DaskStop(event.name)
    futures = [client.submit(run_one, *task, stop=stop, pure=False) for task in tasks]
    index = {future.key: i for i, future in enumerate(futures)}
    try:
        # The loop given: as_completed would otherwise look for a default
        # client, which a client of this sweep's own is not.
        for future in as_completed(futures, loop=client.loop):
            i = index[future.key]
            finished(i, future.result())
            futures[i] = None  # its result leaves the cluster
        return {}
    except BaseException:
        event.set()  # running tasks stop at their next look
        client.cancel([future for future in futures if future is not None])
        raise


def _on_local_processes(workers, tasks, finished):
    from . import _workers
    pool = _workers.take(workers)
    broken = True
    try:
        given_up = pool.run(run_one, tasks, finished)
        broken = False
        return given_up
    finally:
        _workers.give_back(pool, broken)


# ----------------------- lost runs, the partial file and resume
class LostRuns(RuntimeError):
    """Runs that ended their worker process every time they ran (killed, out
    of memory). `runs` lists them as (parameters dict, seed, how the worker
    ended); `table` holds every other run's rows, as sweep returns them;
    `partial` is the file that keeps those rows too (out + ".partial"), or
    None for a sweep without out=."""

    def __init__(self, runs, table, partial):
        shown = "; ".join(f"{_described(values, seed)} ({how})" for values, seed, how in runs[:3])
        more = f" and {len(runs) - 3} more" if len(runs) > 3 else ""
        # What was lost, for the command line to say in its own words what was kept.
        self.lost = (f"{len(runs)} run{'s' if len(runs) > 1 else ''} ended the worker process "
                     f"that ran {'them' if len(runs) > 1 else 'it'}, each of "
                     f"{_workers_attempts()} times: {shown}{more}")
        kept = f" and in {os.fsdecode(partial)} (resume=True runs only the rest)" \
            if partial is not None else ""
        super().__init__(f"{self.lost}; the other runs' rows are in this error's table{kept}")
        self.partial = partial
        self.runs, self.table = runs, table


def _workers_attempts():
    from ._workers import ATTEMPTS
    return ATTEMPTS


class OtherSweep(ValueError):
    """A resume whose file is another sweep's."""


def _other_sweep(where):
    return OtherSweep(f"resume: {where} is a sweep of other parameters, seeds, measures, "
                      f"observables or stop")


def partial_path(out):
    """The file beside `out` that holds a sweep's finished runs until the
    table is written."""
    out = os.fspath(out)
    return out + (b".partial" if isinstance(out, bytes) else ".partial")


_PARTIAL_FIRST = re.compile(r"# lemvaris sweep of (\d+) runs \(([0-9a-f]+)\), steps (\d+), "
                            r"sample_every (\d+), version (\S+)\n")


class _Partial:
    """A sweep's finished runs in the file beside out, appended as they
    finish: a line that tells the sweep, the table's header, then each run's
    rows (the table writer's) and a line "# i" after them, written by one
    append. A run whose "# i" is not there was cut short and does not count."""

    def __init__(self, out, runs, steps, sample_every, recording):
        self.out, self.path, self.runs = out, partial_path(out), runs
        self.steps, self.sample_every, self.recording = steps, sample_every, recording
        # The runs and what each records: its columns and its stop.
        digest = hashlib.sha256(repr((recording.columns, recording.steady)).encode())
        for run in runs:
            digest.update(repr(run).encode())
        self.first = (f"# lemvaris sweep of {len(runs)} runs ({digest.hexdigest()[:16]}), "
                      f"steps {steps}, sample_every {sample_every}, version {__version__}\n")
        self.header = self._csv([], [])
        # Where frozen_at stands in a row, after the measures and observables.
        self.frozen = COLUMNS.index("frozen_at") + len(recording.columns)
        self.keep = None  # bytes of an old file to go on from; None: start a new one
        self.fd = None
        self.synced = 0.0

    def read(self):
        """{index: run_one's result} of the runs the file holds, or that out
        holds when it is this sweep's whole table. ValueError naming what
        differs when either is another sweep's."""
        for path, partial in ((self.path, True), (self.out, False)):
            try:
                with open(path, "rb") as file:
                    text = file.read().decode("latin-1")  # a character a byte: lengths are offsets
            except FileNotFoundError:
                continue
            where = os.fsdecode(path)
            if partial:
                self._check_first(text[:text.find("\n") + 1], where)
                text = text[len(self.first):]
            if not text.startswith(self.header):
                raise OtherSweep(f"resume: {where} is not a table of lemvaris {__version__}")
            done, kept = (self._blocks if partial else self._table)(text, len(self.header), where)
            if partial:
                self.keep = len(self.first) + kept
            elif len(done) != len(self.runs):
                raise _other_sweep(where)
            return done
        return {}

    def _check_first(self, line, where):
        found = _PARTIAL_FIRST.fullmatch(line)
        if found is None:
            raise OtherSweep(f"resume: {where} is not a sweep's partial table")
        mine = _PARTIAL_FIRST.fullmatch(self.first)
        for group, name in ((5, "version"), (3, "steps"), (4, "sample_every")):
            if found[group] != mine[group]:
                raise OtherSweep(f"resume: {where} is a sweep of {name} {found[group]}, "
                                 f"not {mine[group]}")
        if found[1] != mine[1] or found[2] != mine[2]:
            raise _other_sweep(where)

    def _rows(self, line, where):
        """A row's run and its fields; None for a line that is not a whole
        row (cut short)."""
        if not line.endswith("\n"):
            return None
        fields = line[:-1].split(",")
        if len(fields) != len(TABLE_COLUMNS) + len(self.recording.columns):
            return None
        tail = fields[-3:]
        for name, value, mine in zip(("steps", "sample_every", "version"), tail,
                                     (str(self.steps), str(self.sample_every), __version__)):
            if value != mine:
                raise OtherSweep(f"resume: {where} holds runs of {name} {value}, not {mine}")
        try:
            key = tuple(float(v) if name in ("Ah", "Kh", "G") else int(v)
                        for name, v in zip(RUN, fields))
        except ValueError:
            return None
        return key, fields

    def _index(self):
        return {run + (seed,): i for i, (run, seed) in enumerate(self.runs)}

    def _blocks(self, text, start, where):
        """The whole runs of a partial file, and the length of text they
        take (what follows is a run cut short)."""
        index, done = self._index(), {}
        rows, at, kept = [], start, start
        for line in _lines(text[start:]):
            at += len(line)
            if line.startswith("#"):
                mark = re.fullmatch(r"# (\d+)\n", line)
                i = int(mark[1]) if mark else None
                if i is None or i in done or not rows or any(index[key] != i for key, _ in rows):
                    break
                done[i] = self._result(rows)
                rows, kept = [], at
                continue
            row = self._rows(line, where)
            if row is None:
                break
            if row[0] not in index:
                raise _other_sweep(where)
            rows.append(row)
        return done, kept

    def _table(self, text, start, where):
        """The runs of a whole table: each in its place, every row whole."""
        index, done, rows, count = self._index(), {}, [], 0
        for line in _lines(text[start:]):
            row = self._rows(line, where)
            if row is None or row[0] not in index:
                raise _other_sweep(where)
            if rows and rows[-1][0] != row[0]:
                done[index[rows[-1][0]]], rows, count = self._result(rows), [], count + 1
            rows.append(row)
        if rows:
            done[index[rows[-1][0]]], count = self._result(rows), count + 1
        if list(done) != list(range(count)):
            raise _other_sweep(where)
        return done, len(text)

    def _csv(self, runs, results):
        """The table writer's text of these runs, its header first: the text
        csv_text gives of their table, without a DataFrame at every run."""
        recording = self.recording or _NOTHING_MORE
        rows = [row for (run, seed), result in zip(runs, results) if result is not None
                for row in _rows_of(run, seed, result, self.steps)]
        names = COLUMNS[:COLUMNS.index("frozen_at")] + recording.columns + ("frozen_at",)
        values = list(zip(*rows)) or [()] * (len(names) + 1)
        columns = {name: [math.nan if v is None else v for v in column]
                   for name, column in zip(names, values)}
        columns["stopped"] = list(values[-1])
        return table_csv(columns, self.steps, self.sample_every, recording.columns)

    def _result(self, rows):
        """run_one's result again from a run's rows in a table."""
        t = COLUMNS.index("T")
        samples = [(int(fields[t]),) + tuple(_number(v) for v in fields[t + 1:self.frozen])
                   for _, fields in rows]
        last = rows[-1][1][self.frozen]
        return samples, (int(last) if last else None)

    def add(self, i, result):
        """Run i's rows, whole, at the file's end."""
        if self.fd is None:
            if self.keep is None:
                write_output(self.path, (self.first + self.header).encode())
            else:
                os.truncate(self.path, self.keep)  # a run cut short goes
            self.fd = os.open(self.path, os.O_WRONLY | os.O_APPEND)
        text = self._csv([self.runs[i]], [result])[len(self.header):]
        data = (text + f"# {i}\n").encode()
        while data:
            data = data[os.write(self.fd, data):]
        if time.monotonic() > self.synced + 1.0:  # on the disk within a second
            os.fsync(self.fd)
            self.synced = time.monotonic()

    def close(self, finished):
        """The file kept (the sweep did not end) or removed (out was written)."""
        if self.fd is not None:
            os.fsync(self.fd)
            os.close(self.fd)
            self.fd = None
        if finished:
            with contextlib.suppress(FileNotFoundError):
                os.unlink(self.path)


def _lines(text):
    """The lines of text with their ends; the last without one when it was cut short."""
    parts = text.split("\n")
    return [part + "\n" for part in parts[:-1]] + ([parts[-1]] if parts[-1] else [])


def _number(text):
    try:
        return int(text)
    except ValueError:
        return float(text)


# --------------------------------------------------- the sweep
def sweep(parameters, steps, sample_every=REFRESH_INTERVAL, client=None, *, seeds=(0,),
          processes=None, progress=None, max_runs=MAX_RUNS, out=None, resume=False,
          measures=(), observe=None, stop=None):
    """Run every parameter set from every seed for `steps` moves and return a
    pandas DataFrame with one row per run and sample, the batch runner's rows:
    the columns COLUMNS, frozen_at empty (pd.NA) but on the last row of a run
    that froze, where it is that row's T; stopped empty but on a run's last
    row, where it says why the run ended: steps, frozen or steady. df.attrs
    holds the version, steps and sample_every.

    parameters
        A dict of lists (every combination; a single value stands for a
        list of one) or a list of dicts, one per parameter set. A value
        given twice in a list, or a set twice, is refused (ValueError).
    steps
        The moves of each run, 0 to 2147483647.
    sample_every
        The moves between two samples (default 2000).
    client
        None for local processes; a dask.distributed Client; or a
        scheduler's address ("tcp://HOST:8786", connected to for this
        sweep; OSError when it does not answer within 10 s). Dask's
        workers must be able to import lemvaris.
    seeds
        Distinct seeds (0 to 4294967295) from any iterable, or an int n for
        0..n-1 (default: seed 0 alone). Every parameter set runs from each,
        the seed varying fastest.
    processes
        The local worker processes (default: one per core this process may
        use); processes=1 runs the runs one after another in this process.
    progress
        A bar on standard error; None shows it when that is a terminal.
    max_runs
        A sweep of more runs (seeds counted as they are read) is refused
        with ValueError before it starts (default 100000).
    out
        A file (str, bytes or os.PathLike) for the table as CSV, checked
        before any run (OSError when it cannot be written) and written
        whole at the end, or not at all. Until then each run's rows are
        appended as it finishes to out + ".partial", which is removed once
        out is written.
    resume
        Go on from out + ".partial" (or from out, when the sweep had
        ended): only the runs it lacks are run, and the table is the one an
        unbroken sweep gives. OtherSweep (a ValueError) when the file is
        another sweep's: other parameters, seeds, steps, sample_every,
        measures, observables' names, stop or version.
    measures
        Measures to add as columns after mean_row, in this order
        (NAMED_MEASURES: clusters, largest_cluster).
    observe
        {name: f} adds a column `name` after those: f(grid) at every
        sample, grid being the run's Reactor.grid, must return a number. f
        runs where the run runs: on local processes it must be a function
        they can import from a module (not one of __main__, not a lambda),
        on Dask anything Dask can pickle. An f that raises or gives no
        number stops the sweep with ObservableError naming the column, the
        run and T.
    stop
        A Steady(measure, window, tolerance) ends each run once it has
        settled (stopped=steady on its last row).

    A local worker process that ends while it runs (killed, out of memory)
    costs only that run, which runs again on a new worker; a run that ends
    its worker twice is given up and, once the other runs are done, raised as
    LostRuns, naming its parameters and seed, with the other runs' table
    (and their rows kept in out + ".partial").
    """
    if whole("max_runs", max_runs) < 1:
        raise ValueError(f"max_runs must be at least 1, not {max_runs}")
    seeds = seeds_of(seeds, max_runs)
    steps = whole("steps", steps)
    sample_every = whole("sample_every", sample_every)
    if not 0 <= steps <= STEP_LIMIT:
        raise ValueError(f"steps must be from 0 to {STEP_LIMIT}, not {steps}")
    if not 1 <= sample_every <= STEP_LIMIT:
        raise ValueError(f"sample_every must be from 1 to {STEP_LIMIT}, not {sample_every}")
    if processes is not None and whole("processes", processes) < 1:
        raise ValueError(f"processes must be at least 1, not {processes}")
    if isinstance(client, str):
        scheduler_address(client)
    elif client is not None:
        from distributed import Client
        if not isinstance(client, Client):
            raise TypeError(f"client must be a dask.distributed Client or a scheduler's "
                            f"address, not {client!r}")
    if resume and out is None:
        raise ValueError("resume=True needs out=, the file of the sweep it goes on with")
    if out is not None:
        check_output(out)
        check_output(partial_path(out))
    recording = recording_of(measures, observe, stop, sample_every)
    runs = [(run, seed) for run in runs_of(parameters, max_runs, len(seeds)) for seed in seeds]
    tasks = [(run, steps, sample_every, seed, recording) for run, seed in runs]

    record = None if out is None else _Partial(out, runs, steps, sample_every, recording)
    results = [None] * len(tasks)
    for i, result in (record.read() if resume else {}).items():
        results[i] = result
    todo = [i for i, result in enumerate(results) if result is None]
    if client is None and processes != 1 and len(todo) > 1:
        _loadable_by_workers(recording)

    with _sigterm_stops_the_sweep(), _progress_bar(len(tasks), progress) as bar:
        bar.update(len(tasks) - len(todo))

        def finished(i, result):
            i = todo[i]
            results[i] = result
            if record is not None:
                record.add(i, result)
            bar.update(1)

        try:
            given_up = _run_tasks([tasks[i] for i in todo], client, processes, finished)
        finally:
            if record is not None:
                record.close(finished=False)

    table = _table(runs, results, steps, sample_every, recording)
    if given_up:
        lost = [(dict(zip(PARAMETERS, runs[todo[i]][0])), runs[todo[i]][1], how)
                for i, how in sorted(given_up.items())]
        raise LostRuns(lost, table, None if record is None else record.path)
    if out is not None:
        write_output(out, csv_text(table).encode())
        record.close(finished=True)
    return table


def _run_tasks(tasks, client, processes, finished):
    """run_one(*task) for each task where the sweep runs them; finished(i,
    result) as each ends. Returns {i: how} of the tasks given up."""
    if not tasks:
        return {}
    if client is not None:
        connected = connect(client) if isinstance(client, str) else None
        try:
            return _on_dask(connected or client, tasks, finished)
        finally:
            if connected is not None:
                connected.close()
    if processes == 1 or len(tasks) <= 1:
        for i, task in enumerate(tasks):
            finished(i, run_one(*task))
        return {}
    workers = processes or len(os.sched_getaffinity(0))  # every core this process may use
    return _on_local_processes(min(workers, len(tasks)), tasks, finished)
