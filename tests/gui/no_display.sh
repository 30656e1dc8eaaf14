#!/usr/bin/env bash
# Started where no window can be shown, the program says so in one line that points to the
# command-line tool, and ends with exit code 1 (not Qt's abort): with no display named at all,
# and with a display named that does not exist. The line speaks the window's language.
# Usage: no_display.sh PROGRAM
set -u
prog="$1"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
fail=0

# check WHAT EXIT_CODE PATTERN [NAME=VALUE...] [-- ARGUMENTS...]
check() {
  local what="$1" want="$2" pattern="$3"
  shift 3
  local envs=() args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do envs+=("$1"); shift; done
  [ $# -gt 0 ] && shift && args=("$@")
  env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY -u LC_ALL -u LC_MESSAGES -u LANG \
    "${envs[@]}" "$prog" "${args[@]}" >"$out" 2>&1 </dev/null
  local rc=$?
  local lines
  lines=$(wc -l <"$out")
  if [ "$rc" -ne "$want" ] || [ "$lines" -ne 1 ] || ! grep -q -e "$pattern" "$out"; then
    echo "$what: exit code $rc, $lines line(s):"
    cat "$out"
    fail=1
  else
    echo "$what: $(cat "$out")"
  fi
}

check "no display" 1 "picmap-cli を使って"
check "a display that does not exist" 1 "picmap-cli を使って" DISPLAY=:4711
check "a Wayland display that does not exist" 1 "picmap-cli を使って" QT_QPA_PLATFORM=wayland \
  WAYLAND_DISPLAY=nowhere-4711
check "an English locale" 1 "no graphical session.*use picmap-cli" LANG=en_US.UTF-8
check "--lang ja under an English locale" 1 "picmap-cli を使って" LANG=en_US.UTF-8 -- --lang ja
check "--lang en under the C locale" 1 "use picmap-cli" LANG=C -- --lang=en
check "an unknown language" 2 "--lang takes ja or en" -- --lang fr
exit "$fail"
