#!/usr/bin/env bash
# The Debian package: its fields and files, the manual pages and the desktop
# entry, the unpacked programs (the interactive one must find its help file
# in the package's data folder), and lintian without errors.
#   package.sh VERSION BUILD_DIR CPACK   packs BUILD_DIR with CPack first
#   package.sh VERSION DEB               checks a package already made
set -u
export LC_ALL=C.UTF-8  # tmux reads the pane's characters as UTF-8
version=${1:?usage: $0 VERSION (BUILD_DIR CPACK | DEB)}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
# Without its tools (scripts/deps.sh --package) the test is skipped, not failed.
for tool in dpkg-deb lintian lexgrog desktop-file-validate tmux; do
  command -v "$tool" >/dev/null || { echo "SKIP: no $tool (scripts/deps.sh --package)"; exit 77; }
done
work=$(mktemp -d)
socket="lemvaris-package-$$"
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

name="lemvaris_${version}_$(dpkg --print-architecture).deb"
if [ $# -eq 3 ]; then
  # Into a folder of our own, so that the build folder gets no package.
  "$3" -G DEB --config "$2/CPackConfig.cmake" -B "$work/pack" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
  deb="$work/pack/$name"
else
  deb=$2
fi
[ -f "$deb" ] || { echo "FAIL: no $name"; exit 1; }
[ "$(basename "$deb")" = "$name" ] || fail "the package is named $(basename "$deb"), not $name"

# Fields: dependencies come from dpkg-shlibdeps, so the libraries linked
# dynamically are there with their versions.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lemvaris ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = education ] || fail "Section: $(field Section)"
[ "$(field Priority)" = optional ] || fail "Priority: $(field Priority)"
field Maintainer | grep -q '^[^<]\+ <[^@>]\+@[^>]\+>$' || fail "Maintainer: $(field Maintainer)"
for lib in libsdl2 libpng16 libgif libchafa libncursesw libc6; do
  field Depends | grep -q "\b$lib[-0-9.]* (>= " || fail "Depends lacks $lib: $(field Depends)"
done
[ "$(field Description | wc -l)" -ge 3 ] || fail "no long description"

# Exactly these files; anything else (a test program, a library, a file
# under /usr/local) is a fault of the install rules.
cat >"$work/expected" <<'LIST'
./usr/bin/lemvaris
./usr/bin/lemvaris-batch
./usr/share/applications/lemvaris.desktop
./usr/share/doc/lemvaris/changelog.gz
./usr/share/doc/lemvaris/copyright
./usr/share/icons/hicolor/192x192/apps/lemvaris.png
./usr/share/icons/hicolor/scalable/apps/lemvaris.svg
./usr/share/lemvaris/kervatin.hlp
./usr/share/lemvaris/kervatin.sum
./usr/share/lintian/overrides/lemvaris
./usr/share/man/man1/lemvaris-batch.1.gz
./usr/share/man/man1/lemvaris.1.gz
LIST
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/files"
diff -u "$work/expected" "$work/files" >"$work/files.diff" ||
  { cat "$work/files.diff"; fail "the package's files differ from the list"; }
dpkg-deb -c "$deb" | awk '$2 != "root/root" {print}' | grep . && fail "files not owned by root"

root="$work/root"
dpkg-deb -x "$deb" "$root"
for f in kervatin.hlp kervatin.sum; do
  cmp -s "$source_dir/data/$f" "$root/usr/share/lemvaris/$f" || fail "$f differs from data/$f"
done
zcat "$root/usr/share/doc/lemvaris/changelog.gz" | head -n 1 |
  grep -q "^lemvaris ($version) " || fail "the changelog's newest entry is not $version"

# Manual pages: a NAME line whatis can read, and every option of --help.
for page in lemvaris lemvaris-batch; do
  whatis=$(lexgrog "$root/usr/share/man/man1/$page.1.gz" 2>&1)
  echo "$whatis" | grep -q ": \"$page - [a-z]" || fail "$page.1's NAME: $whatis"
done
batch="$root/usr/bin/lemvaris-batch"
# The page's option items: the line after each .TP of its OPTIONS section.
listed=$(zcat "$root/usr/share/man/man1/lemvaris-batch.1.gz" |
  awk '/^\.SH/ {in_options = ($2 == "OPTIONS")} in_options && item {print} {item = /^\.TP/}')
options=$("$batch" --help | sed -n 's/^  \(--[a-zA-Z][-a-zA-Z]*\).*/\1/p')
[ "$(echo "$options" | wc -l)" -ge 19 ] || fail "--help lists too few options: $options"
for option in $options; do
  echo "$listed" | grep -q "^\.BI* ${option//-/\\\\-}\b" ||
    fail "lemvaris-batch.1 does not list $option"
done

# The desktop entry starts a program of the package, with the package's icon.
desktop="$root/usr/share/applications/lemvaris.desktop"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$root/usr/bin/${exec_line%% *}" ] || fail "Exec=$exec_line is not in /usr/bin"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in scalable/apps/$icon.svg 192x192/apps/$icon.png; do
  [ -s "$root/usr/share/icons/hicolor/$size" ] || fail "no icon $size for Icon=$icon"
done
grep -qx 'Terminal=true' "$desktop" || fail "the desktop entry does not start a terminal"
desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1 ||
  fail "desktop-file-validate: $(cat "$work/desktop.log")"

# The programs, unpacked, from a folder without the data files.
cd "$work"
[ "$("$batch" --version)" = "lemvaris-batch $version" ] || fail "batch --version"
[ "$("$root/usr/bin/lemvaris" --version)" = "lemvaris $version" ] || fail "lemvaris --version"
"$batch" --N 20 --M 30 --K 150 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3 --steps 5000 \
  >"$work/run.csv" 2>"$work/run.err" || fail "the batch run: $(cat "$work/run.err")"
# A row at T = 0, every 2000 moves and at the end.
t_column=$(head -n 1 "$work/run.csv" | tr ',' '\n' | grep -nx T | cut -d: -f1)
[ -n "$t_column" ] || fail "no T in the table's header: $(head -n 1 "$work/run.csv")"
[ "$(tail -n +2 "$work/run.csv" | cut -d, -f"${t_column:-1}" | tr '\n' ' ')" = "0 2000 4000 5000 " ] ||
  fail "the table's rows: $(cat "$work/run.csv")"
# The help pages come first; their first line is the help file's.
TERM=xterm-256color tmux -L "$socket" -f /dev/null new-session -d -x 100 -y 30 \
  "cd '$work' && '$root/usr/bin/lemvaris' --terminal; sleep 30"
shown=
for _ in $(seq 50); do
  sleep 0.2
  shown=$(tmux -L "$socket" capture-pane -p 2>/dev/null)
  echo "$shown" | grep -q "egy folyadék viselkedése" && break
done
echo "$shown" | grep -q "Lemvaris: egy folyadék viselkedése rácson" ||
  fail "the unpacked program does not show its help file: $shown"

# lintian: errors fail the test; the rest is shown.
lintian --fail-on error --display-level '>=warning' "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian"
cat "$work/lintian.log"

[ $failures -eq 0 ] && echo "package: $name ok"
[ $failures -eq 0 ]
