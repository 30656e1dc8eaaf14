#!/bin/sh
# The dissolve benchmark: kgeography's world map scaled to 8192 x 4096 with nearest neighbour,
# converted over the whole world (one compression run), then exported to FlatGeobuf with
# --dissolve, against gdal_polygonize.py -8 on the picture itself, in one run.
# Usage: bench/dissolve_table.sh [BUILD_DIR]   (default: build)
set -eu
build=${1:-build}
cli="$build/bin/picmap-cli"
[ -x "$build/bin/bench_dissolve" ] || { echo "no $build/bin/bench_dissolve: build it first" >&2; exit 1; }
world=/usr/share/kgeography/world.png
[ -x "$cli" ] || { echo "no $cli: build the picmap-cli target first" >&2; exit 1; }
[ -r "$world" ] || { echo "$world missing: install kgeography-data (scripts/setup)" >&2; exit 1; }
py=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds() {  # runs the command, prints its wall time in seconds
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

gdal_translate -q -outsize 8192 4096 -r nearest "$world" "$work/world.png"
# The white of the sea is the background, as in the picture's top left pixel.
"$cli" convert "$work/world.png" --world --compress 1 --background-at 0,0 -o "$work/world.MLL" >/dev/null
polygons=$("$cli" info "$work/world.MLL" | sed -n 's/.*POLYGON \([0-9]*\).*/\1/p')

t_dissolve=$(seconds "$cli" export "$work/world.MLL" "$work/dissolved.fgb" --dissolve)
t_polygonize=$(seconds "$py" /usr/bin/gdal_polygonize.py -8 -q "$work/world.png" -b 1 \
  -f FlatGeobuf "$work/polygonized.fgb" regions DN)

background=$("$py" -c "
from osgeo import gdal
ds = gdal.Open('$work/world.png')
print(ds.GetRasterBand(1).ReadRaster(0, 0, 1, 1)[0])")
regions_dissolve=$("$py" -c "
from osgeo import ogr
ds = ogr.Open('$work/dissolved.fgb')
print(ds.GetLayer(0).GetFeatureCount())")
regions_polygonize=$("$py" -c "
from osgeo import ogr
ds = ogr.Open('$work/polygonized.fgb')
layer = ds.GetLayer(0)
layer.SetAttributeFilter('DN <> $background')
print(layer.GetFeatureCount())")

echo "export --dissolve against gdal_polygonize.py -8 (wall-clock seconds, one run):"
printf 'picture\tpolygons\tdissolve s\tregions\tpolygonize -8 s\tregions\tdissolve / polygonize\n'
printf 'world 8192x4096\t%s\t%.2f\t%s\t%.2f\t%s\t%.2f\n' "$polygons" "$t_dissolve" "$regions_dissolve" \
  "$t_polygonize" "$regions_polygonize" "$(echo "$t_dissolve / $t_polygonize" | bc -l)"
echo
echo "The union inside the dissolve, outline tracer against GEOS:"
"$build/bin/bench_dissolve" "$work/world.MLL"
