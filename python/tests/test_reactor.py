"""The Reactor against the batch runner (grids, frozen T, pictures, initial
grids, saved states, the version) and its measures against numpy counts of
its own grid."""
import copy
import inspect
import os
import pathlib
import pickle
import pydoc
import subprocess
import sys
import threading

import numpy as np
import pytest
from PIL import Image

import lemvaris
from conftest import numpy_measures, read_grid

PARAMETER_SETS = [
    dict(N=60, M=50, K=900, Ah=0.5, Kh=0.8, G=0.2, rSz=3),
    dict(N=37, M=81, K=1500, Ah=0.2, Kh=0.5, G=-0.2, rSz=4),
    dict(N=40, M=40, K=400, Ah=0.0, Kh=0.0, G=-0.7, rSz=1),  # settles against the top: frozen
]


# "wide" from another seed: both must take it, and it must change the run.
@pytest.mark.parametrize("parameters,freezes,seed",
                         zip(PARAMETER_SETS, [False, False, True], [0, 20261208, 0]),
                         ids=["W", "wide-seeded", "freezes"])
def test_grid_after_20000_moves_is_the_batch_runners(parameters, freezes, seed, batch, tmp_path):
    reactor = lemvaris.Reactor(**parameters, seed=seed)
    assert reactor.seed == seed
    if seed:
        assert not np.array_equal(reactor.grid, lemvaris.Reactor(**parameters).grid)
    made = reactor.step(20000)
    run = batch(parameters, 20000, "--grid", tmp_path / "grid.txt", "--seed", seed)
    np.testing.assert_array_equal(reactor.grid, read_grid(tmp_path / "grid.txt"))
    assert f"attempts={reactor.attempts} " in run.stderr
    if freezes:
        assert run.returncode == 3
        assert reactor.frozen and made == reactor.T < 20000
        assert f"frozen at T={reactor.T}\n" in run.stderr
        assert reactor.step(100) == 0 and reactor.T == made  # and stays frozen
    else:
        assert run.returncode == 0
        assert made == reactor.T == 20000 and not reactor.frozen


@pytest.mark.parametrize("parameters", PARAMETER_SETS[:2] + [
    dict(N=1, M=30, K=12, Ah=1.0, Kh=-1.0, G=1.0, rSz=10),
    dict(N=250, M=250, K=32767, Ah=0.3, Kh=0.6, G=0.1, rSz=10),
], ids=["W", "wide", "one-row", "largest"])
def test_measures_equal_numpy_counts_of_the_grid(parameters):
    reactor = lemvaris.Reactor(**parameters)
    for T in (0, 1, 2500, 7000):
        reactor.step(T - reactor.T)
        grid = reactor.grid
        assert grid.shape == (parameters["N"] + 2, parameters["M"] + 2)
        expected = numpy_measures(grid)
        assert reactor.measures() == expected
        assert (reactor.bottom, reactor.wall_contacts, reactor.interface, reactor.mean_row) == \
            tuple(expected.values())
        np.testing.assert_array_equal(reactor.row_counts, (grid == 2).sum(axis=1))


def test_seed_is_kept_read_only():
    largest = lemvaris.Reactor(N=20, M=20, K=100, Ah=0.5, Kh=0.5, G=0.5, rSz=3, seed=4294967295)
    assert largest.seed == lemvaris.SEED_LIMIT == 4294967295
    assert repr(largest).endswith("rSz=3, seed=4294967295) at T=0")
    with pytest.raises(AttributeError):
        largest.seed = 1


def decoded_png(path):
    image = Image.open(path)
    assert image.mode == "P" and image.size == (640, 480)
    return np.asarray(image)


@pytest.mark.parametrize("stops", [[20000], [4321, 9000], [0]])
def test_screen_and_png_are_the_batch_runners_picture(stops, batch, tmp_path):
    parameters = PARAMETER_SETS[0]
    reactor = lemvaris.Reactor(**parameters)
    for T in stops:  # a picture taken between refresh steps changes no later one
        reactor.step(T - reactor.T)
        screen = reactor.screen()
    batch(parameters, stops[-1], "--png", tmp_path / "batch.png")
    expected = decoded_png(tmp_path / "batch.png")
    assert screen.shape == (480, 640) and screen.dtype == np.uint8
    np.testing.assert_array_equal(screen, expected)
    reactor.save_png(tmp_path / "module.png")
    np.testing.assert_array_equal(decoded_png(tmp_path / "module.png"), expected)


