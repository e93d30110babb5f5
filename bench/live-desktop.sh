#!/bin/bash
# Measures `velto-widget-host desktop` under Xvfb with a running timer: CPU
# share of one core for the host, the extension and Xvfb's extra work (over an
# idle Xvfb measured first), wake-ups per second (context switches), the area
# redrawn per tick and the host's peak RSS.
#
# Usage: bench/live-desktop.sh [BIN]   (BIN: folder of velto-widget-host and
#        velto-defaults, default build/release/bin); DURATION=seconds (600).

set -eu
BIN=${1:-build/release/bin}
DURATION=${DURATION:-600}
HOST="$BIN/velto-widget-host"
DEFAULTS="$BIN/velto-defaults"
for program in Xvfb "$HOST" "$DEFAULTS"; do
  command -v "$program" >/dev/null || { echo "live-desktop: $program is missing" >&2; exit 69; }
done

work=$(mktemp -d)
xvfb=""
host=""
cleanup() {
  [ -n "$host" ] && kill "$host" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data"
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
ticks=$(getconf CLK_TCK)

# cpu PID: user+system clock ticks of the process and its ended children.
cpu() { awk '{print $14 + $15 + $16 + $17}' "/proc/$1/stat"; }
# switches PID: context switches of all its threads (each one a wake-up or a preemption).
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null |
    awk '/^(voluntary|nonvoluntary)_ctxt_switches/ {n += $2} END {print n + 0}'
}
share() { awk -v t="$1" -v d="$DURATION" -v hz="$ticks" 'BEGIN {printf "%.3f", 100 * t / hz / d}'; }
rate() { awk -v n="$1" -v d="$DURATION" 'BEGIN {printf "%.2f", n / d}'; }

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

sleep 2
x0=$(cpu "$xvfb")
sleep "$DURATION"
xvfb_idle=$(( $(cpu "$xvfb") - x0 ))

now=$(( $(date +%s) - 978307200 ))
"$DEFAULTS" write group.app.velto velto.sharedTimerSnapshot --data \
  "{\"state\":\"running\",\"projectName\":\"Deep Work\",\"elapsedSeconds\":754,\"todaySeconds\":5400,\"updatedAt\":$now}"
VELTO_LOG_REDRAWS=1 "$HOST" desktop --verbose 2>"$work/host.log" &
host=$!
for _ in $(seq 100); do grep -q 'button velto://' "$work/host.log" && break; sleep 0.1; done
sleep 3
extension=$(pgrep -P "$host" | head -1)
h0=$(cpu "$host"); e0=$(cpu "$extension"); x0=$(cpu "$xvfb")
hs0=$(switches "$host"); es0=$(switches "$extension")
lines=$(wc -l < "$work/host.log")
sleep "$DURATION"
h1=$(cpu "$host"); e1=$(cpu "$extension"); x1=$(cpu "$xvfb")
hs1=$(switches "$host"); es1=$(switches "$extension")
peak=$(awk '/^VmHWM/ {print $2}' "/proc/$host/status")
extension_peak=$(awk '/^VmHWM/ {print $2}' "/proc/$extension/status")
areas=$(tail -n +$(( lines + 1 )) "$work/host.log" | awk '$2 == "redraw" {split($3, g, /[x+]/); n++; a += g[1] * g[2]; if (g[1] * g[2] > m) m = g[1] * g[2]; last = $3}
  END {if (n) printf "%d redraws, mean %.0f px, largest %d px (last %s)", n, a / n, m, last; else print "none"}')

echo "live-desktop: ${DURATION} s of a running timer on X11 (Xvfb), $(basename "$(dirname "$BIN")") build"
echo "  CPU, share of one core: host $(share $(( h1 - h0 )))%, extension $(share $(( e1 - e0 )))%, Xvfb extra $(share $(( x1 - x0 - xvfb_idle )))%"
echo "  wake-ups per second: host $(rate $(( hs1 - hs0 ))), extension $(rate $(( es1 - es0 )))"
echo "  area redrawn per tick: $areas of a $(( 170 * 170 )) px widget"
echo "  peak RSS: host $(( peak / 1024 )) MiB ($peak kB), extension $(( extension_peak / 1024 )) MiB"
