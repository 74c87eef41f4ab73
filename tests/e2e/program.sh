#!/usr/bin/env bash
# The real program from start to end, as a student meets it: the terminal is
# an 80 x 25 tmux pane (keys typed with send-keys), the window is on a virtual
# X server (keys sent with xdotool, captured with xwd and read with
# ImageMagick). It runs in a folder without the help and summary files, which
# it must find next to itself.
#
# First run: the help pages, the seven questions, the first picture pixel by
# pixel, C sent to the window, V typed in the terminal, the summary with the
# moves made, the closing text, exit code 0 and the terminal mode restored.
# Second run: Ctrl+C while the run goes on.
# Usage: program.sh BUILD_DIR
export LC_ALL=C.UTF-8  # tmux and bash count the pane's characters as UTF-8
source "$(dirname "$0")/tmux_helpers.bash" "$@"
source "$(dirname "$0")/xvfb_helpers.bash"
program="$build/src/lemvaris"
magick=/usr/bin/convert  # ImageMagick itself, whatever else is called convert
[ -x "$program" ] || { echo "FAIL: $program not built"; exit 1; }
for tool in Xvfb tmux xdotool xwd "$magick"; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/deps.sh --test)"; exit 1; }
done

time_limit 120

# stop MESSAGE: a step failed that the later ones need.
stop() {
  fail "$*"
  [ -s "$work/xvfb.log" ] && { echo "--- xvfb.log"; cat "$work/xvfb.log"; }
  report
}

mkdir "$work/empty"
start_xvfb "$work" || stop "Xvfb did not start"

# start_program NAME: the program in a fresh 80 x 25 pane, in the empty
# folder, with the window on the virtual X server.
start_program() { start_in_pane "$1" 80 25 DISPLAY="$DISPLAY" "$program"; }

source "$(dirname "$0")/program_helpers.bash"

# The program's window, once it is on the screen (10 s).
# A search fails outright (BadWindow) when some window goes while it looks,
# as the last run's may: looked for again.
find_window() {
  local found
  for _ in $(seq 10); do
    found=$(timeout 10 xdotool search --sync --onlyvisible --class '^lemvaris$' 2>/dev/null | head -n1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.3
  done
  return 1
}

# capture NAME: the window's 640 x 480 pixels as $work/NAME.hex, one
# RRGGBB per line, row by row.
capture() {
  timeout 10 xwd -silent -id "$wid" >"$work/$1.xwd" || return 1
  timeout 10 "$magick" "xwd:$work/$1.xwd" -depth 8 "rgb:$work/$1.rgb" || return 1
  [ "$(stat -c %s "$work/$1.rgb")" -eq $((640 * 480 * 3)) ] || return 1
  od -An -v -tx1 -w3 "$work/$1.rgb" | tr -d ' ' >"$work/$1.hex"
}

# in_rect NAME X1 Y1 X2 Y2: "x y RRGGBB" for each pixel of the rectangle.
in_rect() {
  awk -v x1="$2" -v y1="$3" -v x2="$4" -v y2="$5" '{
    i = NR - 1; x = i % 640; y = (i - x) / 640
    if (x >= x1 && x <= x2 && y >= y1 && y <= y2) print x, y, $1
  }' "$work/$1.hex"
}

# colours NAME X1 Y1 X2 Y2: "RRGGBB:count" of the rectangle, on one line.
colours() {
  in_rect "$@" | awk '{ n[$3]++ } END { for (c in n) print c ":" n[c] }' | sort | tr '\n' ' '
}

# white_extent NAME X1 Y1 X2 Y2: "left right top bottom" of the white pixels
# in the rectangle, or "none".
white_extent() {
  in_rect "$@" | awk '$3 == "ffffff" {
      if (!n++) { l = r = $1; t = b = $2 }
      if ($1 < l) l = $1; if ($1 > r) r = $1; if ($2 < t) t = $2; if ($2 > b) b = $2
    } END { if (n) print l, r, t, b; else print "none" }'
}

