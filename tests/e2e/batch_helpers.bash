# What the batch runner's tests share (sourced with the build folder as its
# argument): the runner's path, a work folder removed at the end, failures
# counted, and the closing report.
set -uo pipefail
batch="$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)/tools/lemvaris-batch"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run NAME ARGS...: stdout to $work/NAME.out, stderr to $work/NAME.err, code in $code
run() {
  local name=$1; shift
  "$batch" "$@" >"$work/$name.out" 2>"$work/$name.err"
  code=$?
}

# report NAME: the verdict, and the script's exit code.
report() {
  if [ "$failures" -eq 0 ]; then echo "$1: all checks passed"; exit 0; fi
  echo "$1: $failures check(s) failed"
  exit 1
}
