#!/usr/bin/env bash
# Starts the desktop program on a virtual X display, takes a screenshot, opens the file menu
# with its access key and quits with 終了(&X). Exit 77 (skipped) when the X tools are missing.
# Usage: xvfb_smoke.sh PROGRAM OUTPUT_DIR
set -u
prog="$1"
out="$2"
for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
mkdir -p "$out"

. "$(dirname "$0")/xvfb_display.sh"
on_virtual_display 1280x800 "$0" "$prog" "$out"

shot() { command -v import >/dev/null && import -window root "$out/$1"; }

"$prog" &
pid=$!
wid=""
for _ in $(seq 1 100); do
  wid=$(xdotool search --name "画像地図化ツール" 2>/dev/null | head -1)
  [ -n "$wid" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$wid" ]; then
  echo "the window did not appear"
  kill "$pid" 2>/dev/null
  exit 1
fi
sleep 1
shot picmap-x11.png
xdotool windowfocus --sync "$wid" 2>/dev/null
xdotool key --window "$wid" alt+f
sleep 0.5
shot picmap-x11-menu.png
xdotool key x
for _ in $(seq 1 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "the program did not quit from its menu"
  kill "$pid"
  exit 1
fi
wait "$pid"
rc=$?
echo "quit from the menu, exit code $rc"
exit "$rc"
