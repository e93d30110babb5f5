#!/bin/bash
# The desktop widget on Wayland as a layer surface, under sway's headless
# backend: it appears in its corner with rounded corners over the background,
# ticks only its readout, shows a new snapshot at once and ends cleanly on
# SIGTERM. Clicks go through the same hit-testing that the X11 test drives.
#
# Usage: wayland_test.sh HOST DEFAULTS   (exit 77: a needed program is missing)

HOST=$1
DEFAULTS=$2
. "$(dirname "$0")/common.sh"
need sway grim convert

. "$(dirname "$0")/sway.sh"

start_sway "output HEADLESS-1 resolution 1024x768 position 0,0 bg #ffffff solid_color"

shot() { grim "$1" 2>>"$WORK/grim.log" || fail "grim failed: $(tail -1 "$WORK/grim.log")"; }

echo "--- the widget appears as a layer surface in the top-right corner"
snapshot running 754
VELTO_LOG_REDRAWS=1 "$HOST" desktop --appearance dark --verbose 2>"$WORK/host.log" &
host_pid=$!
wait_for 20 grep -q '^velto-widget-host: button velto://toggle' "$WORK/host.log" \
  || fail "no widget with buttons appeared: $(cat "$WORK/host.log")"
grep -q 'layer surface' "$WORK/host.log" || fail "not a layer surface: $(head -1 "$WORK/host.log")"
sleep 0.5
X=$(( 1024 - 24 - 170 ))
Y=24
shot "$WORK/a.png"
read -r r g b <<< "$(pixel "$WORK/a.png" $(( X + 85 )) $(( Y + 120 )))"
[ "$r" -lt 110 ] || fail "no dark card at $X,$Y: $r $g $b"
read -r r g b <<< "$(pixel "$WORK/a.png" $(( X - 2 )) $(( Y + 85 )))"
[ "$r $g $b" = "255 255 255" ] || fail "the card reaches left of $X: $r $g $b"
[ "$(pixel "$WORK/a.png" $(( X + 1 )) $(( Y + 1 )))" = "255 255 255" ] \
  || fail "the corner is not see-through: $(pixel "$WORK/a.png" $(( X + 1 )) $(( Y + 1 )))"
crop "$WORK/a.png" $(( X + 110 )) $(( Y + 5 )) 55 35 "$WORK/header.png"
convert "$WORK/header.png" txt:- | grep -oE '\(([0-9]+),([0-9]+),([0-9]+)' | tr -d '(' |
  awk -F, '$2 > $1 + 80 && $2 > $3 + 40 { found = 1 } END { exit !found }' \
  || fail "no green status dot in the header"

echo "--- a second later only the readout's box has changed"
lines=$(wc -l < "$WORK/host.log")
sleep 1.2
shot "$WORK/b.png"
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
snapshot paused 3600
# Paused means: different from the running picture, and still for longer than
# a tick. Two shots 0.1 s apart can match while a timer still runs, so the
# stillness is judged over 1.2 s.
shown=""
for _ in $(seq 20); do
  shot "$WORK/c.png"
  sleep 1.2
  shot "$WORK/d.png"
  if [ "$(changed "$WORK/b.png" "$WORK/c.png")" != none ] \
    && [ "$(changed "$WORK/c.png" "$WORK/d.png")" = none ]; then shown=yes; break; fi
done
[ -n "$shown" ] || fail "the paused snapshot did not show, or the widget still changes: $(changed "$WORK/c.png" "$WORK/d.png")"

echo "--- SIGTERM ends host and extension"
extension=$(pgrep -P "$host_pid" || true)
[ -n "$extension" ] || fail "no extension process under the host"
kill -TERM "$host_pid"
wait "$host_pid"
status=$?
host_pid=""
[ "$status" -eq 0 ] || fail "the host ended with $status"
wait_for 3 bash -c "! kill -0 $extension" || fail "the extension outlived the host"

echo "PASS"
