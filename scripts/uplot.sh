#!/usr/bin/env bash
# Fetches the chart library the lesson page bundles, uPlot at the version
# web/vendor/uplot/VERSION names, with npm, checks the tarball's integrity
# against that file and puts its minified script, style and licence into
# web/vendor/uplot/. The build uses the files kept there; this is only for
# checking them or moving to another version (then edit VERSION first).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
folder="$top/web/vendor/uplot"
version=$(sed -n '1s/^uPlot \([0-9.]*\) .*/\1/p' "$folder/VERSION")
integrity=$(grep -o 'sha512-[A-Za-z0-9+/=]*' "$folder/VERSION")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "uplot@$version" >/dev/null)
tarball="$work/uplot-$version.tgz"
got="sha512-$(openssl dgst -sha512 -binary "$tarball" | base64 -w0)"
[ "$got" = "$integrity" ] || { echo "uplot $version: integrity $got, not $integrity" >&2; exit 1; }
tar -xzf "$tarball" -C "$work"
cp "$work/package/dist/uPlot.iife.min.js" "$work/package/dist/uPlot.min.css" \
   "$work/package/LICENSE" "$folder/"
echo "uplot $version in $folder"
