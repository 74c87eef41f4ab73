#!/usr/bin/env bash
# Builds the two programs for release in build-package/ (installing what is
# missing) and makes the Debian package lemvaris_<version>_<arch>.deb there
# with CPack, then checks it as the test suite does (tests/package): its
# contents, the unpacked programs and lintian.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" --package
build="$top/build-package"
# Debian's hardening flags (fortified functions, stack protector, read-only
# relocations bound at start) on top of the project's own.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(cd "$top" && dpkg-buildflags --get CPPFLAGS) $(cd "$top" && dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# Only the programs: no tests, benchmarks or Python module, so none of their
# libraries is needed. The prefix is where the package puts them.
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DLEMVARIS_TESTS=OFF -DLEMVARIS_BENCH=OFF -DLEMVARIS_PYTHON=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j"$(nproc)"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/lemvaris_${version}_$(dpkg --print-architecture).deb"
rm -f "$deb"
(cd "$build" && cpack -G DEB >/dev/null)
bash "$top/tests/package/package.sh" "$version" "$deb"
echo "$deb"
