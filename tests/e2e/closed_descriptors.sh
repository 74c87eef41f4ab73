#!/usr/bin/env bash
# The program started with standard input or output closed, with a window on
# a virtual X server: the X connection must not take their place. With input
# closed the answers end at once ("Runtime error 100"); with output closed the
# first write fails ("Runtime error 101" on standard error). Either way the
# program ends with its documented code and the terminal mode put back.
# Usage: closed_descriptors.sh BUILD_DIR
export LC_ALL=C.UTF-8
source "$(dirname "$0")/tmux_helpers.bash" "$@"
source "$(dirname "$0")/xvfb_helpers.bash"
program="$build/src/lemvaris"
[ -x "$program" ] || { echo "FAIL: $program not built"; exit 1; }

time_limit 120
start_xvfb "$work" || { echo "FAIL: Xvfb did not start"; exit 1; }

# run_closed NAME REDIRECTION: the program in an 80 x 25 pane with that
# redirection, keys sent now and then until it ends (30 s at most).
run_closed() {
  local name=$1
  env="DISPLAY=$DISPLAY" start_program "$name" "$2"
  for _ in $(seq 60); do
    [ -s "$work/$name.rc" ] && return 0
    sleep 0.5
    tm send-keys -t "main:$name" x 2>/dev/null
  done
  fail "$name: the program did not end"
}

# ended NAME CODE TEXT: exit code CODE, the terminal mode back, TEXT on the pane.
ended() {
  local name=$1 code=$2 text=$3
  [ -s "$work/$name.rc" ] || return
  [ "$(cat "$work/$name.rc")" = "$code" ] || fail "$name: exit code $(cat "$work/$name.rc"), expected $code"
  cmp -s "$work/$name.before" "$work/$name.after" || fail "$name: stty -g differs after the exit"
  pane_text "main:$name" | grep -q -- "$text" || fail "$name: '$text' is not on the screen"
}

run_closed input '<&-'
ended input 100 'Runtime error 100'

run_closed output '>&-'
ended output 101 'Runtime error 101'

report
