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
cleanup() {
  tm kill-server 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

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

report() {
  if [ "$failures" -eq 0 ]; then
    echo "all passed"
    exit 0
  fi
  echo "$failures failed"
  exit 1
}
