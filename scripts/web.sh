#!/usr/bin/env bash
# Builds the page into build-web/ (installing emscripten if it is missing)
# and serves it at http://127.0.0.1:8000/ with Python's http.server until
# Ctrl+C. build-web/index.html is the page; with --build-only it only builds.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" --web
# Debian's emscripten runs its tools with Debian's node modules.
export NODE_PATH=/usr/share/nodejs
[ -f "$top/build-web/CMakeCache.txt" ] ||
  emcmake cmake -S "$top" -B "$top/build-web" -DCMAKE_BUILD_TYPE=Release
cmake --build "$top/build-web" -j"$(nproc)" --target lemvaris
[ "${1:-}" = "--build-only" ] && exit 0
echo "Lemvaris: http://127.0.0.1:8000/ (Ctrl+C stops the server)"
exec /usr/bin/python3 -m http.server 8000 --bind 127.0.0.1 --directory "$top/build-web"
