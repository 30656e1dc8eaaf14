#!/usr/bin/env bash
# The clean-up's figures on real map pictures: each flat-colour picture is damaged as scans
# and JPEGs are (3x bilinear upscale, 0.7 px blur, JPEG quality 60), converted with
# --colors K (K: the clean picture's colour count) --sieve 20 --regions --simplify 1, and
# compared with the clean picture (bench/clean_quality.py).
#
# Usage: bench/clean_maps.sh [BUILD_DIR] PICTURE...   (default: six of kgeography's maps)
#        bench/clean_maps.sh [BUILD_DIR] --sample       (the 29 maps of bench/clean_maps.txt)
# Ends with a summary over the maps: how many reach 98% of pixel centres in their colour, find
# 90% of the clean regions of 3 pixels and more, and add no more than a tenth besides.
set -euo pipefail

build=${1:-build}
shift || true
pictures=("$@")
here=$(cd "$(dirname "$0")" && pwd)
if [ "${pictures[0]:-}" = --sample ]; then
  pictures=()
  while read -r m; do pictures+=(/usr/share/kgeography/$m.png); done < "$here/clean_maps.txt"
fi
[ ${#pictures[@]} -gt 0 ] || for m in japan europe africa usa india canada; do
  pictures+=(/usr/share/kgeography/$m.png); done
cli="$build/bin/picmap-cli"
python=/usr/bin/python3
tmp=$(mktemp -d /tmp/picmap_maps_XXXXXX)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen GDAL_DRIVER_PATH="$build/lib/gdalplugins"

for picture in "${pictures[@]}"; do
  name=$(basename "$picture" .png)
  colours=$("$python" "$here/clean_quality.py" damage "$picture" "$tmp/$name.jpg")
  "$cli" --lang en convert "$tmp/$name.jpg" -o "$tmp/rect.MLL" --no-backup >/dev/null
  t0=$(date +%s%N)
  out=$("$cli" --lang en convert "$tmp/$name.jpg" -o "$tmp/$name.MLL" --no-backup --colors "$colours" \
          --sieve 20 --regions --simplify 1)
  t1=$(date +%s%N)
  printf '\n%s: %s colours, %s, %.2f s\n' "$name" "$colours" \
    "$(grep -E '^regions' <<<"$out")" "$(awk -v t=$(( (t1 - t0) / 1000000 )) 'BEGIN {print t / 1000}')"
  grep -E '^figures' <<<"$out"
  "$python" "$here/clean_quality.py" check "$picture" "$tmp/$name.MLL" "$tmp/rect.MLL" | tee -a "$tmp/checks.txt"
done
echo
"$python" "$here/clean_quality.py" summary "$tmp/checks.txt"
