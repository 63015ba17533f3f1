#!/usr/bin/env bash
# Installs the Debian packages KELDRIN needs (only those missing), then configures and builds
# it into the build directory given as $1 (default: build) with any further CMake arguments.
# KELDRIN_SETUP=test installs what the tests need as well; the default is what playing needs.
set -euo pipefail
cd "$(dirname "$0")/.."

# What building, generating the data and playing need; then what the tests and benchmarks add
# (./test sets KELDRIN_SETUP=test).
packages=(cmake ninja-build g++ pkg-config libhwy-dev libsdl2-dev libopenmpt-dev libpng-dev libcairo2-dev
          libfreetype-dev fonts-dejavu-core libimagequant-dev ffmpeg)
if [ "${KELDRIN_SETUP:-play}" = test ]; then
  packages+=(libxmp-dev libgtest-dev libgmock-dev libbenchmark-dev sox)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

build=${1:-build}
shift || true
cmake -S . -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
