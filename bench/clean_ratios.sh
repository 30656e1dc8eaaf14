#!/usr/bin/env bash
# Cleaning a damaged map picture into regions against GDAL's tools doing the same, as a ratio
# measured in one go: the contestants run in turn, round after round, and each figure is the
# median of its rounds (the machine is shared).
#
# Usage: bench/clean_ratios.sh [BUILD_DIR] [ROUNDS] [CLEAN_SIZE]      (defaults: build, 5, 1366)
#
# The picture: a flat-colour map of 400 regions in 10 colours with 40 lakes, CLEAN_SIZE pixels
# square, damaged as real pictures are (3x bilinear upscale, 0.7 px blur, JPEG quality 60):
# 4098 x 4098 pixels by default.
#   picmap  picmap-cli convert --colors 10 --sieve 20 --regions --simplify 1
#   gdal    gdal_sieve.py -st 20 -8, gdal_polygonize.py, ogr2ogr -simplify 1 (in turn, summed),
#           on the picture's first band: GDAL's tools take one band
# Then the clean-up's figures (bench/clean_quality.py) on the picmap map.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
size=${3:-1366}
cli="$build/bin/picmap-cli"
plugins="$build/lib/gdalplugins"
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3
[ -x "$cli" ] && [ -e "$plugins/ogr_MLL.so" ] || { echo "build picmap-cli and ogr_MLL first" >&2; exit 1; }
"$python" -c 'import osgeo, numpy' 2>/dev/null || { echo "python3-gdal and numpy missing" >&2; exit 1; }

tmp=$(mktemp -d /tmp/picmap_clean_XXXXXX)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen GDAL_DRIVER_PATH="$plugins"
"$python" "$here/clean_quality.py" make "$tmp/clean.png" "$tmp/damaged.jpg" "$size" 400 10 40

. "$here/measure.sh"

picmap=("$cli" --lang en convert "$tmp/damaged.jpg" -o "$tmp/regions.MLL" --no-backup --colors 10
        --sieve 20 --regions --simplify 1)
# One process running the three in turn, so that one measurement takes them all.
gdal_steps=(bash -c 'set -e; cd "$1"; rm -f sieved.tif polygons.gpkg simple.gpkg
  gdal_sieve.py -q -st 20 -8 damaged.jpg sieved.tif
  gdal_polygonize.py -q sieved.tif polygons.gpkg polygons value
  ogr2ogr -simplify 1 simple.gpkg polygons.gpkg' gdal "$tmp")

for ((r = 1; r <= rounds; r++)); do
  read -r s kb < <(measure "${picmap[@]}")
  add picmap "$s"; add picmap.peak "$kb"
  read -r s kb < <(measure "${gdal_steps[@]}")
  add gdal "$s"; add gdal.peak "$kb"
done

mb() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
side=$(( 3 * size ))
printf '\n%d x %d damaged picture, medians of %d rounds\n' "$side" "$side" "$rounds"
printf '%-40s %10s %10s %8s\n' job picmap GDAL picmap/GDAL
printf '%-40s %10s %10s %8s\n' 'sieve, regions, simplify: s' "$(med picmap)" "$(med gdal)" "$(ratio "$(med picmap)" "$(med gdal)")"
printf '%-40s %10s %10s %8s\n' 'peak MB (largest process)' "$(mb "$(med picmap.peak)")" "$(mb "$(med gdal.peak)")" "$(ratio "$(med picmap.peak)" "$(med gdal.peak)")"
printf 'GDAL polygons: %s\n' "$(ogrinfo -so "$tmp/simple.gpkg" polygons | sed -n 's/^Feature Count: //p')"
"$cli" --lang en convert "$tmp/damaged.jpg" -o "$tmp/rectangles.MLL" --no-backup >/dev/null
"${picmap[@]}" | grep -E '^(figures|regions)'
"$python" "$here/clean_quality.py" check "$tmp/clean.png" "$tmp/regions.MLL" "$tmp/rectangles.MLL"
