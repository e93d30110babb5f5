#!/bin/bash
# Placements from the settings file, followed live, on X11 (Xvfb, one monitor,
# two placements) and on Wayland (headless sway with two outputs, one
# placement on every output): two widgets show in their corners, an edit moves
# one, deleting a group removes it, one extension serves them all throughout,
# and a second launch in the session opens nothing and exits 0.
#
# Usage: placements_test.sh x11|wayland HOST DEFAULTS   (exit 77: a needed program is missing)
# With SHOTS=FOLDER, the screenshot of two placements is kept there.

SESSION=$1
HOST=$2
DEFAULTS=$3
. "$(dirname "$0")/common.sh"

SETTINGS="$XDG_CONFIG_HOME/velto/widget.ini"
mkdir -p "$(dirname "$SETTINGS")"

# settings TEXT: saves the settings file as an editor would, renaming over it.
settings() {
  printf '%s\n' "$1" > "$SETTINGS.new"
  mv "$SETTINGS.new" "$SETTINGS"
}

# card X Y: whether the widget's dark card shows with its top-left corner at X,Y.
card() {
  local r g b
  read -r r g b <<< "$(pixel "$WORK/now.png" $(( $1 + 85 )) $(( $2 + 120 )))"
  [ "$r" -lt 110 ] && [ "$b" -lt 110 ]
}
# bare X Y: whether the desktop shows there instead.
bare() { [ "$(pixel "$WORK/now.png" $(( $1 + 85 )) $(( $2 + 120 )))" = "255 255 255" ]; }
# shows CHECK…: takes screenshots until every "card X Y" / "bare X Y" holds.
shows() {
  local tries=30
  while :; do
    shot "$WORK/now.png"
    local ok=1 check
    for check in "$@"; do
      # shellcheck disable=SC2086
      $check || { ok=0; break; }
    done
    [ "$ok" -eq 1 ] && return 0
    tries=$(( tries - 1 ))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.2
  done
}

case "$SESSION" in
  x11)
    need Xvfb import convert xdotool
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset -wr 3>"$WORK/display" \
      2>"$WORK/xvfb.log" &
    server_pid=$!
    wait_for 10 test -s "$WORK/display" || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    export DISPLAY=":$(cat "$WORK/display")"
    unset WAYLAND_DISPLAY
    shot() { import -window root "$1"; }
    # Two placements on the one monitor.
    FIRST='[widget left]
family = small
position = top-left
appearance = dark'
    SECOND='[widget wide]
family = medium
position = bottom-right
appearance = dark'
    first_at="24 24"
    second_at="$(( 1024 - 24 - 364 )) $(( 768 - 24 - 170 ))"
    moved_settings="${FIRST/top-left/bottom-left}"
    moved_at="24 $(( 768 - 24 - 170 ))"
    ;;
  wayland)
    need sway swaymsg grim convert
    . "$(dirname "$0")/sway.sh"
    start_sway "output HEADLESS-1 resolution 1024x768 position 0,0 bg #ffffff solid_color"
    swaymsg create_output >/dev/null || fail "sway cannot add a second output"
    swaymsg output HEADLESS-2 resolution 800x600 position 1024 0 bg '#ffffff' solid_color \
      >/dev/null || fail "sway cannot place the second output"
    shot() { grim "$1" 2>>"$WORK/grim.log" || fail "grim failed: $(tail -1 "$WORK/grim.log")"; }
    # One placement on every output, and one of its own.
    FIRST='[widget every]
family = small
position = top-right
output = *
appearance = dark'
    SECOND='[widget wide]
family = medium
position = bottom-left
appearance = dark'
    first_at="$(( 1024 - 24 - 170 )) 24|$(( 1824 - 24 - 170 )) 24"
    second_at="24 $(( 768 - 24 - 170 ))"
    moved_settings="${FIRST/top-right/top-left}"
    moved_at="24 24|$(( 1024 + 24 )) 24"
    ;;
  *) fail "no session $SESSION" ;;
esac

# checks KIND "X Y|X Y…": "card X Y" or "bare X Y" for each place.
checks() {
  local place
  IFS='|' read -ra places <<< "$2"
  for place in "${places[@]}"; do printf '%s\n' "$1 $place"; done
}
mapfile -t first_cards < <(checks card "$first_at")
mapfile -t first_bare < <(checks bare "$first_at")
mapfile -t second_cards < <(checks card "$second_at")
mapfile -t second_bare < <(checks bare "$second_at")
mapfile -t moved_cards < <(checks card "$moved_at")

