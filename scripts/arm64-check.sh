#!/usr/bin/env bash
# Builds the Glide stand-in's tests for ARM64 (Highway's NEON target) with Debian's cross
# compiler and runs them under qemu-user: the rasterizer's check on a processor this machine is
# not. Installs what it needs (the arm64 libraries through a multiarch install). Takes a few
# minutes; the agreement tests under emulation are the long part.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  "${sudo_cmd[@]}" dpkg --add-architecture arm64
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq g++-aarch64-linux-gnu qemu-user \
  libhwy-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64 libpng-dev:arm64 libsdl2-dev:arm64 \
  libopenmpt-dev:arm64 libcairo2-dev:arm64 libfreetype-dev:arm64 libxmp-dev:arm64 libimagequant-dev:arm64 >/dev/null
cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DKELDRIN_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-arm64 -j"$(nproc)" --target glide_tests glide_present_tests
# Each test in a process of its own under the emulator, as CTest runs them natively (a test
# binary run whole starts itself again per test, which qemu-user cannot do without binfmt), and
# death tests forked without starting the binary again, for the same reason.
# Left out: the tests of a video encoder that cannot start. qemu-user runs posix_spawn's vfork as
# a fork, so the failed exec is not seen at the spawn but only as the encoder's exit status 127
# (still reported once, the run going on); natively they pass.
skip='AMissingOrFailingEncoderIsReportedOnce|Sinks.OpenersReturnTheReason|Sinks.EachSinkThatFailsToOpen'
for dir in glide glide_present; do
  echo "== $dir tests (ARM64, under qemu-aarch64)"
  GTEST_DEATH_TEST_STYLE=fast ctest --test-dir "build-arm64/tests/platform/$dir" -j"$(nproc)" --output-on-failure -E "$skip"
done
