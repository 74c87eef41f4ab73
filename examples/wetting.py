#!/usr/bin/env python3
"""Wetting: does the liquid spread along the walls or gather into a drop?
Adhesion (Ah, the walls' pull) against cohesion (Kh, the particles' pull on
each other), every combination on a grid of levels, each run for a million
moves by default. Writes two pictures:

    wetting_series.png  the particles touching a wall over T, one line a run
    wetting_map.png     the same at the end of each run, over Ah x Kh

After the build, from the repository's folder (Debian's Python):

    PYTHONPATH=build/python /usr/bin/python3 examples/wetting.py
    PYTHONPATH=build/python /usr/bin/python3 examples/wetting.py --N 40 --M 40 --K 400 --steps 20000

Add --scheduler tcp://HOST:8786 to run the sweep on a Dask cluster.
"""
import argparse
import os

import matplotlib

matplotlib.use("Agg")  # files only, no window

import lemvaris  # noqa: E402
import lemvaris.plot  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--N", type=int, default=100)
    parser.add_argument("--M", type=int, default=100)
    parser.add_argument("--K", type=int, default=3000)
    parser.add_argument("--G", type=float, default=0.2)
    parser.add_argument("--rSz", type=int, default=3)
    parser.add_argument("--steps", type=int, default=1_000_000)
    parser.add_argument("--levels", type=int, default=5, help="values of Ah and of Kh, 0 to 1")
    parser.add_argument("--out-dir", default=".")
    parser.add_argument("--scheduler", help="a Dask scheduler's address")
    options = parser.parse_args()
    if options.levels < 2:
        parser.error("--levels must be at least 2")

    strengths = [round(i / (options.levels - 1), 3) for i in range(options.levels)]
    parameters = dict(N=options.N, M=options.M, K=options.K, Ah=strengths, Kh=strengths,
                      G=options.G, rSz=options.rSz)
    client = None
    if options.scheduler:
        from distributed import Client
        client = Client(options.scheduler)
    table = lemvaris.sweep(parameters, options.steps, client=client)

    os.makedirs(options.out_dir, exist_ok=True)
    ax = lemvaris.plot.series(table, "wall_contacts")
    ax.set_title("Particles touching a wall")
    ax.figure.set_size_inches(9, 6)
    ax.figure.savefig(os.path.join(options.out_dir, "wetting_series.png"), dpi=100)
    ax = lemvaris.plot.phase_map(table, "Ah", "Kh", "wall_contacts")
    ax.figure.savefig(os.path.join(options.out_dir, "wetting_map.png"), dpi=100)
    print(f"{len(table)} samples of {table.groupby(list(lemvaris.PARAMETERS)).ngroups} runs; "
          f"pictures in {options.out_dir}")


if __name__ == "__main__":
    main()
