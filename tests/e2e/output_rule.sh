#!/usr/bin/env bash
# lemvaris-batch's --grid, --png and --gif through the output rule's table
# (tests/output/output_rule_cases.txt), each case in a scratch folder of its
# own: a case with one name is run with each option, one with two names with
# each pair of options. Refused: exit 2, nothing on standard output, the
# message names an option, the folder exactly as it was. Written: exit 0,
# each name a regular file of the new content with its mode (kept, or 0666
# less the umask), everything else as it was, no temporary file.
# Then the link to standard output once more with standard output a pipe.
source "$(dirname "$0")/batch_helpers.bash" "$@"
cases="$(cd "$(dirname "$0")/../output" && pwd)/output_rule_cases.txt"
umask 022
base=(--N 20 --M 20 --K 50 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3 --steps 10)

trim() { local text=$1; text=${text#"${text%%[![:space:]]*}"}; echo "${text%"${text##*[![:space:]]}"}"; }

# set_up DIR STEPS: the table's set-up steps, done in DIR.
set_up() {
  local dir=$1 steps step verb a b
  [ "$2" = - ] && return 0
  IFS=';' read -ra steps <<<"$2"
  for step in "${steps[@]}"; do
    read -r verb a b <<<"$step"
    case $verb in
      file) echo old >"$dir/$a" && chmod "$b" "$dir/$a" ;;
      dir) mkdir "$dir/$a" ;;
      fifo) mkfifo "$dir/$a" ;;
      link) ln -s "$b" "$dir/$a" ;;
      hardlink) ln "$dir/$b" "$dir/$a" ;;
      *) false ;;
    esac || { fail "set-up step '$step' failed"; return 1; }
  done
}

# snapshot DIR [SKIP...]: every entry but SKIP with its kind, mode, link
# target and content.
snapshot() {
  local dir=$1
  shift
  (cd "$dir" && find . -mindepth 1 -printf '%P %y %m %l\n' | sort | while read -r name rest; do
    for skip in "$@"; do [ "$name" = "$skip" ] && continue 2; done
    echo "$name $rest $([ -f "$name" ] && [ ! -L "$name" ] && md5sum <"$name")"
  done)
}

# option_args OPTION NAME: the option with its value (and --gif's cadence).
option_args() {
  case $1 in
    --gif) echo "--gif $2 --frame-every 5" ;;
    *) echo "$1 $2" ;;
  esac
}

checked=0
while IFS='|' read -r title steps names outcome; do
  title=$(trim "$title")
  [ -z "$title" ] || [ "${title:0:1}" = "#" ] && continue
  read -ra names <<<"$names"
  read -ra outcome <<<"$outcome"
  if [ ${#names[@]} -eq 1 ]; then combos=("--grid" "--png" "--gif")
  else combos=("--grid --png" "--png --gif" "--grid --gif"); fi
  for combo in "${combos[@]}"; do
    read -ra options <<<"$combo"
    dir="$work/case$checked"
    checked=$((checked + 1))
    mkdir "$dir"
    set_up "$dir" "$(trim "$steps")" || continue
    before=$(snapshot "$dir")
    args=()
    for i in "${!names[@]}"; do
      # shellcheck disable=SC2207  # the option's words
      args+=($(option_args "${options[$i]}" "${names[$i]}"))
    done
    (cd "$dir" && exec "$batch" "${base[@]}" "${args[@]}") >"$dir.out" 2>"$dir.err"
    code=$?
    what="$title ($combo)"
    if [ "${outcome[0]}" = refused ]; then
      [ "$code" -eq 2 ] || fail "$what: exit $code, expected 2: $(cat "$dir.err")"
      [ -s "$dir.out" ] && fail "$what: wrote to standard output"
      grep -q -- "${options[-1]}\|${options[0]}" "$dir.err" || fail "$what: the message names no option"
      [ "$(snapshot "$dir")" = "$before" ] || fail "$what: the folder changed: $(snapshot "$dir")"
      continue
    fi
    [ "$code" -eq 0 ] || { fail "$what: exit $code: $(cat "$dir.err")"; continue; }
    for i in "${!names[@]}"; do
      name=${names[$i]} mode=${outcome[$((i + 1))]}
      [ "$mode" = umask ] && mode=644
      [ -f "$dir/$name" ] && [ ! -L "$dir/$name" ] || fail "$what: $name is not a regular file"
      [ "$(stat -c %a "$dir/$name")" = "${mode#0}" ] ||
        fail "$what: $name has mode $(stat -c %a "$dir/$name"), expected $mode"
      [ -s "$dir/$name" ] && ! cmp -s "$dir/$name" <(echo old) || fail "$what: $name was not written"
    done
    [ "$(snapshot "$dir" "${names[@]}")" = "$(echo "$before" | grep -v -E "^($(IFS='|'; echo "${names[*]}")) ")" ] ||
      fail "$what: something else changed: $(snapshot "$dir" "${names[@]}")"
  done
done <"$cases"
[ "$checked" -ge 60 ] || fail "only $checked runs: the table was not read"

# A link to standard output when it is a pipe: a FIFO, refused.
dir="$work/pipe"
mkdir "$dir"
ln -s /proc/self/fd/1 "$dir/out"
(cd "$dir" && exec "$batch" "${base[@]}" --gif out --frame-every 5) 2>"$dir.err" | cat >"$dir.out"
code=${PIPESTATUS[0]}
[ "$code" -eq 2 ] && grep -q 'FIFO' "$dir.err" || fail "--gif to a pipe: exit $code: $(cat "$dir.err")"
[ -L "$dir/out" ] && [ "$(ls -A "$dir")" = out ] || fail "--gif to a pipe: the folder changed"

report output_rule
