"""The sweep and the experiments from a shell:

    python3 -m lemvaris sweep --N 100 --M 100 --K 3000 --Ah 0:1:0.25 --Kh 0,0.5,1 \\
        --G -0.2 --rSz 3 --steps 200000 --out results.csv [--seeds 0:9] \\
        [--scheduler tcp://HOST:8786] [--resume] [--measures clusters,largest_cluster] \\
        [--stop interface:20000:0.02]
    python3 -m lemvaris run drops --seeds 0:9 [--steps n] [--out FILE] [--check]
    python3 -m lemvaris worker tcp://HOST:8786 [--nworkers N]

Every number is read as lemvaris-batch reads it (the module's read_parameter),
so that a value typed here runs the very double it runs there, and the table
is lemvaris-batch's, row for row.

Exit codes: 0 done, 1 the sweep failed or its table could not be written, 2 a
refused command line (nothing run or written), 3 (run --check) the claim does
not hold on every seed, 128+n stopped by signal n (Ctrl+C, SIGTERM, SIGHUP:
every worker stopped, the old file kept, the finished runs in FILE.partial
for --resume). Every failure is one line on standard error.

`worker` is dask-worker run by this Python, so that its workers import the
lemvaris this Python imports (a virtual environment's) without PYTHONPATH.
"""
import argparse
import decimal
import logging
import os
import re
import signal
import sys

from ._core import PARAMETER_INFO, read_parameter
from ._experiments import check_claim, experiment, experiments, sweep_experiment
from .sweeps import MAX_RUNS, NAMED_MEASURES, PARAMETERS, REFRESH_INTERVAL, STEP_LIMIT, LostRuns, \
    OtherSweep, Steady, TooManyRuns, connect, csv_text, recording_of, runs_of, scheduler_address, \
    seeds_of, sweep

