#!/usr/bin/env bash
# The X server goes away under the real program, in every phase: the help
# page, the dialog, the run in each mode, the summary. Either the server is
# killed, or it drops the program's connection (xkill on the window). Each
# time the program must end with exit code 5 and its message on the screen,
# the terminal mode as it was (stty -g), the pane back on the normal screen
# and the last console screen readable there. Without any display it ends
# with exit code 4, the terminal untouched.
# Usage: display_lost.sh BUILD_DIR
export LC_ALL=C.UTF-8  # tmux and bash count the pane's characters as UTF-8
source "$(dirname "$0")/tmux_helpers.bash" "$@"
source "$(dirname "$0")/xvfb_helpers.bash"
[ -x "$program" ] || { echo "FAIL: $program not built"; exit 1; }
for tool in Xvfb tmux xdotool xkill; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/deps.sh --test)"; exit 1; }
done

message="Lemvaris: megszakadt a kapcsolat a grafikus képernyővel (X szerver)."
time_limit 180

prompts=(
  "A reakciótér függôleges mérete? [1-250]"
  "A reakciótér vizszintes mérete? [1-250]"
  "A részecskék száma? [1-400]"
  "Adhézió nagysága? [-1..1]"
  "Kohézió nagysága? [-1..1]"
  "A gravitáció nagysága (lefelé lépés valószinüsége) ? [-1..1]"
  "Szomszédsági sugár? [1..10]"
)
answers=(20 20 100 0.5 0.5 0.5 1)

# begin NAME: a fresh X server and the program in a fresh pane on it.
begin() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=
  mkdir -p "$work/$1.x"
  start_xvfb "$work/$1.x" || { fail "$1: Xvfb did not start"; return 1; }
  env="DISPLAY=$DISPLAY" start_program "$1"
}

# to_questions NAME: through the help pages to the first question.
to_questions() {
  page_help "$1" && pane_until "$1" "${prompts[0]}" || { fail "$1: the first question did not come"; return 1; }
}

# to_run NAME: all seven answers, then the window's id in $wid.
to_run() {
  local i
  to_questions "$1" || return 1
  for i in "${!prompts[@]}"; do
    pane_until "$1" "${prompts[$i]}" || { fail "$1: question $((i + 1)) did not come"; return 1; }
    tm send-keys -t "main:$1" -l "${answers[$i]}"
    tm send-keys -t "main:$1" Enter
  done
  wid=$(timeout 10 xdotool search --sync --onlyvisible --class '^lemvaris$' | head -n1)
  [ -n "$wid" ] || { fail "$1: no window after the questions"; return 1; }
}

kill_server() {
  kill "$xvfb_pid"
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=
}
# The window's id is looked up again for each try: one found a moment ago
# may be gone (BadValue) when the program is slow, as under the sanitizers.
drop_connection() {
  local try
  for try in 1 2 3; do
    [ "$try" -gt 1 ] && wid=$(timeout 10 xdotool search --onlyvisible --class '^lemvaris$' 2>/dev/null | head -n1)
    [ -n "$wid" ] && timeout 10 xkill -id "$wid" >/dev/null 2>&1 && return 0
    sleep 0.5
  done
  fail "xkill could not drop the connection"
}

# ended NAME TEXT: exit code 5, the terminal as it was, the normal screen
# with the last console screen (holding TEXT) and the message on it.
ended() {
  finish "$1" 5
  [ "$(tm display-message -p -t "main:$1" '#{alternate_on}')" = 0 ] || fail "$1: the pane is still on the alternate screen"
  pane_text "main:$1" | grep -qF -- "$message" || fail "$1: the message is not on the screen"
  pane_text "main:$1" | grep -qF -- "$2" || fail "$1: the last screen ('$2') is not on the screen"
  pane_text "main:$1" | grep -q 'X connection' && fail "$1: Xlib's own message is on the screen"
}

begin help && pane_until help "${help_page_ends[0]}" && pane_until help "Lapozhatunk?" &&
  { kill_server; ended help "${help_page_ends[0]}"; }

begin dialog && to_questions dialog && { kill_server; ended dialog "${prompts[0]}"; }

begin stepwise && to_run stepwise && { drop_connection; ended stepwise "${prompts[6]}"; }

begin normal && to_run normal && {
  tm send-keys -t main:normal n
  sleep 0.5
  drop_connection
  ended normal "${prompts[6]}"
}

begin quiet && to_run quiet && {
  tm send-keys -t main:quiet c
  sleep 0.5
  kill_server
  ended quiet "${prompts[6]}"
}

begin summary && to_run summary && {
  tm send-keys -t main:summary v
  pane_until summary "A reakciótér 20 sorában 100 részecske mozgott." || fail "summary: no summary after v"
  drop_connection  # the window is hidden now, its connection still open
  ended summary "A reakciótér 20 sorában 100 részecske mozgott."
}

# No display at all and the window asked for: refused before the terminal is touched.
env="DISPLAY= WAYLAND_DISPLAY=" start_program nodisplay --window
finish nodisplay 4
pane_text main:nodisplay | grep -qF "a grafikus ablak nem nyitható meg" || fail "nodisplay: no message"

report
