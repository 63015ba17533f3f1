#!/usr/bin/env bash
# Compares the presentation drawn at GLIDE_SCALE=N (default 2) with the same frames at 1: plays
# the whole run twice, headless and unpaced, capturing a few frames of every scene; prints each
# frame's PSNR (the scaled frame box-filtered back to 640 x 480, against the frame at 1) and the
# lowest per scene; writes contact sheets OUT/sheet-FRAME.png of a crop at the centre, the frame
# at 1 enlarged pixel for pixel on the left, the frame at N on the right.
#   scripts/scale-compare.sh [BUILD_DIR [OUT_DIR [N]]]   (default: build, out/scale, 2)
# Needs ffmpeg.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out=$(realpath -m "${2:-out/scale}")
scale=${3:-2}
# Five frames of each scene: its first frames, its middle and its end (the scenes' first frames
# in a whole run, in order).
scenes=(cartoon title space tunnel fire fractal crypt facemap enviro temple)
starts=(0 1730 2971 4100 4601 5202 6579 10084 11285 17286)
ends=(1729 2970 4099 4600 5201 6578 10083 11284 17285 20406)
frames=()
for i in "${!scenes[@]}"; do
  s=${starts[$i]} e=${ends[$i]}
  frames+=($((s + 60)) $((s + (e - s) / 4)) $((s + (e - s) / 2)) $((s + 3 * (e - s) / 4)) $((e - 5)))
done
list=$(IFS=,; echo "${frames[*]}")
mkdir -p "$out/1" "$out/$scale"
for n in 1 "$scale"; do
  (cd "$build/data" && GLIDE_SCALE=$n FX_GLIDE_SWAPINTERVAL=0 GLIDE_PRESENT=none MIDAS_CONFIG=ok \
     MIDAS_OUTPUT=silent GLIDE_CAPTURE="$out/$n" GLIDE_CAPTURE_FRAMES="$list" \
     "$build/src/app/keldrin" >/dev/null 2>&1) || true
done
w=$((640 * scale)) h=$((480 * scale))
printf '%-8s %7s %8s\n' scene frame "PSNR dB"
for i in "${!scenes[@]}"; do
  lowest=""
  for k in 0 1 2 3 4; do
    f=$(printf '%06d' "${frames[$((i * 5 + k))]}")
    [ -f "$out/1/$f.png" ] && [ -f "$out/$scale/$f.png" ] || continue
    psnr=$(ffmpeg -hide_banner -i "$out/$scale/$f.png" -i "$out/1/$f.png" \
             -lavfi "[0]scale=640:480:flags=area[s];[s][1]psnr" -f null - 2>&1 |
           sed -n 's/.*average:\([0-9.inf]*\).*/\1/p')
    printf '%-8s %7s %8s\n' "${scenes[$i]}" "$f" "$psnr"
    if [ "$psnr" != inf ] && { [ -z "$lowest" ] || awk "BEGIN{exit !($psnr < $lowest)}"; }; then lowest=$psnr; fi
    ffmpeg -loglevel error -y -i "$out/1/$f.png" -i "$out/$scale/$f.png" -filter_complex \
      "[0]scale=$w:$h:flags=neighbor,crop=$((w / 2)):$((h / 2)):$((w / 4)):$((h / 4))[a];[1]crop=$((w / 2)):$((h / 2)):$((w / 4)):$((h / 4))[b];[a][b]hstack" \
      "$out/sheet-$f.png"
  done
  echo "${scenes[$i]} lowest: ${lowest:-identical}"
done
echo "Contact sheets in $out (scale 1 enlarged left, scale $scale right)."
