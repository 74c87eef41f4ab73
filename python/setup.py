"""The compiled part of lemvaris (_core) built by the project's own CMake:
the whole project is configured, only the module is built, with the Python
that runs pip. The version is CMake's project version, so that the package
and the programs say the same. Packaging is in pyproject.toml."""
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext
from setuptools.command.build_py import build_py

ROOT = pathlib.Path(__file__).resolve().parent.parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 2)
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        f"-DPython_EXECUTABLE={sys.executable}", "-DLEMVARIS_BENCH=OFF",
                        "-DLEMVARIS_PYTHON=ON"], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "lemvaris_core", "-j", jobs],
                       check=True)
        built = build / "python" / self.get_ext_filename(ext.name)
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


class BuildPy(build_py):
    """The package's files and data/experiments.json, which lemvaris.experiments()
    reads beside them (one file for the help, the page and the module)."""

    def run(self):
        super().run()
        target = pathlib.Path(self.build_lib) / "lemvaris" / "experiments.json"
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(ROOT / "data" / "experiments.json", target)


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    match = re.search(r"project\(\s*Lemvaris\s+VERSION\s+([0-9][0-9.]*)", text)
    if match is None:
        raise RuntimeError(f"no project(Lemvaris VERSION x.y.z) in {ROOT / 'CMakeLists.txt'}")
    return match[1]


setup(version=project_version(), ext_modules=[Extension("lemvaris._core", sources=[])],
      cmdclass={"build_ext": CMakeBuild, "build_py": BuildPy})
