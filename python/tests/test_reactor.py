"""The Reactor against the batch runner (grids, frozen T, pictures) and its
measures against numpy counts of its own grid."""
import copy
import os
import pathlib
import pickle
import pydoc
import threading
import zlib

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


def test_the_csv_of_the_batch_runner_is_the_reactors_measures(batch):
    parameters = PARAMETER_SETS[0]
    lines = batch(parameters, 6500).stdout.splitlines()
    assert lines[0] == "T,bottom,wall_contacts,interface,mean_row"
    reactor = lemvaris.Reactor(**parameters)
    for line in lines[1:]:
        T = int(line.split(",")[0])
        reactor.step(T - reactor.T)
        m = reactor.measures()
        assert line == f"{T},{m['bottom']},{m['wall_contacts']},{m['interface']},{m['mean_row']:.6f}"


BOUNDS = dict(N=(1, 250), M=(1, 250), K=(1, 32767), rSz=(1, 10))


@pytest.mark.parametrize("name", ["N", "M", "K", "Ah", "Kh", "G", "rSz"])
def test_a_parameter_just_outside_its_range_is_refused_by_name(name):
    base = dict(N=250, M=250, K=100, Ah=0.5, Kh=0.5, G=0.5, rSz=3)
    if name in BOUNDS:
        low, high = BOUNDS[name]
        outside = [low - 1, high + 1]
        lemvaris.Reactor(**{**base, name: low})
        lemvaris.Reactor(**{**base, name: high})
    else:
        outside = [np.nextafter(1.0, 2.0), np.nextafter(-1.0, -2.0), float("nan")]
        lemvaris.Reactor(**{**base, name: 1.0})
        lemvaris.Reactor(**{**base, name: -1.0})
    for value in outside:
        with pytest.raises(ValueError, match=rf"^{name} must be"):
            lemvaris.Reactor(**{**base, name: value})
        with pytest.raises(ValueError, match=rf"^{name} must be"):
            lemvaris.check_parameters(**{**base, name: value})


def test_seed_is_kept_read_only_and_refused_outside_its_range():
    base = dict(N=20, M=20, K=100, Ah=0.5, Kh=0.5, G=0.5, rSz=3)
    assert lemvaris.Reactor(**base).seed == 0
    largest = lemvaris.Reactor(**base, seed=4294967295)
    assert largest.seed == lemvaris.SEED_LIMIT == 4294967295
    assert repr(largest).endswith("rSz=3, seed=4294967295) at T=0")
    with pytest.raises(AttributeError):
        largest.seed = 1
    for outside in (-1, 2**32, 2**70):
        with pytest.raises(ValueError, match=rf"^seed must be an integer from 0 to 4294967295, "
                                             rf"not {outside}$"):
            lemvaris.Reactor(**base, seed=outside)
    for wrong in (1.5, "3"):
        with pytest.raises(TypeError, match="^seed must be an integer"):
            lemvaris.Reactor(**base, seed=wrong)


def test_k_above_the_cells_or_the_16_bit_limit_is_refused():
    with pytest.raises(ValueError, match=r"^K must be at most N\*M = 20, not 21"):
        lemvaris.Reactor(4, 5, 21, 0, 0, 0, 1)
    lemvaris.Reactor(4, 5, 20, 0, 0, 0, 1)
    with pytest.raises(ValueError, match=r"^K must be an integer from 1 to 32767, not 32768"):
        lemvaris.Reactor(250, 250, 32768, 0, 0, 0, 1)
    with pytest.raises(TypeError):
        lemvaris.Reactor(10.0, 10, 5, 0, 0, 0, 1)


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


def test_a_reactor_is_a_value_that_goes_on_with_the_same_moves(tmp_path):
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
    state = original.__getstate__()
    for broken in [(state[0] + 1,) + state[1:], state[:2] + (b"x",), state[:2],
                   state[:2] + (zlib.compress(bytes(10**8)),)]:
        with pytest.raises(ValueError, match="not the state of a Reactor"):
            lemvaris.Reactor.__new__(lemvaris.Reactor).__setstate__(broken)