def test_save_png_is_whole_or_leaves_the_target_alone(tmp_path):
    reactor = lemvaris.Reactor(**PARAMETER_SETS[0])
    with pytest.raises(OSError, match="cannot write"):
        reactor.save_png(tmp_path / "no" / "such.png")
    (tmp_path / "folder.png").mkdir()
    with pytest.raises(OSError, match="folder.png"):
        reactor.save_png(tmp_path / "folder.png")
    (tmp_path / "old.png").write_text("old")
    (tmp_path / "link.png").symlink_to(tmp_path / "old.png")
    reactor.save_png(str(tmp_path / "link.png"))  # the link is replaced, not followed
    assert (tmp_path / "old.png").read_text() == "old"
    assert not (tmp_path / "link.png").is_symlink()
    assert decoded_png(tmp_path / "link.png").shape == (480, 640)
    assert sorted(p.name for p in tmp_path.iterdir()) == ["folder.png", "link.png", "old.png"]


def test_step_counts_moves_and_refuses_bad_counts():
    reactor = lemvaris.Reactor(**PARAMETER_SETS[0])
    assert reactor.step(0) == 0 and reactor.T == 0
    assert reactor.step(1234) == 1234 and reactor.T == 1234
    with pytest.raises(ValueError, match="moves"):
        reactor.step(-1)
    with pytest.raises(ValueError, match="2147483647"):
        reactor.step(2**31 - 1234)
    assert reactor.T == 1234


def test_arrays_are_read_only_snapshots():
    reactor = lemvaris.Reactor(**PARAMETER_SETS[0])
    grid, counts = reactor.grid, reactor.row_counts
    with pytest.raises(ValueError):
        grid[1, 1] = 0
    with pytest.raises(ValueError):
        counts[1] = 0
    before = grid.copy()
    reactor.step(3000)
    np.testing.assert_array_equal(grid, before)
    assert not np.array_equal(reactor.grid, before)


def test_reactors_are_independent_of_each_other():
    alone = lemvaris.Reactor(**PARAMETER_SETS[1])
    alone.step(3000)
    first, other, second = (lemvaris.Reactor(**PARAMETER_SETS[i]) for i in (1, 0, 1))
    for _ in range(3):  # interleaved, so any shared state would show
        first.step(1000)
        other.step(777)
        second.step(500)
        second.step(500)
    for reactor in (first, second):
        np.testing.assert_array_equal(reactor.grid, alone.grid)
        assert reactor.attempts == alone.attempts


def test_step_lets_other_threads_run():
    reactor = lemvaris.Reactor(**PARAMETER_SETS[0])
    stepping = threading.Thread(target=reactor.step, args=(150000,))
    stepping.start()
    # Only while the GIL is free can this thread see the reactor busy.
    seen_busy = False
    while stepping.is_alive():
        try:
            reactor.T
        except RuntimeError as error:
            assert "another thread" in str(error)
            seen_busy = True
    stepping.join()
    assert seen_busy
    assert reactor.T == 150000


def test_a_reactor_is_a_value_that_goes_on_with_the_same_moves():
    original = lemvaris.Reactor(**PARAMETER_SETS[1], seed=20261208)
    original.step(12345)  # between two refresh steps, mid-way through its random words
    copies = [pickle.loads(pickle.dumps(original)), copy.deepcopy(original), copy.copy(original)]
    for reactor in [original] + copies:
        reactor.step(30000)
    for other in copies:
        assert repr(other) == repr(original)
        assert other.attempts == original.attempts
        np.testing.assert_array_equal(other.grid, original.grid)
        np.testing.assert_array_equal(other.screen(), original.screen())  # the chart's history too
    frozen = lemvaris.Reactor(**PARAMETER_SETS[2])
    frozen.step(20000)
    thawed = pickle.loads(pickle.dumps(frozen))
    assert thawed.frozen and thawed.step(10) == 0 and thawed.T == frozen.T


def test_png_repr_is_the_saved_file_and_palette_gives_its_colours(tmp_path):
    reactor = lemvaris.Reactor(**PARAMETER_SETS[0], seed=3)
    reactor.step(4321)
    reactor.save_png(tmp_path / "screen.png")
    assert reactor._repr_png_() == (tmp_path / "screen.png").read_bytes()
    rgb = np.asarray(Image.open(tmp_path / "screen.png").convert("RGB"))
    assert lemvaris.PALETTE.shape == (16, 3) and not lemvaris.PALETTE.flags.writeable
    np.testing.assert_array_equal(lemvaris.PALETTE[reactor.screen()], rgb)


BASE = dict(N=20, M=20, K=100, Ah=0.5, Kh=0.5, G=0.5, rSz=3)
STRENGTHS = dict(Ah=0.5, Kh=0.5, G=0.5, rSz=3)


def grid(cell=None, dtype=np.int64):
    """A 3 x 4 reactor framed by walls, two particles, and one cell changed."""
    cells = np.array([[0] * 6, [0, 2, 1, 1, 1, 0], [0, 1, 1, 1, 2, 0], [0, 1, 1, 1, 1, 0],
                      [0] * 6], dtype=dtype)
    if cell is not None:
        cells[cell[0], cell[1]] = cell[2]
    return cells


