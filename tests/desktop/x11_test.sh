#!/bin/bash
# The desktop widget on X11 under Xvfb, tried as a person would: it appears in
# its corner with rounded corners over what lies behind, ticks only its
# readout, shows a new snapshot at once, opens a link on a click, remembers
# where it was dragged, ends cleanly on SIGTERM, and says so in one line when
# the display closes under it.
#
# Usage: x11_test.sh HOST DEFAULTS   (exit 77: a needed program is missing)

HOST=$1
DEFAULTS=$2
. "$(dirname "$0")/common.sh"
need Xvfb xdotool import convert

# A white desktop, so that see-through corners show as white.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset -wr 3>"$WORK/display" 2>"$WORK/xvfb.log" &
server_pid=$!
wait_for 10 test -s "$WORK/display" || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
export DISPLAY=":$(cat "$WORK/display")"
unset WAYLAND_DISPLAY

start_host() {
  : > "$WORK/host.log"
  VELTO_LOG_REDRAWS=1 "$HOST" desktop --appearance dark --verbose "$@" 2>"$WORK/host.log" &
  host_pid=$!
  wait_for 20 grep -q '^velto-widget-host: button velto://toggle' "$WORK/host.log" \
    || fail "no widget with buttons appeared: $(cat "$WORK/host.log")"
  window=$(xdotool search --sync --classname velto-widget-host | while read -r id; do
    xdotool getwindowgeometry "$id" | grep -q 'Geometry: 170x170' && echo "$id"; done | head -1)
  [ -n "$window" ] || fail "no 170x170 window of class velto-widget-host"
  eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y
  sleep 0.5
}

# button URL: the button's box in window coordinates, from the host's log.
button() { grep "^velto-widget-host: button $1 " "$WORK/host.log" | tail -1 | awk '{print $4}'; }

echo "--- the widget appears in the top-right corner of the work area"
snapshot running 754
start_host
[ "$X,$Y" = "$(( 1024 - 24 - 170 )),24" ] || fail "window at $X,$Y, not 830,24"
import -window root "$WORK/a.png"

echo "--- rounded corners over the desktop, the glow and the status dot"
[ "$(pixel "$WORK/a.png" $(( X + 1 )) $(( Y + 1 )))" = "255 255 255" ] \
  || fail "the corner is not see-through: $(pixel "$WORK/a.png" $(( X + 1 )) $(( Y + 1 )))"
read -r r g b <<< "$(pixel "$WORK/a.png" $(( X + 85 )) $(( Y + 120 )))"
[ "$r" -lt 110 ] || fail "the dark card is not dark: $r $g $b"
read -r tr tg tb <<< "$(pixel "$WORK/a.png" $(( X + 150 )) $(( Y + 30 )))"
read -r br bg bb <<< "$(pixel "$WORK/a.png" $(( X + 20 )) $(( Y + 150 )))"
[ $(( tr - tb )) -gt $(( br - bb + 15 )) ] \
  || fail "no orange glow at the top right: $tr $tg $tb vs $br $bg $bb"
crop "$WORK/a.png" $(( X + 110 )) $(( Y + 5 )) 55 35 "$WORK/header.png"
convert "$WORK/header.png" txt:- | grep -oE '\(([0-9]+),([0-9]+),([0-9]+)' | tr -d '(' |
  awk -F, '$2 > $1 + 80 && $2 > $3 + 40 { found = 1 } END { exit !found }' \
  || fail "no green status dot in the header"

echo "--- a second later only the readout's box has changed"
lines=$(wc -l < "$WORK/host.log")
sleep 1.2
import -window root "$WORK/b.png"
diff=$(changed "$WORK/a.png" "$WORK/b.png")
[ "$diff" != none ] || fail "nothing changed in a second"
redraw=$(tail -n +$(( lines + 1 )) "$WORK/host.log" | grep '^velto-widget-host: redraw ' | tail -1 | awk '{print $3}')
[ -n "$redraw" ] || fail "the host redrew nothing"
read -r w h rx ry <<< "$(echo "$redraw" | tr 'x+' '  ')"
[ $(( w * h )) -lt $(( 170 * 170 / 4 )) ] || fail "a tick redrew $redraw, most of the widget"
inside "$diff" "${w}x${h}+$(( X + rx ))+$(( Y + ry ))" \
  || fail "pixels changed at $diff, outside the redrawn box $redraw"
echo "    changed $diff within the redrawn $redraw"