def test_png_repr_is_the_saved_file_and_palette_gives_its_colours(tmp_path):
    reactor = lemvaris.Reactor(**PARAMETER_SETS[0], seed=3)
    reactor.step(4321)
    reactor.save_png(tmp_path / "screen.png")
    assert reactor._repr_png_() == (tmp_path / "screen.png").read_bytes()
    rgb = np.asarray(Image.open(tmp_path / "screen.png").convert("RGB"))
    assert lemvaris.PALETTE.shape == (16, 3) and not lemvaris.PALETTE.flags.writeable
    np.testing.assert_array_equal(lemvaris.PALETTE[reactor.screen()], rgb)


BASE = dict(N=20, M=20, K=100, Ah=0.5, Kh=0.5, G=0.5, rSz=3)


# What a person gets wrong, and the error that must name it.
@pytest.mark.parametrize("call,error,message", [
    (lambda: lemvaris.Reactor(**dict(BASE, N=10.5)), TypeError, "^N must be an integer, not 10.5$"),
    (lambda: lemvaris.Reactor(**dict(BASE, N=2**70)), ValueError,
     "^N must be an integer from 1 to 250, not 1180591620717411303424$"),
    (lambda: lemvaris.Reactor(**dict(BASE, rSz="3")), TypeError, "^rSz must be an integer"),
    (lambda: lemvaris.Reactor(**dict(BASE, Ah="0.5")), TypeError, "^Ah must be a number"),
    (lambda: lemvaris.Reactor(**dict(BASE, G=10**400)), ValueError, "^G must be a number from -1"),
    (lambda: lemvaris.Reactor(**dict(BASE, seed=-2**80)), ValueError, "^seed must be"),
    (lambda: lemvaris.Reactor(20, 20, 100, 0.5), TypeError,
     "^Reactor\\(\\) missing required arguments: 'Kh', 'G', 'rSz'$"),
    (lambda: lemvaris.Reactor(**BASE, gravity=1), TypeError,
     "^Reactor\\(\\) got an unexpected keyword argument 'gravity'$"),
    (lambda: lemvaris.Reactor(20, **BASE), TypeError, "multiple values for argument 'N'"),
    (lambda: lemvaris.Reactor(*BASE.values(), 0), TypeError, "takes 7 positional arguments"),
    (lambda: lemvaris.check_parameters(**dict(BASE, K=401)), ValueError, "^K must be at most"),
    (lambda: lemvaris.Reactor(**BASE).step(2**63), ValueError, "^T may reach at most"),
    (lambda: lemvaris.Reactor(**BASE).step(1.5), TypeError, "^moves must be an integer"),
    (lambda: lemvaris.Reactor(**BASE).step(), TypeError, "missing required argument: 'moves'"),
    (lambda: lemvaris.Reactor(**BASE).step(moves=-2**70), ValueError, "^moves must not be"),
    (lambda: lemvaris.Reactor(**BASE).save_png("nul.png\0.txt"), ValueError, "null byte"),
    (lambda: lemvaris.Reactor(**BASE).save_png(b"nul\0"), ValueError, "null byte"),
    (lambda: lemvaris.Reactor(**BASE).save_png(3), TypeError, "^path must be a str, bytes"),
], ids=lambda value: "" if callable(value) or isinstance(value, type) else value[:30])
def test_errors_name_the_parameter(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_help_documents_every_property_and_method():
    text = pydoc.render_doc(lemvaris.Reactor, renderer=pydoc.plaintext)
    names = [n for n in dir(lemvaris.Reactor) if not n.startswith("__")]
    assert {"step", "grid", "seed", "save_png", "_repr_png_", "T", "mean_row"} <= set(names)
    for name in names:
        doc = getattr(lemvaris.Reactor, name).__doc__
        assert doc and len(doc.strip()) > 15, name
        if not name.startswith("_"):  # help() leaves out the private names
            assert doc.strip().splitlines()[0] in text
    assert "Reactor(N, M, K, Ah, Kh, G, rSz, *, seed=0)" in text


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
