#!/usr/bin/env bash
# Builds Lemvaris (installing what is missing) and starts it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
# A first build here is of the program only, so it needs none of the tests'
# libraries; a build folder that exists keeps its options (scripts/test.sh's).
options=()
[ -f "$top/build/CMakeCache.txt" ] ||
  options=(-DLEMVARIS_TESTS=OFF -DLEMVARIS_BENCH=OFF -DLEMVARIS_PYTHON=OFF)
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release "${options[@]}" >/dev/null
cmake --build "$top/build" -j"$(nproc)" --target lemvaris
exec "$top/build/src/lemvaris" "$@"
