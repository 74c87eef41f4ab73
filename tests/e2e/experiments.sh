#!/usr/bin/env bash
# The experiments the help suggests and the lesson page offers
# (data/experiments.json): every claim on seeds 0 to 4 through the batch
# runner, and the help's list of them (experiments_check.py).
set -uo pipefail
exec /usr/bin/python3 "$(dirname "$0")/experiments_check.py" "${1:?usage: $0 BUILD_DIR}"
