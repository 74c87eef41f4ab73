#!/usr/bin/env bash
# lemvaris-batch --png: the picture decodes, with netpbm's pngtopnm (not our
# code), to the screen the program draws: the frame at its coordinates and
# the reactor block cell for cell as the grid file says.
source "$(dirname "$0")/batch_helpers.bash" "$@"

# check_picture PNG GRID N M: the decoded pixels against the grid and layout.
check_picture() {
  pngtopnm "$1" >"$work/p.ppm" 2>"$work/pngtopnm.err" || { fail "pngtopnm: $(cat "$work/pngtopnm.err")"; return; }
  python3 - "$work/p.ppm" "$2" "$3" "$4" <<'PY' || fail "picture of $1 differs (see above)"
import sys
data = open(sys.argv[1], 'rb').read()
parts = data.split(maxsplit=4)
assert parts[0] == b'P6', 'not a PPM'
w, h, maxval, pixels = int(parts[1]), int(parts[2]), int(parts[3]), parts[4]
assert (w, h, maxval) == (640, 480, 255), (w, h, maxval)
px = lambda x, y: pixels[3 * (y * w + x):3 * (y * w + x) + 3].hex()
grid = open(sys.argv[2]).read().split()
N, M = int(sys.argv[3]), int(sys.argv[4])
colour = {'0': '0000aa', '1': '000000', '2': 'ffff55'}
bad = []
gx1 = (9 + 309 - M) // 2          # the block's left column
gy1 = 8 * 4 + (239 - 19 - 8) // 2 - N // 2
for i in range(N + 2):
    for j in range(M + 2):
        x, y = gx1 + j, gy1 + i
        # A tall block reaches up under the title counter, drawn after it.
        under_counter = 11 <= x <= 141 and 27 <= y <= 36
        if 19 <= y <= 239 and not under_counter and px(x, y) != colour[grid[i][j]]:
            bad.append((i, j, px(x, y), grid[i][j]))
assert not bad, 'reactor cells differ: %s' % bad[:5]
# The border (6,6)-(634,474) three pixels thick, white on black.
for x in (20, 200, 500):
    assert [px(x, y) for y in (4, 5, 6, 7, 8)] == ['000000'] + ['ffffff'] * 3 + ['000000'], x
assert px(633, 300) == px(635, 300) == 'ffffff' and px(636, 300) == '000000'
# Window outlines (9,19)-(309,239) and (319,19)-(629,239) and the title box corner.
assert px(9, 100) == px(309, 100) == px(319, 100) == px(629, 100) == 'ffffff'
assert px(275, 2) == px(360, 13) == 'ffffff'
# Text in the step counter box and on the panel's first line.
assert any(px(x, y) == 'ffffff' for x in range(540, 630) for y in range(4, 12)), 'counter'
assert any(px(x, y) == 'ffffff' for x in range(329, 500) for y in range(40, 48)), 'panel'
PY
}

base=(--N 100 --M 100 --K 3000 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3)
"$batch" "${base[@]}" --steps 5000 --grid "$work/g.txt" --png "$work/p.png" >"$work/out" 2>"$work/err"
code=$?
[ "$code" -eq 0 ] || fail "exit $code: $(cat "$work/err")"
check_picture "$work/p.png" "$work/g.txt" 100 100

# The largest reactor: its block starts at (34, 13) and is cut at the window's bottom.
"$batch" --N 250 --M 250 --K 20000 --Ah 0.3 --Kh 0.6 --G 0.1 --rSz 10 --steps 3000 \
  --grid "$work/g2.txt" --png "$work/p2.png" >/dev/null 2>&1 || fail "N=M=250 run"
check_picture "$work/p2.png" "$work/g2.txt" 250 250

# A frozen run still leaves its picture.
"$batch" --N 3 --M 3 --K 9 --Ah 0.5 --Kh 0.5 --G 0.5 --rSz 1 --steps 100 \
  --grid "$work/g3.txt" --png "$work/p3.png" >/dev/null 2>&1
code=$?
[ "$code" -eq 3 ] || fail "frozen run exit $code"
check_picture "$work/p3.png" "$work/g3.txt" 3 3

# An unwritable picture is refused before anything runs.
"$batch" "${base[@]}" --steps 10 --png "$work/no/such/dir.png" >"$work/out4" 2>"$work/err4"
code=$?
[ "$code" -eq 2 ] || fail "unwritable --png exit $code"
[ -s "$work/out4" ] && fail "refused run wrote to stdout"
grep -q -- '--png' "$work/err4" || fail "refusal does not name --png: $(cat "$work/err4")"

# A command line refused for its grid file leaves no picture it made, and an
# existing picture untouched.
"$batch" "${base[@]}" --steps 10 --png "$work/new.png" --grid "$work/no/such/g.txt" >/dev/null 2>&1
[ "$?" -eq 2 ] || fail "refused --grid exit"
[ -e "$work/new.png" ] && fail "a refused run left a picture file behind"
echo kept >"$work/old.png"
"$batch" "${base[@]}" --steps 10 --png "$work/old.png" --grid "$work/no/such/g.txt" >/dev/null 2>&1
[ "$(cat "$work/old.png")" = kept ] || fail "a refused run changed an existing picture"

report batch_png
