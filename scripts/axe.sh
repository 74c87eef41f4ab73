#!/usr/bin/env bash
# Fetches the accessibility checker the page tests run in the pages, axe-core
# at the version tests/web/vendor/axe-core/VERSION names, with npm, checks the
# tarball's integrity against that file and puts its minified script and
# licence into tests/web/vendor/axe-core/. The tests use the files kept there
# (no page loads it); this is only for checking them or moving to another
# version (then edit VERSION first).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
folder="$top/tests/web/vendor/axe-core"
version=$(sed -n '1s/^axe-core \([0-9.]*\) .*/\1/p' "$folder/VERSION")
integrity=$(grep -o 'sha512-[A-Za-z0-9+/=]*' "$folder/VERSION")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "axe-core@$version" >/dev/null)
tarball="$work/axe-core-$version.tgz"
got="sha512-$(openssl dgst -sha512 -binary "$tarball" | base64 -w0)"
[ "$got" = "$integrity" ] || { echo "axe-core $version: integrity $got, not $integrity" >&2; exit 1; }
tar -xzf "$tarball" -C "$work"
cp "$work/package/axe.min.js" "$work/package/LICENSE" "$folder/"
echo "axe-core $version in $folder"
