#!/usr/bin/env bash
# The web page's test in a real browser (tests/web/page-test.mjs), in two stages:
# - prepare: installs what the page's build and the test need (emscripten, Debian's chromium;
#   scripts/setup.sh), builds the page from the native build's data (web/build.sh), and installs
#   the test's driver, playwright-core from npm, into the cache folder under its version
#   (KELDRIN_CACHE, by default ~/.cache/keldrin; the browser is Debian's, never a download);
# - check: plays the page in the browser against the native program.
# Without a stage it does both. ./test prepares while the native tests run, which leave a core
# mostly idle, and checks once they are done.
#
#   tests/web/run.sh [prepare|check] [NATIVE_BUILD_DIR]   (default: build, as ./test leaves it)
set -euo pipefail
cd "$(dirname "$0")/../.."
stage=all
case ${1:-} in
  prepare|check) stage=$1; shift ;;
esac
native=${1:-build}
cache=${KELDRIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/keldrin}
playwright_version=1.65.2
driver=$cache/playwright-core-$playwright_version

if [ "$stage" != check ]; then
  KELDRIN_SETUP=test web/build.sh "$native/data" build-web/page
  start=$SECONDS
  if [ ! -f "$driver/node_modules/playwright-core/package.json" ]; then
    rm -rf "$driver.partial"
    mkdir -p "$driver.partial"
    PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --prefix "$driver.partial" --no-save --no-audit --no-fund \
      --loglevel=error "playwright-core@$playwright_version" >/dev/null
    rm -rf "$driver"
    mv "$driver.partial" "$driver"
    echo "web: playwright-core $playwright_version installed into $driver ($((SECONDS - start)) s)"
  fi
fi
[ "$stage" = prepare ] && exit 0

if [ ! -f build-web/page/keldrin.wasm ] || [ ! -f "$driver/node_modules/playwright-core/package.json" ]; then
  echo "web: the page or the test's driver is missing: run tests/web/run.sh prepare first" >&2
  exit 1
fi
start=$SECONDS
status=0
# Unpaced, the whole cartoon: a sinf or cosf other than glibc's (the C library's of the
# WebAssembly build) changes 9 frames of its flying words (1580 to 1714) first, and 92 of the space
# scene (3215 to 3825); the cartoon's 15 seconds catch a page built without glibc's, the space
# scene's 30 more would add nothing. (--unpaced-frames 30000 compares the whole presentation.)
node tests/web/page-test.mjs --page build-web/page --native "$native" --playwright "$driver/node_modules" \
  --unpaced-frames 1730 || status=$?
echo "web: browser test ($((SECONDS - start)) s)"
exit $status