PROGRAM = "python3 -m lemvaris"
_DESCRIBED = {p["name"]: p for p in PARAMETER_INFO}
# Values one option may give: a range of seeds such as 0:4294967295 would
# otherwise fill the memory before any check could refuse it.
_VALUE_LIMIT = 100000
# No option takes a number of more digits than this before its point.
_DIGIT_LIMIT = 18
# A number of a range, as the batch runner's reader takes one (but a comma,
# which separates items here).
_NUMBER = re.compile(r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?")

VALUES_HELP = ("VALUES is a number, a range START:STOP:STEP with STOP included (for whole "
               "numbers START:STOP counts by 1), or a list of these separated by commas, such "
               f"as 0,0.5,1 or 0:0.4:0.1,1; at most {_VALUE_LIMIT} values an option. A comma "
               "always separates values (0.5, not 0,5). A value may start with a minus sign: "
               "--G -0.2 or --G=-1:1:0.5. Every combination of the values runs from each seed.")


def _parameter_of(option):
    """The parameter an option's values are, and the prefix of its refusals."""
    return ("seed", "--seeds: ") if option == "seeds" else (option, "--")


def _help(option):
    p = _DESCRIBED[_parameter_of(option)[0]]
    kind, shown = ("numbers", "{:g}") if p["kind"] == "real" else ("integers", "{}")
    return f"{p['meaning']}: {kind} from {shown.format(p['low'])} to {shown.format(p['high'])}"


def _range_texts(option, text, item, integer, room):
    """The decimal texts of the values of one range START:STOP[:STEP], counted
    in decimal so that 0:0.3:0.1 gives 0.1 and 0.3 as typed; at most room."""
    parts = item.split(":")
    shape = "START:STOP[:STEP]" if integer else "START:STOP:STEP"
    if len(parts) not in ((2, 3) if integer else (3,)) or \
            not all(_NUMBER.fullmatch(part) for part in parts):
        raise ValueError(f"--{option}: \"{text}\" is neither a number nor {shape}, nor a list "
                         f"of them")
    numbers = [decimal.Decimal(part) for part in parts]
    for part, n in zip(parts, numbers):
        if n and n.adjusted() >= _DIGIT_LIMIT:
            raise ValueError(f"--{option}: {part} is out of range")
    start, stop, step = numbers if len(numbers) == 3 else numbers + [decimal.Decimal(1)]
    if step <= 0 or stop < start:
        raise ValueError(
            f"--{option}: in \"{item}\" the step must be positive and stop at least start")
    try:  # a step too small to count with gives a count out of every range
        count = (stop - start) / step
    except ArithmeticError:
        count = None
    if count is None or count >= room:
        raise ValueError(f"--{option}: \"{text}\" gives more than {_VALUE_LIMIT} values")
    values = [start + i * step for i in range(int((stop - start) // step) + 1)]
    # 10:20:2.0 counts 10, 12, ... as typed, not 10.0, 12.0 (which are no integers).
    return [str(int(v)) if integer and v == v.to_integral_value() else str(v) for v in values]


def parse_values(option, text):
    """The values of one option: numbers, ranges start:stop:step with stop
    included, or a list of them separated by commas; for whole numbers
    start:stop counts by 1. Each value is read from its decimal text by the
    batch runner's reader, and given at most once."""
    parameter, prefix = _parameter_of(option)
    integer = _DESCRIBED[parameter]["kind"] != "real"
    values, seen = [], set()
    for item in text.split(","):
        if len(values) >= _VALUE_LIMIT:
            raise ValueError(f"--{option}: \"{_shown(text)}\" gives more than {_VALUE_LIMIT} "
                             f"values")
        texts = [item] if ":" not in item else \
            _range_texts(option, text, item, integer, _VALUE_LIMIT - len(values))
        for value in texts:
            value = read_parameter(parameter, value, prefix=prefix)
            if value in seen:
                raise ValueError(f"--{option}: \"{_shown(text)}\" gives {value:g} more than once")
            seen.add(value)
            values.append(value)
    return values


def _shown(text):
    """A value as a refusal quotes it: a long list by its ends."""
    return text if len(text) <= 60 else f"{text[:28]}...{text[-28:]}"


class _Parser(argparse.ArgumentParser):
    """Refusals as one line on standard error, exit 2."""

    def error(self, message):
        self.exit(2, f"{self.prog}: {message} (see --help)\n")


def _arguments():
    """The parser, its sweep's options that take a value, and its flags."""
    parser = _Parser(prog=PROGRAM, description="Lemvaris experiments from the command line.",
                     allow_abbrev=False)
    commands = parser.add_subparsers(dest="command", required=True,
                                     metavar="{sweep,run,worker}")
    run = commands.add_parser(
        "sweep", help="run every combination of the parameters", allow_abbrev=False,
        description="Run every combination of the parameters from every seed and write the "
                    "table as CSV, as lemvaris-batch writes it.", epilog=VALUES_HELP)
    options = []

    def add(option, **settings):
        options.append(option)
        run.add_argument(option, **settings)

    for name in PARAMETERS:
        add(f"--{name}", required=True, metavar="VALUES", help=_help(name))
    add("--steps", required=True, type=int, metavar="MOVES",
                     help=f"moves of each run, from 0 to {STEP_LIMIT}")
    add("--sample-every", type=int, default=REFRESH_INTERVAL, metavar="MOVES",
                     help=f"moves between two samples, from 1 to {STEP_LIMIT} (default "
                          f"{REFRESH_INTERVAL})")
    add("--seeds", default="0", metavar="VALUES",
                     help=f"the seeds each parameter set runs from, the {_help('seeds')} "
                          f"(default 0)")
    add("--out", required=True, metavar="FILE",
                     help="the CSV file, written whole at the end or not at all ('-': "
                          "standard output); not a device, FIFO or folder. Until then the "
                          "finished runs are in FILE.partial")
    add("--scheduler", metavar="ADDRESS",
                     help="a Dask scheduler's address, tcp://HOST:PORT (default: local "
                          "processes)")
    add("--processes", type=int, metavar="N",
                     help="local processes when there is no scheduler, 1 or more (default: "
                          "every core; 1 runs in this process)")
    add("--max-runs", type=int, default=MAX_RUNS, metavar="N",
                     help=f"refuse a sweep of more runs, 1 or more (default {MAX_RUNS})")
    add("--measures", metavar="NAMES",
        help=f"measures to add as columns after mean_row, in this order, separated by commas: "
             f"{', '.join(NAMED_MEASURES)}")
    add("--stop", metavar="MEASURE:WINDOW:TOLERANCE",
        help="end each run once MEASURE has changed by at most TOLERANCE times its value over "
             "its last WINDOW moves (at least --sample-every), as its samples show; its last "
             "row says stopped=steady")
    run.add_argument("--resume", action="store_true",
                     help="go on from FILE.partial, the runs a stopped sweep finished (or "
                          "FILE, when it had ended): run only the rest")
    worker = commands.add_parser(
        "worker", help="a Dask worker in this Python", allow_abbrev=False,
        description="Dask worker processes of this Python, which imports this lemvaris: "
                    "single-threaded, one per core by default, until Ctrl+C or SIGTERM.")
    worker.add_argument("address", metavar="ADDRESS",
                        help="the scheduler's address, tcp://HOST:PORT")
    worker.add_argument("--nworkers", type=int, metavar="N",
                        help="worker processes, 1 or more (default: one per core)")
    _add_run(commands)
    return parser, set(options), {"--resume"}


def _add_run(commands):
    """The run subcommand: an experiment of data/experiments.json by its id."""
    ids = ", ".join(e["id"] for e in experiments())
    run = commands.add_parser(
        "run", help="run an experiment the help suggests, and check its claim", allow_abbrev=False,
        description="Run one of the experiments the help suggests from every seed and write "
                    "its table, or check its claim on those seeds.")
    run.add_argument("id", metavar="ID", help=f"the experiment: {ids}")
    run.add_argument("--seeds", default="0", metavar="VALUES",
                     help=f"the seeds it runs from, the {_help('seeds')} (default 0)")
    run.add_argument("--steps", type=int, metavar="MOVES",
                     help="moves of each run (default: up to the T of its claim)")
    run.add_argument("--out", metavar="FILE",
                     help="the CSV file, written whole at the end ('-': standard output)")
    run.add_argument("--check", action="store_true",
                     help="say whether its claim holds on every seed (exit 3 when not)")
    run.add_argument("--processes", type=int, metavar="N",
                     help="local processes, 1 or more (default: every core)")


def _joined(argv, valued, flags=()):
    """The command line with each "--name value" as "--name=value", so that a
    value may start with a minus sign (-0.2, -1:1:0.5); ValueError for an
    option given twice."""
    joined, seen = [], set()
    words = iter(argv)
    for word in words:
        option = word.split("=", 1)[0]
        if option in valued or option in flags:
            if option in seen:
                raise ValueError(f"{option} given twice")
            seen.add(option)
        if option in valued:
            value = next(words, None) if "=" not in word else None
            if value is not None:
                word = f"{word}={value}"
        joined.append(word)
    return joined


def _checked(options):
    """The sweep's parameters and seeds; ValueError (or OSError for --out)
    when anything is refused, before any run."""
    parameters = {name: parse_values(name, getattr(options, name)) for name in PARAMETERS}
    try:
        seeds = seeds_of(parse_values("seeds", options.seeds))
    except ValueError as error:
        raise ValueError(str(error) if str(error).startswith("--") else f"--{error}") from None
    if not 0 <= options.steps <= STEP_LIMIT:
        raise ValueError(f"--steps must be from 0 to {STEP_LIMIT}, not {options.steps}")
    if not 1 <= options.sample_every <= STEP_LIMIT:
        raise ValueError(f"--sample-every must be from 1 to {STEP_LIMIT}, "
                         f"not {options.sample_every}")
    if options.processes is not None and options.processes < 1:
        raise ValueError(f"--processes must be at least 1, not {options.processes}")
    if options.max_runs < 1:
        raise ValueError(f"--max-runs must be at least 1, not {options.max_runs}")
    if options.resume and options.out == "-":
        raise ValueError("--resume needs --out FILE: it goes on from FILE.partial")
    try:
        runs_of(parameters, options.max_runs, len(seeds))  # every run checked before any starts
    except TooManyRuns as error:
        raise ValueError(f"the sweep has {error.runs} runs, more than --max-runs {error.limit}; "
                         f"give --max-runs {error.runs} to run it") from None
    _check_recording(options)
    if options.scheduler is not None:
        try:
            scheduler_address(options.scheduler)
        except ValueError as error:
            raise ValueError(f"--scheduler: {error}") from None
    if options.out == "-":
        if sys.stdout is None:
            raise ValueError("--out -: standard output is closed")
    else:
        from ._core import check_output
        try:
            check_output(options.out)
        except OSError as error:
            raise OSError(f"--out: {error}") from None
    return parameters, seeds


def _check_recording(options):
    """--measures and --stop read and checked, as options.measures and options.stop."""
    measures = [] if options.measures is None else options.measures.split(",")
    try:
        recording_of(measures, sample_every=options.sample_every)
    except ValueError as error:
        raise ValueError(f"--{error}") from None
    options.measures = measures
    if options.stop is not None:
        parts = options.stop.split(":")
        try:
            if len(parts) != 3:
                raise ValueError("it is not MEASURE:WINDOW:TOLERANCE")
            try:
                window, tolerance = int(parts[1]), float(parts[2])
            except ValueError:
                raise ValueError("WINDOW must be a whole number and TOLERANCE a number") from None
            stop = Steady(parts[0], window, tolerance)
            recording_of(measures, stop=stop, sample_every=options.sample_every)
        except (TypeError, ValueError) as error:
            reason = str(error).replace("stop: ", "").replace("Steady: ", "")
            raise ValueError(f"--stop {options.stop}: {reason}") from None
        options.stop = stop


class _Stopped(BaseException):
    def __init__(self, signum):
        super().__init__(signum)
        self.signum = signum
        self.begun = False  # whether a sweep was running (and so had workers to end)


def _stop_on_signals():
    """Ctrl+C, SIGTERM and SIGHUP stop the sweep (one ignored from the start
    stays ignored)."""
    def stop(signum, frame):
        raise _Stopped(signum)

    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        if signal.getsignal(signum) is not signal.SIG_IGN:
            signal.signal(signum, stop)


def _say(message):
    if sys.stderr is not None:
        print(f"{PROGRAM}: {message}", file=sys.stderr)


def _run(options, parameters, seeds):
    client = None
    if options.scheduler is not None:
        logging.getLogger("distributed").setLevel(logging.CRITICAL)  # its reasons: one line
        client = connect(options.scheduler)
    try:
        try:
            table = sweep(parameters, options.steps, options.sample_every, client, seeds=seeds,
                          processes=options.processes, max_runs=options.max_runs,
                          out=None if options.out == "-" else options.out,
                          resume=options.resume, measures=options.measures, stop=options.stop)
        except _Stopped as stopped:
            stopped.begun = True
            raise
    finally:
        if client is not None:
            client.close()
    if options.out == "-":
        _write_standard_output(csv_text(table))


def _write_standard_output(text):
    """A table for --out -."""
    try:
        sys.stdout.write(text)
        sys.stdout.flush()
    except OSError as error:
        # Nothing more may go to standard output, not even at exit.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        raise OSError(f"cannot write to standard output: {error.strerror}") from None


def _run_experiment(options):
    """The run subcommand; its exit code."""
    try:
        e = experiment(options.id)
        try:
            seeds = seeds_of(parse_values("seeds", options.seeds))
        except ValueError as error:
            raise ValueError(str(error) if str(error).startswith("--") else f"--{error}") from None
        steps = e["claim"]["at"] if options.steps is None else options.steps
        if not 0 <= steps <= STEP_LIMIT:
            raise ValueError(f"--steps must be from 0 to {STEP_LIMIT}, not {steps}")
        if options.processes is not None and options.processes < 1:
            raise ValueError(f"--processes must be at least 1, not {options.processes}")
        if options.out is None and not options.check:
            raise ValueError("give --out FILE, --check or both")
        if options.out not in (None, "-"):
            from ._core import check_output
            try:
                check_output(options.out)
            except OSError as error:
                raise OSError(f"--out: {error}") from None
    except (ValueError, OSError) as error:
        _say(str(error))
        return 2
    table = sweep_experiment(e["id"], seeds=seeds, steps=steps, processes=options.processes,
                             out=None if options.out in (None, "-") else options.out)
    if options.out == "-":
        _write_standard_output(csv_text(table))
    if not options.check:
        return 0
    check = check_claim(e, table)
    print(check, file=sys.stderr if options.out == "-" else sys.stdout)
    return 0 if check.holds else 3


def _worker(options):
    """dask-worker's own command, run by this Python: its workers import the
    lemvaris this Python imports (a virtual environment's, say)."""
    from distributed.cli import dask_worker
    try:
        scheduler_address(options.address)
    except ValueError as error:
        _say(str(error))
        return 2
    count = len(os.sched_getaffinity(0)) if options.nworkers is None else options.nworkers
    if count < 1:
        _say(f"--nworkers must be at least 1, not {count}")
        return 2
    return dask_worker.main.main([options.address, "--nthreads", "1", "--nworkers", str(count),
                                  "--no-dashboard"], prog_name=f"{PROGRAM} worker",
                                 standalone_mode=False)


def main(argv=None):
    try:
        parser, valued, flags = _arguments()
        try:
            arguments = _joined(sys.argv[1:] if argv is None else argv, valued, flags)
        except ValueError as error:
            _say(str(error))
            return 2
        options = parser.parse_args(arguments)
        if options.command == "worker":
            return _worker(options)
        _stop_on_signals()
        if options.command == "run":
            return _run_experiment(options)
        try:
            parameters, seeds = _checked(options)
        except (ValueError, TypeError, OSError) as error:
            _say(str(error))
            return 2
        try:
            _run(options, parameters, seeds)
        except OtherSweep as error:  # a refused command line too: nothing was run
            _say(f"--{error}")
            return 2
        except LostRuns as error:
            kept = "no table was written" if error.partial is None else \
                f"the other runs' rows are in {os.fsdecode(error.partial)} (--resume runs " \
                f"only the lost again)"
            _say(f"{error.lost}; {kept}")
            return 1
    except _Stopped as stopped:
        name = signal.Signals(stopped.signum).name
        _say(f"sweep stopped by {name}; every worker ended" if stopped.begun
             else f"stopped by {name} before the sweep began")
        return 128 + stopped.signum
    except Exception as error:  # noqa: BLE001 - one line, never a traceback
        _say(str(error) if isinstance(error, OSError) else f"{type(error).__name__}: {error}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
