#!/bin/sh
# Runs the conversion benchmark, one case per process, and prints the table.
# Usage: bench/convert_table.sh [BUILD_DIR]   (default: build)
set -eu
build=${1:-build}
bin="$build/bin/bench_convert"
earth=/usr/share/xplanet/images/earth.jpg
[ -x "$bin" ] || { echo "no $bin: build the bench_convert target first" >&2; exit 1; }

printf 'picture\ttone\tpixels\topen s\tgenerate s\tfigures\tcompress1 s\tremoved1\tcompress2 s\tremoved2\tsave s\tfigures saved\tMLL MB\tpeak MB\tsave\n'
for tone in 256 16; do
  "$bin" flat "$tone" 2
done
if [ -r "$earth" ]; then
  for tone in 256 16; do
    "$bin" "$earth" "$tone" 2
  done
else
  echo "($earth missing: install xplanet-images)" >&2
fi
