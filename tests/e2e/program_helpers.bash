# What the tests of the whole program under tmux share (sourced after
# tmux_helpers.bash): reading the 80 x 25 pane, paging the help and
# answering the seven questions. Panes are windows of the session "main".

# start_in_pane NAME COLUMNS ROWS COMMAND...: a fresh pane of that size (a
# session of its own for each size) runs the command in $work/empty,
# recording stty -g before and after it and its exit code (also shown as
# EXIT=code).
start_in_pane() {
  local name=$1 columns=$2 rows=$3
  shift 3
  mkdir -p "$work/empty"
  cat >"$work/$name.run" <<SCRIPT
cd "$work/empty"
stty -g > "$work/$name.before"
$*
rc=\$?
echo "EXIT=\$rc"
echo \$rc > "$work/$name.rc"
stty -g > "$work/$name.after"
sleep 60
SCRIPT
  local session="main"
  [ "$columns x $rows" = "80 x 25" ] || session="s${columns}x$rows"
  if ! tm has-session -t "$session" 2>/dev/null; then
    tm -f /dev/null new-session -d -x "$columns" -y "$rows" -s "$session" -n "$name" \
      "bash --norc --noprofile $work/$name.run"
  else
    tm new-window -t "$session" -n "$name" "bash --norc --noprofile $work/$name.run"
  fi
}

# Row ROW of the pane, and the pane's rows 1 to 24 (all but the prompt line).
pane_row() { pane_text "$1" | sed -n "$2p"; }
pane_body() { pane_text "$1" | sed -n 1,24p; }

# wait_pane NAME PATTERN [GREP_OPTION]: until a row of the pane matches
# (10 s).
wait_pane() {
  for _ in $(seq 100); do
    # shellcheck disable=SC2086  # no option: no word
    pane_text "$1" | grep -q ${3:-} -- "$2" && return 0
    sleep 0.1
  done
  return 1
}

# text_at NAME ROW COLUMN TEXT: TEXT stands on the pane from that cell on.
text_at() {
  local row
  row=$(pane_row "$1" "$2")
  [ "${row:$(($3 - 1)):${#4}}" = "$4" ] ||
    fail "$1: row $2 from column $3 is '${row:$(($3 - 1)):${#4}}', expected '$4'"
}

# page_until NAME PATTERN: a key at each page prompt until PATTERN shows,
# each only once the previous page is gone, so that none is left over.
page_until() {
  local before
  for _ in $(seq 10); do
    wait_pane "$1" "$2\|Lapozhatunk?" || return 1
    pane_text "$1" | grep -q -- "$2" && return 0
    before=$(pane_body "$1")
    tm send-keys -t "main:$1" x
    for _ in $(seq 100); do
      [ "$(pane_body "$1")" != "$before" ] && break
      sleep 0.1
    done
  done
  return 1
}

# answer NAME ROW PROMPT ANSWER: once the prompt stands at column 3 of ROW
# (10 s), type the answer and Enter.
answer() {
  local row
  for _ in $(seq 100); do
    row=$(pane_row "$1" "$2")
    [ "${row:2:${#3}}" = "$3" ] && break
    sleep 0.1
  done
  [ "${row:2:${#3}}" = "$3" ] || return 1
  tm send-keys -t "main:$1" -l "$4"
  tm send-keys -t "main:$1" Enter
}

prompts=(
  "A reakciótér függôleges mérete? [1-250]"
  "A reakciótér vizszintes mérete? [1-250]"
  "A részecskék száma? [1-10000]"
  "Adhézió nagysága? [-1..1]"
  "Kohézió nagysága? [-1..1]"
  "A gravitáció nagysága (lefelé lépés valószinüsége) ? [-1..1]"
  "Szomszédsági sugár? [1..10]"
)
# dialog NAME ANSWER...: the seven answers, each after its prompt (N = M =
# 100 gives the third prompt's bound 10000). An answer "typo|answer" types
# the typo first: the same prompt must come again on the next row.
dialog() {
  local name=$1 i row=3 typed
  shift
  local given=("$@")
  for i in "${!prompts[@]}"; do
    IFS='|' read -ra typed <<<"${given[$i]}"
    for one in "${typed[@]}"; do
      answer "$name" "$row" "${prompts[$i]}" "$one" || return 1
      row=$((row + 1))
    done
  done
}
