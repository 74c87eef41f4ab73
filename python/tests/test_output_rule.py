"""The output rule's table (tests/output/output_rule_cases.txt), shared with
the C++ writers and the batch runner, through the module's writers:
Reactor.save_png (the name as bytes), sweep(out=) (as str) and
check_output (several names at once)."""
import os
import stat

import pytest

import lemvaris
from conftest import ROOT
from lemvaris._core import check_output

UMASK = 0o002  # 0664 for a new file: unlike every mode in the table
TINY = dict(N=5, M=5, K=5, Ah=0, Kh=0, G=0, rSz=1)


def cases():
    table = (ROOT / "tests/output/output_rule_cases.txt").read_text()
    for line in table.splitlines():
        if line.strip() and not line.startswith("#"):
            name, set_up, names, outcome = (field.strip() for field in line.split("|"))
            yield pytest.param(set_up, names.split(), outcome.split(), id=name)


def set_up(steps):
    for step in filter(None, (s.strip() for s in steps.split(";"))):
        kind, *words = step.split()
        if kind == "file":
            with open(words[0], "w") as file:
                file.write("old")
            os.chmod(words[0], int(words[1], 8))
        elif kind == "dir":
            os.mkdir(words[0])
        elif kind == "fifo":
            os.mkfifo(words[0])
        elif kind == "link":
            os.symlink(words[1], words[0])
        elif kind == "hardlink":
            os.link(words[1], words[0])
        else:
            assert steps == "-", f"unknown set-up {step!r}"


def snapshot(folder):
    """Every entry under folder: its type and mode, and a link's target or a
    file's content."""
    entries = {}
    for place, folders, files in os.walk(folder):
        for name in folders + files:
            path = os.path.join(place, name)
            info = os.lstat(path)
            what = os.readlink(path) if stat.S_ISLNK(info.st_mode) else \
                open(path, "rb").read() if stat.S_ISREG(info.st_mode) else None
            entries[os.path.relpath(path, folder)] = (info.st_mode, what)
    return entries


@pytest.fixture
def scratch(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    previous = os.umask(UMASK)
    yield tmp_path
    os.umask(previous)


@pytest.mark.parametrize("steps,names,outcome", cases())
def test_the_output_rule_table(steps, names, outcome, scratch, monkeypatch):
    set_up(steps)
    before = snapshot(scratch)
    reactor = lemvaris.Reactor(**TINY)
    if outcome == ["refused"]:
        with pytest.raises(OSError):
            check_output(*names)
        if len(names) == 1:
            monkeypatch.setattr(lemvaris.sweeps, "run_one", None)  # nothing may run
            with pytest.raises(OSError):
                reactor.save_png(os.fsencode(names[0]))
            with pytest.raises(OSError):
                lemvaris.sweep(TINY, 0, processes=1, out=names[0])
        assert snapshot(scratch) == before
        return
    assert outcome[0] == "written" and len(outcome) == 1 + len(names)
    modes = [0o666 & ~UMASK if mode == "umask" else int(mode, 8) for mode in outcome[1:]]
    check_output(*names)

    def assert_written(name, mode, content):
        info = os.lstat(name)
        assert stat.S_ISREG(info.st_mode) and stat.S_IMODE(info.st_mode) == mode, name
        assert open(name, "rb").read() == content

    reactor.save_png(os.fsencode(names[0]))
    assert_written(names[0], modes[0], reactor._repr_png_())
    table = lemvaris.sweep(TINY, 0, processes=1, out=names[-1])  # one name: over the picture
    assert_written(names[-1], modes[-1], lemvaris.sweeps.csv_text(table).encode())
    after = snapshot(scratch)
    for name in names:
        after.pop(os.path.normpath(name))
        before.pop(os.path.normpath(name), None)
    assert after == before  # every other entry as it was, no temporary file
