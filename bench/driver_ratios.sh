#!/usr/bin/env bash
# The GDAL driver reading a converted map against FlatGeobuf holding the same features, as
# ratios measured in one go. The contestants run in turn, round after round, and each figure
# is the median of its rounds (the machine is shared).
#
# Usage: bench/driver_ratios.sh [BUILD_DIR] [ROUNDS]      (defaults: build, 7)
#
# The map is earth.jpg of xplanet-images converted with --world --compress 1 (about 900,000
# rectangles); FlatGeobuf gets its layers by ogr2ogr, one file per layer in a folder, with
# FlatGeobuf's spatial index. Jobs:
#   open    ogrinfo -so -al: open, feature counts, extents (whole process, and its peak memory)
#   all     every feature of every layer in a Python loop (time inside the process, and its
#           peak memory)
#   box     a spatial filter over 1% of the world (36° x 18° around Europe) in a Python loop
set -euo pipefail

build=${1:-build}
rounds=${2:-7}
cli="$build/bin/picmap-cli"
plugins="$build/lib/gdalplugins"
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$cli" ] && [ -e "$plugins/ogr_MLL.so" ] || { echo "build picmap-cli and ogr_MLL first" >&2; exit 1; }
earth=/usr/share/xplanet/images/earth.jpg
[ -r "$earth" ] || { echo "$earth missing: install xplanet-images" >&2; exit 1; }
python=/usr/bin/python3
"$python" -c 'import osgeo' 2>/dev/null || { echo "python3-gdal missing" >&2; exit 1; }

tmp=$(mktemp -d /tmp/picmap_driver_XXXXXX)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen GDAL_DRIVER_PATH="$plugins"
map="$tmp/earth.MLL"
fgb="$tmp/earth_fgb"
"$cli" convert "$earth" --world --compress 1 -o "$map" >/dev/null
ogr2ogr -f FlatGeobuf "$fgb" "$map"
box=(-10 35 26 53)

. "$(dirname "$0")/measure.sh"


for ((r = 1; r <= rounds; r++)); do
  for kind in mll fgb; do
    src=$map; [ $kind = fgb ] && src=$fgb
    read -r s kb < <(measure ogrinfo -ro -so -al "$src")
    add "$kind.open" "$s"; add "$kind.open.peak" "$kb"
    read -r _ kb < <(measure "$python" "$here/driver_probe.py" all "$src")
    read -r s n <"$tmp/out"
    add "$kind.all" "$s"; add "$kind.all.peak" "$kb"; add "$kind.all.n" "$n"
    measure "$python" "$here/driver_probe.py" box "$src" "${box[@]}" >/dev/null
    read -r s n <"$tmp/out"
    add "$kind.box" "$s"; add "$kind.box.n" "$n"
  done
done

mb() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
bytes=$(stat -c %s "$map")
printf '\nearth.MLL: %s bytes (%.1f MB), %s features; FlatGeobuf: %s features\n' "$bytes" \
  "$(awk -v b="$bytes" 'BEGIN {print b / 1048576}')" "$(med mll.all.n)" "$(med fgb.all.n)"
printf 'medians of %d rounds\n' "$rounds"
printf '%-34s %10s %10s %8s\n' job MLL FlatGeobuf MLL/FGB
printf '%-34s %10s %10s %8s\n' 'ogrinfo -so -al, s' "$(med mll.open)" "$(med fgb.open)" "$(ratio "$(med mll.open)" "$(med fgb.open)")"
printf '%-34s %10s %10s %8s\n' 'ogrinfo -so -al, peak MB' "$(mb "$(med mll.open.peak)")" "$(mb "$(med fgb.open.peak)")" "$(ratio "$(med mll.open.peak)" "$(med fgb.open.peak)")"
printf '%-34s %10s %10s %8s\n' 'all features (Python loop), s' "$(med mll.all)" "$(med fgb.all)" "$(ratio "$(med mll.all)" "$(med fgb.all)")"
printf '%-34s %10s %10s %8s\n' 'all features, peak MB' "$(mb "$(med mll.all.peak)")" "$(mb "$(med fgb.all.peak)")" "$(ratio "$(med mll.all.peak)" "$(med fgb.all.peak)")"
printf '%-34s %10s %10s %8s\n' "1% box, s" "$(med mll.box)" "$(med fgb.box)" "$(ratio "$(med mll.box)" "$(med fgb.box)")"
printf '%-34s %10s %10s\n' '1% box, features' "$(med mll.box.n)" "$(med fgb.box.n)"
printf '\nMLL: ogrinfo -so -al peak / file size: %s\n' "$(awk -v k="$(med mll.open.peak)" -v b="$bytes" 'BEGIN {printf "%.2f", k * 1024 / b}')"
printf 'MLL: full scan / 1%% box: %s\n' "$(ratio "$(med mll.all)" "$(med mll.box)")"
