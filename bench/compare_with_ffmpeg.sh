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

now() { date +%s%N; }

# best_of COMMAND...: the shortest wall time of $runs runs, in milliseconds.
best_of() {
  local best=
  for _ in $(seq "$runs"); do
    local start end
    start=$(now)
    "$@" >/dev/null 2>&1
    end=$(now)
    local ms=$(((end - start) / 1000000))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
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

  k_ours=$(best_of extract_ours)
  k_ffmpeg=$(best_of extract_ffmpeg)
  l_ours=$(best_of create_ours)
  l_ffmpeg=$(best_of create_ffmpeg)
  cmp -s "$work/anim.bin" "$work/l/anim-ours.bin" || echo "round trip differs!" >&2
  awk -v n="$frames" -v ko="$k_ours" -v kf="$k_ffmpeg" -v lo="$l_ours" -v lf="$l_ffmpeg" 'BEGIN {
    printf "%4d frames  K %6d ms  ffmpeg %6d ms  ratio %.2f\n", n, ko, kf, ko / kf
    printf "%4d frames  L %6d ms  ffmpeg %6d ms  ratio %.2f\n", n, lo, lf, lo / lf
  }'
done
