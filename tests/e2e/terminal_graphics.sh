#!/usr/bin/env bash
# The program with no display, as a student meets it over SSH: an 80 x 25
# tmux pane and nothing else.
#
# A run: the help pages, the seven questions, then the run drawn in the pane
# in block symbols; the pane read with its colours (capture-pane -e) shows
# the reactor block and the thick frame where lemvaris-batch's --png picture
# of the same run has them, cell by cell of the symbol grid. n, c and n give
# the mode-change line on the last row; a larger pane gets the picture at
# its new size; v and the summary end with exit code 0 and the terminal's
# mode as it was. Ctrl+C during the run gives the terminal back too.
# Refusals, before anything is shown: no display and a piped output, TERM
# dumb, an unknown option, an unknown LEMVARIS_GRAPHICS, --window with no
# display. A pane smaller than 80 x 25: one line saying the size needed,
# then the program as usual. TERM=xterm-kitty in a tmux that passes no
# images on: one line saying why, then the same picture in block symbols.
# Usage: terminal_graphics.sh BUILD_DIR
export LC_ALL=C.UTF-8  # tmux and bash count the pane's characters as UTF-8
source "$(dirname "$0")/tmux_helpers.bash" "$@"
source "$(dirname "$0")/program_helpers.bash"
program="$build/src/lemvaris"
batch="$build/tools/lemvaris-batch"
for tool in tmux pngtopnm python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/deps.sh --test)"; exit 1; }
done
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY)

time_limit 180

stop() {
  fail "$*"
  report
}

# settled_capture NAME FILE: the pane with its colours, once two captures
# 0.3 s apart agree (step by step waits for a key, so the picture stays).
settled_capture() {
  tm capture-pane -e -p -t "main:$1" >"$2"
  for _ in $(seq 30); do
    sleep 0.3
    tm capture-pane -e -p -t "main:$1" >"$2.again"
    cmp -s "$2" "$2.again" && return 0
    mv "$2.again" "$2"
  done
  return 1
}

# ------------------------------------------------------------- refusals
# Standard output piped, no display: exit 4 and the message, no help text.
"${nodisplay[@]}" "$program" </dev/null >"$work/piped.out" 2>"$work/piped.err"
code=$?
[ "$code" = 4 ] || fail "piped: exit code $code, expected 4"
[ -s "$work/piped.out" ] && fail "piped: something was written to standard output: $(head -c 200 "$work/piped.out")"
grep -q 'jeleníthető meg a grafika: a szabványos kimenet nem terminál' "$work/piped.err" ||
  fail "piped: the message is '$(cat "$work/piped.err")'"
"${nodisplay[@]}" "$program" --terminal </dev/null 2>"$work/piped2.err" | cat >"$work/piped2.out"
code=${PIPESTATUS[0]}
[ "$code" = 4 ] && [ ! -s "$work/piped2.out" ] || fail "piped --terminal: exit code $code, output '$(head -c 200 "$work/piped2.out")'"
# An unknown option, and --window without a display.
"$program" --colour </dev/null >"$work/usage.out" 2>"$work/usage.err"
code=$?
[ "$code" = 64 ] && [ ! -s "$work/usage.out" ] && grep -q 'ismeretlen kapcsoló' "$work/usage.err" ||
  fail "unknown option: exit code $code, message '$(cat "$work/usage.err")'"
"${nodisplay[@]}" "$program" --window </dev/null >"$work/window.out" 2>"$work/window.err"
code=$?
[ "$code" = 4 ] && [ ! -s "$work/window.out" ] && grep -q 'grafikus ablak nem nyitható meg' "$work/window.err" ||
  fail "--window: exit code $code, message '$(cat "$work/window.err")'"

# TERM=dumb on a terminal: exit 4 with the message on the pane, no help.
start_in_pane dumb 80 25 TERM=dumb "${nodisplay[@]}" "$program"
wait_for "$work/dumb.rc" . || stop "dumb: the program did not end"
[ "$(cat "$work/dumb.rc")" = 4 ] || fail "dumb: exit code $(cat "$work/dumb.rc"), expected 4"
pane_text main:dumb | grep -q 'TERM=dumb' || fail "dumb: no message on the pane"
pane_text main:dumb | grep -q 'Lemvaris ▓\|Lapozhatunk' && fail "dumb: the help was shown"

# LEMVARIS_GRAPHICS naming no pictures: exit 64 with the line, no help.
start_in_pane wish 80 25 LEMVARIS_GRAPHICS=sixels "${nodisplay[@]}" "$program"
wait_for "$work/wish.rc" . || stop "wish: the program did not end"
[ "$(cat "$work/wish.rc")" = 64 ] || fail "wish: exit code $(cat "$work/wish.rc"), expected 64"
tm capture-pane -p -J -t main:wish | grep -q 'ismeretlen LEMVARIS_GRAPHICS érték: "sixels"' ||
  fail "wish: no message on the pane"
