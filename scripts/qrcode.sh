#!/usr/bin/env bash
# Fetches the QR code library the worksheets (and the lesson page's link)
# use, qrcode-generator at the version web/vendor/qrcode-generator/VERSION
# names, with npm, checks the tarball's integrity against that file and puts
# its script into web/vendor/qrcode-generator/. The package has no licence
# file: its script's header states the MIT licence and the copyright, which
# LICENSE repeats with the licence's text. The build uses the files kept
# there; this is only for checking them or moving to another version (then
# edit VERSION first).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
folder="$top/web/vendor/qrcode-generator"
version=$(sed -n '1s/^qrcode-generator \([0-9.]*\) .*/\1/p' "$folder/VERSION")
integrity=$(grep -o 'sha512-[A-Za-z0-9+/=]*' "$folder/VERSION")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "qrcode-generator@$version" >/dev/null)
tarball="$work/qrcode-generator-$version.tgz"
got="sha512-$(openssl dgst -sha512 -binary "$tarball" | base64 -w0)"
[ "$got" = "$integrity" ] || { echo "qrcode-generator $version: integrity $got, not $integrity" >&2; exit 1; }
tar -xzf "$tarball" -C "$work"
script="$work/package/dist/qrcode.js"
grep -q 'Licensed under the MIT license' "$script" ||
  { echo "qrcode-generator $version: its header no longer states the MIT licence" >&2; exit 1; }
cp "$script" "$folder/"
copyright=$(grep -m1 -o 'Copyright (c) [0-9]* .*' "$script")
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
echo "qrcode-generator $version in $folder"
