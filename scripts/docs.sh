#!/usr/bin/env bash
# Builds the documents (docs/) into build-docs/ with Sphinx and MyST from
# Debian, every warning an error and every link checked, as the test suite's
# docs test does (tests/docs/docs_test.sh). Installs what is missing first,
# and builds the Python module in build/, whose docstrings make the
# reference. Open build-docs/index.html.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" --build --docs
# A build folder that exists keeps its other options; the module is turned on.
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release -DLEMVARIS_PYTHON=ON >/dev/null
cmake --build "$top/build" -j"$(nproc)" --target lemvaris_python
bash "$top/tests/docs/docs_test.sh" "$top" "$top/build/python" "$top/build-docs"
echo "Lemvaris documents: $top/build-docs/index.html"
