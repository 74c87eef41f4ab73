#!/usr/bin/env bash
# The batch runner as a person uses it: the table and stats, the grid file,
# refused parameters, reactors that can never move again, and runs saved,
# continued and started from a grid of one's own.
source "$(dirname "$0")/batch_helpers.bash" "$@"

base=(--N 100 --M 100 --K 3000 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3)
version=$("$batch" --version | sed -n 's/^lemvaris-batch \([0-9][0-9.]*\)$/\1/p')
[ -n "$version" ] || fail "--version: $("$batch" --version 2>&1)"

# Rows every 2000 steps and at the final T, each saying what made it; the
# stats line on stderr.
run csv "${base[@]}" --steps 4500 --grid "$work/grid.txt"
[ "$code" -eq 0 ] || fail "normal run exit $code"
[ "$(cut -d, -f9 "$work/csv.out" | tr '\n' ' ')" = "T 0 2000 4000 4500 " ] ||
  fail "CSV rows: $(tr '\n' ' ' <"$work/csv.out")"
[ "$(head -n 1 "$work/csv.out")" = \
  "N,M,K,Ah,Kh,G,rSz,seed,T,bottom,wall_contacts,interface,mean_row,frozen_at,stopped,steps,sample_every,version" ] ||
  fail "CSV header"
sample="^100,100,3000,0.5,0.8,0.2,3,0,[0-9]+,[0-9]+,[0-9]+,[0-9]+,[0-9.]+,,(steps)?,4500,2000,$version\$"
[ "$(grep -Evc "$sample" <(tail -n +2 "$work/csv.out"))" -eq 0 ] || fail "CSV malformed line"
grep -Eq '^moves=4500 attempts=[0-9]+ seconds=[0-9.]+ moves_per_second=[0-9]+$' "$work/csv.err" ||
  fail "stats line: $(cat "$work/csv.err")"
[ "$(wc -l <"$work/csv.err")" -eq 1 ] || fail "stderr has more than the stats line"

