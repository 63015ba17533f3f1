#!/usr/bin/env bash
# Installs the Debian packages KELDRIN needs (only those missing), then configures and builds
# it into the build directory given as $1 (default: build) with any further CMake arguments;
# with --install-only as $1 it only installs.
# KELDRIN_SETUP=test installs what the tests need as well; the default is what playing needs.
# KELDRIN_WEB=1 adds what the web page's build needs, and with KELDRIN_SETUP=test what its test in
# a browser needs (tests/web/run.sh asks for them itself, while the native tests run).
set -euo pipefail
cd "$(dirname "$0")/.."

# What building, generating the data and playing need; then what the tests and benchmarks add
# (./test sets KELDRIN_SETUP=test).
packages=(cmake ninja-build g++ pkg-config libhwy-dev libsdl2-dev libopenmpt-dev libpng-dev libcairo2-dev
          libfreetype-dev fonts-dejavu-core libimagequant-dev ffmpeg)
# The web page's build (emscripten, and dpkg-dev to unpack libopenmpt's source package) and its
# test in a browser (Debian's chromium), without what they only recommend (a hundred packages
# more, none of them used).
lean=()
if [ "${KELDRIN_SETUP:-play}" = test ]; then
  packages+=(libxmp-dev libgtest-dev libgmock-dev libbenchmark-dev sox)
fi
if [ -n "${KELDRIN_WEB:-}" ]; then
  lean+=(emscripten dpkg-dev)
  if [ "${KELDRIN_SETUP:-play}" = test ]; then
    lean+=(chromium)
    # npm for the browser test's driver, where no npm came with the machine's node.
    command -v npm >/dev/null || lean+=(npm)
  fi
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
missing_lean=()
for p in "${lean[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing_lean+=("$p")
done
if [ $((${#missing[@]} + ${#missing_lean[@]})) -gt 0 ]; then
  echo "Installing: ${missing[*]} ${missing_lean[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
  if [ ${#missing_lean[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
      "${missing_lean[@]}" >/dev/null
  fi
fi
[ "${1:-}" = --install-only ] && exit 0

build=${1:-build}
shift || true
cmake -S . -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
