"""pip wheel --no-build-isolation ./python (Debian's pip, no registry) builds
the module alone, in a configure that fails if any of the programs' libraries,
GoogleTest or benchmark is looked for, and writes nothing beside the sources.
The wheel installs into a fresh virtual environment where lemvaris imports
from / without PYTHONPATH, its sweeps' workers find it too (the Dask workers
of `python -m lemvaris worker` as well), and it has the programs' version
and its type information. The sdist carries every file the
build read.

One build serves the file. Under ctest CMake's build is kept in the build
tree (LEMVARIS_PIP_BUILD), so that a second run compiles only what changed."""
import os
import pathlib
import re
import subprocess
import tarfile
import zipfile

import pytest

from conftest import ROOT
from test_sweep import free_port

NOT_LOOKED_FOR = ["SDL2", "Curses", "PkgConfig", "X11", "Threads", "GTest", "benchmark"]


def package_files():
    """What python/lemvaris/ and the experiments give the wheel besides the
    compiled module."""
    return sorted([p.name for p in (ROOT / "python/lemvaris").iterdir()
                   if p.suffix in (".py", ".pyi") or p.name == "py.typed"] + ["experiments.json"])


def source_tree():
    """Every path under the checkout but its build folders and Python's caches."""
    paths = set()
    for folder, folders, files in os.walk(ROOT):
        top = pathlib.Path(folder) == ROOT
        folders[:] = [f for f in folders if f != "__pycache__" and
                      not (top and (f.startswith("build") or f == ".git"))]
        paths.update(os.path.relpath(os.path.join(folder, n), ROOT) for n in folders + files)
    return paths


def what_failed(output):
    """CMake's and the compiler's errors, which pip's traceback pushes out of
    the output's end, and that end."""
    errors = re.findall(r"CMake Error.*\n(?:.*\S.*\n)*|.*error:.*\n", output)
    return "".join(errors[:10]) + "...\n" + output[-2000:]


@pytest.fixture(scope="module")
def built(tmp_path_factory):
    """pip wheel ./python: the wheel, CMake's build folder, the tree before and
    after, and the environment it ran in."""
    work = tmp_path_factory.mktemp("install")
    cmake_build = pathlib.Path(os.environ.get("LEMVARIS_PIP_BUILD", work / "cmake"))
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "CXXFLAGS")}
    # find_package or include(Find...) of any of them, in either mode, stops the
    # configure; a kept cache may not turn a lookup off.
    poison = work / "poison"
    poison.mkdir()
    for name in NOT_LOOKED_FOR:
        for found in (f"Find{name}.cmake", f"{name}Config.cmake"):
            (poison / found).write_text(f'message(FATAL_ERROR "{name} looked for")\n')
    env.update(PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1", CMAKE_BUILD_PARALLEL_LEVEL="2",
               LEMVARIS_BUILD_DIR=str(cmake_build), CMAKE_GENERATOR="Unix Makefiles",
               CMAKE_ARGS=" ".join(["-UCMAKE_DISABLE_FIND_PACKAGE_*",
                                    f"-DCMAKE_MODULE_PATH={poison}"] +
                                   [f"-D{name}_DIR={poison}" for name in NOT_LOOKED_FOR]))
    before = source_tree()
    run = subprocess.run(["/usr/bin/python3", "-m", "pip", "wheel", "--no-build-isolation",
                          "--no-deps", "-w", str(work / "wheel"), "./python"],
                         cwd=ROOT, env=env, capture_output=True, text=True, timeout=1800)
    assert run.returncode == 0, what_failed(run.stdout + run.stderr)
    wheels = list((work / "wheel").glob("lemvaris-*.whl"))
    assert len(wheels) == 1, wheels
    return dict(wheel=wheels[0], cmake_build=cmake_build, before=before, after=source_tree(),
                env=env, work=work)


def test_the_build_writes_nothing_beside_the_sources(built):
    assert built["after"] == built["before"], sorted(built["after"] ^ built["before"])


def test_the_wheel_holds_the_package_and_its_module(built):
    names = zipfile.ZipFile(built["wheel"]).namelist()
    package = sorted(n.split("/", 1)[1] for n in names if n.startswith("lemvaris/"))
    modules = [n for n in package if re.fullmatch(r"_core\.cpython-.*\.so", n)]
    assert len(modules) == 1, package
    assert sorted(set(package) - set(modules)) == package_files()
    assert all(n.startswith(("lemvaris/", "lemvaris-")) for n in names), names


