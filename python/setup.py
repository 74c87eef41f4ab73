"""The compiled part of lemvaris (_core) built by the project's own CMake with
LEMVARIS_MODULE_ONLY: the module's libraries and nothing of the programs, with
the Python that runs pip. The version is CMake's project version, so that the
package and the programs say the same. Packaging is in pyproject.toml.

Nothing is written beside the sources: setuptools' folders and the egg-info
go to a temporary folder, and so does CMake's build unless LEMVARIS_BUILD_DIR
names a folder to keep it in (one folder per source tree), so that the next
build compiles only what changed. CMAKE_ARGS adds arguments to CMake's
configure (a compiler, say).

In the repository the C++ project is the folder above this one; an sdist
carries the part of it the module is built from in cpp/."""
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext
from setuptools.command.build_py import build_py
from setuptools.command.sdist import sdist

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE / "cpp" if (HERE / "cpp").is_dir() else HERE.parent
# What a module-only configure reads and compiles, relative to ROOT.
MODULE_SOURCES = ["CMakeLists.txt", "LICENSE", "data/experiments.json", "python/CMakeLists.txt",
                  "python/*.cpp", "python/*.h"] + [
    f"src/{folder}/*.{ext}" for ext in ("cpp", "h")
    for folder in ("sim", "text", "platform", "display", "output", "experiment")]

# This process's own, removed when it ends (pip runs each step in a process).
_scratch = tempfile.TemporaryDirectory(prefix="lemvaris-setup-")
SCRATCH = pathlib.Path(_scratch.name)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        kept = os.environ.get("LEMVARIS_BUILD_DIR")
        build = pathlib.Path(kept).resolve() if kept else SCRATCH / "cmake"
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 2)
        # Source paths (in assertions' messages) relative to the project, so
        # that the repository and an sdist unpacked anywhere give the same module.
        flags = f"{os.environ.get('CXXFLAGS', '')} -ffile-prefix-map={ROOT}/=".strip()
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        f"-DCMAKE_CXX_FLAGS={flags}", f"-DPython_EXECUTABLE={sys.executable}",
                        "-DLEMVARIS_MODULE_ONLY=ON",
                        *shlex.split(os.environ.get("CMAKE_ARGS", ""))], check=True)
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


class SourcesToo(sdist):
    """The package's files and, in cpp/, the C++ the module is built from: an
    sdist builds alone."""
    def make_release_tree(self, base_dir, files):
        super().make_release_tree(base_dir, files)
        for pattern in MODULE_SOURCES:
            sources = sorted(ROOT.glob(pattern))
            if not sources:
                raise RuntimeError(f"no {pattern} in {ROOT}")
            for source in sources:
                target = pathlib.Path(base_dir) / "cpp" / source.relative_to(ROOT)
                self.mkpath(str(target.parent))
                self.copy_file(str(source), str(target))


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    match = re.search(r"project\(\s*Lemvaris\s+VERSION\s+([0-9][0-9.]*)", text)
    if match is None:
        raise RuntimeError(f"no project(Lemvaris VERSION x.y.z) in {ROOT / 'CMakeLists.txt'}")
    return match[1]


setup(version=project_version(), ext_modules=[Extension("lemvaris._core", sources=[])],
      cmdclass={"build_ext": CMakeBuild, "build_py": BuildPy, "sdist": SourcesToo},
      options={"build": {"build_base": str(SCRATCH / "build")},
               "egg_info": {"egg_base": str(SCRATCH)}})
