#!/usr/bin/env bash
# The particle move in wasm under node against the native build, on the same
# machine in one run: builds bench_move_rate (build/) and the same source as
# wasm (build/web/), runs them by turns, keeps each one's fastest CPU time per
# workload and prints moves per second of both, the ratio wasm / native, and
# whether both made the same run (attempts and bottom-row count). Then, where
# headless Chromium and Selenium are installed, the real program in the
# classic page in the quiet mode against the native move of the same run
# (page_rate.py), and the lesson page at full speed, with how often it drew
# its views (lesson_rate.py).
# Usage: bench/web/compare.sh [turns, default 3]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
turns=${1:-3}
# Debian's emscripten runs its tools with Debian's node modules.
export NODE_PATH=/usr/share/nodejs

cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$top/build" -j2 --target bench_move_rate lemvaris-batch >/dev/null
# The pages into build-web/ (built in build/web), and the rate program beside them.
"$top/scripts/web.sh" --build-only >/dev/null
cmake --build "$top/build/web" -j2 --target move_rate >/dev/null

out=$(mktemp)
trap 'rm -f "$out"' EXIT
for ((t = 0; t < turns; t++)); do
  "$top/build/bench/bench_move_rate" 3 | sed 's/^/native /' >>"$out"
  # This emscripten's loader would fetch the wasm by URL on a node that has fetch.
  node --no-experimental-fetch "$top/build/web/bench/move_rate.js" 3 | sed 's/^/wasm /' >>"$out"
done

awk '
  { key = $2; side = $1
    if (!(key in order)) { order[key] = ++n; keys[n] = key }
    if (!((side, key) in best) || $6 < best[side, key]) best[side, key] = $6
    moves[key] = $3; name[key] = $8; attempts[side, key] = $4; bottom[side, key] = $5; level[side, key] = $7 }
  END {
    printf "%-40s %12s %12s %7s %s\n", "workload (N,M,K,Ah,Kh,G,rSz,moves)", "native mv/s",
      "wasm mv/s", "ratio", "same run"
    for (i = 1; i <= n; i++) {
      k = keys[i]
      nat = moves[k] / best["native", k]; web = moves[k] / best["wasm", k]
      same = attempts["native", k] == attempts["wasm", k] && bottom["native", k] == bottom["wasm", k]
      printf "%-40s %12.0f %12.0f %7.2f %s\n", k " " name[k], nat, web, web / nat, same ? "yes" : "NO"
    }
    printf "native: %s, wasm: %s (fastest of %d rounds each, CPU time)\n", level["native", keys[1]],
      level["wasm", keys[1]], 3 * '"$turns"'
  }' "$out"

[ -x /usr/bin/chromium ] && /usr/bin/python3 -c 'import selenium' 2>/dev/null || exit 0
echo
/usr/bin/python3 "$top/bench/web/page_rate.py" "$top/build-web" "$top/build/tools/lemvaris-batch" |
  awk '
    BEGIN { printf "%-40s %12s %12s %7s %12s %7s\n", "in the page, quiet mode (N,M,K,Ah,Kh,G,rSz)",
              "native mv/s", "page mv/s", "ratio", "all threads", "ratio" }
    { printf "%-40s %12.0f %12.0f %7.2f %12.0f %7.2f\n", $1 " " $6 " T=" $2, $5, $3, $3 / $5, $4,
        $4 / $5 }
    END { print "page: the whole run loop in Chromium, CPU time of the renderer'"'"'s main thread" \
                " (and of all its threads); native: the bare move of the same T moves, CPU time" }'

echo
/usr/bin/python3 "$top/bench/web/lesson_rate.py" "$top/build-web" "$top/build/tools/lemvaris-batch" |
  awk '
    BEGIN { printf "%-40s %9s %9s %5s %9s %5s %9s %5s %9s %7s %8s\n",
              "lesson page, fastest (N,M,K,Ah,Kh,G,rSz)", "native", "wall", "ratio", "worker",
              "ratio", "renderer", "ratio", "reactor/s", "chart/s", "frames/s" }
    { printf "%-40s %9.0f %9.0f %5.2f %9.0f %5.2f %9.0f %5.2f %9.1f %7.1f %8.1f\n",
        $1 " " $10 " T=" $2, $6, $3, $3 / $6, $4, $4 / $6, $5, $5 / $6, $7, $8, $9 }
    END { print "moves per second; wall: the page by the clock; worker: per CPU second of the" \
                " page'"'"'s worker, which makes the moves; renderer: per CPU second of all the" \
                " renderer'"'"'s threads; native: the bare move, CPU time; load average " load }' \
    load="$(cut -d' ' -f1-3 /proc/loadavg)"
