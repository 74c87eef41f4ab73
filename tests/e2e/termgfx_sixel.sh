#!/usr/bin/env bash
# Sixels, read by libsixel's sixel2png (not our code): the bytes terminal
# graphics writes for one frame of W1's first screen, to a terminal taken as
# sixel-capable, decode to the screen the program drew (its PNG, read with
# netpbm's pngtopnm). Where the terminal's pixels hold 640 x 480 the picture
# is 640 x 480 and equals the screen pixel for pixel; where they hold twice
# that it is 1280 x 960 and, scaled back (nearest pixel), equal too; a
# terminal too small for 640 x 480 gets half of it; at any size each of its
# pixels is the screen's at its place. The
# next frame sends only the changed bands, which decode to the new screen.
# Colours match within sixel's percent steps (one unit of 255/100).
set -uo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
probe="$build/tests/termgfx_probe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
for tool in sixel2png pngtopnm python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/deps.sh --test)"; exit 1; }
done

# check NAME COLUMNS ROWS CELL_WIDTH CELL_HEIGHT SHARE: the share (0..1) of
# the screen's pixels the decoded picture must match.
check() {
  local name=$1 share=$6
  picture_line=$("$probe" sixels "$2" "$3" "$4" "$5" "$work/$name.bin" "$work/$name.png") ||
    { fail "$name: the probe failed"; return; }
  local picture
  picture=$(cut -d' ' -f1-3 <<<"$picture_line")
  # The frame's one sixel image, from its DCS to its string terminator.
  python3 - "$work/$name.bin" "$work/$name.six" <<'PY' || { fail "$name: no sixel image in the frame"; return; }
import sys
data = open(sys.argv[1], 'rb').read()
start = data.find(b'\x1bP')
end = data.find(b'\x1b\\', start)
assert start >= 0 and end > start, 'no DCS'
assert data.count(b'\x1bP') == 1, 'more than one image'
open(sys.argv[2], 'wb').write(data[start:end + 2])
PY
  sixel2png -i "$work/$name.six" -o "$work/$name.decoded.png" 2>"$work/$name.err" ||
    { fail "$name: sixel2png: $(cat "$work/$name.err")"; return; }
  pngtopnm "$work/$name.png" >"$work/$name.screen.ppm" && pngtopnm "$work/$name.decoded.png" >"$work/$name.decoded.ppm" ||
    { fail "$name: pngtopnm failed"; return; }
  python3 - "$work/$name.screen.ppm" "$work/$name.decoded.ppm" $picture "$share" <<'PY' || fail "$name: the decoded picture differs (see above)"
import sys
def ppm(path):
    parts = open(path, 'rb').read().split(maxsplit=4)
    assert parts[0] == b'P6' and parts[3] == b'255', path
    return int(parts[1]), int(parts[2]), parts[4]
sw, sh, screen = ppm(sys.argv[1])
dw, dh, decoded = ppm(sys.argv[2])
assert sys.argv[3] == 'picture'
pw, ph, share = int(sys.argv[4]), int(sys.argv[5]), float(sys.argv[6])
assert (sw, sh) == (640, 480), (sw, sh)
assert dw >= pw and dh >= ph, 'the image (%d x %d) is smaller than the picture (%d x %d)' % (dw, dh, pw, ph)
same = 0
bad = []
for y in range(sh):
    dy = (2 * y + 1) * ph // (2 * sh)
    for x in range(sw):
        dx = (2 * x + 1) * pw // (2 * sw)
        a = screen[3 * (y * sw + x):3 * (y * sw + x) + 3]
        b = decoded[3 * (dy * dw + dx):3 * (dy * dw + dx) + 3]
        if all(abs(a[k] - b[k]) <= 3 for k in range(3)):
            same += 1
        elif len(bad) < 5:
            bad.append((x, y, a.hex(), b.hex()))
got = same / (sw * sh)
print('%d x %d picture: %.4f of the screen\'s pixels equal' % (pw, ph, got))
assert got >= share, 'only %.4f equal; first differences %s' % (got, bad)
# Every pixel of the picture is the screen's pixel at its place.
for y in range(ph):
    sy = (2 * y + 1) * sh // (2 * ph)
    for x in range(pw):
        sx = (2 * x + 1) * sw // (2 * pw)
        a = screen[3 * (sy * sw + sx):3 * (sy * sw + sx) + 3]
        b = decoded[3 * (y * dw + x):3 * (y * dw + x) + 3]
        assert all(abs(a[k] - b[k]) <= 3 for k in range(3)), (x, y, a.hex(), b.hex())
PY
}

