#!/usr/bin/env bash
# The wasm build the web tests use: the pages' programs, the simulation's
# suite and the real reader's case printer, in BUILD_DIR (configured with
# emscripten on first use); the pages' files installed, as scripts/web.sh
# installs them, into BUILD_DIR/site, which the page tests serve.
# Usage: build.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: build.sh BUILD_DIR}
top=$(cd "$(dirname "$0")/../.." && pwd)
export NODE_PATH=/usr/share/nodejs  # Debian's emscripten runs with Debian's node modules
# Configured every time: a build folder from before a pull then knows new targets.
emcmake cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target lemvaris_site test_sim read_reals
rm -rf "$build/site"
cmake --install "$build" --prefix "$build/site" >/dev/null
