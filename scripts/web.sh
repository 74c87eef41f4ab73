#!/usr/bin/env bash
# Builds the pages (installing emscripten if it is missing) in build/web and
# puts only their files into build-web/, the folder to copy to a web host;
# then serves it at http://127.0.0.1:8000/ with Python's http.server until
# Ctrl+C. build-web/index.html is the lesson page, build-web/classic.html the
# classic program; with --build-only it only builds.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" --web
# Debian's emscripten runs its tools with Debian's node modules.
export NODE_PATH=/usr/share/nodejs
tree="$top/build/web"
emcmake cmake -S "$top" -B "$tree" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$tree" -j"$(nproc)" --target lemvaris_site
# A fresh folder, so that nothing of an older page stays behind.
rm -rf "$top/build-web"
cmake --install "$tree" --prefix "$top/build-web" >/dev/null
[ "${1:-}" = "--build-only" ] && exit 0
echo "Lemvaris: http://127.0.0.1:8000/ (Ctrl+C stops the server)"
exec /usr/bin/python3 -m http.server 8000 --bind 127.0.0.1 --directory "$top/build-web"