# check_update NAME: the probe's second frame (50 moves later) sends only
# images of the bands that changed, each at its cell row; each decodes to the
# new screen's pixels at its place, and together they cover every changed row.
check_update() {
  local name=$1
  read -r _ pw ph top ch <<<"$picture_line"
  python3 - "$work/$name.bin.2" "$work/$name.band" <<'PY' >"$work/$name.bands" || { fail "$name: no bands in the update"; return; }
import re, sys
data = open(sys.argv[1], 'rb').read()
assert b'\x1b[2J' not in data, 'the update clears the screen'
for k, m in enumerate(re.finditer(rb'\x1b\[(\d+);(\d+)H(\x1bP.*?\x1b\\)', data, re.S)):
    open('%s%d.six' % (sys.argv[2], k), 'wb').write(m.group(3))
    print(k, int(m.group(1)) - 1)
PY
  [ -s "$work/$name.bands" ] || { fail "$name: the update has no image"; return; }
  pngtopnm "$work/$name.png.2" >"$work/$name.screen2.ppm" || { fail "$name: pngtopnm failed"; return; }
  local k row
  while read -r k row; do
    sixel2png -i "$work/$name.band$k.six" -o "$work/$name.band$k.png" 2>/dev/null &&
      pngtopnm "$work/$name.band$k.png" >"$work/$name.band$k.ppm" || { fail "$name: band $k does not decode"; return; }
  done <"$work/$name.bands"
  python3 - "$work/$name.screen.ppm" "$work/$name.screen2.ppm" "$work/$name.bands" "$work/$name.band" \
    "$pw" "$ph" "$top" "$ch" <<'PY' || fail "$name: the update differs (see above)"
import sys
def ppm(path):
    parts = open(path, 'rb').read().split(maxsplit=4)
    return int(parts[1]), int(parts[2]), parts[4]
sw, sh, before = ppm(sys.argv[1])
_, _, after = ppm(sys.argv[2])
pw, ph, top, ch = (int(v) for v in sys.argv[5:9])
source_row = lambda y: (2 * y + 1) * sh // (2 * ph)
covered = set()
for line in open(sys.argv[3]):
    k, row = (int(v) for v in line.split())
    bw, bh, band = ppm('%s%d.ppm' % (sys.argv[4], k))
    y0 = (row - top) * ch
    assert bh % 6 == 0, 'band %d is %d pixel rows' % (k, bh)
    for y in range(bh):
        if y0 + y >= ph:
            break
        covered.add(y0 + y)
        sy = source_row(y0 + y)
        for x in range(pw):
            sx = (2 * x + 1) * sw // (2 * pw)
            a = after[3 * (sy * sw + sx):3 * (sy * sw + sx) + 3]
            b = band[3 * (y * bw + x):3 * (y * bw + x) + 3]
            assert all(abs(a[i] - b[i]) <= 3 for i in range(3)), (k, x, y0 + y, a.hex(), b.hex())
changed = [y for y in range(ph) if before[3 * sw * source_row(y):3 * sw * (source_row(y) + 1)] !=
           after[3 * sw * source_row(y):3 * sw * (source_row(y) + 1)]]
assert changed, 'nothing changed in 50 moves'
missing = [y for y in changed if y not in covered]
assert not missing, 'changed rows not sent: %s' % missing[:10]
print('update: %d images, %d of %d picture rows sent, all %d changed ones' % (
    sum(1 for _ in open(sys.argv[3])), len(covered), ph, len(changed)))
PY
}

check one_to_one 100 31 8 16 1.0   # 80 x 30 cells of 8 x 16: 640 x 480
check_update one_to_one
check room 120 40 9 18 1.0         # room for 1080 x 702: 640 x 480, cells not on pixel edges
check_update room
check twice 180 60 9 18 1.0        # room for 1620 x 1062: 1280 x 960
check_update twice
# 320 x 240: a terminal smaller than the screen (room for 560 x 336) leaves
# out every other row and column, so only the pixels it kept can come back.
check smaller 80 25 7 14 0.94

if [ "$failures" -eq 0 ]; then
  echo "all passed"
  exit 0
fi
echo "$failures failed"
exit 1
