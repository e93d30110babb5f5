#!/bin/bash
# The desktop widget as a screen reader meets it, on X11 under Xvfb with a
# private session bus: an AT-SPI client reads the tree (names, descriptions,
# states), presses the Pause button through its action, and finds the timer
# paused by velto-timer, the handler of velto: links, and the tree saying so.
#
# Usage: atspi_test.sh HOST DEFAULTS TIMER   (exit 77: a needed program is missing)

HOST=$1
DEFAULTS=$2
TIMER=$3
. "$(dirname "$0")/common.sh"
need Xvfb dbus-run-session
# Debian's bindings belong to Debian's python3, which another one on PATH may hide.
python=""
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import gi; gi.require_version("Atspi", "2.0"); from gi.repository import Atspi' \
    2>/dev/null; then
    python=$candidate
    break
  fi
done
[ -n "$python" ] || skip "the AT-SPI bindings for python3 (python3-gi, gir1.2-atspi-2.0) are not installed"
[ -f /usr/share/dbus-1/services/org.a11y.Bus.service ] || skip "at-spi2-core is not installed"

xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  if [ -n "${KEEP:-}" ]; then echo "kept $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$WORK/display" 2>"$WORK/xvfb.log" &
xvfb_pid=$!
wait_for 10 test -s "$WORK/display" || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
export DISPLAY=":$(cat "$WORK/display")"
unset WAYLAND_DISPLAY

# The session bus starts the accessibility bus from the system's service files.
export XDG_DATA_DIRS="$WORK/data:/usr/local/share:/usr/share"
"$TIMER" register >/dev/null || fail "velto-timer register failed"
"$TIMER" start "Deep Work" >/dev/null || fail "velto-timer start failed"

dbus-run-session -- "$python" "$(dirname "$0")/atspi_client.py" "$HOST" "$TIMER" "$WORK" \
  || fail "the AT-SPI client found a fault (host log: $(cat "$WORK/host.log"))"
echo "PASS"
