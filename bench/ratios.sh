#!/usr/bin/env bash
# The conversion against its floor and its peers, as ratios measured in one go. The machine is
# shared, so the contestants run in turn, round after round, and each figure is the median of
# its rounds.
#
# Usage: bench/ratios.sh [BUILD_DIR] [ROUNDS]      (defaults: build, 5)
#        HUGE=1 bench/ratios.sh ...                 also converts a 32768 x 16384 flat picture
#
# Pictures: earth.jpg of xplanet-images (2048 x 1024 photograph) and kgeography's world.png
# scaled to 8192 x 4096 with nearest neighbour (flat colours), made in a temporary folder.
# Contestants per picture:
#   convert  picmap-cli convert PICTURE --world --compress 1 (whole process: decode, generate,
#            compress, save)
#   floor    bench_floor: decode the picture with Qt and write as many bytes as the map file
#            holds, flushed to the disk like the map file
#   gdal     gdal_polygonize.py -of FlatGeobuf (flat picture only)
#   window   the real window offscreen: generation plus one compression (bench_window)
# and for the map file of earth.jpg: load and save through the document (bench_mapfile),
# picmap-cli copy against cp.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
bin="$build/bin"
for b in picmap-cli bench_floor bench_window bench_mapfile; do
  [ -x "$bin/$b" ] || { echo "no $bin/$b: build the targets picmap-cli bench_floor bench_window bench_mapfile" >&2; exit 1; }
done
earth=/usr/share/xplanet/images/earth.jpg
world=/usr/share/kgeography/world.png
[ -r "$earth" ] || { echo "$earth missing: install xplanet-images" >&2; exit 1; }
[ -r "$world" ] || { echo "$world missing: install kgeography-data" >&2; exit 1; }
command -v gdal_polygonize.py >/dev/null || { echo "gdal_polygonize.py missing: install python3-gdal" >&2; exit 1; }
command -v convert >/dev/null || { echo "convert missing: install imagemagick" >&2; exit 1; }

tmp=$(mktemp -d /tmp/picmap_ratios_XXXXXX)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen
flat="$tmp/flat8192.png"
convert "$world" -filter point -resize '8192x4096!' "$flat"

. "$(dirname "$0")/measure.sh"

# The program's own start (libraries, Qt) and the memory of a conversion of a 64 x 64 picture:
# the part of every figure below that does not depend on the picture.
convert -size 64x64 xc:red "$tmp/tiny.png"


for ((r = 1; r <= rounds; r++)); do
  read -r s _ < <(measure "$bin/picmap-cli" --version)
  add start "$s"
  rm -f "$tmp"/tiny*.MLL
  read -r _ kb < <(measure "$bin/picmap-cli" convert "$tmp/tiny.png" -o "$tmp/tiny.MLL" --world)
  add base "$kb"
done

for name in earth flat; do
  pic=$earth; [ "$name" = flat ] && pic=$flat
  # one conversion first for the map size and the rectangle count
  "$bin/picmap-cli" convert "$pic" -o "$tmp/$name.MLL" --world --compress 1 >"$tmp/$name.txt"
  add "$name.bytes" "$(stat -c %s "$tmp/$name.MLL")"
  add "$name.rects" "$(awk '/^compression / {print $NF; exit}' "$tmp/$name.txt")"
  for ((r = 1; r <= rounds; r++)); do
    rm -f "$tmp/$name.MLL" "$tmp"/$name-*.MLL
    read -r s kb < <(measure "$bin/picmap-cli" convert "$pic" -o "$tmp/$name.MLL" --world --compress 1)
    add "$name.convert" "$s"; add "$name.peak" "$kb"
    read -r s _ < <(measure "$bin/bench_floor" "$pic" "$(med "$name.bytes")" "$tmp/floor.bin" fsync)
    add "$name.floor" "$s"
    if [ "$name" = flat ]; then
      rm -f "$tmp/out.fgb"
      read -r s _ < <(measure gdal_polygonize.py -q -of FlatGeobuf "$pic" "$tmp/out.fgb")
      add "$name.gdal" "$s"
    fi
    measure "$bin/bench_window" "$pic" >/dev/null
    read -r gen comp _ _ stretch _ <"$tmp/out"
    add "$name.window" "$(awk -v a="$gen" -v b="$comp" 'BEGIN {print a + b}')"
    add "$name.stretch" "$stretch"
  done
done