# expect_pixels NAME: each line "x y RRGGBB what" of the input names a pixel
# and its colour; every mismatch is a failure.
expect_pixels() {
  local mismatches
  mismatches=$(awk 'NR == FNR { c[NR - 1] = $1; next }
    NF >= 3 && c[$2 * 640 + $1] != $3 {
      what = $4; for (k = 5; k <= NF; ++k) what = what " " $k
      print "(" $1 "," $2 ") " what ": " c[$2 * 640 + $1] ", expected " $3
    }' "$work/$1.hex" -)
  [ -z "$mismatches" ] || fail "$1: $(echo "$mismatches" | head -n 20)"
}

# settled NAME: the first picture as NAME, once two captures 0.2 s apart
# agree and show something (step by step waits for a key, so it stays).
settled() {
  capture "$1" || return 1
  for _ in $(seq 30); do
    sleep 0.2
    capture again || return 1
    cmp -s "$work/$1.hex" "$work/again.hex" && [ "$(white_extent "$1" 0 0 639 479)" != none ] && return 0
    mv "$work/again.hex" "$work/$1.hex"
  done
  return 1
}

# counter_moves NAME: within 3 s the step counter box differs from the one
# in capture NAME.
counter_moves() {
  local before
  before=$(in_rect "$1" 539 4 634 11)
  for _ in $(seq 30); do
    sleep 0.1
    capture later || return 1
    [ "$(in_rect later 539 4 634 11)" != "$before" ] && return 0
  done
  return 1
}

# in_range VALUE LOW HIGH
in_range() { [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }

# ---------------------------------------------------------------- first run
start_program normal
wait_pane normal 'Lapozhatunk?' || stop "normal: no page prompt"

# The title screen: shade blocks round rows 1 to 24, the title in row 1.
blocks=$(printf '▓%.0s' $(seq 80))
text_at normal 1 1 "${blocks:0:34} Lemvaris ${blocks:0:36}"
text_at normal 24 1 "$blocks"
for row in $(seq 2 23); do
  line=$(pane_row normal "$row")
  [ "${line:0:1}" = ▓ ] && [ "${line:79:1}" = ▓ ] || fail "normal: row $row is not framed: '$line'"
done
text_at normal 25 35 "Lapozhatunk?"
pane_row normal 25 | grep -q '^ \{34\}Lapozhatunk?[-\\|/]$' ||
  fail "normal: the prompt line is '$(pane_row normal 25)'"
pane_text normal | grep -q 'Nincs meg' && fail "normal: the help file was not found"

page_until normal "${prompts[0]:0:20}" || stop "normal: the help pages did not lead to the questions"
# A typo at the adhesion question is asked again; "0,5" answers it.
dialog normal 100 100 3000 'abc|0,5' 0.8 0.2 3 || stop "normal: a question did not come"
answers=(100 100 3000 abc 0,5 0.8 0.2 3)
asked=(0 1 2 3 3 4 5 6)
for i in "${!answers[@]}"; do
  [ "$(pane_row normal $((i + 3)) | sed 's/ *▓$//')" = "▓ ${prompts[${asked[$i]}]}${answers[$i]}" ] ||
    fail "normal: row $((i + 3)) reads '$(pane_row normal $((i + 3)))'"
done

wid=$(find_window) || true
[ -n "$wid" ] || stop "normal: no window after the questions"
[ "$(timeout 10 xdotool getwindowname "$wid")" = Lemvaris ] || fail "normal: the window is not named Lemvaris"
eval "$(timeout 10 xdotool getwindowgeometry --shell "$wid")"
[ "$WIDTH x $HEIGHT" = "640 x 480" ] || fail "normal: the window is $WIDTH x $HEIGHT, not 640 x 480 at scale 1"
settled first || stop "normal: the first picture does not stay"

# Black, three white, black across each edge of the border (6,6)-(634,474),
# where no other outline is near.
first_picture() {
  for d in -2 -1 0 1 2; do
    c=ffffff
    [ "${d#-}" -eq 2 ] && c=000000
    echo "$((6 + d)) 244 $c border left"
    echo "$((634 + d)) 244 $c border right"
    echo "100 $((6 + d)) $c border top"
    echo "40 $((474 + d)) $c border bottom"
  done
  # The title box (275,2)-(360,13) cuts the border: its cleared area runs
  # from x 271 to 366 and from y 0 to 15.
  cat <<'PIXELS'
275 8 ffffff title box left
274 8 ffffff title box left
276 8 ffffff title box left
277 8 000000 inside the title box
360 8 ffffff title box right
362 8 000000 right of the title box
300 2 ffffff title box top
300 0 000000 above the title box
300 13 ffffff title box bottom
300 15 000000 below the title box
270 6 ffffff border left of the title box
272 6 000000 border cut by the title box
367 6 ffffff border right of the title box
365 6 000000 border cut by the title box
77 472 ffffff key-help box left
75 474 000000 border cut by the key-help box
74 474 ffffff border left of the key-help box
556 472 ffffff key-help box right
559 474 000000 border cut by the key-help box
563 474 ffffff border right of the key-help box
300 467 ffffff key-help box top
300 465 000000 above the key-help box
300 478 ffffff key-help box bottom
300 479 ffffff key-help box bottom, clipped
537 8 ffffff step counter box left
535 6 000000 border cut by the step counter box
534 6 ffffff border left of the step counter box
636 8 ffffff step counter box right
638 8 000000 right of the step counter box
580 2 ffffff step counter box top
580 0 000000 above the step counter box
580 13 ffffff step counter box bottom
634 10 000000 right border cut by the step counter box
634 20 ffffff right border below the step counter box
9 100 ffffff reactor window left
11 100 000000 inside the reactor window
309 100 ffffff reactor window right
307 100 000000 inside the reactor window
311 100 000000 between the windows
150 19 ffffff reactor window top
150 17 000000 above the reactor window
150 21 000000 inside the reactor window
150 239 ffffff reactor window bottom
150 241 000000 below the reactor window
319 100 ffffff panel left
317 100 000000 between the windows
321 100 000000 inside the panel
629 100 ffffff panel right
627 100 000000 inside the panel
631 100 000000 right of the panel
400 19 ffffff panel top
400 17 000000 above the panel
400 239 ffffff panel bottom
400 241 000000 below the panel
PIXELS
}
expect_pixels first < <(first_picture)

# Texts in the boxes: " Lemvaris " centred on x 318 from y 4 (L in the cell
# 286-293, s in 342-349), the key help from y 469 (V in 90-97, s in
# 538-545), " T:    0" from (539, 4) (T in 547-554, 0 in 595-602).
read -r l r t _ <<<"$(white_extent first 277 4 358 11)"
in_range "$l" 286 293 && in_range "$r" 342 349 && [ "$t" = 4 ] ||
  fail "normal: the title text spans x $l-$r from y $t"
read -r l r t _ <<<"$(white_extent first 79 469 554 476)"
in_range "$l" 90 97 && in_range "$r" 538 545 && [ "$t" = 469 ] ||
  fail "normal: the key help spans x $l-$r from y $t"
read -r l r t _ <<<"$(white_extent first 539 4 634 11)"
in_range "$l" 547 554 && in_range "$r" 595 602 && [ "$t" = 4 ] ||
  fail "normal: the step counter spans x $l-$r from y $t"

# The reactor block (109,88)-(210,189), one pixel a cell: its wall ring of
# 404 blue pixels, 3000 yellow particles inside, black all round it.
[ "$(colours first 110 89 209 188)" = "000000:7000 ffff55:3000 " ] ||
  fail "normal: inside the reactor: $(colours first 110 89 209 188)"
[ "$(colours first 108 87 211 190)" = "000000:7412 0000aa:404 ffff55:3000 " ] ||
  fail "normal: the reactor block with its surroundings: $(colours first 108 87 211 190)"

# C sent to the window switches to Csendes: the panel's first line is then
# "Üzemmód:Csendes" (15 characters) instead of "Üzemmód:Lepesenkenti" (20),
# and the run goes on, so the step counter changes.
read -r _ r _ <<<"$(white_extent first 321 40 626 47)"
in_range "$r" 481 488 || fail "normal: the mode line ends at x $r, not in its 20th character"
timeout 10 xdotool windowfocus --sync "$wid" || fail "normal: cannot focus the window"
timeout 10 xdotool key --delay 50 c || fail "normal: xdotool could not send c"
for _ in $(seq 50); do
  capture quiet || stop "normal: the window could not be captured"
  read -r _ r _ <<<"$(white_extent quiet 321 40 626 47)"
  in_range "$r" 441 448 && break
  sleep 0.1
done
in_range "$r" 441 448 || fail "normal: after c the mode line ends at x $r, not in its 15th character"
counter_moves quiet || fail "normal: the step counter stands still in Csendes"
in_key_mode normal || fail "normal: the terminal is not in key mode during the run"

# V typed in the terminal ends the run; the summary, found next to the
# program, tells the moves made.
tm send-keys -t main:normal V
wait_pane normal 'A szimuláció [0-9-]* lépést tett meg' || stop "normal: no summary after V"
moves=$(pane_text normal | sed -n 's/^▓ A szimuláció \([0-9-]*\) lépést tett meg.*/\1/p')
[ -n "$moves" ] && [ "$moves" -gt 0 ] || fail "normal: the summary tells '$moves' moves"
pane_text normal | grep -q '^▓ A reakciótér 100 sorában 3000 részecske mozgott\. *▓$' ||
  fail "normal: the summary does not tell N and K"
timeout 5 xdotool search --onlyvisible --class '^lemvaris$' >/dev/null &&
  fail "normal: the window is still on the screen with the summary"
page_until normal 'Itt a vége' || fail "normal: no closing text"
finish normal 0
# The program leaves its last screen on the terminal: the closing text alone.
text_at normal 10 25 "Itt a vége fuss el véle!!!!"
[ -z "$(pane_text normal | sed -n 1,9p | tr -d ' \n')" ] || fail "normal: the closing screen is not empty above the text"
[ "$(pane_row normal 11)" = "EXIT=0" ] || fail "normal: row 11 is '$(pane_row normal 11)', not EXIT=0"

# --------------------------------------------------------------- second run
start_program interrupt
page_until interrupt "${prompts[0]:0:20}" || stop "interrupt: the help pages did not lead to the questions"
dialog interrupt 100 100 3000 0.5 0.8 0.2 3 || stop "interrupt: a question did not come"
wid=$(find_window) || true
[ -n "$wid" ] || stop "interrupt: no window after the questions"
settled running || stop "interrupt: the first picture does not stay"
tm send-keys -t main:interrupt n  # Normal, typed in the terminal: the run goes on
counter_moves running || fail "interrupt: the step counter stands still in Normal"
tm send-keys -t main:interrupt C-c
for _ in $(seq 50); do [ -s "$work/interrupt.after" ] && break; sleep 0.1; done
if [ -s "$work/interrupt.after" ]; then
  [ "$(cat "$work/interrupt.rc")" != 0 ] || fail "interrupt: Ctrl+C ended the program with exit code 0"
  cmp -s "$work/interrupt.before" "$work/interrupt.after" || fail "interrupt: stty -g differs after Ctrl+C"
  echo "Ctrl+C ended the program with exit code $(cat "$work/interrupt.rc")"
else
  fail "interrupt: Ctrl+C did not end the program"
fi

report
