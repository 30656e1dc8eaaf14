# Sourced by the window tests that run the program on a virtual X display.
# on_virtual_display WIDTHxHEIGHT SCRIPT ARGS...: run from the top of SCRIPT, it runs SCRIPT
# again inside xvfb-run and exits with its code; inside the display it returns once the
# server takes connections. A display number of its own (xvfb-run -a alone races with servers
# that are just ending), no server reset when a client leaves (the readiness probe would
# otherwise reset it just as the program connects); a display that never takes connections
# (exit 3) is tried again on another number.
on_virtual_display() {
  local screen="$1"
  shift
  if [ -z "${PICMAP_XVFB_INNER:-}" ]; then
    export PICMAP_XVFB_INNER=1
    # The program keeps its recent pictures in the user's settings: not the tester's.
    local config
    config=$(mktemp -d)
    local rc=3
    for _ in 1 2 3; do
      # The window's own (Japanese) words, whatever the tester's locale.
      env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u LANG -u LC_MESSAGES LC_ALL=C.UTF-8 \
        XDG_CONFIG_HOME="$config" \
        xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 ${screen}x24 -noreset" bash "$@"
      rc=$?
      [ "$rc" -ne 3 ] && break
    done
    rm -rf "$config"
    exit "$rc"
  fi
  # xvfb-run may hand over before the server takes connections.
  for _ in $(seq 1 50); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "the virtual display $DISPLAY takes no connections"
  exit 3
}
