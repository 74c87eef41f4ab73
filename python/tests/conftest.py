"""What the module's tests share: the batch runner to compare with, and
independent numpy counts over a grid."""
import os
import pathlib
import subprocess

import numpy as np
import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def batch():
    """Run lemvaris-batch with the seven parameters (a dict) and options;
    returns the finished process (text output)."""
    program = os.environ.get("LEMVARIS_BATCH", str(ROOT / "build/tools/lemvaris-batch"))
    assert os.access(program, os.X_OK), f"no batch runner at {program}"

    def run(parameters, steps, *options):
        arguments = [program, "--steps", str(steps)]
        for name, value in parameters.items():
            arguments += [f"--{name}", str(value)]
        return subprocess.run(arguments + [str(o) for o in options], capture_output=True,
                              text=True, timeout=300)
    return run


def live_processes(parent=None, session=None):
    """The live processes (zombies left out) whose parent, or whose session,
    is the one given."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if fields[0] != "Z" and (int(fields[1]) == parent or int(fields[3]) == session):
            found.append(int(pid))
    return found


def read_grid(path):
    return np.array([[int(c) for c in line] for line in pathlib.Path(path).read_text().split()],
                    dtype=np.uint8)


def numpy_measures(grid):
    """The four measures counted from a grid with numpy alone."""
    particle, wall = grid == 2, grid == 0
    inner = grid[1:-1, 1:-1]
    p, e = inner == 2, inner == 1
    wall_near = np.zeros_like(p)
    for dr in (-1, 0, 1):
        for dc in (-1, 0, 1):
            wall_near |= wall[1 + dr:wall.shape[0] - 1 + dr, 1 + dc:wall.shape[1] - 1 + dc]
    interface = ((p[:, :-1] & e[:, 1:]) | (e[:, :-1] & p[:, 1:])).sum() + \
        ((p[:-1, :] & e[1:, :]) | (e[:-1, :] & p[1:, :])).sum()
    return {
        "bottom": int(particle[-2].sum()),
        "wall_contacts": int((p & wall_near).sum()),
        "interface": int(interface),
        "mean_row": float(np.nonzero(particle)[0].mean()),
    }
