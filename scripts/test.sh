#!/usr/bin/env bash
# Builds everything (installing what is missing) and runs every test:
# unit tests, the in-process end-to-end tests and the real-binary tests under
# Xvfb and tmux.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" --test
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$top/build" -j"$(nproc)"
ctest --test-dir "$top/build" --output-on-failure -j"$(nproc)"
