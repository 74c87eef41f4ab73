#!/usr/bin/env bash
# lemvaris-batch --gif: decoded by Pillow (not our code), the animation has a
# frame at T = 0, N, 2N, ... up to the last T, each the very picture --png
# gives at that T, and it loops; bad option pairs and targets are refused
# before the run, and no temporary file is left behind.
source "$(dirname "$0")/batch_helpers.bash" "$@"

# check_frames GIF EVERY COUNT PARAMS...: COUNT frames, frame k equal to
# --png at T = k * EVERY for the same parameters.
check_frames() {
  local gif=$1 every=$2 count=$3; shift 3
  for ((k = 0; k < count; k++)); do
    "$batch" "$@" --steps $((k * every)) --png "$work/frame$k.png" >/dev/null 2>&1
  done
  /usr/bin/python3 - "$gif" "$count" "$work" <<'PY' || fail "frames of $gif differ (see above)"
import sys
from PIL import Image, ImageSequence
gif, count, work = sys.argv[1], int(sys.argv[2]), sys.argv[3]
image = Image.open(gif)
assert image.info.get("version") == b"GIF89a", image.info
assert image.info.get("loop") == 0, "does not loop for ever: %s" % image.info
assert image.n_frames == count, "%d frames, not %d" % (image.n_frames, count)
for k, frame in enumerate(ImageSequence.Iterator(image)):
    png = Image.open("%s/frame%d.png" % (work, k)).convert("RGB")
    got = frame.convert("RGB")
    assert got.size == (640, 480), got.size
    if got.tobytes() != png.tobytes():
        diff = [(x, y) for y in range(480) for x in range(640) if got.getpixel((x, y)) != png.getpixel((x, y))]
        raise AssertionError("frame %d: %d pixels differ, first %s" % (k, len(diff), diff[:3]))
PY
}

base=(--N 100 --M 100 --K 3000 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3)
"$batch" "${base[@]}" --steps 9000 --gif "$work/a.gif" --frame-every 2000 >"$work/out" 2>"$work/err"
code=$?
[ "$code" -eq 0 ] || fail "exit $code: $(cat "$work/err")"
[ "$(cut -d, -f9 "$work/out" | tr '\n' ' ')" = "T 0 2000 4000 6000 8000 9000 " ] || fail "CSV with --gif"
# Frames at 0..8000: the last T, 9000, is no multiple of 2000. Steps between
# refresh steps (700) and one frame per move are drawn as well.
check_frames "$work/a.gif" 2000 5 "${base[@]}"
"$batch" "${base[@]}" --steps 2100 --gif "$work/b.gif" --frame-every 700 >/dev/null 2>&1 ||
  fail "frame-every 700 run"
check_frames "$work/b.gif" 700 4 "${base[@]}"
"$batch" --N 20 --M 30 --K 150 --Ah 0.3 --Kh 0.9 --G 0.1 --rSz 2 --steps 3 \
  --gif "$work/c.gif" --frame-every 1 >/dev/null 2>&1 || fail "frame-every 1 run"
check_frames "$work/c.gif" 1 4 --N 20 --M 30 --K 150 --Ah 0.3 --Kh 0.9 --G 0.1 --rSz 2

# A frozen run: frames up to the frozen T (6217 here), exit 3, the file complete.
frozen=(--N 40 --M 40 --K 400 --Ah 0 --Kh 0 --G -0.7 --rSz 1)
"$batch" "${frozen[@]}" --steps 20000 --gif "$work/f.gif" --frame-every 1000 >/dev/null 2>"$work/ferr"
code=$?
[ "$code" -eq 3 ] && grep -qx 'frozen at T=6217' "$work/ferr" || fail "frozen run: exit $code, $(cat "$work/ferr")"
check_frames "$work/f.gif" 1000 7 "${frozen[@]}"

# An existing file is replaced whole.
echo old >"$work/d.gif"
"$batch" "${base[@]}" --steps 10 --gif "$work/d.gif" --frame-every 5 >/dev/null 2>&1 || fail "overwrite run"
[ "$(head -c 6 "$work/d.gif")" = "GIF89a" ] || fail "existing file not replaced"

# An interrupted run leaves the old file and no partial one; so does a write
# that fails on the way (a file size limit, SIGXFSZ ignored), with exit 1.
mkdir "$work/i"
echo old >"$work/i/a.gif"
env --default-signal=TERM "$batch" "${base[@]}" --steps 100000000 --gif "$work/i/a.gif" \
  --frame-every 1000 >/dev/null 2>&1 &
pid=$!
sleep 1
kill -TERM "$pid"
wait "$pid"
code=$?
[ "$code" -ge 128 ] || fail "SIGTERM: exit $code"
(trap '' XFSZ; ulimit -f 8; exec "$batch" "${base[@]}" --steps 50000 --gif "$work/i/a.gif" \
  --frame-every 1000) >/dev/null 2>"$work/i.err"
code=$?
[ "$code" -eq 1 ] && grep -q 'a.gif' "$work/i.err" || fail "full disk: exit $code, $(cat "$work/i.err")"
[ "$(cat "$work/i/a.gif")" = old ] || fail "the old animation changed"
[ "$(ls -A "$work/i")" = a.gif ] || fail "left behind: $(ls -A "$work/i" | tr '\n' ' ')"

# Refusals: exit 2, a message naming the option, nothing on stdout, the
# target untouched and no temporary file left.
# refused NAME ARGS...: NAME is what the message must name.
refused() {
  local what=$1; shift
  "$batch" "${base[@]}" --steps 10 "$@" >"$work/rout" 2>"$work/rerr"
  local code=$?
  [ "$code" -eq 2 ] || fail "$what: exit $code"
  [ -s "$work/rout" ] && fail "$what: wrote to stdout"
  grep -q -- "$what" "$work/rerr" || fail "$what: message does not name it: $(cat "$work/rerr")"
}
mkdir "$work/r" "$work/r/folder.gif"
echo kept >"$work/r/kept.gif"
refused --frame-every --gif "$work/r/new.gif"
refused --gif --frame-every 10
refused --frame-every --gif "$work/r/new.gif" --frame-every 0
refused --frame-every --gif "$work/r/new.gif" --frame-every 2147483648
refused --frame-every --gif "$work/r/new.gif" --frame-every 10 --frame-every 10
refused --gif --gif "$work/r/no/such/dir.gif" --frame-every 10
refused --gif --gif "$work/r/folder.gif" --frame-every 10
refused --grid --gif "$work/r/kept.gif" --frame-every 10 --grid "$work/r/no/such/g.txt"
refused --N --N 0 --gif "$work/r/kept.gif" --frame-every 10
refused --gif --gif "$work/r/same" --png "$work/r/same" --frame-every 10
[ "$(cat "$work/r/kept.gif")" = kept ] || fail "a refused run changed an existing file"
[ "$(ls -A "$work/r" | tr '\n' ' ')" = "folder.gif kept.gif " ] ||
  fail "left behind: $(ls -A "$work/r" | tr '\n' ' ')"
[ "$(ls -A "$work" | grep -c '^\.lemvaris')" -eq 0 ] || fail "a temporary file was left"

report batch_gif
