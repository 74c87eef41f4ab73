#!/usr/bin/env bash
# The batch runner's output files as a careless or hostile setting meets them:
# an interrupted run, a full disk, devices, FIFOs and folders as targets, a
# link planted where the output goes, an option taken for a file name, and
# standard output closed. A file is complete or untouched, and nothing the
# person did not name is written or removed.
source "$(dirname "$0")/batch_helpers.bash" "$@"

base=(--N 100 --M 100 --K 3000 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3)
# A run long enough to be interrupted in the middle.
long=(--N 250 --M 250 --K 30000 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 10 --steps 2000000000)

# only_files DIR NAMES...: DIR holds exactly these names.
only_files() {
  local dir=$1; shift
  local want have
  want=$( (($#)) && printf '%s\n' "$@" | sort | tr '\n' ' ')
  have=$(ls -A "$dir" | sort | tr '\n' ' ')
  [ "$have" = "$want" ] || fail "$dir holds '$have', expected '$want'"
}

# An interrupted run (SIGTERM, SIGINT) leaves the old files as they were and
# no partial file behind.
for sig in TERM INT; do
  dir="$work/interrupt-$sig"
  mkdir "$dir"
  echo old >"$dir/g.txt"
  echo old picture >"$dir/p.png"
  # A script's background job starts with SIGINT ignored; a person's does not.
  env --default-signal="$sig" "$batch" "${long[@]}" --grid "$dir/g.txt" --png "$dir/p.png" >/dev/null 2>&1 &
  pid=$!
  sleep 1
  kill -"$sig" "$pid"
  wait "$pid"
  code=$?
  [ "$code" -ge 128 ] || fail "SIG$sig: exit $code, expected death by the signal"
  [ "$(cat "$dir/g.txt")" = old ] || fail "SIG$sig: the old grid file changed"
  [ "$(cat "$dir/p.png")" = "old picture" ] || fail "SIG$sig: the old picture changed"
  only_files "$dir" g.txt p.png
done

# A full disk (here: a file size limit, with SIGXFSZ ignored) leaves the old
# picture and no partial file; the run reports exit 1.
dir="$work/full"
mkdir "$dir"
echo old picture >"$dir/p.png"
(trap '' XFSZ; ulimit -f 4; exec "$batch" "${base[@]}" --steps 10 --png "$dir/p.png") >/dev/null 2>"$dir.err"
code=$?
[ "$code" -eq 1 ] || fail "full disk: exit $code, expected 1"
grep -q 'p.png' "$dir.err" || fail "full disk: no message naming the file: $(cat "$dir.err")"
[ "$(cat "$dir/p.png")" = "old picture" ] || fail "full disk: the old picture changed"
only_files "$dir" p.png

# Devices, FIFOs and folders are refused before the run, within a second,
# and left as they were.
dir="$work/odd"
mkdir "$dir" "$dir/folder"
mkfifo "$dir/fifo"
for target in "$dir/fifo" /dev/null "$dir/folder"; do
  for option in --png --grid; do
    timeout 5 "$batch" "${long[@]}" "$option" "$target" >"$dir.out" 2>"$dir.err"
    code=$?
    [ "$code" -eq 2 ] || fail "$option $target: exit $code, expected 2 at once"
    grep -q -- "$option" "$dir.err" || fail "$option $target: the message does not name $option"
    [ -s "$dir.out" ] && fail "$option $target: wrote to standard output"
  done
done
[ -p "$dir/fifo" ] || fail "the FIFO is gone"
[ -c /dev/null ] || fail "/dev/null is no longer a device"
[ -d "$dir/folder" ] || fail "the folder is gone"
only_files "$dir" fifo folder

# A link planted at the target is replaced; the file it points to is not touched.
dir="$work/shared"
mkdir "$dir"
chmod 1777 "$dir"
echo precious >"$work/victim.txt"
ln -s "$work/victim.txt" "$dir/g.txt"
"$batch" "${base[@]}" --steps 10 --grid "$dir/g.txt" >/dev/null 2>&1 || fail "run with a linked grid target: exit $?"
[ "$(cat "$work/victim.txt")" = precious ] || fail "the link's target was overwritten"
[ -L "$dir/g.txt" ] && fail "the link is still there"
[ "$(wc -l <"$dir/g.txt")" -eq 102 ] || fail "the grid did not replace the link"

# A hangup ignored from the start (nohup) does not end the run.
dir="$work/nohup"
mkdir "$dir"
(trap '' HUP; exec "$batch" "${base[@]}" --steps 200000 --grid "$dir/g.txt") >/dev/null 2>&1 &
pid=$!
sleep 0.3
kill -HUP "$pid"
wait "$pid"
code=$?
[ "$code" -eq 0 ] || fail "nohup: a hangup ended the run (exit $code)"
[ "$(wc -l <"$dir/g.txt")" -eq 102 ] || fail "nohup: no grid"

# A value that begins with "--" is not a file name; the same file twice is refused.
dir="$work/options"
mkdir "$dir"
(cd "$dir" && "$batch" "${base[@]}" --steps 10 --grid --png) >/dev/null 2>"$dir.err"
[ $? -eq 2 ] || fail "--grid --png: not refused"
grep -q -- '--grid' "$dir.err" || fail "--grid --png: the message does not name --grid"
(cd "$dir" && "$batch" "${base[@]}" --steps 10 --grid same.txt --png same.txt) >/dev/null 2>"$dir.err"
[ $? -eq 2 ] || fail "the same file for --grid and --png: not refused"
only_files "$dir"

# Standard output closed: the CSV goes nowhere (exit 1, with a message), and
# the grid file holds the grid, not the CSV.
dir="$work/closed"
mkdir "$dir"
"$batch" "${base[@]}" --steps 10 --grid "$dir/g.txt" >&- 2>"$dir.err"
code=$?
[ "$code" -eq 1 ] || fail "stdout closed: exit $code, expected 1"
grep -q 'standard output' "$dir.err" || fail "stdout closed: no message: $(cat "$dir.err")"
[ "$(grep -Evc '^[012]+$' "$dir/g.txt")" -eq 0 ] && [ "$(wc -l <"$dir/g.txt")" -eq 102 ] ||
  fail "stdout closed: the grid file holds $(head -c 40 "$dir/g.txt")"

report batch_files
