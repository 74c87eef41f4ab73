#!/usr/bin/env bash
# Fetches a library kept in the repository again, at the version and with the
# integrity its VERSION file names, with npm, and puts its files beside that
# VERSION: uplot (the lesson page's chart), qrcode-generator (the worksheets'
# and the lesson page's QR codes) or axe-core (the page tests' accessibility
# checker, never part of the pages). The build and the tests use the files
# kept there; this is only for checking them or moving to another version
# (then edit VERSION first).
# Usage: scripts/vendor.sh uplot|qrcode-generator|axe-core
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
name=${1:-}
case "$name" in
  uplot) folder="$top/web/vendor/uplot"
         files=(dist/uPlot.iife.min.js dist/uPlot.min.css LICENSE) ;;
  qrcode-generator) folder="$top/web/vendor/qrcode-generator"
         files=(dist/qrcode.js) ;;
  axe-core) folder="$top/tests/web/vendor/axe-core"
         files=(axe.min.js LICENSE LICENSE-3RD-PARTY.txt) ;;
  *) echo "usage: $0 uplot|qrcode-generator|axe-core" >&2; exit 2 ;;
esac
version=$(sed -n '1s/^[^ ]* \([0-9.]*\) .*/\1/p' "$folder/VERSION")
integrity=$(grep -o 'sha512-[A-Za-z0-9+/=]*' "$folder/VERSION")
[ -n "$version" ] && [ -n "$integrity" ] ||
  { echo "$folder/VERSION names no version or integrity of $name" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "$name@$version" >/dev/null)
tarball="$work/$name-$version.tgz"
got="sha512-$(openssl dgst -sha512 -binary "$tarball" | base64 -w0)"
[ "$got" = "$integrity" ] || { echo "$name $version: integrity $got, not $integrity" >&2; exit 1; }
tar -xzf "$tarball" -C "$work"
if [ "$name" = qrcode-generator ]; then
  grep -q 'Licensed under the MIT license' "$work/package/dist/qrcode.js" ||
    { echo "$name $version: its header no longer states the MIT licence" >&2; exit 1; }
fi
for file in "${files[@]}"; do cp "$work/package/$file" "$folder/"; done

if [ "$name" = qrcode-generator ]; then
  # The package has no licence file: its script's header states the MIT
  # licence and the copyright, which LICENSE repeats with the licence's text.
  copyright=$(grep -m1 -o 'Copyright (c) [0-9]* .*' "$folder/qrcode.js")
  cat >"$folder/LICENSE" <<LICENCE
qrcode-generator (dist/qrcode.js): "$copyright",
"Licensed under the MIT license" (the script's header):

MIT License

$copyright

Permission is hereby granted, free of charge, to any person obtaining a copy
of this software and associated documentation files (the "Software"), to deal
in the Software without restriction, including without limitation the rights
to use, copy, modify, merge, publish, distribute, sublicense, and/or sell
copies of the Software, and to permit persons to whom the Software is
furnished to do so, subject to the following conditions:

The above copyright notice and this permission notice shall be included in all
copies or substantial portions of the Software.

THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR
IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY,
FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE
AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER
LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM,
OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE
SOFTWARE.

The word "QR Code" is a registered trademark of DENSO WAVE INCORPORATED.
LICENCE
fi
echo "$name $version in $folder"