echo "--- a paused snapshot shows at once and stops the ticking"
read -r w h bx by <<< "$(button velto://toggle | tr 'x+' '  ')"
crop "$WORK/b.png" $(( X + bx )) $(( Y + by )) "$w" "$h" "$WORK/toggle-running.png"
started=$(date +%s%N)
snapshot paused 3600
shown=""
for _ in $(seq 30); do
  import -window root "$WORK/c.png"
  crop "$WORK/c.png" $(( X + bx )) $(( Y + by )) "$w" "$h" "$WORK/toggle-now.png"
  if [ "$(changed "$WORK/toggle-running.png" "$WORK/toggle-now.png")" != none ]; then
    shown=$(( ($(date +%s%N) - started) / 1000000 )); break
  fi
done
[ -n "$shown" ] || fail "the paused snapshot did not show"
echo "    shown ${shown} ms after the write began (the write included)"
sleep 1.2
import -window root "$WORK/d.png"
[ "$(changed "$WORK/c.png" "$WORK/d.png")" = none ] \
  || fail "a paused widget still changes: $(changed "$WORK/c.png" "$WORK/d.png")"

echo "--- a click on the toggle button opens velto://toggle"
read -r w h bx by <<< "$(button velto://toggle | tr 'x+' '  ')"
[ -n "$w" ] || fail "no toggle button in the log"
xdotool mousemove $(( X + bx + w / 2 )) $(( Y + by + h / 2 )) click 1
wait_for 5 grep -qx 'velto://toggle' "$CLICKS" || fail "the handler got no velto://toggle"
xdotool mousemove $(( X + 85 )) $(( Y + 85 )) click 1
sleep 0.5
[ "$(wc -l < "$CLICKS")" -eq 1 ] || fail "a click off the buttons opened: $(cat "$CLICKS")"

echo "--- dragging moves the widget, and it comes back there"
xdotool mousemove $(( X + 30 )) $(( Y + 20 )) mousedown 1 mousemove 500 300 sleep 0.2 \
  mousemove 400 300 sleep 0.2 mouseup 1
position="$XDG_STATE_HOME/velto/desktop-small.position"
wait_for 5 test -s "$position" || fail "the dragged position was not kept"
saved=$(cat "$position")
kill -TERM "$host_pid"
wait "$host_pid" || fail "the host did not end cleanly on SIGTERM"
host_pid=""
start_host
[ "$X $Y" = "$saved" ] || fail "the widget came back at $X,$Y, not at the dragged $saved"

echo "--- SIGTERM ends host and extension"
extension=$(pgrep -P "$host_pid" || true)
[ -n "$extension" ] || fail "no extension process under the host"
kill -TERM "$host_pid"
wait "$host_pid"
status=$?
host_pid=""
[ "$status" -eq 0 ] || fail "the host ended with $status"
wait_for 3 bash -c "! kill -0 $extension" || fail "the extension outlived the host"

echo "--- the display closing under it: one line, status 74, no extension left"
"$HOST" desktop 2>"$WORK/lost.log" &
host_pid=$!
wait_for 20 bash -c "xdotool search --classname velto-widget-host >/dev/null" \
  || fail "no widget window appeared: $(cat "$WORK/lost.log")"
wait_for 10 pgrep -P "$host_pid" -f velto-widget-extension >/dev/null \
  || fail "no extension process under the host"
extension=$(pgrep -P "$host_pid" -f velto-widget-extension)
kill -KILL "$server_pid"
wait "$server_pid" 2>/dev/null || true
server_pid=""
set +e
wait "$host_pid"
status=$?
set -e
host_pid=""
[ "$status" -eq 74 ] || fail "the host ended with $status when the display closed: $(cat "$WORK/lost.log")"
[ "$(cat "$WORK/lost.log")" = "velto-widget-host: the display closed" ] \
  || fail "the host said: $(cat "$WORK/lost.log")"
wait_for 3 bash -c "! kill -0 $extension" || fail "the extension outlived the display"

echo "--- without a display, one line and status 69"
set +e
env -u DISPLAY -u WAYLAND_DISPLAY "$HOST" desktop 2>"$WORK/nodisplay.log"
status=$?
set -e
[ "$status" -eq 69 ] || fail "no display gave status $status"
[ "$(wc -l < "$WORK/nodisplay.log")" -eq 1 ] || fail "no display said: $(cat "$WORK/nodisplay.log")"

echo "PASS"
