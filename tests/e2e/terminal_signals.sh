#!/usr/bin/env bash
# The program in the terminal (--terminal, no display) where the terminal or
# the system works against it, in 80 x 25 tmux panes:
# - TERM without a terminfo entry: exit 4 before anything is shown, the
#   message naming TERM and terminfo; TERM=xterm-kitty (its terminfo comes
#   with scripts/deps.sh): the program starts.
# - A terminal that says it is 9999 x 9999: the help within seconds, the
#   program's memory modest.
# - SIGUSR1 during a run: exit 138, the terminal given back (its mode as
#   before, not on the alternate screen, the cursor shown).
# - SIGTERM in the quiet mode while the terminal's output is stopped (it
#   takes nothing more): the program ends within 5 s all the same, exit 143,
#   the terminal's mode as before.
# Usage: terminal_signals.sh BUILD_DIR
export LC_ALL=C.UTF-8  # tmux and bash count the pane's characters as UTF-8
source "$(dirname "$0")/tmux_helpers.bash" "$@"
source "$(dirname "$0")/program_helpers.bash"
program="$build/src/lemvaris"
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY)
for tool in tmux pgrep /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/deps.sh --test)"; exit 1; }
done

time_limit 240

stop() {
  fail "$*"
  report
}

# program_pid NAME: the program's process in the pane main:NAME.
program_pid() {
  pgrep -P "$(tm display-message -p -t "main:$1" '#{pane_pid}')" -x lemvaris
}

# output_flow NAME off|on: stop or restart the output of the pane's terminal
# (tcflow, as Ctrl+S and Ctrl+Q would).
output_flow() {
  /usr/bin/python3 - "$(tm display-message -p -t "main:$1" '#{pane_tty}')" "$2" <<'PY'
import os, sys, termios
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
termios.tcflow(fd, termios.TCOOFF if sys.argv[2] == 'off' else termios.TCOON)
PY
}

# to_the_run NAME: the help pages, the seven questions, the picture.
to_the_run() {
  wait_pane "$1" 'Lapozhatunk?' || return 1
  page_until "$1" "${prompts[0]:0:20}" || return 1
  dialog "$1" 100 100 3000 0.5 0.8 0.2 3 || return 1
  wait_pane "$1" '▐'
}

# ------------------------------------------------------------- TERM
start_in_pane noterm 80 25 TERM=no-such-term "${nodisplay[@]}" "$program" --terminal
wait_for "$work/noterm.rc" . || stop "no-such-term: the program did not end"
[ "$(cat "$work/noterm.rc")" = 4 ] || fail "no-such-term: exit code $(cat "$work/noterm.rc"), expected 4"
pane_text main:noterm | tr -d '\n' | grep -q 'TERM=no-such-term.*terminfo' ||
  fail "no-such-term: the message names neither TERM nor terminfo: $(pane_text main:noterm | head -3)"
pane_text main:noterm | grep -q 'Lapozhatunk' && fail "no-such-term: the help was shown"

if TERM=xterm-kitty /usr/bin/infocmp >/dev/null 2>&1; then
  start_in_pane kitty 80 25 TERM=xterm-kitty "${nodisplay[@]}" "$program" --terminal
  wait_pane kitty 'Lapozhatunk?' || fail "xterm-kitty: the help did not show: $(pane_text main:kitty | head -3)"
  tm send-keys -t main:kitty C-c
  finish kitty 130
else
  fail "no terminfo entry for xterm-kitty: run scripts/deps.sh"
fi

# ------------------------------------------------------------- 9999 x 9999
start_in_pane huge 80 25 "stty rows 9999 cols 9999;" "${nodisplay[@]}" "$program" --terminal
wait_pane huge 'Lapozhatunk?' || fail "9999 x 9999: no help within 10 s"
pid=$(program_pid huge)
peak=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2>/dev/null)
[ -n "$peak" ] && [ "$peak" -lt 500000 ] || fail "9999 x 9999: the program took ${peak:-?} kB"
tm send-keys -t main:huge C-c
finish huge 130

# ------------------------------------------------------------- SIGUSR1
start_in_pane usr1 80 25 "${nodisplay[@]}" "$program" --terminal
to_the_run usr1 || stop "usr1: the run did not start"
tm send-keys -t main:usr1 n
sleep 0.5
kill -USR1 "$(program_pid usr1)"
finish usr1 138
[ "$(tm display-message -p -t main:usr1 '#{alternate_on}')" = 0 ] || fail "usr1: the pane is still on the alternate screen"
[ "$(tm display-message -p -t main:usr1 '#{cursor_flag}')" = 1 ] || fail "usr1: the cursor is hidden after the end"

# ------------------------------------------------------------- stopped output
start_in_pane stopped 80 25 "${nodisplay[@]}" "$program" --terminal
to_the_run stopped || stop "stopped: the run did not start"
tm send-keys -t main:stopped c  # the quiet mode
sleep 0.5
pid=$(program_pid stopped)
output_flow stopped off
sleep 3
kill -TERM "$pid"
ended=
for tenth in $(seq 50); do
  kill -0 "$pid" 2>/dev/null || { ended=$tenth; break; }
  sleep 0.1
done
[ -n "$ended" ] || { fail "stopped: SIGTERM did not end the program within 5 s"; kill -KILL "$pid"; }
output_flow stopped on
finish stopped 143

report
