#!/usr/bin/env bash
# The SDL window on a virtual X server: the probe's window, captured with xwd,
# must equal its surface (written as a PNG) pixel for pixel at scale 1, and
# keys typed with xdotool must reach the probe's key queue as the PC codes.
# Usage: window.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: window.sh BUILD_DIR}
probe=$build/tests/window_probe
[ -x "$probe" ] || { echo "FAIL: $probe not built"; exit 1; }
for tool in Xvfb xdotool xwd convert; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/deps.sh --test)"; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
probe_pid=
cleanup() {
  [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for f in probe.out xvfb.log; do
    [ -s "$work/$f" ] && { echo "--- $f"; cat "$work/$f"; }
  done
  exit 1
}
# Wait up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1
  shift
  for ((i = 0; i < tenths; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

source "$(dirname "$0")/xvfb_helpers.bash"
start_xvfb "$work" || fail "Xvfb did not start"

timeout 40 "$probe" "$work/surface.png" >"$work/probe.out" 2>&1 &
probe_pid=$!
wait_for 100 grep -q '^ready$' "$work/probe.out" || fail "the probe did not open its window"
wid=$(timeout 10 xdotool search --sync --onlyvisible --name '^Lemvaris$' | head -n1) ||
  fail "no visible window named Lemvaris"
[ -n "$wid" ] || fail "no visible window named Lemvaris"
sleep 0.5  # the probe presents every 30 ms: the frame is on the window by now

# Both pictures as raw 8-bit RGB, decoded by ImageMagick.
xwd -silent -id "$wid" >"$work/shot.xwd" || fail "xwd could not capture the window"
convert "xwd:$work/shot.xwd" -depth 8 "rgb:$work/shot.rgb" || fail "convert could not read the capture"
convert "png:$work/surface.png" -depth 8 "rgb:$work/surface.rgb" || fail "convert could not read the surface"
size=$((640 * 480 * 3))
[ "$(stat -c %s "$work/shot.rgb")" -eq "$size" ] ||
  fail "the window is not 640 x 480 ($(stat -c %s "$work/shot.rgb") bytes of RGB)"
[ "$(stat -c %s "$work/surface.rgb")" -eq "$size" ] || fail "the surface PNG is not 640 x 480"
if ! cmp -s "$work/shot.rgb" "$work/surface.rgb"; then
  fail "the window differs from the surface in $(cmp -l "$work/shot.rgb" "$work/surface.rgb" | wc -l) bytes"
fi
echo "window equals the surface pixel for pixel"

xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
xdotool key --delay 50 Up F9 a eacute Return Escape
wait "$probe_pid" || fail "the probe ended with status $?"
probe_pid=
expected=$'key 0\nkey 72\nkey 0\nkey 67\nkey 97\nkey 130\nkey 13\nkey 27'
got=$(grep '^key ' "$work/probe.out" || true)
[ "$got" = "$expected" ] || fail "keys: expected $(echo $expected), got $(echo $got)"
echo "keys arrived as 0 72, 0 67, 97, 130 (é), 13, 27"
echo PASS
