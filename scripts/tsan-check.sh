#!/usr/bin/env bash
# Builds the tests under ThreadSanitizer into build-tsan and runs the rasterizer's tests and the
# scenes' with the rasterizer on 2 and then 3 threads; any report fails the run. The agreement
# tests, which compare the span paths on the calling thread alone, are left out: under the
# sanitizer they take most of an hour. Not part of ./test, which it would take past CI's time.
#   scripts/tsan-check.sh [CTEST_REGEX]   (default: the rasterizer's and the scenes' tests)
set -euo pipefail
cd "$(dirname "$0")/.."
KELDRIN_SETUP=test scripts/setup.sh build-tsan -DKELDRIN_SANITIZE_THREAD=ON -DKELDRIN_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
for threads in 2 3; do
  echo "== GLIDE_THREADS=$threads"
  for dir in tests/platform/glide tests/scenes; do
    GLIDE_THREADS=$threads TSAN_OPTIONS="halt_on_error=1 abort_on_error=1" \
      ctest --test-dir "build-tsan/$dir" -j"$(nproc)" --output-on-failure \
      -E 'AgainstReference|SpanAgreement' ${1:+-R "$1"}
  done
done
