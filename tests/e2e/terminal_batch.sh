#!/usr/bin/env bash
# Without any terminal (no controlling terminal, pipes all round): answers
# come from standard input, the screen becomes a plain transcript, and what
# cannot be read ends the program with its runtime error instead of a hang.
set -u
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
probe="$build/tests/terminal_probe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# run NAME MODE INPUT EXPECTED_CODE EXPECTED_LAST_LINE
run() {
  local out="$work/$1.out" code
  printf '%b' "$3" | timeout 10 setsid "$probe" "$work/$1.log" "$2" >"$out" 2>"$work/$1.err"
  code=$?
  [ "$code" = "$4" ] || fail "$1: exit code $code, expected $4"
  [ "$(tail -n 1 "$out")" = "$5" ] || fail "$1: last line '$(tail -n 1 "$out")', expected '$5'"
  grep -q $'\e' "$out" && fail "$1: escape sequences in the transcript"
}

run answer number '\n  -42 rest\n' 0 '  got -42'
run malformed number '12abc\n7\n' 0 '  got 7'
run ended number '\n\n' 100 '  Runtime error 100: elfogyott a bemenet'
run nokeys keys '' 100 '  Runtime error 100: nincs billentyűzet'
grep -qx '  Szam?' "$work/answer.out" || fail "answer: the empty line is not echoed after the prompt"
grep -qx '    -42 rest' "$work/answer.out" || fail "answer: the answer is not echoed"

[ "$failures" -eq 0 ] && echo "all passed" && exit 0
echo "$failures failed"
exit 1
