#!/usr/bin/env python3
"""A sweep's wall-clock time against the same runs one after another: 16
runs of W1's size (N = M = 100, K = 3000, G = 0.2, rSz = 3; Ah x Kh around
W1's 0.5 and 0.8), 100 000 moves each, in this process and then as one sweep
on local processes (every core): first with the worker processes still to
be started, then again with the workers a sweep keeps. With --dask also on a
dask LocalCluster of one single-threaded worker process per core (started
before the timing). Prints each time, the sweep's share of the serial time
and the load average before each measurement, and checks that every runner
gave the same table.

    PYTHONPATH=build/python /usr/bin/python3 bench/sweep_bench.py [--dask] [--repeat 2]
"""
import argparse
import logging
import os
import time

import lemvaris

PARAMETERS = dict(N=100, M=100, K=3000, Ah=[0.35, 0.45, 0.55, 0.65], Kh=[0.7, 0.8, 0.9, 1.0],
                  G=0.2, rSz=3)
MOVES = 100_000


def timed(label, run, repeat):
    """The best wall time of `repeat` calls, the load before each, the table."""
    best = None
    for _ in range(repeat):
        load = os.getloadavg()[0]
        start = time.perf_counter()
        table = run()
        seconds = time.perf_counter() - start
        print(f"{label:<28} {seconds:8.2f} s   (load average before: {load:.2f})", flush=True)
        best = seconds if best is None else min(best, seconds)
    return best, table


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--repeat", type=int, default=1)
    parser.add_argument("--dask", action="store_true", help="also on a dask LocalCluster")
    options = parser.parse_args()
    cores = len(os.sched_getaffinity(0))
    print(f"16 runs of {MOVES} moves, W1's size; {cores} cores")

    serial, serial_table = timed("one after another", lambda: lemvaris.sweep(
        PARAMETERS, MOVES, processes=1, progress=False), options.repeat)
    sweep = lambda: lemvaris.sweep(PARAMETERS, MOVES, progress=False)  # noqa: E731
    cold, cold_table = timed(f"sweep, {cores} new processes", sweep, 1)
    warm, warm_table = timed(f"sweep, {cores} kept processes", sweep, options.repeat)
    assert cold_table.equals(serial_table) and warm_table.equals(serial_table), \
        "the sweep's table differs"
    rows = [("sweep, workers started", cold), ("sweep, workers kept", warm)]
    if options.dask:
        from distributed import Client, LocalCluster
        with LocalCluster(n_workers=cores, threads_per_worker=1, processes=True,
                          dashboard_address=None, silence_logs=logging.ERROR) as cluster, \
                Client(cluster) as client:
            on_dask, dask_table = timed(f"sweep, dask {cores} workers", lambda: lemvaris.sweep(
                PARAMETERS, MOVES, client=client, progress=False), options.repeat)
        assert dask_table.equals(serial_table), "the dask sweep's table differs"
        rows.append(("sweep on dask (cluster started)", on_dask))

    print(f"\n{'':<32} {'seconds':>8} {'share of serial':>16}")
    print(f"{'one after another':<32} {serial:8.2f} {1.0:16.2f}")
    for label, seconds in rows:
        print(f"{label:<32} {seconds:8.2f} {seconds / serial:16.2f}")
    print("same table: yes")


if __name__ == "__main__":
    main()
