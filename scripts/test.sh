#!/usr/bin/env bash
# Builds everything (installing what is missing) and runs every test:
# unit tests, the in-process end-to-end tests, the real-binary tests under
# Xvfb and tmux, and the Debian package's test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" --test
# Every target, also in a build folder scripts/run.sh made for the program only.
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release \
  -DLEMVARIS_TESTS=ON -DLEMVARIS_BENCH=ON -DLEMVARIS_PYTHON=ON
cmake --build "$top/build" -j"$(nproc)"
ctest --test-dir "$top/build" --output-on-failure -j"$(nproc)"
