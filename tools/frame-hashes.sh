#!/usr/bin/env bash
# Rewrites tests/app/frame-hashes.txt, the scene frames the end-to-end test compares, from a
# whole unpaced run of the build's program, after a change to the pictures has been reviewed.
# Writes a contact sheet of every frame whose hash changed, the old picture beside the new one:
# the old pictures come from the committed revision (HEAD, or --old-rev REV) built in a scratch
# worktree, or from an existing build given with --old-build DIR.
#
#   tools/frame-hashes.sh [--build DIR] [--old-rev REV | --old-build DIR] [--no-sheet]
#
# The build directory (default: build) must hold the program and its data (targets keldrin and
# data). The sheet is DIR/frame-hashes/changed.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
list=tests/app/frame-hashes.txt

build=build
old_rev=HEAD
old_build=
sheet=1
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --old-rev) old_rev=$2; shift 2 ;;
    --old-build) old_build=$2; shift 2 ;;
    --no-sheet) sheet=0; shift ;;
    *) echo "usage: $0 [--build DIR] [--old-rev REV | --old-build DIR] [--no-sheet]" >&2; exit 2 ;;
  esac
done
build=$(cd "$build" && pwd)

# Where each scene begins in the run's frame numbering (its BeginScene frame, or its first frame
# where it has none), and the number of frames shown in all. Change these with the scenes.
scenes=(cartoon title space tunnel fire fractal crypt facemap enviro temple)
starts=(0 1731 2971 4102 4604 5206 6584 10090 11292 17294 20407)

work=$build/frame-hashes
rm -rf "$work"
mkdir -p "$work"

# Runs the program of build $1 in a fresh directory $2 holding links to that build's data, with
# the further environment in $3...; the run must play through to the end (exit code 10).
run_whole() {
  local from=$1 dir=$2
  shift 2
  mkdir -p "$dir"
  local name
  while read -r name _; do ln -sf "$from/data/$name" "$dir/$name"; done < "$from/data/MANIFEST"
  local code=0
  (cd "$dir" && env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy MIDAS_CONFIG=ok MIDAS_OUTPUT=silent \
       GLIDE_PRESENT=none FX_GLIDE_SWAPINTERVAL=0 "$@" "$from/src/app/keldrin" > stdout.txt 2> stderr.txt) || code=$?
  if [ "$code" -ne 10 ]; then
    echo "the run in $dir ended with code $code instead of 10:" >&2
    cat "$dir/stderr.txt" >&2
    exit 1
  fi
}

# The frames kept: each scene's first three, its eighth, quarter, half and three quarters, and
# its last two.
frames=()
for i in "${!scenes[@]}"; do
  s=${starts[$i]} e=${starts[$((i + 1))]}
  n=$((e - s))
  for f in $s $((s + 1)) $((s + 2)) $((s + n / 8)) $((s + n / 4)) $((s + n / 2)) $((s + 3 * n / 4)) $((e - 2)) $((e - 1)); do
    frames+=("$f ${scenes[$i]}")
  done
done
wanted=$(printf '%s\n' "${frames[@]}" | sort -n -u -k1,1)
capture_list=$(echo "$wanted" | cut -d' ' -f1 | paste -sd,)

echo "whole run of $build/src/app/keldrin ..."
run_whole "$build" "$work/new" GLIDE_FRAME_HASHES=hashes.txt GLIDE_CAPTURE=png GLIDE_CAPTURE_FRAMES="$capture_list"
shown=$(wc -l < "$work/new/hashes.txt")
if [ "$shown" -ne "${starts[-1]}" ]; then
  echo "the run showed $shown frames, the scene table here says ${starts[-1]}: update starts in $0" >&2
  exit 1
fi

old_list=$work/old-list.txt
if [ -f "$list" ]; then grep -v '^#' "$list" > "$old_list" || true; else : > "$old_list"; fi

{
  echo "# Frame hashes of the whole unpaced run (FRAME HASH SCENE): the end-to-end test compares"
  echo "# these frames. Rewritten by tools/frame-hashes.sh after a reviewed change."
  echo "$wanted" | while read -r f scene; do
    hash=$(awk -v f="$f" '$1 == f { print $2; exit }' "$work/new/hashes.txt")
    echo "$f $hash $scene"
  done
} > "$work/list.txt"

changed=$(join -j1 -a2 -o 2.1,1.2,2.2 <(sort -k1,1 "$old_list") <(grep -v '^#' "$work/list.txt" | sort -k1,1) |
          awk '$2 != $3 { print $1 }' | sort -n)
cp "$work/list.txt" "$list"
if [ -z "$changed" ]; then
  echo "$list: no frame changed"
  exit 0
fi
echo "$list: $(echo "$changed" | wc -l) frames changed: $(echo "$changed" | paste -sd' ')"
[ "$sheet" -eq 1 ] || exit 0

# The old pictures of the changed frames.
if [ -z "$old_build" ]; then
  old_src=$work/old-src
  echo "building $old_rev in $old_src ..."
  git worktree add --detach --force "$old_src" "$old_rev" > /dev/null
  trap 'git -C "$root" worktree remove --force "$old_src" > /dev/null 2>&1 || true' EXIT
  old_build=$old_src/build
  launcher=()
  command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S "$old_src" -B "$old_build" -G Ninja -DKELDRIN_TESTS=OFF -DKELDRIN_BENCH=OFF "${launcher[@]}" > /dev/null
  cmake --build "$old_build" -j"$(nproc)" --target keldrin data > /dev/null
fi
old_build=$(cd "$old_build" && pwd)
echo "whole run of $old_build/src/app/keldrin ..."
run_whole "$old_build" "$work/old" GLIDE_CAPTURE=png GLIDE_CAPTURE_FRAMES="$(echo "$changed" | paste -sd,)"

# One row per changed frame: the old picture on the left, the new on the right, at half size.
pairs=$work/pairs
mkdir -p "$pairs"
i=0
for f in $changed; do
  name=$(printf '%06d.png' "$f")
  new=$work/new/png/$name old=$work/old/png/$name
  [ -f "$old" ] || old=$work/blank.png
  [ -f "$work/blank.png" ] || ffmpeg -loglevel error -f lavfi -i color=c=gray:s=640x480 -frames:v 1 "$work/blank.png"
  label="drawtext=fontfile=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf:fontcolor=yellow:fontsize=14:x=4:y=4:box=1:boxcolor=black"
  ffmpeg -loglevel error -i "$old" -i "$new" -filter_complex \
    "[0]scale=320:240,${label}:text='frame $f old'[a];[1]scale=320:240,${label}:text='new'[b];[a][b]hstack" \
    -frames:v 1 "$pairs/$(printf '%04d' $i).png"
  i=$((i + 1))
done
ffmpeg -loglevel error -framerate 1 -i "$pairs/%04d.png" -vf "tile=1x$i" -frames:v 1 -y "$work/changed.png"
echo "contact sheet (old left, new right): $work/changed.png"
