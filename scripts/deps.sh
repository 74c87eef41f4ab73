#!/usr/bin/env bash
# Installs what building, running and testing Lemvaris need, from Debian's
# archive. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libsdl2-dev libpng-dev libncurses-dev     # window, PNG writer, terminal
  libchafa-dev                              # the graphics drawn in the terminal
  googletest libgtest-dev libbenchmark-dev  # tests and benchmarks
)
if [ "${1:-}" = "--test" ]; then
  # End-to-end tests: a virtual X server, a terminal multiplexer, a key
  # sender, a screenshot tool and independent PNG, screenshot and sixel
  # decoders (netpbm: pngtopnm, xwdtopnm; libsixel-bin: sixel2png).
  packages+=(xvfb xauth tmux xdotool x11-apps imagemagick libpng-tools python3 netpbm libsixel-bin)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
