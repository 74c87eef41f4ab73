#!/usr/bin/env bash
# The move runs uninstrumented by Asyncify: relinks the page's program with
# Asyncify's account of what it instruments and checks that MoveParticle is a
# function of its own, left out by name, and that nothing else of the
# simulation is instrumented. (Inlined into an instrumented caller, the move
# would be instrumented with it whatever the lists say.)
# Usage: asyncify_check.sh BUILD_WEB_DIR
set -euo pipefail
build=${1:?usage: asyncify_check.sh BUILD_WEB_DIR}
export NODE_PATH=/usr/share/nodejs  # Debian's emscripten runs with Debian's node modules
log=$(mktemp)
trap 'rm -f "$log"' EXIT
rm -f "$build/tests/lemvaris_asyncify_advice.js"  # the account comes only from a link
cmake --build "$build" --target lemvaris_asyncify_advice >"$log" 2>&1 ||
  { cat "$log"; echo "FAIL: the link failed"; exit 1; }
# Names come escaped: \28 ( \29 ) \20 space \2c comma.
decode() { sed -e 's/\\28/(/g; s/\\29/)/g; s/\\20/ /g; s/\\2c/,/g'; }
instrumented=$(sed -n 's/^\[asyncify\] \(.*\) can change the state.*/\1/p' "$log" | decode | sort -u)
removed=$(sed -n 's/^\[asyncify\] \(.*\) is in the remove-list.*/\1/p' "$log" | decode | sort -u)
[ -n "$instrumented" ] || { cat "$log"; echo "FAIL: no account of Asyncify in the link's output"; exit 1; }
grep -qx 'MoveParticle(Reactor&)' <<<"$removed" ||
  { echo "FAIL: MoveParticle is not left out (inlined into its caller?)"; echo "$instrumented"; exit 1; }
sim='MoveParticle|AttemptUntilMoved|ApplyMove|ExactMoveWins|MoveWins|AnyMovePossible|ScanPicks|'
sim+='AttemptsAmongHits|RefillRandom|StepInField|AddToField|AddPatch|BuildMoveCaches|FieldVerdict'
left=$(comm -23 <(echo "$instrumented") <(echo "$removed") | grep -E "$sim" || true)
[ -z "$left" ] || { echo "FAIL: instrumented parts of the move:"; echo "$left"; exit 1; }
echo "ok: the move is not instrumented; $(wc -l <<<"$instrumented") functions are"