pane_text main:wish | grep -q 'Lemvaris ▓\|Lapozhatunk' && fail "wish: the help was shown"

# ------------------------------------------------------------- small pane
# 80 x 24: the line saying the size needed, then the help as usual.
start_in_pane small 80 24 "${nodisplay[@]}" "$program"
for _ in $(seq 50); do
  tm capture-pane -p -t s80x24:small | grep -q 'legalább 80 x 25' && break
  sleep 0.1
done
tm capture-pane -p -t s80x24:small | grep -q 'a terminál 80 x 24 karakteres; a program legalább 80 x 25' ||
  fail "small: no line about the size: $(tm capture-pane -p -t s80x24:small | head -3)"
for _ in $(seq 100); do
  tm capture-pane -p -t s80x24:small | grep -q 'Lapozhatunk?' && break
  sleep 0.1
done
tm capture-pane -p -t s80x24:small | grep -q 'Lapozhatunk?' || fail "small: the help did not follow"
tm send-keys -t s80x24:small C-c
for _ in $(seq 50); do [ -s "$work/small.after" ] && break; sleep 0.1; done
[ "$(cat "$work/small.rc" 2>/dev/null)" = 130 ] || fail "small: Ctrl+C gave exit code $(cat "$work/small.rc" 2>/dev/null)"
cmp -s "$work/small.before" "$work/small.after" || fail "small: stty -g differs after the exit"
tm kill-session -t s80x24  # the panes below are named within "main" alone

# ------------------------------------------------------------- a run
start_in_pane graphics 80 25 "${nodisplay[@]}" "$program"
wait_pane graphics 'Lapozhatunk?' || stop "graphics: no page prompt"
page_until graphics "${prompts[0]:0:20}" || stop "graphics: the help pages did not lead to the questions"
dialog graphics 100 100 3000 0.5 0.8 0.2 3 || stop "graphics: a question did not come"
wait_pane graphics '▐' || stop "graphics: no picture after the questions"
settled_capture graphics "$work/first.ans" || stop "graphics: the first picture does not stay"

# The same run's first screen, drawn by the batch runner.
"$batch" --N 100 --M 100 --K 3000 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3 --steps 0 --png "$work/first.png" \
  >/dev/null 2>&1 || stop "graphics: lemvaris-batch failed"
pngtopnm "$work/first.png" >"$work/first.ppm" || stop "graphics: pngtopnm failed"

