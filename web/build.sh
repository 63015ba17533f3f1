#!/usr/bin/env bash
# Builds the presentation's web page into OUT_DIR: index.html, keldrin.js and keldrin.wasm (the
# program for WebAssembly), keldrin.data and keldrin-data.json (every file of DATA_DIR, which the
# native build's mkdata generated). Plain static files any web host can serve.
#
#   web/build.sh DATA_DIR OUT_DIR
#
# The program builds in build-web with Debian's emscripten. libopenmpt for WebAssembly is built
# from Debian's source package of the libopenmpt the native build uses, once, and kept in the
# cache folder (KELDRIN_CACHE, by default ~/.cache/keldrin) under its version, emscripten's and
# a hash of its recipe (web/libopenmpt/CMakeLists.txt); each step prints how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 2 ] || [ ! -f "$1/MANIFEST" ]; then
  echo "usage: web/build.sh DATA_DIR OUT_DIR (DATA_DIR: the data mkdata generated, with its MANIFEST)" >&2
  exit 2
fi
data=$(cd "$1" && pwd)
out=$2
cache=${KELDRIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/keldrin}
jobs=$(nproc)

step_start=$SECONDS
step() {
  echo "web: $1 ($((SECONDS - step_start)) s)"
  step_start=$SECONDS
}

KELDRIN_WEB=1 scripts/setup.sh --install-only
# emscripten's optimiser runs on node and needs Debian's acorn module, which a node that did not
# come from Debian does not look for.
acorn=$(dpkg -L node-acorn)
acorn=$(grep '/acorn/package.json$' <<< "$acorn")
export NODE_PATH=$(dirname "$(dirname "${acorn%%$'\n'*}")")${NODE_PATH:+:$NODE_PATH}

# ---- libopenmpt for WebAssembly --------------------------------------------------------------

emscripten_version=$(dpkg-query -W -f='${Version}' emscripten)
openmpt_version=$(dpkg-query -W -f='${source:Version}' libopenmpt-dev)
recipe=$(sha256sum web/libopenmpt/CMakeLists.txt | cut -c1-12)
openmpt=$cache/libopenmpt-$openmpt_version-emscripten-$emscripten_version-$recipe

if [ ! -f "$openmpt/lib/libopenmpt.a" ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/keldrin-libopenmpt.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  web/debian-source.sh "$cache/apt" libopenmpt "$openmpt_version" "$work/source"
  step "libopenmpt $openmpt_version: Debian source package fetched"
  if ! { emcmake cmake -S web/libopenmpt -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DOPENMPT_SOURCE_DIR="$work/source" \
            -DCMAKE_INSTALL_PREFIX="$openmpt.partial" &&
          cmake --build "$work/build" -j"$jobs" && rm -rf "$openmpt.partial" &&
          cmake --install "$work/build"; } >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log" >&2
    echo "web: building libopenmpt for WebAssembly failed (the lines above are the end of its log)" >&2
    exit 1
  fi
  mv "$openmpt.partial" "$openmpt"
  rm -rf "$work"
  trap - EXIT
  step "libopenmpt $openmpt_version built for WebAssembly into $openmpt"
fi

# ---- the program -----------------------------------------------------------------------------

emcmake cmake -S . -B build-web -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELDRIN_OPENMPT_PREFIX="$openmpt" >/dev/null
cmake --build build-web -j"$jobs" --target keldrin
step "program built for WebAssembly"

# ---- the page --------------------------------------------------------------------------------

mkdir -p "$out"
rm -f "$out/index.html" "$out/keldrin.js" "$out/keldrin.wasm" "$out/keldrin.data" "$out/keldrin-data.json"
cp web/index.html build-web/src/app/keldrin.js build-web/src/app/keldrin.wasm "$out/"
# The data files in the manifest's order, one after another, and their names and sizes.
files=()
while read -r name size _; do
  [ -f "$data/$name" ] || { echo "web: $data/$name is in the MANIFEST but missing" >&2; exit 1; }
  files+=("$name")
done < "$data/MANIFEST"
(cd "$data" && cat "${files[@]}") > "$out/keldrin.data"
{
  printf '{"wasmBytes": %d, "dataBytes": %d, "files": [' \
    "$(stat -c %s "$out/keldrin.wasm")" "$(stat -c %s "$out/keldrin.data")"
  separator=""
  for name in "${files[@]}"; do
    printf '%s\n  ["%s", %d]' "$separator" "$name" "$(stat -c %s "$data/$name")"
    separator=","
  done
  printf ']}\n'
} > "$out/keldrin-data.json"
step "page written to $out"