# The grid: N+2 lines of M+2 digits, walls round the frame, K particles, and
# the last sample is the particle count of row N.
[ "$(wc -l <"$work/grid.txt")" -eq 102 ] || fail "grid lines"
[ "$(awk 'length($0) != 102' "$work/grid.txt" | wc -l)" -eq 0 ] || fail "grid line length"
[ "$(grep -Evc '^[012]+$' "$work/grid.txt")" -eq 0 ] || fail "grid digits"
[ "$(sed -n '1p;102p' "$work/grid.txt" | tr -d '0\n' | wc -c)" -eq 0 ] || fail "top or bottom wall"
[ "$(sed -n '2,101p' "$work/grid.txt" | grep -Evc '^0[12]{100}0$')" -eq 0 ] || fail "side walls"
[ "$(tr -cd '2' <"$work/grid.txt" | wc -c)" -eq 3000 ] || fail "particle count"
# The last sample's measures, counted from the grid file by awk.
measures=$(awk -F '' '
  { for (c = 1; c <= NF; c++) g[NR - 1, c - 1] = $c; rows = NR; cols = NF }
  END {
    N = rows - 2; M = cols - 2
    for (r = 1; r <= N; r++) for (c = 1; c <= M; c++) {
      if (g[r, c] != 2) continue
      k++; rowsum += r; if (r == N) bottom++
      touch = 0
      for (dr = -1; dr <= 1; dr++) for (dc = -1; dc <= 1; dc++) if (g[r + dr, c + dc] == 0) touch = 1
      walls += touch
      if (c < M && g[r, c + 1] == 1) pairs++
      if (c > 1 && g[r, c - 1] == 1) pairs++
      if (r < N && g[r + 1, c] == 1) pairs++
      if (r > 1 && g[r - 1, c] == 1) pairs++
    }
    printf "%d %d %d %.17g", bottom, walls, pairs, rowsum / k
  }' "$work/grid.txt")
# The row's real reads back to the very double the grid gives.
tail -n 1 "$work/csv.out" | awk -F, -v m="$measures" \
  '{ split(m, g, " "); exit !($9 == 4500 && $10 == g[1] && $11 == g[2] && $12 == g[3] && $13 == g[4] + 0) }' ||
  fail "last row $(tail -n 1 "$work/csv.out") is not the grid's 4500 $measures"

# The same parameters give the same run; seed 0 is the run without a seed.
run again "${base[@]}" --steps 4500 --seed 0
cmp -s "$work/csv.out" "$work/again.out" || fail "second run differs"

# No steps: the set-up only; a multiple of 2000 gives no extra last line.
run none "${base[@]}" --steps 0
[ "$code" -eq 0 ] && [ "$(cut -d, -f1-13 "$work/none.out" | tr '\n' ' ')" = \
  "$(sed -n 1,2p "$work/csv.out" | cut -d, -f1-13 | tr '\n' ' ')" ] ||
  fail "steps 0: $(tr '\n' ' ' <"$work/none.out")"
run even "${base[@]}" --steps 2000 --sample-every 500
[ "$(cut -d, -f9,17 "$work/even.out" | tr '\n' ' ')" = \
  "T,sample_every 0,500 500,500 1000,500 1500,500 2000,500 " ] || fail "--sample-every 500 rows"

# Refusals: exit 2, a message naming the option, nothing on stdout, no file.
# refused NAME ARGS...: NAME is the option the message must name.
refused() {
  local what=$1; shift
  rm -f "$work/refused.txt"
  run refused "$@" --grid "$work/refused.txt"
  [ "$code" -eq 2 ] || fail "$what: exit $code"
  [ -s "$work/refused.out" ] && fail "$what: wrote to stdout"
  [ -e "$work/refused.txt" ] && fail "$what: created the grid file"
  grep -q -- "$what" "$work/refused.err" || fail "$what: message does not name it: $(cat "$work/refused.err")"
  [ "$(wc -l <"$work/refused.err")" -eq 1 ] || fail "$what: more than one line on stderr"
}
refused --N --N 0 --M 100 --K 3000 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3 --steps 10
refused --K --N 250 --M 250 --K 40000 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3 --steps 10
refused --K --N 10 --M 10 --K 101 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3 --steps 10
refused --M --M 251 --N 10 --K 1 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3 --steps 10
refused --Ah --Ah 1.0001 --N 10 --M 10 --K 1 --Kh 0.8 --G 0.2 --rSz 3 --steps 10
refused --G --G -1.0001 --N 10 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --rSz 3 --steps 10
refused --Kh --Kh abc --N 10 --M 10 --K 1 --Ah 0.8 --G 0.2 --rSz 3 --steps 10
# Numbers are read as the dialog reads them: no hexadecimal, no blanks.
refused --Ah --Ah 0x1p-1 --N 10 --M 10 --K 1 --Kh 0.8 --G 0.2 --rSz 3 --steps 10
refused --Kh --Kh " 0.5" --N 10 --M 10 --K 1 --Ah 0.8 --G 0.2 --rSz 3 --steps 10
refused --N --N 5x --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --rSz 3 --steps 10
refused --rSz --rSz 11 --N 10 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --steps 10
refused --rSz --rSz 0 --N 10 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --steps 10
refused --steps --steps -1 --N 10 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --rSz 1
refused --N --N 65537 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --rSz 1 --steps 1
refused --steps --steps --N 10 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --rSz 1
refused --G --G --N 10 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --rSz 1 --steps 1
refused --rSz --N 10 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --steps 1
refused --N --N 5 --N 6 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --rSz 1 --steps 1
refused --seed --seed -1 --N 10 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --rSz 1 --steps 1
refused --seed --seed 4294967296 --N 10 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --rSz 1 --steps 1
refused --seed --seed abc --N 10 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --rSz 1 --steps 1
refused --seed --seed 1e3 --N 10 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --rSz 1 --steps 1
refused --Gravity --Gravity 1 --N 10 --M 10 --K 1 --Ah 0.8 --Kh 0.2 --G 0.2 --rSz 1 --steps 1
# A comma separates list items on a command line, never decimals.
refused "write 0.1" --Ah 0,1 --N 10 --M 10 --K 1 --Kh 0.8 --G 0.2 --rSz 1 --steps 1
refused --sample-every --sample-every 0 --N 10 --M 10 --K 1 --Ah 0 --Kh 0.8 --G 0.2 --rSz 1 --steps 1
refused --N --load-state "$work/none.out" --N 10 --steps 1
# Negative values either way.
run negative --N 10 --M 10 --K 10 --Ah 0.5 --Kh=-0.25 --G -0.3 --rSz=2 --steps 10
[ "$code" -eq 0 ] && [ "$(sed -n 2p "$work/negative.out" | cut -d, -f4-7)" = "0.5,-0.25,-0.3,2" ] ||
  fail "negative values: $(cat "$work/negative.err")"

# The bounds themselves are accepted.
run bounds --N 250 --M 250 --K 32767 --Ah -1 --Kh 1 --G -1 --rSz 10 --steps 10 --seed 4294967295
[ "$code" -eq 0 ] || fail "largest values refused: $(cat "$work/bounds.err")"
run small --N 1 --M 1 --K 1 --Ah 1 --Kh -1 --G 1 --rSz 1 --steps 0 --seed 0
[ "$code" -eq 0 ] || fail "smallest values refused: $(cat "$work/small.err")"

# Reactors that can never move: exit 3 with the T reached, CSV up to there.
run full --N 3 --M 3 --K 9 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3 --steps 100 --grid "$work/full.txt"
[ "$code" -eq 3 ] || fail "full reactor: exit $code"
grep -qx 'frozen at T=0' "$work/full.err" || fail "full reactor message: $(cat "$work/full.err")"
[ "$(tail -n +2 "$work/full.out")" = "3,3,9,0.5,0.8,0.2,3,0,0,3,8,0,2,0,frozen,100,2000,$version" ] ||
  fail "full reactor CSV: $(tr '\n' ' ' <"$work/full.out")"
# Measures asked by name: columns after mean_row, in the order asked.
run clusters --N 3 --M 3 --K 9 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3 --steps 1 \
  --measures largest_cluster,clusters
[ "$(cut -d, -f13-16 "$work/clusters.out" | tr '\n' ' ')" = \
  "mean_row,largest_cluster,clusters,frozen_at 2,9,1,0 " ] ||
  fail "--measures: $(tr '\n' ' ' <"$work/clusters.out")"
[ "$(tr '\n' ' ' <"$work/full.txt")" = "00000 02220 02220 02220 00000 " ] || fail "full reactor grid"
run still --N 100 --M 100 --K 3000 --Ah 0 --Kh 0 --G 0 --rSz 3 --steps 100000
[ "$code" -eq 3 ] || fail "no forces: exit $code"
grep -qx 'frozen at T=0' "$work/still.err" || fail "no forces message: $(cat "$work/still.err")"
grep -Eq '^moves=0 attempts=[0-9]+ ' "$work/still.err" || fail "no forces stats"
run sink --N 30 --M 20 --K 100 --Ah 0 --Kh 0 --G 0.5 --rSz 2 --steps 100000
[ "$code" -eq 3 ] || fail "settling layer: exit $code"
T=$(sed -n 's/^frozen at T=\([0-9]*\)$/\1/p' "$work/sink.err")
[ -n "$T" ] && [ "$T" -gt 0 ] && [ "$(tail -n 1 "$work/sink.out" | cut -d, -f9,14)" = "$T,$T" ] ||
  fail "settling layer: T=$T, last CSV line $(tail -n 1 "$work/sink.out")"
# frozen_at only on the last row: the rows before it did not know.
[ "$(tail -n +2 "$work/sink.out" | head -n -1 | cut -d, -f14 | sort -u)" = "" ] ||
  fail "settling layer: frozen_at before the last row"

# Saved at its end and continued (its first row the saved T's): the rows of
# one unbroken run.
run first "${base[@]}" --seed 7 --steps 3000 --save-state "$work/state"
run rest --load-state "$work/state" --steps 2500 --save-state "$work/state"
run whole "${base[@]}" --seed 7 --steps 5500
[ "$code" -eq 0 ] && [ "$(cut -d, -f1-13 "$work/rest.out" | tail -n +3)" = \
  "$(cut -d, -f1-13 "$work/whole.out" | awk -F, 'NR > 1 && $9 > 3000')" ] ||
  fail "continued run: $(cat "$work/rest.err")"
run again --load-state "$work/state" --steps 0 --grid "$work/after.txt"
run wholegrid "${base[@]}" --seed 7 --steps 5500 --grid "$work/whole.txt"
cmp -s "$work/after.txt" "$work/whole.txt" || fail "the state saved over its own file is not T=5500"
head -c 100 "$work/state" >"$work/cut"
refused "--load-state \"$work/cut\": cut short" --load-state "$work/cut" --steps 1

# From a grid of one's own: N, M and K come from it; a bad one is refused at
# its line and column.
printf '000\n020\n010\n000\n' >"$work/drop.txt"
run drop --initial "$work/drop.txt" --Ah 0 --Kh 0 --G 1 --rSz 1 --steps 5 --grid "$work/dropped.txt"
[ "$code" -eq 3 ] && [ "$(sed -n 2p "$work/drop.out" | cut -d, -f1-3)" = "2,1,1" ] &&
  [ "$(tr '\n' ' ' <"$work/dropped.txt")" = "000 010 020 000 " ] ||
  fail "--initial: exit $code, $(cat "$work/drop.err") $(tr '\n' ' ' <"$work/dropped.txt")"
printf '00000\n01210\n0110\n00000\n' >"$work/ragged.txt"
refused "line 3, column 5" --initial "$work/ragged.txt" --Ah 0 --Kh 0 --G 1 --rSz 1 --steps 5

# --help: a line an option with its range or meaning.
"$batch" --help >"$work/help.out"
[ $? -eq 0 ] && grep -q -- '--rSz .*from 1 to 10' "$work/help.out" &&
  grep -q -- '--load-state' "$work/help.out" && [ "$(tail -c 1 "$work/help.out" | od -An -c | tr -d ' ')" = '\n' ] ||
  fail "--help: $(cat "$work/help.out")"

report batch
