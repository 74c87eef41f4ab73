#!/usr/bin/env bash
# Builds Lemvaris (installing what is missing) and starts it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$top/build" -j"$(nproc)" --target lemvaris
exec "$top/build/src/lemvaris" "$@"
