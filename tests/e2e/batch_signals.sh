#!/usr/bin/env bash
# The batch runner and the signals that end a process: each ends it as
# SIGTERM does (the old files kept, no temporary file, death by that signal),
# but a broken pipe or the file size limit met by its own write is a failed
# write: exit 1 with the system's reason, the old file kept, no temporary
# file, and a reader gone (`| head -2`) stops the run there.
source "$(dirname "$0")/batch_helpers.bash" "$@"

# A run long enough to be interrupted in the middle.
long=(--N 250 --M 250 --K 30000 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 10 --steps 2000000000)

# kept DIR WHAT: DIR holds old.gif and old.png as they were, and nothing else.
kept() {
  [ "$(cat "$1/old.gif")" = "old animation" ] || fail "$2: the old animation changed"
  [ "$(cat "$1/old.png")" = "old picture" ] || fail "$2: the old picture changed"
  [ "$(ls -A "$1" | tr '\n' ' ')" = "old.gif old.png " ] || fail "$2: the folder holds $(ls -A "$1")"
}

fresh() {
  mkdir "$1"
  echo old animation >"$1/old.gif"
  echo old picture >"$1/old.png"
}

# `| head -2`: the reader goes away; the run stops at the next write.
dir="$work/head"
fresh "$dir"
timeout 60 "$batch" "${long[@]}" --gif "$dir/old.gif" --frame-every 20000 --png "$dir/old.png" \
  2>"$dir.err" | head -2 >"$dir.out"
code=${PIPESTATUS[0]}
[ "$code" -eq 1 ] || fail "| head -2: exit $code, expected 1"
grep -q 'standard output failed: Broken pipe' "$dir.err" || fail "| head -2: the message is $(cat "$dir.err")"
[ "$(head -1 "$dir.out" | cut -d, -f9-13)" = T,bottom,wall_contacts,interface,mean_row ] || fail "| head -2: no CSV header"
kept "$dir" "| head -2"

# The file size limit (ulimit -f 200: 200 KiB) met by the animation, with
# SIGXFSZ left as it comes.
dir="$work/fsize"
fresh "$dir"
# The run ends at the failed write, and the picture's old file is kept too.
(ulimit -f 200; exec "$batch" "${long[@]/2000000000/200000}" --gif "$dir/old.gif" --frame-every 2000 \
  --png "$dir/old.png") >/dev/null 2>"$dir.err"
code=$?
[ "$code" -eq 1 ] || fail "ulimit -f: exit $code, expected 1"
grep -q "old.gif.*failed: File too large; no output file was changed" "$dir.err" ||
  fail "ulimit -f: the message is $(cat "$dir.err")"
moves=$(sed -n 's/^moves=\([0-9]*\) .*/\1/p' "$dir.err")
[ -n "$moves" ] && [ "$moves" -lt 200000 ] || fail "ulimit -f: the run went on to $moves moves"
kept "$dir" "ulimit -f"

# Every signal whose default ends the process, sent from outside (a SIGPIPE
# or SIGXFSZ too): removed temporary files, death by the signal. No core
# file where the run was (SIGQUIT, SIGXFSZ and SIGXCPU would leave one).
for sig in USR1 USR2 ALRM PIPE XFSZ VTALRM PROF QUIT XCPU; do
  dir="$work/sig$sig"
  fresh "$dir"
  (ulimit -c 0; cd "$dir" && exec "$batch" "${long[@]}" --gif old.gif --frame-every 20000 --png old.png) \
    >/dev/null 2>&1 &
  pid=$!
  sleep 0.5
  kill -"$sig" "$pid"
  wait "$pid" 2>/dev/null  # the shell's own line about the signal
  code=$?
  [ "$code" -eq $((128 + $(kill -l "$sig"))) ] || fail "SIG$sig: exit $code, expected death by the signal"
  kept "$dir" "SIG$sig"
done

report batch_signals
