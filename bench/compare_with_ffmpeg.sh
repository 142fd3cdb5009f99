#!/usr/bin/env bash
# Whole-process wall time of letters K and L against ffmpeg doing the same conversion, in the
# same run on the same files. Prints the best of several runs of each and the ratios.
# Usage: bench/compare_with_ffmpeg.sh [program] [frames...]   (default frames: 30 300)
set -euo pipefail

program=$(realpath "${1:-build/default/bin/korvanta}")
shift || true
frame_counts=("${@:-30}")
[ $# -eq 0 ] && frame_counts=(30 300)
runs=5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# best_of FUNCTION: "WALL CPU", the shortest wall time and the shortest processor time
# (user + system) of $runs runs, in milliseconds. On a machine that other work shares,
# processor time is the steadier figure: ffmpeg runs several threads and takes a larger
# share of a busy machine.
best_of() {
  local best_wall= best_cpu=
  for _ in $(seq "$runs"); do
    /usr/bin/time -f '%e %U %S' -o "$work/time.txt" bash -c "$1" >/dev/null 2>&1
    read -r wall user system <"$work/time.txt"
    local wall_ms cpu_ms
    wall_ms=$(awk -v w="$wall" 'BEGIN { printf "%d", w * 1000 }')
    cpu_ms=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%d", (u + s) * 1000 }')
    if [ -z "$best_wall" ] || [ "$wall_ms" -lt "$best_wall" ]; then best_wall=$wall_ms; fi
    if [ -z "$best_cpu" ] || [ "$cpu_ms" -lt "$best_cpu" ]; then best_cpu=$cpu_ms; fi
  done
  echo "$best_wall $best_cpu"
}

extract_ours() { (cd "$work/k" && rm -f out*.bmp && printf 'K\n../anim.bin\nout\nQ\n' | "$program"); }
extract_ffmpeg() {
  (cd "$work/k" && rm -f out*.bmp && ffmpeg -nostdin -loglevel error -f rawvideo \
    -pixel_format rgb565le -video_size 240x320 -i ../anim.bin -pix_fmt bgr24 out%d.bmp)
}
create_ours() { (cd "$work/l" && "$program" <"$work/l-input.txt"); }
create_ffmpeg() {
  (cd "$work/l" && rm -f out.bin && ffmpeg -nostdin -loglevel error -i frame%d.bmp \
    -sws_flags neighbor -f rawvideo -pix_fmt rgb565le out.bin)
}

export program work
export -f extract_ours extract_ffmpeg create_ours create_ffmpeg

for frames in "${frame_counts[@]}"; do
  rm -rf "$work"/*
  mkdir -p "$work/k" "$work/l"
  head -c $((frames * 153600)) /dev/urandom >"$work/anim.bin"
  (cd "$work/l" && printf 'K\n../anim.bin\nframe\nQ\n' | "$program" >/dev/null)
  {
    printf 'L\nanim-ours.bin\n'
    for ((i = 0; i < frames; i++)); do printf 'frame%d.bmp\n' "$i"; done
    printf '\nQ\n'
  } >"$work/l-input.txt"

  read -r k_ours k_ours_cpu < <(best_of extract_ours)
  read -r k_ffmpeg k_ffmpeg_cpu < <(best_of extract_ffmpeg)
  read -r l_ours l_ours_cpu < <(best_of create_ours)
  read -r l_ffmpeg l_ffmpeg_cpu < <(best_of create_ffmpeg)
  cmp -s "$work/anim.bin" "$work/l/anim-ours.bin" || echo "round trip differs!" >&2
  report() {
    awk -v n="$frames" -v what="$1" -v o="$2" -v f="$3" -v oc="$4" -v fc="$5" 'BEGIN {
      printf "%4d frames  %s wall %5d ms, ffmpeg %5d ms: %.2f   cpu %5d ms, ffmpeg %5d ms: %.2f\n",
        n, what, o, f, o / f, oc, fc, oc / fc
    }'
  }
  report K "$k_ours" "$k_ffmpeg" "$k_ours_cpu" "$k_ffmpeg_cpu"
  report L "$l_ours" "$l_ffmpeg" "$l_ours_cpu" "$l_ffmpeg_cpu"
done
