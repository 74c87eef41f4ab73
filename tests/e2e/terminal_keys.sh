#!/usr/bin/env bash
# Keys from a real terminal under tmux: cursor and function keys arrive as 0
# and the scan code, from standard input or, when that is a pipe, from
# /dev/tty; the last screen stays readable; a transcript when standard output
# is not a terminal.
source "$(dirname "$0")/tmux_helpers.bash" "$@"

start_probe keys "$probe" keys.log keys
tm send-keys -t main:keys Up F9 Left End F1 Escape
sleep 0.3
tm send-keys -t main:keys a q
finish keys 0
[ "$(logged_keys keys)" = "0 72 0 67 0 75 0 79 0 59 27 97 113 " ] ||
  fail "keys: got '$(logged_keys keys)'"
screen=$(pane_text main:keys)
grep -qF '▓▓▓ Lemvaris probe ▓▓▓' <<<"$screen" || fail "keys: last screen not left on the terminal"
grep -q 'key 113' <<<"$screen" || fail "keys: last screen lacks the last key"

start_probe piped "echo 5 | $probe piped.log keys"
tm send-keys -t main:piped Up F9 q
finish piped 0
[ "$(logged_keys piped)" = "0 72 0 67 113 " ] || fail "piped: got '$(logged_keys piped)'"

start_probe prompt "$probe" prompt.log prompt
sleep 0.3
tm send-keys -t main:prompt x Down q
finish prompt 0
[ "$(logged_keys prompt)" = "120 0 80 113 " ] || fail "prompt: got '$(logged_keys prompt)'"

# A terminal of 24 lines still shows the prompt on console row 25.
start_probe -small small "$probe" small.log prompt
sleep 0.5
pane_text small:small | grep -q '^ *Lapozhatunk?[-\\|/]$' || fail "small: the page prompt is not shown"
tm send-keys -t small:small q
finish small 0

start_probe transcript "$probe transcript.log keys > transcript.out"
tm send-keys -t main:transcript Up q
finish transcript 0
out="$work/transcript.out"
grep -qF '▓▓▓ Lemvaris probe ▓▓▓' "$out" || fail "transcript: no title row"
grep -q '^  key 72$' "$out" || fail "transcript: no key row"
grep -q $'\e' "$out" && fail "transcript: holds escape sequences"

report
