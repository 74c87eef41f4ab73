#!/usr/bin/env bash
# The real program on the terminal, its window (--window) on SDL's dummy
# driver (no X server needed; the keys come from the terminal).
#
# tee: `lemvaris | tee run.log` is usable as a person would use it: each help
# page with its prompt, and each question, is there before the program waits
# for the key or the answer; afterwards the log holds each page and each
# question once, in order, and the terminal mode is back.
#
# TERM=dumb: the same plain text straight on the terminal.
#
# Ctrl+@ typed in an answer is no key of its own and takes nothing with it:
# the digits after it are the answer.
export LC_ALL=C.UTF-8  # tmux and bash count the pane's characters as UTF-8
source "$(dirname "$0")/tmux_helpers.bash" "$@"
[ -x "$program" ] || { echo "FAIL: $program not built"; exit 1; }
env=SDL_VIDEODRIVER=dummy

# count FILE TEXT: lines of FILE holding TEXT.
count() { if [ -f "$1" ]; then grep -cF -- "$2" "$1"; else echo 0; fi; }

# log_holds FILE TEXT [N]: within 5 s FILE has at least N (1) lines with TEXT.
log_holds() {
  for _ in $(seq 50); do
    [ "$(count "$1" "$2")" -ge "${3:-1}" ] && return 0
    sleep 0.1
  done
  return 1
}

prompts=(
  "A reakciótér függôleges mérete? [1-250]"
  "A reakciótér vizszintes mérete? [1-250]"
  "A részecskék száma? [1- 25]"
  "Adhézió nagysága? [-1..1]"
  "Kohézió nagysága? [-1..1]"
  "A gravitáció nagysága (lefelé lépés valószinüsége) ? [-1..1]"
  "Szomszédsági sugár? [1..10]"
)
answers=(5 5 10 0.5 0.5 0.5 1)
page_ends=("${help_page_ends[@]}")

# ------------------------------------------------------------------ tee
# Each step waits for its text in the log before it types; the first that
# does not come ends the run (the later steps would only repeat it).
tee_run() {
  local page i text at previous=0
  for page in 1 2 3; do
    log_holds "$log" "Lapozhatunk?" "$page" && log_holds "$log" "${page_ends[$((page - 1))]}" ||
      { fail "tee: help page $page and its prompt are not in the log before a key"; return; }
    tm send-keys -t main:tee x
  done
  for i in "${!prompts[@]}"; do
    log_holds "$log" "${prompts[$i]}" || { fail "tee: question $((i + 1)) is not in the log before its answer"; return; }
    tm send-keys -t main:tee -l "${answers[$i]}"
    tm send-keys -t main:tee Enter
  done
  # The run waits for a key in step-by-step mode; v ends it.
  sleep 0.5
  tm send-keys -t main:tee v
  log_holds "$log" "A reakciótér 5 sorában 10 részecske mozgott." && log_holds "$log" "Lapozhatunk?" 4 ||
    { fail "tee: the summary and its prompt are not in the log before a key"; return; }
  tm send-keys -t main:tee x
  finish tee 0
  log_holds "$log" "Itt a vége fuss el véle!!!!" || fail "tee: no closing text"
  [ "$(count "$log" "Lapozhatunk?")" = 4 ] || fail "tee: $(count "$log" "Lapozhatunk?") page prompts in the log, not 4"
  # Each page and each question once, in order.
  for text in "${page_ends[@]}" "${prompts[@]}" "A reakciótér 5 sorában 10 részecske mozgott." "Itt a vége"; do
    [ "$(count "$log" "$text")" = 1 ] || fail "tee: '$text' is $(count "$log" "$text") times in the log"
    at=$(grep -nF -- "$text" "$log" | head -n 1 | cut -d: -f1)
    [ "${at:-0}" -gt "$previous" ] || fail "tee: '$text' is out of order in the log"
    previous=${at:-$previous}
  done
  grep -q $'\e' "$log" && fail "tee: escape sequences in the log"
}
log="$work/run.log"
start_program tee "--window | tee '$log'"
tee_run

# ----------------------------------------------------------- TERM=dumb
# A terminal that cannot place the cursor gets the same plain text, and it
# too is there before the key.
env="SDL_VIDEODRIVER=dummy TERM=dumb" start_program dumb --window
pane_until dumb "${page_ends[0]}" && pane_until dumb "Lapozhatunk?" ||
  fail "dumb: the first help page and its prompt are not shown before a key"
tm send-keys -t main:dumb C-c
finish dumb 130

# ---------------------------------------------------------------- Ctrl+@
start_program nul --window
page_help nul || fail "nul: the help pages are not shown"
pane_until nul "${prompts[0]}" || fail "nul: the first question is not shown"
tm send-keys -t main:nul C-@ 1 2 Enter
pane_until nul "${prompts[1]}" || fail "nul: the second question did not follow"
pane_text main:nul | grep -qF "▓ ${prompts[0]}12 " || fail "nul: the first answer is not 12: $(pane_text main:nul | sed -n 3p)"
tm send-keys -t main:nul C-c
finish nul 130
[ "$(tm display-message -p -t main:nul '#{alternate_on}')" = 0 ] || fail "nul: the pane is still on the alternate screen"

report
