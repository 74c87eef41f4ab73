#!/usr/bin/env bash
# Every way out puts the terminal back in the mode it had (stty -g before
# equals after): the normal end, SIGINT (Ctrl-C), SIGTERM and SIGHUP while
# waiting for keys, SIGTERM while busy elsewhere (the last resort), and a
# runtime error while typing an answer in key mode.
source "$(dirname "$0")/tmux_helpers.bash" "$@"

start_probe normal "$probe" normal.log keys
tm send-keys -t main:normal q
finish normal 0

start_probe interrupt "$probe" interrupt.log prompt
sleep 0.2
in_key_mode main:interrupt || fail "interrupt: the terminal is not in key mode while waiting"
tm send-keys -t main:interrupt C-c
finish interrupt 130

start_probe terminate "$probe" terminate.log keys
sleep 0.2
in_key_mode main:terminate || fail "terminate: the terminal is not in key mode while waiting"
kill -TERM "$(probe_pid terminate)"
finish terminate 143
[ "$(tm display-message -p -t main:terminate '#{alternate_on}')" = 0 ] ||
  fail "terminate: the pane is still on the alternate screen"

start_probe hangup "$probe" hangup.log keys
kill -HUP "$(probe_pid hangup)"
finish hangup 129

# A program that stops looking at its keys still gives the terminal back.
start_probe busy "$probe" busy.log busy
sleep 0.2
in_key_mode main:busy || fail "busy: the terminal is not in key mode"
kill -TERM "$(probe_pid busy)"
finish busy 143
# The last resort also takes the screen out of full-screen mode.
[ "$(tm display-message -p -t main:busy '#{alternate_on}')" = 0 ] ||
  fail "busy: the pane is still on the alternate screen"

start_probe malformed "$probe" malformed.log number
sleep 0.2
in_key_mode main:malformed || fail "malformed: the terminal is not in key mode while typing"
tm send-keys -t main:malformed 1 2 a BSpace BSpace x Enter
sleep 0.2
tm send-keys -t main:malformed 3 Enter
finish malformed 0
pane_text main:malformed | grep -q '^ *Szam? 1x$' || fail "malformed: the typed answer is not on the screen"
pane_text main:malformed | grep -q '^ *Szam? 3$' || fail "malformed: the question is not asked again"
pane_text main:malformed | grep -q 'Runtime error' && fail "malformed: a runtime error"

start_probe number "$probe" number.log number
tm send-keys -t main:number ' 4' 2 Enter
finish number 0
pane_text main:number | grep -q '^ *got 42$' || fail "number: the answer was not read"

# A cursor key that turns a page leaves nothing in the answer typed next.
start_probe pgdn "$probe" pgdn.log promptnumber
sleep 0.3
tm send-keys -t main:pgdn NPage
sleep 0.3
tm send-keys -t main:pgdn 2 0 Enter
finish pgdn 0
pane_text main:pgdn | grep -q '^ *Szam? 20$' || fail "pgdn: the answer line is not 'Szam? 20'"
pane_text main:pgdn | grep -q '^ *got 20$' || fail "pgdn: the answer was not read as 20"

report
