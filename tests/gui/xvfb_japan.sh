#!/usr/bin/env bash
# The window at scale factor 2 on a 1600 x 1000 virtual screen, opened with a picture of Japan
# as its argument: the caption names the picture, the window fits the screen and can shrink
# to 1280 x 720. Then the picture's world file sets its edges, the view zooms onto it and the
# picture is made half see-through. Screenshots go to OUTPUT_DIR. Exit 77 (skipped) when the
# X tools are missing.
# Usage: xvfb_japan.sh PROGRAM OUTPUT_DIR      (PICMAP_JAPAN_PICTURE names another picture)
set -u
prog="$1"
out="$2"
for tool in xvfb-run xdotool xprop convert; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
mkdir -p "$out"

. "$(dirname "$0")/xvfb_display.sh"
on_virtual_display 1600x1000 "$0" "$prog" "$out"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The picture and its world file (pixel size and the centre of the top-left pixel, degrees).
src="${PICMAP_JAPAN_PICTURE:-/usr/share/kgeography/japan.png}"
if [ -f "$src" ] && [ -z "${PICMAP_JAPAN_PICTURE:-}" ]; then
  cp "$src" "$work/japan.png"  # kgeography's map, 428 x 547, placed by eye
  printf '0.0435\n0\n0\n-0.0282\n128.22\n45.89\n' > "$work/japan.pgw"
elif [ -f "$src" ]; then
  cp "$src" "$work/japan.png"
else
  # 128° E to 147° E, 46° N to 30° N of the world photograph (2048 x 1024, 360 x 180 degrees).
  earth=/usr/share/xplanet/images/earth.jpg
  [ -f "$earth" ] || { echo "skipped: no picture of Japan"; exit 77; }
  convert "$earth" -crop 108x91+1752+250 +repage "$work/japan.png"
  printf '%s\n' 0.17578125 0 0 -0.17578125 128.087890625 45.912109375 > "$work/japan.pgw"
fi

shot() { import -window root "$out/$1"; }
size_of() { xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p'; }

QT_SCALE_FACTOR=2 "$prog" "$work/japan.png" &
pid=$!
wid=""
for _ in $(seq 1 100); do
  wid=$(xdotool search --name "画像地図化ツール" 2>/dev/null | head -1)
  [ -n "$wid" ] && xdotool getwindowname "$wid" | grep -q "japan.png" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
fail() { echo "$1"; kill "$pid" 2>/dev/null; exit 1; }
[ -n "$wid" ] || fail "the window did not appear"
title=$(xdotool getwindowname "$wid")
case "$title" in
  *" - $work/japan.png") ;;
  *) fail "the caption does not name the picture: $title" ;;
esac
sleep 1
read -r w h < <(size_of "$wid")
echo "window at scale 2: ${w}x${h} on 1600x1000"
[ "$w" -le 1600 ] && [ "$h" -le 1000 ] || fail "the window is larger than the screen"
shot japan-scale2.png

# The smallest size the program lets the window manager give it.
read -r mw mh < <(xprop -id "$wid" WM_NORMAL_HINTS |
  sed -n 's/.*program specified minimum size: \([0-9]*\) by \([0-9]*\).*/\1 \2/p')
echo "smallest window at scale 2: ${mw}x${mh}"
[ -n "$mw" ] && [ "$mw" -le 1280 ] && [ "$mh" -le 720 ] || fail "the smallest window does not fit 1280x720"
xdotool windowsize "$wid" "$mw" "$mh"
sleep 1
shot japan-scale2-smallest.png
xdotool windowsize "$wid" 1500 950
sleep 1

# Edges from the world file, the view onto the picture's area, half see-through.
xdotool windowfocus --sync "$wid" 2>/dev/null
xdotool key --window "$wid" alt+m
sleep 0.3
xdotool key --window "$wid" f
sleep 0.5
shot japan-scale2-area.png
xdotool key --window "$wid" ctrl+f
sleep 0.5
xdotool key --window "$wid" alt+t
for _ in 1 2 3 4 5; do xdotool key --window "$wid" Page_Down; done
# The pointer over the preview: the status bar tells where it is.
read -r w h < <(size_of "$wid")
xdotool mousemove --window "$wid" $((w / 2)) $((h / 3))
sleep 0.5
shot japan-scale2-zoomed.png

xdotool key --window "$wid" ctrl+q
for _ in $(seq 1 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program did not quit with Ctrl+Q"
wait "$pid"
echo "quit with Ctrl+Q, exit code $?"
