#!/usr/bin/env bash
# The real reader in wasm reads the doubles the native one reads: runs the
# case printer (read_reals.cpp) of both builds and compares their lines.
# Usage: reals_check.sh NATIVE_PROGRAM NODE WASM_SCRIPT
set -euo pipefail
native=${1:?usage: reals_check.sh NATIVE_PROGRAM NODE WASM_SCRIPT}
node=${2:?usage: reals_check.sh NATIVE_PROGRAM NODE WASM_SCRIPT}
wasm=${3:?usage: reals_check.sh NATIVE_PROGRAM NODE WASM_SCRIPT}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$native" >"$work/native" || { tail -3 "$work/native"; echo "FAIL: the native printer failed"; exit 1; }
# This emscripten's loader would fetch its wasm by URL from a node that has fetch.
"$node" --no-experimental-fetch "$wasm" >"$work/wasm" ||
  { tail -3 "$work/wasm"; echo "FAIL: the wasm printer failed"; exit 1; }
lines=$(wc -l <"$work/native")
[ "$lines" -ge 10000 ] || { echo "FAIL: only $lines cases printed"; exit 1; }
if ! cmp -s "$work/native" "$work/wasm"; then
  echo "FAIL: wasm reads other doubles (native <, wasm >):"
  diff "$work/native" "$work/wasm" | head -20
  exit 1
fi
echo "ok: $lines numbers read to the same doubles natively and in wasm"
