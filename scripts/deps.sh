#!/usr/bin/env bash
# Installs what building, running and testing Lemvaris need, from Debian's
# archive. Safe to run again: it installs only what is missing.
#   deps.sh          the native build
#   deps.sh --web    and the page's build (scripts/web.sh)
#   deps.sh --test   and everything the tests need, the page's included
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libsdl2-dev libpng-dev libncurses-dev     # window, PNG writer, terminal
  # Terminfo beyond the basic terminals (xterm-direct, ...); Debian keeps
  # kitty's (xterm-kitty) and foot's apart.
  ncurses-term kitty-terminfo foot-terminfo
  libx11-dev                                # a lost X server's handler
  libchafa-dev                              # the graphics drawn in the terminal
  googletest libgtest-dev libbenchmark-dev  # tests and benchmarks
  libgif-dev                                # animated pictures (--gif)
  # The Python module and its sweeps and plots, for Debian's /usr/bin/python3.
  pybind11-dev python3-dev python3-numpy python3-pandas python3-distributed
  python3-matplotlib python3-tqdm python3-scipy
  # pip install --no-build-isolation ./python into a virtual environment.
  python3-pip python3-venv python3-setuptools python3-wheel
)
# The page: emscripten (with its node), and Python's http.server to serve it.
web=(emscripten nodejs python3)
case "${1:-}" in
  --web)
    packages+=("${web[@]}")
    ;;
  --test)
    # End-to-end tests: a virtual X server, a terminal multiplexer, a key
    # sender, a screenshot tool, xkill (x11-utils) and independent PNG,
    # screenshot and sixel decoders (netpbm: pngtopnm, xwdtopnm; libsixel-bin:
    # sixel2png); clang and its runtime for the input fuzzer (scripts/fuzz.sh);
    # the page's tests: headless Chromium driven by Selenium; the Python
    # module's tests (pytest, Pillow to decode pictures, Jupyter for the notebook).
    packages+=(xvfb xauth tmux xdotool x11-apps x11-utils imagemagick libpng-tools python3 netpbm
               libsixel-bin console-setup-linux)  # console-setup-linux: the font table's sources
    packages+=(clang libclang-rt-14-dev)
    packages+=("${web[@]}" chromium chromium-driver python3-selenium)
    packages+=(python3-pytest python3-pil)
    # The example notebook, executed by Jupyter.
    packages+=(jupyter-nbconvert python3-ipykernel)
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
