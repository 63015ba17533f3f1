#!/usr/bin/env bash
# The web page's test in a real browser (tests/web/page-test.mjs): builds the page from the
# native build's data, installs its driver, playwright-core from npm, into the cache folder
# under its version (KELDRIN_CACHE, by default ~/.cache/keldrin; the browser is Debian's
# chromium, which scripts/setup.sh installs for the tests, never a download), and runs it.
#
#   tests/web/run.sh [NATIVE_BUILD_DIR]   (default: build, as ./test leaves it)
set -euo pipefail
cd "$(dirname "$0")/../.."
native=${1:-build}
cache=${KELDRIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/keldrin}
playwright_version=1.65.2

web/build.sh "$native/data" build-web/page

start=$SECONDS
driver=$cache/playwright-core-$playwright_version
if [ ! -f "$driver/node_modules/playwright-core/package.json" ]; then
  rm -rf "$driver.partial"
  mkdir -p "$driver.partial"
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --prefix "$driver.partial" --no-save --no-audit --no-fund \
    --loglevel=error "playwright-core@$playwright_version" >/dev/null
  rm -rf "$driver"
  mv "$driver.partial" "$driver"
  echo "web: playwright-core $playwright_version installed into $driver ($((SECONDS - start)) s)"
fi

start=$SECONDS
status=0
# Unpaced, the whole cartoon: its flying words (frames 1580 to 1714) are the frames a sinf or cosf
# other than glibc's changes first.
node tests/web/page-test.mjs --page build-web/page --native "$native" --playwright "$driver/node_modules" \
  --unpaced-frames 1730 || status=$?
echo "web: browser test ($((SECONDS - start)) s)"
exit $status
