# Helpers for the terminal tests under tmux (sourced by terminal_*.sh).
# Each test runs the probe in a pane of a private tmux server; the pane's
# script records `stty -g` before and after, and the probe's exit code.
set -u
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
probe="$build/tests/terminal_probe"
socket="lemvaris-text-$$"
work=$(mktemp -d)
failures=0

tm() { timeout 10 tmux -L "$socket" "$@"; }
xvfb_pid=      # a virtual X server a test started (xvfb_helpers.bash)
watchdog_pid=  # time_limit's timer
cleanup() {
  tm kill-server 2>/dev/null
  [ -n "$watchdog_pid" ] && kill "$watchdog_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# time_limit SECONDS: whatever hangs, the script fails and ends after SECONDS.
time_limit() {
  trap 'echo "FAIL: the test took too long"; exit 1' TERM
  (
    trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
    sleep "$1" &
    sleeper=$!
    wait "$sleeper" && kill -TERM $$
  ) </dev/null >/dev/null 2>&1 &
  watchdog_pid=$!
}

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# wait_for FILE PATTERN: until FILE holds a line matching PATTERN (10 s).
wait_for() {
  for _ in $(seq 100); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# start_probe [-small] NAME COMMAND...: a fresh pane (100 x 30, or 80 x 24 in
# a session of its own) running the command line; the probe logs to
# $work/NAME.log.
start_probe() {
  local session=main size=(-x 100 -y 30)
  if [ "$1" = -small ]; then
    session=small size=(-x 80 -y 24)
    shift
  fi
  local name=$1
  shift
  cat >"$work/$name.run" <<SCRIPT
cd "$work"
stty -g > $name.before
$* ; echo \$? > $name.rc
stty -g > $name.after
sleep 60
SCRIPT
  if ! tm has-session -t "$session" 2>/dev/null; then
    tm -f /dev/null new-session -d "${size[@]}" -s "$session" -n "$name" "bash --norc --noprofile $work/$name.run"
  else
    tm new-window -t "$session" -n "$name" "bash --norc --noprofile $work/$name.run"
  fi
  wait_for "$work/$name.log" '^ready' || fail "$name: the probe did not start"
}

# finish NAME CODE: the probe ended with CODE and the terminal mode is back.
finish() {
  local name=$1 code=$2
  for _ in $(seq 100); do [ -s "$work/$name.after" ] && break; sleep 0.1; done
  [ -s "$work/$name.after" ] || { fail "$name: the probe did not end"; return; }
  [ "$(cat "$work/$name.rc")" = "$code" ] || fail "$name: exit code $(cat "$work/$name.rc"), expected $code"
  cmp -s "$work/$name.before" "$work/$name.after" || fail "$name: stty -g differs after the exit"
}

# in_key_mode SESSION:NAME: the pane's terminal is not in the mode it started in.
in_key_mode() {
  local tty
  tty=$(tm display-message -p -t "$1" '#{pane_tty}')
  ! [ "$(stty -g -F "$tty")" = "$(cat "$work/${1#*:}.before")" ]
}

probe_pid() { sed -n 's/^pid //p' "$work/$1.log"; }
pane_text() { tm capture-pane -p -t "$1"; }
# The key codes the probe logged, on one line.
logged_keys() { grep -E '^[0-9]+$' "$work/$1.log" | tr '\n' ' '; }

# ------------------------------------------------------ the real program
program="$build/src/lemvaris"
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# start_program NAME [ARGS...]: a fresh 80 x 25 pane runs the program with
# the variables in $env and the rest of the command line ARGS (a pipe, say),
# in an empty folder (it finds its files next to itself), recording stty -g
# before and after and its exit code, for finish.
env=
start_program() {
  local name=$1
  shift
  mkdir -p "$work/empty"
  cat >"$work/$name.run" <<SCRIPT
cd "$work/empty"
stty -g > "$work/$name.before"
$env "$program" $*
echo \${PIPESTATUS[0]} > "$work/$name.rc"
stty -g > "$work/$name.after"
sleep 60
SCRIPT
  if ! tm has-session -t main 2>/dev/null; then
    tm -f /dev/null new-session -d -x 80 -y 25 -s main -n "$name" "bash --norc --noprofile $work/$name.run"
  else
    tm new-window -t main -n "$name" "bash --norc --noprofile $work/$name.run"
  fi
}

# pane_until NAME TEXT: within 5 s a row of the pane main:NAME holds TEXT.
pane_until() {
  for _ in $(seq 50); do
    pane_text "main:$1" | grep -qF -- "$2" && return 0
    sleep 0.1
  done
  return 1
}

# The last line with text on each of the help file's pages (19 lines a page).
help_page_ends=()
while IFS= read -r line; do help_page_ends+=("$line"); done < <(
  iconv -f CP852 -t UTF-8 "$top/data/kervatin.hlp" |
    awk 'NF { last = $0 } NR % 19 == 0 { print last; last = "" } END { if (NR % 19) print last }')

# page_help NAME: a key at each help page once its last line shows.
page_help() {
  local end
  for end in "${help_page_ends[@]}"; do
    pane_until "$1" "$end" || return 1
    tm send-keys -t "main:$1" x
  done
}

report() {
  if [ "$failures" -eq 0 ]; then
    echo "all passed"
    exit 0
  fi
  echo "$failures failed"
  exit 1
}