echo "--- two placements from the settings file, each in its corner"
snapshot running 754
settings "$FIRST

$SECOND"
VELTO_LOG_REDRAWS=1 "$HOST" desktop --verbose 2>"$WORK/host.log" &
host_pid=$!
shows "${first_cards[@]}" "${second_cards[@]}" \
  || fail "the two placements did not show: $(cat "$WORK/host.log")"
# By name: a child of the host's start-up may come and go before it.
wait_for 10 pgrep -P "$host_pid" -f velto-widget-extension >/dev/null \
  || fail "no extension process under the host"
extension=$(pgrep -P "$host_pid" -f velto-widget-extension)
[ "$(echo "$extension" | wc -l)" -eq 1 ] || fail "more than one extension: $extension"
if [ -n "${SHOTS:-}" ]; then
  sleep 0.5
  shot "$WORK/two.png"
  cp "$WORK/two.png" "$SHOTS/placements-$SESSION.png"
fi

if [ "$SESSION" = x11 ]; then
  echo "--- a click on the medium widget's toggle opens velto://toggle"
  # The medium widget's buttons sit further right than any of the small one's.
  box=$(grep '^velto-widget-host: button velto://toggle ' "$WORK/host.log" | awk '{print $4}' |
    awk -F'[x+]' '$3 > 200' | tail -1)
  [ -n "$box" ] || fail "no toggle button of the medium widget in the log"
  read -r w h bx by <<< "$(echo "$box" | tr 'x+' '  ')"
  read -r x y <<< "$second_at"
  xdotool mousemove $(( x + bx + w / 2 )) $(( y + by + h / 2 )) click 1
  wait_for 5 grep -qx 'velto://toggle' "$CLICKS" || fail "the handler got no velto://toggle"
else
  echo "--- a monitor that comes gets an \`output = *\` widget of its own"
  # (sway 1.7 cannot take a headless output away again.)
  swaymsg create_output >/dev/null || fail "sway cannot add a third output"
  swaymsg output HEADLESS-3 resolution 640x480 position 1824 0 bg '#ffffff' solid_color \
    >/dev/null || fail "sway cannot place the third output"
  shows "card $(( 1824 + 640 - 24 - 170 )) 24" "${first_cards[@]}" "${second_cards[@]}" \
    || fail "no widget on the new output: $(cat "$WORK/host.log")"
  grep -q "showing the widget 'every@headless#3'" "$WORK/host.log" \
    || fail "the new output's widget is not named after it: $(cat "$WORK/host.log")"
fi

echo "--- an edit moves one; the other stays"
settings "$moved_settings

$SECOND"
shows "${moved_cards[@]}" "${first_bare[@]}" "${second_cards[@]}" \
  || fail "the edit did not move the widget: $(cat "$WORK/host.log")"

echo "--- a second launch opens nothing and exits 0"
set +e
"$HOST" desktop 2>"$WORK/second.log"
status=$?
set -e
[ "$status" -eq 0 ] || fail "the second launch ended with $status: $(cat "$WORK/second.log")"
grep -q 'already runs' "$WORK/second.log" || fail "the second launch said: $(cat "$WORK/second.log")"
wait_for 5 grep -q 'another launch asked' "$WORK/host.log" \
  || fail "the running host was not asked: $(cat "$WORK/host.log")"
sleep 0.5
shows "${moved_cards[@]}" "${second_cards[@]}" || fail "the second launch changed the widgets"

echo "--- a broken file keeps the widgets and says what is wrong, once"
printf '[widget wide]\nfamily = huge\n' > "$SETTINGS"
wait_for 5 grep -q 'family' "$WORK/host.log" || fail "the broken file was not reported"
grep 'widget.ini' "$WORK/host.log" | grep -q ':2' || fail "no line number: $(cat "$WORK/host.log")"
shows "${moved_cards[@]}" "${second_cards[@]}" || fail "a broken file changed the widgets"

echo "--- deleting a group removes its widget"
settings "$moved_settings"
shows "${moved_cards[@]}" "${second_bare[@]}" \
  || fail "the removed placement still shows: $(cat "$WORK/host.log")"

echo "--- one extension throughout"
[ "$(pgrep -P "$host_pid" -f velto-widget-extension)" = "$extension" ] \
  || fail "the extension changed: $extension, now $(pgrep -P "$host_pid" -f velto-widget-extension)"
kill -TERM "$host_pid"
wait "$host_pid" || fail "the host did not end cleanly"
host_pid=""
echo "PASS"
