"""The Reactor against the batch runner (grids, frozen T, pictures) and its
measures against numpy counts of its own grid."""
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