# What a person gets wrong, and the error that must name it: one case for each
# way a value reaches the room's checks (their ranges are the room's tables).
@pytest.mark.parametrize("call,error,message", [
    (lambda: lemvaris.Reactor(**dict(BASE, N=10.5)), TypeError,
     "^N must be an integer from 1 to 250, not 10.5$"),
    (lambda: lemvaris.Reactor(**dict(BASE, Ah="0.5")), TypeError,
     "^Ah must be a number from -1 to 1, not '0.5'$"),
    (lambda: lemvaris.Reactor(**dict(BASE, N=2**70)), ValueError,
     "^N must be an integer from 1 to 250, not 1180591620717411303424$"),
    (lambda: lemvaris.Reactor(**dict(BASE, G=np.nextafter(1.0, 2.0))), ValueError,
     "^G must be a number from -1 to 1, not "),
    (lambda: lemvaris.Reactor(**dict(BASE, G=10**400)), ValueError,
     r"^G must be a number from -1 to 1, not 1000.*\.\.\. \(401 characters\)$"),
    (lambda: lemvaris.Reactor(**BASE, seed=2**32), ValueError,
     "^seed must be an integer from 0 to 4294967295, not 4294967296$"),
    (lambda: lemvaris.check_parameters(**dict(BASE, K=401)), ValueError,
     r"^K must be at most N\*M = 400, not 401$"),
    (lambda: lemvaris.Reactor(20, 20, 100, 0.5), TypeError,
     r"^Reactor\(\) missing required arguments: 'Kh', 'G', 'rSz'$"),
    (lambda: lemvaris.Reactor(**BASE).step(2**63), ValueError, "^T may reach at most"),
    (lambda: lemvaris.Reactor(**BASE).step(1.5), TypeError, "^moves must be an integer"),
    (lambda: lemvaris.Reactor(**BASE).step(moves=-2**70), ValueError, "^moves must not be"),
    (lambda: lemvaris.Reactor(**BASE).samples(10, every=0), ValueError, "^every must be from 1"),
    (lambda: lemvaris.Reactor(**BASE).save_png("nul.png\0.txt"), ValueError, "null byte"),
    (lambda: lemvaris.Reactor(**BASE).save(3), TypeError, "^path must be a str, bytes"),
    (lambda: lemvaris.Reactor(initial=grid(), K=2, **STRENGTHS), TypeError,
     "^K comes from initial; it may not be given too$"),
    (lambda: lemvaris.Reactor(initial=grid(dtype=float), **STRENGTHS), TypeError,
     "^initial must be an array of integers"),
    # 258 would be a particle in a byte: refused at its own cell.
    (lambda: lemvaris.Reactor(initial=grid((2, 3, 258), np.uint16), **STRENGTHS), ValueError,
     "^initial: row 2, column 3: not a cell 0, 1 or 2$"),
    (lambda: lemvaris.Reactor(initial=grid((0, 0, 1)), **STRENGTHS), ValueError,
     "^initial: row 0, column 0: not a wall"),
], ids=lambda value: "" if callable(value) or isinstance(value, type) else value[:30])
def test_errors_name_the_parameter(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_a_run_from_an_initial_grid_is_the_batch_runners(batch, tmp_path):
    cells = np.zeros((32, 42), dtype=np.uint8)
    cells[1:-1, 1:-1] = 1
    cells[20:31, 5:35] = 2  # a block of liquid to spread
    (tmp_path / "drop.txt").write_text("".join("".join(map(str, row)) + "\n" for row in cells))
    reactor = lemvaris.Reactor(initial=cells, Ah=0.7, Kh=0.3, G=0.2, rSz=2, seed=5)
    assert reactor.parameters == dict(N=30, M=40, K=330, Ah=0.7, Kh=0.3, G=0.2, rSz=2)
    np.testing.assert_array_equal(reactor.grid, cells)
    reactor.step(20000)
    run = batch(dict(Ah=0.7, Kh=0.3, G=0.2, rSz=2), 20000, "--initial", tmp_path / "drop.txt",
                "--seed", 5, "--grid", tmp_path / "grid.txt")
    assert run.returncode == 0, run.stderr
    np.testing.assert_array_equal(reactor.grid, read_grid(tmp_path / "grid.txt"))
    assert f"attempts={reactor.attempts} " in run.stderr


def test_a_run_saved_here_goes_on_in_the_batch_runner_and_back(batch, tmp_path):
    unbroken = lemvaris.Reactor(**PARAMETER_SETS[1], seed=7)
    unbroken.step(4321 + 6000 + 5000)
    here = lemvaris.Reactor(**PARAMETER_SETS[1], seed=7)
    here.step(4321)  # mid-way between two samples of the chart
    here.save(tmp_path / "first.state")
    assert pickle.loads(pickle.dumps(here)).__getstate__() == \
        (tmp_path / "first.state").read_bytes()  # a pickle holds the same state
    run = batch({}, 6000, "--load-state", tmp_path / "first.state", "--save-state",
                tmp_path / "second.state")
    assert run.returncode == 0, run.stderr
    there = lemvaris.Reactor.load(tmp_path / "second.state")
    assert there.T == 4321 + 6000
    there.step(5000)
    assert repr(there) == repr(unbroken) and there.attempts == unbroken.attempts
    np.testing.assert_array_equal(there.grid, unbroken.grid)
    np.testing.assert_array_equal(there.screen(), unbroken.screen())


def test_a_file_that_is_not_a_whole_state_is_refused_by_name(tmp_path):
    lemvaris.Reactor(**BASE).save(tmp_path / "whole.state")
    (tmp_path / "cut.state").write_bytes((tmp_path / "whole.state").read_bytes()[:-1])
    with pytest.raises(ValueError, match=f'^cannot load "{tmp_path}/cut.state": cut short'):
        lemvaris.Reactor.load(tmp_path / "cut.state")
    with pytest.raises(ValueError, match="^not the state of a Reactor: "):
        lemvaris.Reactor.__new__(lemvaris.Reactor).__setstate__(b"x" * 100)


def test_version_is_the_programs():
    out = subprocess.run([os.environ["LEMVARIS_BATCH"], "--version"], capture_output=True,
                         text=True, check=True).stdout
    assert out == f"lemvaris-batch {lemvaris.__version__}\n"


def test_help_documents_every_property_and_method():
    text = pydoc.render_doc(lemvaris.Reactor, renderer=pydoc.plaintext)
    names = [n for n in dir(lemvaris.Reactor) if not n.startswith("__")]
    assert {"step", "samples", "grid", "seed", "save", "load", "_repr_png_", "T"} <= set(names)
    for name in names:
        doc = getattr(lemvaris.Reactor, name).__doc__
        assert doc and len(doc.strip()) > 15, name
        if not name.startswith("_"):  # help() leaves out the private names
            assert doc.strip().splitlines()[0] in text
    assert "step(self: lemvaris.Reactor, moves: int) -> int" in text


def test_signatures_are_seen_by_inspect_and_type_checkers(tmp_path):
    assert str(inspect.signature(lemvaris.Reactor)) == \
        "(N=None, M=None, K=None, Ah=None, Kh=None, G=None, rSz=None, *, seed=0, initial=None)"
    if subprocess.run([sys.executable, "-m", "mypy", "--version"], capture_output=True).returncode:
        pytest.skip("mypy is not installed")
    (tmp_path / "wrong.py").write_text(
        "import lemvaris\n"
        "lemvaris.Reactor(N='100', M=100, K=3000, Ah=0.5, Kh=0.8, G=0.2, rSz=3).save_png(3)\n")
    run = subprocess.run([sys.executable, "-m", "mypy", "--cache-dir", os.devnull, "wrong.py"],
                         capture_output=True, text=True, cwd=tmp_path, timeout=300)
    assert run.returncode == 1, run.stdout + run.stderr
    assert 'Argument "N" to "Reactor" has incompatible type "str"' in run.stdout
    assert 'Argument 1 to "save_png" of "Reactor" has incompatible type "int"' in run.stdout
    # The stub names every function, class and method of the compiled module.
    (tmp_path / "allowed").write_text("lemvaris._core.Reactor\nlemvaris._core.Reactor.__signature__"
                                      "\nlemvaris._core.Samples.__init__\n")
    run = subprocess.run([sys.executable, "-m", "mypy.stubtest", "--allowlist", "allowed",
                          "lemvaris._core"], capture_output=True, text=True, cwd=tmp_path,
                         timeout=300)
    assert run.returncode == 0, run.stdout + run.stderr


def test_file_names_are_what_open_takes(tmp_path, monkeypatch):
    reactor = lemvaris.Reactor(**PARAMETER_SETS[0])
    monkeypatch.chdir(tmp_path)
    names = [("text.png", "text.png"), (b"bytes.png", "bytes.png"),
             (pathlib.Path("path.png"), "path.png"),
             (b"undecodable-\xff.png", os.fsdecode(b"undecodable-\xff.png"))]
    for given, written in names:
        reactor.save_png(given)
        assert (tmp_path / written).read_bytes() == reactor._repr_png_()
    assert sorted(os.listdir(tmp_path)) == sorted(written for _, written in names)
