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

# A display number of its own (xvfb-run -a alone races with servers that are just ending),
# no server reset when a client leaves (the readiness probe would otherwise reset it just as
# the program connects);
# a display that never takes connections is tried again on another number.
if [ -z "${PICMAP_SMOKE_INNER:-}" ]; then
  export PICMAP_SMOKE_INNER=1
  for _ in 1 2 3; do
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY xvfb-run -a -n $((100 + RANDOM % 800)) \
      -s "-screen 0 1280x800x24 -noreset" bash "$0" "$prog" "$out"
    rc=$?
    [ "$rc" -ne 3 ] && exit "$rc"
  done
  exit "$rc"
fi

# xvfb-run may hand over before the server takes connections.
ready=""
for _ in $(seq 1 50); do
  xdotool getdisplaygeometry >/dev/null 2>&1 && { ready=1; break; }
  sleep 0.1
done
[ -n "$ready" ] || { echo "the virtual display $DISPLAY takes no connections"; exit 3; }

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
