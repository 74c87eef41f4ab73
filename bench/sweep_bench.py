#!/usr/bin/env python3
"""A sweep's wall-clock time against the same runs one after another.

Workloads (--workload):
  seeds     64 runs of one parameter set from seeds 0..63 (N = M = 60, K = 900,
            Ah = 0.5, Kh = 0.8, G = 0.2, rSz = 3), 100 000 moves each: an
            ensemble. Targets on 2 cores: local processes at most 0.55 of the
            serial time, a Dask LocalCluster of 2 single-threaded workers at
            most 0.65.
  ensemble  1000 runs of that set from seeds 0..999, 20 000 moves each, with
            one observable of the bench's own (particles in the upper half)
            at every sample: many short tasks. Targets on 2 cores: local
            processes at most 0.55 of the serial time, the parent's peak
            memory during the sweep under 300 MB.
  grid      16 runs of W1's size (N = M = 100, K = 3000, G = 0.2, rSz = 3; Ah x Kh
            around W1's 0.5 and 0.8), 100 000 moves each.

Each is timed in this process, then as one sweep on local processes (every
core): first with the worker processes still to be started, then with the
workers a sweep keeps; with --dask also on a Dask LocalCluster of one
single-threaded worker process per core (started before the timing). Prints
each time, the load average before it, the share of the serial time, the
parent's peak memory during the local sweeps, and checks that every runner
gave the same table. The machine may be shared: compare the load averages.

The ensemble's observable is a module-level function of this file (the
workers import it as the module sweep_bench), given to sweep() as observe=.

    PYTHONPATH=build/python /usr/bin/python3 bench/sweep_bench.py [--dask] [--repeat 2]
"""
import argparse
import logging
import os
import resource
import sys
import time

import lemvaris
from lemvaris import sweeps

ONE_SET = dict(N=60, M=60, K=900, Ah=0.5, Kh=0.8, G=0.2, rSz=3)
WORKLOADS = {
    "seeds": dict(parameters=ONE_SET, seeds=64, moves=100_000,
                  targets={"local": 0.55, "dask": 0.65}),
    "ensemble": dict(parameters=ONE_SET, seeds=1000, moves=20_000, observe=True,
                     targets={"local": 0.55}, memory_mb=300),
    "grid": dict(parameters=dict(N=100, M=100, K=3000, Ah=[0.35, 0.45, 0.55, 0.65],
                                 Kh=[0.7, 0.8, 0.9, 1.0], G=0.2, rSz=3), seeds=1,
                 moves=100_000, targets={}),
}


def upper_half(grid):
    """The bench's observable: particles in the upper half of the rows."""
    rows = grid.shape[0] - 2
    return int((grid[1:1 + rows // 2] == 2).sum())


def peak_mb_since_reset():
    """This process's peak resident memory since the last reset (the whole
    life of the process where the kernel cannot reset it)."""
    try:
        with open("/proc/self/status") as status:
            return next(int(line.split()[1]) for line in status
                        if line.startswith("VmHWM")) / 1024
    except (OSError, StopIteration):
        return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def reset_peak():
    try:
        with open("/proc/self/clear_refs", "w") as refs:
            refs.write("5")  # the peak resident size starts again from now
    except OSError:
        pass


def timed(label, run, repeat):
    """The best wall time of `repeat` calls, the load before each, the table
    and the peak memory over the calls."""
    best = None
    reset_peak()
    for _ in range(repeat):
        load = os.getloadavg()[0]
        start = time.perf_counter()
        table = run()
        seconds = time.perf_counter() - start
        print(f"{label:<32} {seconds:8.2f} s   (load average before: {load:.2f})", flush=True)
        best = seconds if best is None else min(best, seconds)
    return best, table, peak_mb_since_reset()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--workload", choices=sorted(WORKLOADS), default="seeds")
    parser.add_argument("--repeat", type=int, default=1)
    parser.add_argument("--dask", action="store_true", help="also on a dask LocalCluster")
    options = parser.parse_args()
    work = WORKLOADS[options.workload]
    targets = work["targets"]
    if work.get("observe"):
        # Workers find this file as the module sweep_bench, not as __main__.
        sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
        os.environ["PYTHONPATH"] = os.pathsep.join(
            [sys.path[0]] + os.environ.get("PYTHONPATH", "").split(os.pathsep))
        import sweep_bench
        observe = {"upper_half": sweep_bench.upper_half}
    else:
        observe = None
    cores = len(os.sched_getaffinity(0))
    runs = len(sweeps.runs_of(work["parameters"])) * work["seeds"]
    print(f"{options.workload}: {runs} runs of {work['moves']} moves; {cores} cores; "
          f"load average {os.getloadavg()[0]:.2f}")

    def sweep(**where):
        return lemvaris.sweep(work["parameters"], work["moves"], seeds=work["seeds"],
                              progress=False, observe=observe, **where)

    serial, serial_table, _ = timed("one after another", lambda: sweep(processes=1),
                                    options.repeat)
    cold, cold_table, cold_mb = timed(f"sweep, {cores} new processes", sweep, 1)
    warm, warm_table, warm_mb = timed(f"sweep, {cores} kept processes", sweep, options.repeat)
    assert cold_table.equals(serial_table) and warm_table.equals(serial_table), \
        "the sweep's table differs"
    rows = [("local processes, started", cold, targets.get("local"), cold_mb),
            ("local processes, kept", warm, targets.get("local"), warm_mb)]
    if options.dask:
        from distributed import Client, LocalCluster
        with LocalCluster(n_workers=cores, threads_per_worker=1, processes=True,
                          dashboard_address=None, silence_logs=logging.ERROR) as cluster, \
                Client(cluster) as client:
            on_dask, dask_table, _ = timed(f"sweep, dask {cores} workers",
                                           lambda: sweep(client=client), options.repeat)
        assert dask_table.equals(serial_table), "the dask sweep's table differs"
        rows.append((f"dask, {cores} workers (started)", on_dask, targets.get("dask"), None))

    limit = work.get("memory_mb")
    print(f"\n{'':<32} {'seconds':>8} {'share of serial':>16} {'target':>8} "
          f"{'parent peak MB':>15}" + (f" {'limit':>6}" if limit else ""))
    print(f"{'one after another':<32} {serial:8.2f} {1.0:16.2f}")
    for label, seconds, target, mb in rows:
        goal = f"{target:8.2f}" if target else f"{'':8}"
        memory = f"{mb:15.0f}" if mb is not None else f"{'':15}"
        print(f"{label:<32} {seconds:8.2f} {seconds / serial:16.2f} {goal} {memory}"
              + (f" {limit:6d}" if limit and mb is not None else ""))
    print("same table: yes")


if __name__ == "__main__":
    main()
