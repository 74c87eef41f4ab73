#!/usr/bin/env bash
# The documents: docs/ built by Sphinx with MyST (Debian's, under
# /usr/bin/python3) with every warning an error and every reference checked
# (-W -n, a fresh build each time, -E), then every link of the built pages
# followed to its file and anchor, and every relative link of README.md to its
# file (links.py). scripts/docs.sh runs this too, into build-docs/.
# Skipped (77) when Sphinx or MyST is missing (scripts/deps.sh --docs).
# Usage: docs_test.sh SOURCE_DIR PYTHON_DIR OUTPUT_DIR
#   PYTHON_DIR: a build tree's python/ folder, where `import lemvaris` finds
#   the module for the reference (docs/conf.py reads LEMVARIS_PYTHON_PATH).
set -euo pipefail
usage="usage: $0 SOURCE_DIR PYTHON_DIR OUTPUT_DIR"
source_dir=${1:?$usage}
python_dir=${2:?$usage}
output=${3:?$usage}
python=/usr/bin/python3  # Debian's, with Debian's Sphinx, MyST, numpy and pandas
if ! "$python" -c "import sphinx, myst_parser" 2>/dev/null; then
  echo "SKIP: no Sphinx with MyST for $python (scripts/deps.sh --docs)"
  exit 77
fi
[ -f "$python_dir/lemvaris/__init__.py" ] ||
  { echo "FAIL: no module in $python_dir (cmake --build build --target lemvaris_python)"; exit 1; }
rm -rf "$output"
LEMVARIS_PYTHON_PATH=$python_dir PYTHONDONTWRITEBYTECODE=1 MPLBACKEND=Agg \
  "$python" -m sphinx -b html -E -W -n --keep-going -q "$source_dir/docs" "$output" ||
  { echo "FAIL: the documents do not build without warnings"; exit 1; }
"$python" "$(dirname "$0")/links.py" "$output" "$source_dir/README.md"
