#!/usr/bin/env bash
# Installs from Debian's archive what Lemvaris needs, in tiers. Safe to run
# again: it installs only what is missing (apt-get update only then).
#   deps.sh            running the program: its libraries and what
#                      scripts/run.sh needs to build it
#   deps.sh --build    and every target: tests, benchmarks, the Python module
#   deps.sh --web      and the page's build (scripts/web.sh)
#   deps.sh --docs     and the documents' tools (Sphinx with MyST)
#   deps.sh --package  and the Debian package's tools (scripts/package.sh)
#   deps.sh --test     all of the above and everything the tests need
# Options combine: deps.sh --web --docs.
set -euo pipefail

usage="usage: $0 [--build] [--web] [--docs] [--package] [--test]"
build=0 web=0 docs=0 package=0 test=0
for option in "$@"; do
  case "$option" in
    --build) build=1 ;;
    --web) web=1 ;;
    --docs) docs=1 ;;
    --package) package=1 ;;
    --test) test=1 build=1 web=1 docs=1 package=1 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done

packages=(
  g++ cmake make pkg-config
  libsdl2-dev libpng-dev libncurses-dev     # window, PNG writer, terminal
  # Terminfo beyond the basic terminals (xterm-direct, ...); Debian keeps
  # kitty's (xterm-kitty) and foot's apart.
  ncurses-term kitty-terminfo foot-terminfo
  libx11-dev                                # a lost X server's handler
  libchafa-dev                              # the graphics drawn in the terminal
  libgif-dev                                # animated pictures (--gif)
)
if [ $build = 1 ]; then
  # Tests (zlib: the font test reads the gzipped console fonts), benchmarks,
  # and the Python module for Debian's /usr/bin/python3.
  packages+=(googletest libgtest-dev libbenchmark-dev zlib1g-dev
             pybind11-dev python3-dev python3-numpy)
fi
if [ $web = 1 ]; then
  # emscripten (with its node), and Python's http.server to serve the page.
  packages+=(emscripten nodejs python3)
fi
if [ $docs = 1 ]; then
  packages+=(python3-sphinx python3-myst-parser)
fi
if [ $package = 1 ]; then
  # CPack's dependencies (dpkg-shlibdeps, file), the checkers, and tmux in
  # which the unpacked program shows that it finds its help file.
  packages+=(dpkg-dev file lintian desktop-file-utils tmux)
fi
if [ $test = 1 ]; then
  # The Python module's sweeps and plots, and pip install
  # --no-build-isolation ./python into a virtual environment.
  packages+=(python3-pandas python3-distributed python3-matplotlib python3-tqdm python3-scipy
             python3-pip python3-venv python3-setuptools python3-wheel)
  # End-to-end tests: a virtual X server, a terminal multiplexer, a key
  # sender, a screenshot tool, xkill (x11-utils) and independent PNG,
  # screenshot and sixel decoders (netpbm: pngtopnm, xwdtopnm; libsixel-bin:
  # sixel2png); clang for the input fuzzer (scripts/fuzz.sh), its runtime
  # below; the page's tests: headless Chromium driven by Selenium; the Python
  # module's tests (pytest, Pillow to decode pictures, Jupyter for the notebook).
  packages+=(xvfb xauth tmux xdotool x11-apps x11-utils imagemagick libpng-tools python3 netpbm
             libsixel-bin console-setup-linux)  # console-setup-linux: the font table's sources
  packages+=(clang)
  packages+=(chromium chromium-driver python3-selenium)
  packages+=(python3-pytest python3-pil)
  # The example notebook, executed by Jupyter.
  packages+=(jupyter-nbconvert python3-ipykernel)
fi

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
updated=0
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
install_missing() {
  local missing=() p
  for p in "$@"; do
    installed "$p" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ $updated = 0 ]; then
    "${as_root[@]}" apt-get update
    updated=1
  fi
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends \
    "${missing[@]}"
}

install_missing "${packages[@]}"

if [ $test = 1 ]; then
  # The sanitizers' and libFuzzer's runtime of the clang installed, whichever
  # release it is: libclang-rt-N-dev where Debian has it, else it came with
  # clang (libclang-common-N-dev).
  major=$(clang --version | sed -n 's/.*clang version \([0-9][0-9]*\)\..*/\1/p' | head -n 1)
  [ -n "$major" ] || { echo "$0: no version in clang --version" >&2; exit 1; }
  runtime="libclang-rt-$major-dev"
  if ! installed "$runtime"; then
    if [ $updated = 0 ]; then
      "${as_root[@]}" apt-get update
      updated=1
    fi
    if apt-cache show "$runtime" >/dev/null 2>&1; then install_missing "$runtime"; fi
  fi
fi