# matches_batch FILE: the capture (capture-pane -e) shows that screen. The
# pane is 80 x 25 cells of 16 x 32 pixels (as tmux tells): the picture is
# 64 x 24 cells from column 8, each cell 10 x 20 of the screen's pixels.
matches_batch() {
  python3 - "$1" "$work/first.ppm" <<'PY'
import re, sys

def xterm(n):
    if n < 16:
        vga = [0x000000, 0xaa0000, 0x00aa00, 0xaa5500, 0x0000aa, 0xaa00aa, 0x00aaaa, 0xaaaaaa,
               0x555555, 0xff5555, 0x55ff55, 0xffff55, 0x5555ff, 0xff55ff, 0x55ffff, 0xffffff]
        c = vga[n]
        return (c >> 16, c >> 8 & 255, c & 255)
    if n >= 232:
        v = 8 + 10 * (n - 232)
        return (v, v, v)
    n -= 16
    level = [0, 95, 135, 175, 215, 255]
    return (level[n // 36], level[n // 6 % 6], level[n % 6])

# The pane: every cell's character, foreground and background (None: default).
rows = []
fg = bg = None
inverse = False
for line in open(sys.argv[1], encoding='utf-8').read().split('\n')[:25]:
    cells = []
    for m in re.finditer(r'\x1b\[([0-9;]*)m|(.)', line):
        if m.group(2) is not None:
            cells.append((m.group(2), bg if inverse else fg, fg if inverse else bg))
            continue
        p = [int(v) if v else 0 for v in m.group(1).split(';')]
        i = 0
        while i < len(p):
            v = p[i]
            if v == 0: fg = bg = None; inverse = False
            elif v == 7: inverse = True
            elif v == 27: inverse = False
            elif v == 39: fg = None
            elif v == 49: bg = None
            elif 30 <= v <= 37: fg = xterm(v - 30)
            elif 90 <= v <= 97: fg = xterm(v - 90 + 8)
            elif 40 <= v <= 47: bg = xterm(v - 40)
            elif 100 <= v <= 107: bg = xterm(v - 100 + 8)
            elif v in (38, 48) and p[i + 1] == 5:
                c = xterm(p[i + 2]); i += 2
                if v == 38: fg = c
                else: bg = c
            elif v in (38, 48) and p[i + 1] == 2:
                c = tuple(p[i + 2:i + 5]); i += 4
                if v == 38: fg = c
                else: bg = c
            i += 1
    rows.append(cells)

def shown(x, y):
    ch, f, b = rows[y][x] if x < len(rows[y]) else (' ', None, None)
    b = b or (0, 0, 0)
    if ch == ' ': return {b}
    if ch == '\u2588': return {f or (0, 0, 0)}
    return {f or (255, 255, 255), b}

yellowish = lambda c: min(c[0], c[1]) >= 0x30 and c[2] * 10 < min(c[0], c[1]) * 6
neutral = lambda c: max(c) - min(c) <= 0x10 and min(c) >= 0x30

data = open(sys.argv[2], 'rb').read().split(maxsplit=4)
w, h, pixels = int(data[1]), int(data[2]), data[4]
assert (w, h) == (640, 480)
def share(x, y, colour):
    n = 0
    for py in range(20 * y, 20 * y + 20):
        for px in range(10 * x, 10 * x + 10):
            n += pixels[3 * (py * w + px):3 * (py * w + px) + 3] == colour
    return n / 200.0

YELLOW = bytes.fromhex('ffff55')
# The thick frame: the border (6,6)-(634,474) and the four window outlines,
# each 3 pixels wide (the windows' contents differ between the modes, the
# frame does not).
outlines = [(6, 6, 634, 474), (9, 19, 309, 239), (319, 19, 629, 239), (9, 249, 309, 459), (319, 249, 629, 459)]
def on_frame(px, py):
    for x1, y1, x2, y2 in outlines:
        near_x = x1 - 1 <= px <= x2 + 1 and (abs(py - y1) <= 1 or abs(py - y2) <= 1)
        near_y = y1 - 1 <= py <= y2 + 1 and (abs(px - x1) <= 1 or abs(px - x2) <= 1)
        if near_x or near_y:
            return True
    return False
def frame_share(x, y):
    n = 0
    for py in range(20 * y, 20 * y + 20):
        for px in range(10 * x, 10 * x + 10):
            n += on_frame(px, py) and pixels[3 * (py * w + px):3 * (py * w + px) + 3] == b'\xff\xff\xff'
    return n / 200.0
def black(x, y):
    return all(pixels[3 * (py * w + px):3 * (py * w + px) + 3] == b'\0\0\0'
               for py in range(20 * y, 20 * y + 20) for px in range(10 * x, 10 * x + 10))

# The panel's mode field reads Lepesenkenti here, Csendes in the picture.
in_panel = lambda x, y: 32 <= x <= 62 and 1 <= y <= 11

bad = []
reactor = frame = yellow_cells = 0
for y in range(24):
    for x in range(64):
        colours = shown(8 + x, y)
        fy, ff = share(x, y, YELLOW), frame_share(x, y)
        has_yellow = any(yellowish(c) for c in colours)
        has_light = any(neutral(c) for c in colours)
        # The reactor: a cell with particles shows something, most of those
        # a quarter yellow or more show yellow (in 256 colours the dimmest
        # mixes of yellow and black come out grey); one without any shows no
        # yellow.
        if fy >= 0.15 and colours == {(0, 0, 0)}:
            bad.append(('nothing', x, y, fy, colours))
        if fy >= 0.25:
            reactor += 1
            yellow_cells += has_yellow
        elif fy == 0 and has_yellow:
            bad.append(('particles', x, y, fy, colours))
        # The frame: where it runs the cell shows a light line; an all black
        # cell shows nothing.
        if ff >= 0.1:
            frame += 1
            if not has_light: bad.append(('no line', x, y, ff, colours))
        elif black(x, y) and colours != {(0, 0, 0)} and not in_panel(x, y):
            bad.append(('not black', x, y, 0, colours))
# Left and right of the picture: nothing drawn.
for y in range(24):
    for x in list(range(8)) + list(range(72, 80)):
        if shown(x, y) != {(0, 0, 0)}:
            bad.append(('outside', x, y, 0, shown(x, y)))
print('cells a quarter yellow: %d (%d show yellow), on the frame: %d, mismatches: %d'
      % (reactor, yellow_cells, frame, len(bad)))
assert reactor >= 30 and frame >= 150, 'too little to compare'
assert yellow_cells >= 0.75 * reactor, 'the reactor block is not yellow'
assert not bad, bad[:8]
PY
}
matches_batch "$work/first.ans" ||
  fail "graphics: the picture does not match the screen (see above)"

# The thick frame's corners stand where the picture's corners are.
row1=$(pane_row graphics 1)
[ "${row1:0:8}" = "        " ] && [ "${row1:8:1}" != " " ] || fail "graphics: row 1 is '$row1'"

# n (Normal: the run goes on), c (Csendes), n: the mode-change line.
tm send-keys -t main:graphics n
sleep 0.5
tm send-keys -t main:graphics c
sleep 0.5
tm send-keys -t main:graphics n
for _ in $(seq 50); do
  pane_row graphics 25 | grep -q '^▓ Üzemmódváltás: Normal ([0-9]*,n) ' && break
  sleep 0.1
done
pane_row graphics 25 | grep -q '^▓ Üzemmódváltás: Normal ([0-9]*,n) ' ||
  fail "graphics: the last row is '$(pane_row graphics 25)'"
in_key_mode main:graphics || fail "graphics: the terminal is not in key mode during the run"

# A larger pane: 100 x 30 cells; 29 rows of 1:2 cells hold the picture 77
# columns wide, from column 12.
tm resize-window -t main:graphics -x 100 -y 30
for _ in $(seq 50); do
  [ "$(pane_row graphics 29 | cut -c12)" != " " ] && [ -n "$(pane_row graphics 29 | cut -c12)" ] && break
  sleep 0.1
done
row=$(pane_row graphics 29)
[ "${row:0:11}" = "           " ] && [ "${row:11:1}" != " " ] && [ -z "$(echo "${row:88}" | tr -d ' ')" ] ||
  fail "graphics: after the resize row 29 is '$row'"
pane_row graphics 30 | grep -q 'Üzemmódváltás: Normal' || fail "graphics: after the resize the last row is '$(pane_row graphics 30)'"
tm resize-window -t main:graphics -x 80 -y 25

# v ends the run; the summary and the closing text are the console as usual.
tm send-keys -t main:graphics v
wait_pane graphics 'A szimuláció [0-9-]* lépést tett meg' || stop "graphics: no summary after v"
pane_text graphics | grep -q '▐\|▄\|▀' && fail "graphics: the picture is still on the screen with the summary"
page_until graphics 'Itt a vége' || fail "graphics: no closing text"
finish graphics 0
[ "$(tm display-message -p -t main:graphics '#{cursor_flag}')" = 1 ] || fail "graphics: the cursor is hidden after the end"

# Ctrl+C while the picture is drawn: the terminal is given back all the same.
start_in_pane interrupt 80 25 "${nodisplay[@]}" "$program"
page_until interrupt "${prompts[0]:0:20}" || stop "interrupt: the help pages did not lead to the questions"
dialog interrupt 100 100 3000 0.5 0.8 0.2 3 || stop "interrupt: a question did not come"
wait_pane interrupt '▐' || stop "interrupt: no picture after the questions"
tm send-keys -t main:interrupt n
sleep 0.5
tm send-keys -t main:interrupt C-c
finish interrupt 130
[ "$(tm display-message -p -t main:interrupt '#{alternate_on}')" = 0 ] || fail "interrupt: the pane is still on the alternate screen"
[ "$(tm display-message -p -t main:interrupt '#{cursor_flag}')" = 1 ] || fail "interrupt: the cursor is hidden after the end"
pane_text interrupt | grep -q '▐\|▄\|▀' && fail "interrupt: the picture is left on the screen"

# kitty's TERM in a pane of a tmux that passes no images on (allow-passthrough
# off, as tmux starts): the line saying so before the help, then the same
# picture in block symbols; no kitty sequence reaches tmux (it would take one
# for the pane's title).
start_in_pane kitty 80 25 TERM=xterm-kitty "${nodisplay[@]}" "$program"
for _ in $(seq 50); do
  tm capture-pane -p -J -t main:kitty | grep -q 'allow-passthrough' && break
  sleep 0.1
done
note='a terminál (TERM=xterm-kitty) kitty képeket is mutatna, de a tmux nem engedi át őket'
note+=' (az allow-passthrough ki van kapcsolva;.*), ezért a grafika blokk karakterekkel jelenik meg'
tm capture-pane -p -J -t main:kitty | grep -q "$note" ||
  fail "kitty: no line about the pictures: $(tm capture-pane -p -J -t main:kitty | head -3)"
page_until kitty "${prompts[0]:0:20}" || stop "kitty: the help pages did not lead to the questions"
dialog kitty 100 100 3000 0.5 0.8 0.2 3 || stop "kitty: a question did not come"
wait_pane kitty '▐' || stop "kitty: no picture in symbols after the questions"
settled_capture kitty "$work/kitty.ans" || stop "kitty: the first picture does not stay"
matches_batch "$work/kitty.ans" || fail "kitty: the picture does not match the screen (see above)"
title=$(tm display-message -p -t main:kitty '#{pane_title}')
grep -q 'G[a-z]=' <<<"$title" && fail "kitty: a kitty sequence reached tmux: title '$title'"
tm send-keys -t main:kitty C-c
finish kitty 130

report
