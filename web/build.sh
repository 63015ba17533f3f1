#!/usr/bin/env bash
# Builds the presentation's web page into OUT_DIR: index.html, keldrin.js and keldrin.wasm (the
# program for WebAssembly), keldrin.data and keldrin-data.json (every file of DATA_DIR, which the
# native build's mkdata generated). Plain static files any web host can serve.
#
#   web/build.sh DATA_DIR OUT_DIR
#
# The program builds in build-web with Debian's emscripten. libopenmpt and Highway for
# WebAssembly are built from Debian's source packages of the versions the native build uses,
# once, and kept in the cache folder (KELDRIN_CACHE, by default ~/.cache/keldrin) under their
# version, emscripten's and a hash of how they are built; each step prints how long it took.
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

# ---- the libraries for WebAssembly ------------------------------------------------------------

emscripten_version=$(dpkg-query -W -f='${Version}' emscripten)

# cached_library NAME PACKAGE CMAKE_PROJECT_DIR [CMAKE_ARGUMENT...]: builds the source package
# PACKAGE, at the version the native build's -dev package NAME comes from, with the CMake
# project in CMAKE_PROJECT_DIR (relative to the unpacked source; an absolute path for a recipe
# of ours) and installs it into the cache, unless it is there; prints its prefix as `prefix`.
cached_library() {
  local dev=$1 package=$2 project=$3
  shift 3
  local version key
  # (one line per installed architecture of the package, as for a cross build's: the first)
  version=$(dpkg-query -W -f='${source:Version}\n' "$dev")
  version=${version%%$'\n'*}
  key=$( { echo "$*"; case $project in /*) cat "$project/CMakeLists.txt" ;; esac; } | sha256sum | cut -c1-12)
  prefix=$cache/$package-$version-emscripten-$emscripten_version-$key
  [ -f "$prefix/.complete" ] && return 0
  local work
  work=$(mktemp -d "${TMPDIR:-/tmp}/keldrin-$package.XXXXXX")
  web/debian-source.sh "$cache/apt" "$package" "$version" "$work/source"
  step "$package $version: Debian source package fetched"
  case $project in /*) ;; *) project=$work/source/$project ;; esac
  rm -rf "$prefix"
  if ! { emcmake cmake -S "$project" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DSOURCE_DIR="$work/source" -DCMAKE_INSTALL_PREFIX="$prefix" "$@" &&
          cmake --build "$work/build" -j"$jobs" && cmake --install "$work/build"; } >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log" >&2
    echo "web: building $package for WebAssembly failed (the lines above are the end of its log)" >&2
    rm -rf "$work" "$prefix"
    exit 1
  fi
  touch "$prefix/.complete"
  rm -rf "$work"
  step "$package $version built for WebAssembly into $prefix"
}

# libopenmpt with a recipe of ours (its own build is autotools); Highway with its own CMake
# project, the library alone. Both optimised as Debian builds them natively, -O2.
cached_library libopenmpt-dev libopenmpt "$PWD/web/libopenmpt" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"
openmpt=$prefix
cached_library libhwy-dev highway . -DCMAKE_CXX_FLAGS="-msimd128" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DBUILD_SHARED_LIBS=OFF -DHWY_ENABLE_TESTS=OFF -DHWY_ENABLE_CONTRIB=OFF -DHWY_ENABLE_EXAMPLES=OFF \
  -DHWY_WARNINGS_ARE_ERRORS=OFF
highway=$prefix

# ---- the program -----------------------------------------------------------------------------

emcmake cmake -S . -B build-web -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELDRIN_OPENMPT_PREFIX="$openmpt" \
  -DKELDRIN_HWY_PREFIX="$highway" >/dev/null
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
