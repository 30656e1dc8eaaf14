#!/usr/bin/env bash
# A georeferenced conversion against GDAL's warp followed by a conversion of its output, as
# ratios measured in one go. The contestants run in turn, round after round, and each figure
# is the median of its rounds (the machine is shared).
#
# Usage: bench/georef_ratios.sh [BUILD_DIR] [ROUNDS] [SIZE]      (defaults: build, 5, 4096)
#
# The picture is earth.jpg of xplanet-images warped by gdalwarp into Web Mercator (EPSG:3857)
# as a SIZE x SIZE GeoTIFF, and a flat-colour map of the same size (a few hundred regions, as
# map pictures are). Contestants:
#   picmap    picmap-cli convert PICTURE.tif (finds the CRS, warps in memory, converts)
#   gdal      gdalwarp -r near -multi -wo NUM_THREADS=ALL_CPUS onto the grid picmap chose
#             (same extents and size), then picmap-cli convert of that longitude/latitude
#             GeoTIFF
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
size=${3:-4096}
cli="$build/bin/picmap-cli"
[ -x "$cli" ] || { echo "build picmap-cli first" >&2; exit 1; }
earth=/usr/share/xplanet/images/earth.jpg
[ -r "$earth" ] || { echo "$earth missing: install xplanet-images" >&2; exit 1; }
python=/usr/bin/python3
"$python" -c 'import osgeo' 2>/dev/null || { echo "python3-gdal missing" >&2; exit 1; }

tmp=$(mktemp -d /tmp/picmap_georef_XXXXXX)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen
. "$(dirname "$0")/measure.sh"

# earth.jpg as the longitude/latitude box it is, then in Web Mercator.
gdal_translate -q -a_srs EPSG:4326 -a_ullr -180 90 180 -90 "$earth" "$tmp/earth_ll.tif"
gdalwarp -q -r near -t_srs EPSG:3857 -te -20037508 -20037508 20037508 20037508 \
  -ts "$size" "$size" "$tmp/earth_ll.tif" "$tmp/earth.tif"
# A flat-colour map: Voronoi regions in eight colours.
"$python" - "$tmp/flat.tif" "$size" <<'PY'
import sys
import numpy as np
from osgeo import gdal, osr
path, n = sys.argv[1], int(sys.argv[2])
rng = np.random.default_rng(5)
seeds = rng.uniform(0, 1024, size=(300, 2))
yy, xx = np.mgrid[0:1024, 0:1024]
best = np.full((1024, 1024), np.inf); label = np.zeros((1024, 1024), np.int32)
for k, (sx, sy) in enumerate(seeds):
    d = (xx - sx) ** 2 + (yy - sy) ** 2
    label[d < best] = k; best = np.minimum(best, d)
table = np.array([(230, 30, 30), (30, 160, 60), (40, 60, 200), (240, 200, 40), (160, 60, 170),
                  (20, 170, 190), (250, 130, 30), (120, 120, 120)], np.uint8)
rgb = table[label % 8]
ds = gdal.GetDriverByName("MEM").Create("", 1024, 1024, 3, gdal.GDT_Byte)
for b in range(3): ds.GetRasterBand(b + 1).WriteArray(rgb[:, :, b])
ds.SetGeoTransform([12e6, 6000 / 1024 * 1000, 0, 5.5e6, 0, -6000 / 1024 * 1000])
srs = osr.SpatialReference(); srs.ImportFromEPSG(3857); ds.SetProjection(srs.ExportToWkt())
gdal.Translate(path, ds, width=n, height=n, resampleAlg="near", creationOptions=["TILED=YES"])
PY

# The grid picmap warps onto, for gdalwarp to warp onto the same.
grid() {
  "$cli" convert --lang en "$1" -o "$tmp/probe.MLL" --no-backup --compress 0 --background none \
    | awk '/^warped:/ {print $2, $4} /^extents:/ {print}' >"$tmp/grid"
  "$python" - "$tmp/grid" <<'PY'
import re, sys
lines = open(sys.argv[1]).read().splitlines()
w, h = lines[0].split()
def sec(t):
    m = re.match(r"([EWNS])(\d+)°(\d+)′(\d+)″", t)
    v = int(m[2]) * 3600 + int(m[3]) * 60 + int(m[4])
    return (-v if m[1] in "WS" else v) / 3600
e = re.findall(r"[EWNS]\d+°\d+′\d+″", lines[1])
print(sec(e[0]), sec(e[3]), sec(e[1]), sec(e[2]), w, h)
PY
}

for name in earth flat; do
  read -r xmin ymin xmax ymax w h < <(grid "$tmp/$name.tif")
  for ((r = 1; r <= rounds; r++)); do
    read -r s kb < <(measure "$cli" convert "$tmp/$name.tif" -o "$tmp/a.MLL" --no-backup)
    add "$name.picmap" "$s"; add "$name.picmap.peak" "$kb"
    read -r s1 _ < <(measure gdalwarp -q -overwrite -r near -multi -wo NUM_THREADS=ALL_CPUS \
      -t_srs EPSG:4326 -te "$xmin" "$ymin" "$xmax" "$ymax" -ts "$w" "$h" -dstalpha \
      "$tmp/$name.tif" "$tmp/ll.tif")
    read -r s2 _ < <(measure "$cli" convert "$tmp/ll.tif" -o "$tmp/b.MLL" --no-backup)
    add "$name.gdal" "$(awk -v a="$s1" -v b="$s2" 'BEGIN {print a + b}')"
  done
  printf '%s: %sx%s EPSG:3857 -> %sx%s lon/lat grid\n' "$name" "$size" "$size" "$w" "$h"
done

printf '\nmedians of %d rounds, seconds\n' "$rounds"
printf '%-8s %10s %22s %14s %14s\n' picture picmap 'gdalwarp + convert' ratio 'picmap peak MB'
for name in earth flat; do
  printf '%-8s %10s %22s %14s %14s\n' "$name" "$(med $name.picmap)" "$(med $name.gdal)" \
    "$(ratio "$(med $name.picmap)" "$(med $name.gdal)")" \
    "$(awk -v k="$(med $name.picmap.peak)" 'BEGIN {printf "%.0f", k / 1024}')"
done
