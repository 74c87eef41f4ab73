"""The sweep from a shell:

    python3 -m lemvaris sweep --N 100 --M 100 --K 3000 --Ah 0:1:0.25 --Kh 0:1:0.25 \\
        --G 0.2 --rSz 3 --steps 200000 --out results.csv [--seeds 0:9]
        [--scheduler tcp://HOST:8786]

A range is start:stop:step with stop included (for whole numbers, such as
N or the seeds, start:stop counts by 1); a single value is fixed. A range
that starts with a minus sign is given as --G=-1:1:0.5. Every parameter set
runs from each seed (default 0). Exit codes: 0 done, 1 the sweep failed, 2 a
refused command line (nothing run or written).
"""
import argparse
import decimal
import os
import sys
import tempfile

from .sweeps import PARAMETERS, REFRESH_INTERVAL, runs_of, seeds_of, sweep

_STEP_LIMIT = 2**31 - 1

_INTEGERS = ("N", "M", "K", "rSz", "seeds")
# Values one option may give: a range of seeds such as 0:4294967295 would
# otherwise fill the memory before any check could refuse it.
_VALUE_LIMIT = 100000


def parse_values(name, text):
    """The values of one option: a number, or start:stop:step with stop
    included, counted in decimal so that 0:0.3:0.1 gives 0.1 and 0.3 as typed;
    for whole numbers start:stop counts by 1."""
    kind = int if name in _INTEGERS else float
    parts = text.split(":")
    shapes = (1, 2, 3) if kind is int else (1, 3)
    try:
        numbers = [decimal.Decimal(part) for part in parts]
        if not all(n.is_finite() for n in numbers) or len(parts) not in shapes:
            raise decimal.InvalidOperation
    except decimal.InvalidOperation:
        shape = "start:stop[:step]" if kind is int else "start:stop:step"
        raise ValueError(f"--{name}: \"{text}\" is neither a number nor {shape}") from None
    if len(numbers) == 1:
        values = numbers
    else:
        start, stop, step = numbers if len(numbers) == 3 else numbers + [decimal.Decimal(1)]
        if step <= 0 or stop < start:
            raise ValueError(
                f"--{name}: in \"{text}\" the step must be positive and stop at least start")
        if (stop - start) / step >= _VALUE_LIMIT:  # rounded, so any size is compared
            raise ValueError(f"--{name}: \"{text}\" gives more than {_VALUE_LIMIT} values")
        values = [start + i * step for i in range(int((stop - start) // step) + 1)]
    if kind is int and any(v != v.to_integral_value() for v in values):
        raise ValueError(f"--{name}: \"{text}\" must give whole numbers")
    return [kind(v) for v in values]


def _arguments():
    parser = argparse.ArgumentParser(prog="python3 -m lemvaris",
                                     description="Lemvaris experiments from the command line.")
    commands = parser.add_subparsers(dest="command", required=True)
    run = commands.add_parser("sweep", help="run every combination of the parameters",
                              description="Run every combination of the parameters and write "
                                          "the table as CSV (mean_row with 6 decimals).")
    for name in PARAMETERS:
        run.add_argument(f"--{name}", required=True, metavar="VALUE|START:STOP:STEP")
    run.add_argument("--steps", required=True, type=int, help="moves of each run")
    run.add_argument("--sample-every", type=int, default=REFRESH_INTERVAL, metavar="MOVES")
    run.add_argument("--seeds", default="0", metavar="SEED|START:STOP[:STEP]",
                     help="seeds (0 to 4294967295) each parameter set runs from (default 0)")
    run.add_argument("--out", required=True, metavar="FILE",
                     help="the CSV file ('-': standard output)")
    run.add_argument("--scheduler", metavar="ADDRESS",
                     help="a Dask scheduler, e.g. tcp://HOST:8786")
    run.add_argument("--processes", type=int, metavar="N",
                     help="local processes when there is no scheduler (default: every core)")
    return parser


def _write_csv(table, out):
    """The table as CSV, the file complete or not there at all."""
    text = table.assign(mean_row=table["mean_row"].map("{:.6f}".format)).to_csv(index=False)
    if out == "-":
        sys.stdout.write(text)
        return
    folder = os.path.dirname(os.path.abspath(out))
    handle, temporary = tempfile.mkstemp(prefix=".lemvaris-", suffix=".csv", dir=folder)
    try:
        with os.fdopen(handle, "w") as file:
            file.write(text)
        os.replace(temporary, out)
    except BaseException:
        os.unlink(temporary)
        raise


def main(argv=None):
    parser = _arguments()
    options = parser.parse_args(argv)
    try:
        parameters = {name: parse_values(name, getattr(options, name)) for name in PARAMETERS}
        runs_of(parameters)  # every run checked before any starts
        try:
            seeds = seeds_of(parse_values("seeds", options.seeds))
        except ValueError as error:
            raise ValueError(str(error) if str(error).startswith("--") else f"--{error}") from None
        if not 0 <= options.steps <= _STEP_LIMIT:
            raise ValueError(f"--steps must be from 0 to {_STEP_LIMIT}, not {options.steps}")
        if options.sample_every < 1:
            raise ValueError(f"--sample-every must be at least 1, not {options.sample_every}")
        if options.processes is not None and options.processes < 1:
            raise ValueError(f"--processes must be at least 1, not {options.processes}")
        if options.out != "-":
            folder = os.path.dirname(os.path.abspath(options.out))
            if not os.path.isdir(folder) or not os.access(folder, os.W_OK):
                raise ValueError(f"--out: cannot write into \"{folder}\"")
            if os.path.isdir(options.out):
                raise ValueError(f"--out: \"{options.out}\" is a folder")
    except (ValueError, TypeError) as error:
        parser.error(str(error))
    client = None
    try:
        if options.scheduler:
            from distributed import Client
            client = Client(options.scheduler)
        table = sweep(parameters, options.steps, options.sample_every, client, seeds=seeds,
                      processes=options.processes)
        _write_csv(table, options.out)
    except OSError as error:
        print(f"python3 -m lemvaris: {error}", file=sys.stderr)
        return 1
    finally:
        if client is not None:
            client.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
