#!/usr/bin/env bash
# Started where no window can be shown, the program says so in one line that points to the
# command-line tool, and ends with exit code 1 (not Qt's abort): with no display named at all,
# and with a display named that does not exist.
# Usage: no_display.sh PROGRAM
set -u
prog="$1"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
fail=0

check() {
  local what="$1"
  shift
  env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY "$@" "$prog" >"$out" 2>&1 </dev/null
  local rc=$?
  local lines
  lines=$(wc -l <"$out")
  if [ "$rc" -ne 1 ] || [ "$lines" -ne 1 ] || ! grep -q "picmap-cli" "$out"; then
    echo "$what: exit code $rc, $lines line(s):"
    cat "$out"
    fail=1
  else
    echo "$what: $(cat "$out")"
  fi
}

check "no display"
check "a display that does not exist" DISPLAY=:4711
check "a Wayland display that does not exist" QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=nowhere-4711
exit "$fail"
