"""pip install --no-build-isolation ./python into a fresh virtual environment
(Debian's pip, no registry) builds the module with CMake; lemvaris then
imports from / without PYTHONPATH, and its sweeps' workers find it too, the
Dask workers of `python -m lemvaris worker` as well. The package has the
programs' version and its type information."""
import os
import shutil
import subprocess

from conftest import ROOT
from test_sweep import free_port


def copy_of_the_sources(target):
    """The repository without its build folders, so that the test leaves the
    sources as they were."""
    def skipped(folder, names):
        top = os.path.samefile(folder, ROOT)
        return [n for n in names if n.endswith(".egg-info") or n == "__pycache__" or
                (top and (n.startswith("build") or n == ".git"))]
    shutil.copytree(ROOT, target, ignore=skipped, symlinks=True)


def test_pip_installs_the_module_into_a_fresh_venv(tmp_path):
    sources, venv = tmp_path / "lemvaris", tmp_path / "venv"
    copy_of_the_sources(sources)
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(venv)],
                   check=True)
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    env.update(PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1", CMAKE_BUILD_PARALLEL_LEVEL="2")
    install = subprocess.run([str(venv / "bin/pip"), "install", "--no-build-isolation",
                              "./python"], cwd=sources, env=env, capture_output=True, text=True,
                             timeout=1800)
    assert install.returncode == 0, install.stdout[-3000:] + install.stderr[-3000:]
    assert "Successfully installed lemvaris" in install.stdout
    check = """
import importlib.metadata, importlib.resources, lemvaris, os
assert os.path.dirname(lemvaris.__file__).startswith(os.environ["VIRTUAL_ENV"])
assert importlib.metadata.version("lemvaris") == lemvaris.__version__, lemvaris.__version__
assert all((importlib.resources.files("lemvaris") / name).is_file()
           for name in ("py.typed", "_core.pyi"))
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