# The map file of earth.jpg (about a million rectangles): load, save, copy against cp.
map="$tmp/earth.MLL"
for ((r = 1; r <= rounds; r++)); do
  rm -f "$tmp"/copy*.MLL "$tmp/cp.MLL" "$tmp"/rate*.MLL
  read -r bytes _ load save < <("$bin/bench_mapfile" "$map" "$tmp/rate.MLL")
  add load "$(awk -v b="$bytes" -v s="$load" 'BEGIN {print b / s / 1e6}')"
  add save "$(awk -v b="$bytes" -v s="$save" 'BEGIN {print b / s / 1e6}')"
  read -r s _ < <(measure "$bin/picmap-cli" copy "$map" "$tmp/copy.MLL")
  add copy "$s"
  read -r s _ < <(measure cp "$map" "$tmp/cp.MLL")
  add cp "$s"
  rm -f "$tmp/cp.MLL"
  read -r s _ < <(measure sh -c "cp '$map' '$tmp/cp.MLL' && sync '$tmp/cp.MLL'")
  add cpsync "$s"
done

printf '\nmedians of %d rounds (seconds unless said)\n' "$rounds"
start=$(med start); base=$(med base)
printf 'picmap-cli start: %s s; a 64 x 64 conversion peaks at %.1f MB\n' "$start" "$(awk -v k="$base" 'BEGIN {print k / 1024}')"
printf '%-6s %8s %8s %6s %6s %7s %7s %7s %8s %7s %7s %7s %7s\n' picture rects convert floor gdal window stretch peak B/rect B/rect2 c/floor c2/floor c/gdal
printf '%-6s %8s %8s %6s %6s %7s %7s %7s %8s %7s %7s %7s %7s\n' '' '' s s s s ms MB all above all start- ''
for name in earth flat; do
  conv=$(med "$name.convert"); floor=$(med "$name.floor"); rects=$(med "$name.rects")
  peak=$(med "$name.peak"); gdal=-; vs_gdal=-
  if [ -n "${samples[$name.gdal]:-}" ]; then gdal=$(med "$name.gdal"); vs_gdal=$(ratio "$conv" "$gdal"); fi
  printf '%-6s %8s %8s %6s %6s %7s %7s %7s %8s %7s %7s %7s %7s\n' "$name" "$rects" "$conv" "$floor" "$gdal" \
    "$(med "$name.window")" "$(med "$name.stretch")" "$(awk -v k="$peak" 'BEGIN {printf "%.1f", k / 1024}')" \
    "$(awk -v k="$peak" -v n="$rects" 'BEGIN {printf "%.0f", k * 1024 / n}')" \
    "$(awk -v k="$peak" -v b="$base" -v n="$rects" 'BEGIN {printf "%.0f", (k - b) * 1024 / n}')" \
    "$(ratio "$conv" "$floor")" "$(awk -v c="$conv" -v s="$start" -v f="$floor" 'BEGIN {printf "%.2f", (c - s) / f}')" "$vs_gdal"
done
printf '(B/rect above: peak above the 64 x 64 conversion; c2/floor: the conversion without the program start)\n' 
printf '\nwindow (generation + compression) / headless conversion: earth %s, flat %s\n' \
  "$(ratio "$(med earth.window)" "$(med earth.convert)")" "$(ratio "$(med flat.window)" "$(med flat.convert)")"
printf 'earth map file (%s bytes): load %.0f MB/s, save %.0f MB/s; copy %s s, cp %s s (%sx), cp+sync %s s (%sx)\n' \
  "$(med earth.bytes)" "$(med load)" "$(med save)" "$(med copy)" "$(med cp)" "$(ratio "$(med copy)" "$(med cp)")" \
  "$(med cpsync)" "$(ratio "$(med copy)" "$(med cpsync)")"

if [ "${HUGE:-0}" = 1 ]; then
  huge="$tmp/flat32768.png"
  # ImageMagick's resource policy refuses pictures wider than 16384 pixels; GDAL scales it.
  gdal_translate -q -of PNG -outsize 32768 16384 -r nearest "$world" "$huge"
  read -r s kb < <(measure "$bin/picmap-cli" convert "$huge" -o "$tmp/huge.MLL" --world --compress 1)
  printf '32768 x 16384 flat picture: %s s, peak %.0f MB, %s\n' "$s" "$(awk -v k="$kb" 'BEGIN {print k / 1024}')" \
    "$(grep '^compression run 1' "$tmp/out")"
fi