def test_the_wheel_installs_into_a_fresh_venv(built):
    venv, env = built["work"] / "venv", built["env"]
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(venv)],
                   check=True)
    install = subprocess.run([str(venv / "bin/pip"), "install", str(built["wheel"])], env=env,
                             capture_output=True, text=True, timeout=300)
    assert install.returncode == 0, what_failed(install.stdout + install.stderr)
    check = """
import importlib.metadata, importlib.resources, lemvaris, os
assert os.path.dirname(lemvaris.__file__).startswith(os.environ["VIRTUAL_ENV"])
assert importlib.metadata.version("lemvaris") == lemvaris.__version__, lemvaris.__version__
assert all((importlib.resources.files("lemvaris") / name).is_file()
           for name in ("py.typed", "_core.pyi", "experiments.json"))
assert lemvaris.experiment("drops")["claim"]["measure"] == "interface"
table = lemvaris.sweep(dict(N=20, M=20, K=100, Ah=[0, 1], Kh=0.5, G=0.2, rSz=2), 3000,
                       seeds=2, processes=2)
print(len(table), lemvaris.Reactor(N=20, M=20, K=100, Ah=0, Kh=0.5, G=0.2, rSz=2).T)
"""
    run = subprocess.run([str(venv / "bin/python"), "-c", check], cwd="/", capture_output=True,
                         text=True, env=dict(env, VIRTUAL_ENV=str(venv)), timeout=300)
    assert run.returncode == 0 and run.stderr == "", run.stderr
    assert run.stdout.split() == ["12", "0"]  # 2 sets x 2 seeds x T = 0, 2000, 3000

    # Dask workers of the environment's Python import its lemvaris (Debian's
    # dask-worker, of the system's Python, would not).
    address = f"tcp://127.0.0.1:{free_port()}"
    started = [subprocess.Popen(command, cwd="/", env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL) for command in (
        ["dask-scheduler", "--host", "127.0.0.1", "--port", address.rsplit(":", 1)[1],
         "--no-dashboard"],
        [str(venv / "bin/python"), "-m", "lemvaris", "worker", address, "--nworkers", "2"])]
    try:
        on_dask = subprocess.run([str(venv / "bin/python"), "-c", f"""
import lemvaris
from distributed import Client
Client({address!r}, timeout=60).wait_for_workers(2, 60)
sets = dict(N=20, M=20, K=100, Ah=[0, 1], Kh=0.5, G=0.2, rSz=2)
print(lemvaris.sweep(sets, 3000, seeds=2, client={address!r}).equals(
      lemvaris.sweep(sets, 3000, seeds=2, processes=1)))
"""], cwd="/", env=env, capture_output=True, text=True, timeout=300)
    finally:
        for process in reversed(started):
            process.terminate()
            process.wait(timeout=60)
    assert on_dask.stdout == "True\n", on_dask.stderr
    assert [process.returncode for process in started] == [0, 0]

def files_the_build_read(cmake_build):
    """The project's files the module's configure and compile read, relative
    to the checkout: the CMake files CMake lists, the compiler's dependencies."""
    read = re.findall(r'"([^"]+)"', (cmake_build / "CMakeFiles/Makefile.cmake").read_text())
    depfiles = list(cmake_build.rglob("*.o.d"))
    assert len(depfiles) >= 10, depfiles
    for depfile in depfiles:
        read += depfile.read_text().replace("\\\n", " ").split()[1:]
    inside = {pathlib.Path(p).resolve() for p in read if pathlib.Path(p).is_absolute()}
    return {str(p.relative_to(ROOT)) for p in inside
            if p.is_relative_to(ROOT) and not p.is_relative_to(cmake_build.resolve())}


def test_the_sdist_carries_every_file_the_build_read(built, tmp_path):
    subprocess.run([str(ROOT / "scripts/sdist.sh"), str(tmp_path)], check=True, env=built["env"],
                   capture_output=True)
    sdists = list(tmp_path.glob("lemvaris-*.tar.gz"))
    assert len(sdists) == 1, sdists
    top = sdists[0].name.removesuffix(".tar.gz")
    carried = {n.removeprefix(top + "/") for n in tarfile.open(sdists[0]).getnames()}
    read = files_the_build_read(built["cmake_build"])
    assert {"CMakeLists.txt", "python/CMakeLists.txt", "python/module.cpp"} <= read
    assert sorted(f for f in read if f"cpp/{f}" not in carried) == []
    assert {"setup.py", "pyproject.toml", "README.md", "cpp/data/experiments.json"} <= carried
    assert {f"lemvaris/{name}" for name in package_files() if name != "experiments.json"} <= carried
