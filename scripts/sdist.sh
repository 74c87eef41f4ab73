#!/usr/bin/env bash
# The Python package's sdist, lemvaris-<version>.tar.gz, in the folder given
# (the current one by default): python/'s package with, in cpp/, the C++ its
# module is built from (python/setup.py), so that `pip install` of it builds
# alone. Nothing is written beside the sources.
set -euo pipefail
out=$(realpath "${1:-.}")
mkdir -p "$out"
cd "$(dirname "$0")/../python"
# Debian's setuptools; python3-build is not needed.
exec /usr/bin/python3 -W ignore setup.py -q sdist --dist-dir "$out"
