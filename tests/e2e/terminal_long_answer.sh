#!/usr/bin/env bash
# A long answer typed on the terminal in key mode: blanks before the number do
# not crowd it out, and keys past the line's room are not taken, so the line
# on the screen stops growing and holds exactly what is read.
source "$(dirname "$0")/tmux_helpers.bash" "$@"

start_probe blanks "$probe" blanks.log number
tm send-keys -t main:blanks -l "$(printf '%300s' '')5"
tm send-keys -t main:blanks Enter
finish blanks 0
pane_text main:blanks | grep -q '^ *got 5$' || fail "blanks: the number after 300 blanks was not read"
# "Szam? ", 255 blanks and the 5: the 5 ends the fourth row of the 76 wide window.
pane_text main:blanks | grep -q '^ \{35\}5$' || fail "blanks: the echo is not the kept line"

start_probe rest "$probe" rest.log number
tm send-keys -t main:rest -l "9 $(printf 'x%.0s' $(seq 300))"
tm send-keys -t main:rest Enter
finish rest 0
pane_text main:rest | grep -q '^ *got 9$' || fail "rest: the number before a long rest was not read"
[ "$(pane_text main:rest | tr -cd x | wc -c)" -eq 253 ] ||
  fail "rest: $(pane_text main:rest | tr -cd x | wc -c) x on the screen, not the 253 that fit"

report
