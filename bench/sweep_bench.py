#!/usr/bin/env python3
"""A sweep's wall-clock time against the same runs one after another.

Workloads (--workload):
  seeds  64 runs of one parameter set from seeds 0..63 (N = M = 60, K = 900,
         Ah = 0.5, Kh = 0.8, G = 0.2, rSz = 3), 100 000 moves each: an
         ensemble. Targets on 2 cores: local processes at most 0.55 of the
         serial time, a Dask LocalCluster of 2 single-threaded workers at
         most 0.65.
  grid   16 runs of W1's size (N = M = 100, K = 3000, G = 0.2, rSz = 3; Ah x Kh
         around W1's 0.5 and 0.8), 100 000 moves each.

Each is timed in this process, then as one sweep on local processes (every
core): first with the worker processes still to be started, then with the
workers a sweep keeps; with --dask also on a Dask LocalCluster of one
single-threaded worker process per core (started before the timing). Prints
each time, the load average before it, the share of the serial time, and
checks that every runner gave the same table. The machine may be shared:
compare the load averages.

    PYTHONPATH=build/python /usr/bin/python3 bench/sweep_bench.py [--dask] [--repeat 2]
"""
import argparse
import logging
import os
import time

import lemvaris

WORKLOADS = {
    "seeds": (dict(N=60, M=60, K=900, Ah=0.5, Kh=0.8, G=0.2, rSz=3), 64,
              {"local": 0.55, "dask": 0.65}),
    "grid": (dict(N=100, M=100, K=3000, Ah=[0.35, 0.45, 0.55, 0.65], Kh=[0.7, 0.8, 0.9, 1.0],
                  G=0.2, rSz=3), 1, {}),
}
MOVES = 100_000


def timed(label, run, repeat):
    """The best wall time of `repeat` calls, the load before each, the table."""
    best = None
    for _ in range(repeat):
        load = os.getloadavg()[0]
        start = time.perf_counter()
        table = run()
        seconds = time.perf_counter() - start
        print(f"{label:<32} {seconds:8.2f} s   (load average before: {load:.2f})", flush=True)
        best = seconds if best is None else min(best, seconds)
    return best, table


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--workload", choices=sorted(WORKLOADS), default="seeds")
    parser.add_argument("--repeat", type=int, default=1)
    parser.add_argument("--dask", action="store_true", help="also on a dask LocalCluster")
    options = parser.parse_args()
    parameters, seeds, targets = WORKLOADS[options.workload]
    cores = len(os.sched_getaffinity(0))
    runs = len(lemvaris.sweeps.runs_of(parameters)) * seeds
    print(f"{options.workload}: {runs} runs of {MOVES} moves; {cores} cores; "
          f"load average {os.getloadavg()[0]:.2f}")

    def sweep(**where):
        return lemvaris.sweep(parameters, MOVES, seeds=seeds, progress=False, **where)

    serial, serial_table = timed("one after another", lambda: sweep(processes=1), options.repeat)
    cold, cold_table = timed(f"sweep, {cores} new processes", sweep, 1)
    warm, warm_table = timed(f"sweep, {cores} kept processes", sweep, options.repeat)
    assert cold_table.equals(serial_table) and warm_table.equals(serial_table), \
        "the sweep's table differs"
    rows = [("local processes, started", cold, targets.get("local")),
            ("local processes, kept", warm, targets.get("local"))]
    if options.dask:
        from distributed import Client, LocalCluster
        with LocalCluster(n_workers=cores, threads_per_worker=1, processes=True,
                          dashboard_address=None, silence_logs=logging.ERROR) as cluster, \
                Client(cluster) as client:
            on_dask, dask_table = timed(f"sweep, dask {cores} workers",
                                        lambda: sweep(client=client), options.repeat)
        assert dask_table.equals(serial_table), "the dask sweep's table differs"
        rows.append((f"dask, {cores} workers (started)", on_dask, targets.get("dask")))

    print(f"\n{'':<32} {'seconds':>8} {'share of serial':>16} {'target':>8}")
    print(f"{'one after another':<32} {serial:8.2f} {1.0:16.2f}")
    for label, seconds, target in rows:
        goal = f"{target:8.2f}" if target else ""
        print(f"{label:<32} {seconds:8.2f} {seconds / serial:16.2f} {goal}")
    print("same table: yes")


if __name__ == "__main__":
    main()
