#!/usr/bin/env bash
# Builds the input fuzzer (tests/fuzz) with clang in build-fuzz and runs it
# for SECONDS (default 60), starting from the seed corpus in the repository.
# New inputs go to a temporary folder, the seeds stay as they are. Exits
# non-zero when the fuzzer finds a fault; the input that shows it is left
# in build-fuzz/ (crash-*, a file to give the fuzzer as its argument).
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
seconds=${1:-60}
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" --test
build="$top/build-fuzz"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DLEMVARIS_FUZZ=ON -DLEMVARIS_BENCH=OFF
cmake --build "$build" -j2 --target input_fuzz
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
# Inputs past a buffer fill of the line reader (4096 bytes) and then some.
UBSAN_OPTIONS=print_stacktrace=1 "$build/tests/fuzz/input_fuzz" \
  -max_total_time="$seconds" -max_len=12000 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -dict="$top/tests/fuzz/input.dict" -artifact_prefix="$build/" \
  "$corpus" "$top/tests/fuzz/corpus"
