#!/usr/bin/env bash
# The batch runner reads reals as the dialog does: one too small for a double
# is 0 and runs as 0 does; one too large is out of range and refused (exit 2).
source "$(dirname "$0")/batch_helpers.bash" "$@"

# run_reals NAME AH KH G: a short run with these strengths (see run)
run_reals() { run "$1" --N 30 --M 30 --K 200 --Ah "$2" --Kh "$3" --G "$4" --rSz 2 --steps 1000; }

run_reals zeros 0 0 0.5
[ "$code" -eq 0 ] || fail "zeros: exit $code"
run_reals tiny 1e-5000 -1e-4940 0.5
[ "$code" -eq 0 ] || fail "tiny: exit $code: $(cat "$work/tiny.err")"
# The rows from the seed on: the strengths' columns show the doubles read (-0 too).
same_run() { cmp -s <(cut -d, -f8- "$work/$1.out") <(cut -d, -f8- "$work/$2.out"); }
same_run zeros tiny || fail "tiny: not the run of 0"
run_reals signed -0 0.000e999999999999999999 5e-1
[ "$code" -eq 0 ] || fail "signed zero: exit $code: $(cat "$work/signed.err")"
same_run zeros signed || fail "signed zero: not the run of 0"

for huge in 1e4933 1e999 1e999999999999999999 -1e4933; do
  run_reals huge 0 "$huge" 0
  [ "$code" -eq 2 ] || fail "--Kh $huge: exit $code"
  grep -q -- '--Kh' "$work/huge.err" || fail "--Kh $huge: message does not name it"
  [ -s "$work/huge.out" ] && fail "--Kh $huge: wrote to standard output"
done

report batch_reals
