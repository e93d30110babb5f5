#!/bin/bash
# Measures `velto-widget-host desktop` under Xvfb with a running timer: CPU
# share of one core for the host, the extension and Xvfb's extra work (over an
# idle Xvfb measured first), wake-ups per second (voluntary context switches),
# the area redrawn per tick and peak RSS, read by bench/lib/proc-measure.sh.
#
# Usage: bench/live-desktop.sh [BIN]   (BIN: folder of velto-widget-host and
#        velto-defaults, default build/release/bin); DURATION=seconds (600).

set -euo pipefail
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
# shellcheck source=bench/lib/proc-measure.sh
. "$(dirname "$0")/lib/proc-measure.sh"

# threads PID...: the threads of the processes and their descendants now.
threads() {
  local pid trees=()
  for pid in "$@"; do mapfile -t -O "${#trees[@]}" trees < <(proc_tree "$pid"); done
  proc_threads "${trees[@]}"
}
since() { awk -v a="$EPOCHREALTIME" -v b="$1" 'BEGIN { print a - b }'; }

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=":$(cat "$work/display")"
export DISPLAY

sleep 2
t0=$EPOCHREALTIME
x0=$(threads "$xvfb")
sleep "$DURATION"
read -r xvfb_idle _ < <(proc_usage "$x0" "$(threads "$xvfb")" "$(since "$t0")")

now=$(( $(date +%s) - 978307200 ))
"$DEFAULTS" write group.app.velto velto.sharedTimerSnapshot --data \
  "{\"state\":\"running\",\"projectName\":\"Deep Work\",\"elapsedSeconds\":754,\"todaySeconds\":5400,\"updatedAt\":$now}"
VELTO_LOG_REDRAWS=1 "$HOST" desktop --verbose 2>"$work/host.log" &
host=$!
for _ in $(seq 100); do grep -q 'button velto://' "$work/host.log" && break; sleep 0.1; done
sleep 3
extension=$(pgrep -P "$host" | head -1 || true)
[ -n "$extension" ] || { echo "live-desktop: the host started no extension" >&2; exit 70; }
lines=$(wc -l < "$work/host.log")
t0=$EPOCHREALTIME
before=$(threads "$host" "$xvfb")
sleep "$DURATION"
seconds=$(since "$t0")
after=$(threads "$host" "$xvfb")
kill -0 "$extension" 2>/dev/null || { echo "live-desktop: the extension ended during the measurement" >&2; exit 70; }
read -r host_cpu host_wakes < <(proc_usage "$before" "$after" "$seconds" "$host")
read -r extension_cpu extension_wakes < <(proc_usage "$before" "$after" "$seconds" "$extension")
read -r xvfb_cpu _ < <(proc_usage "$before" "$after" "$seconds" "$xvfb")
xvfb_extra=$(awk -v a="$xvfb_cpu" -v b="$xvfb_idle" 'BEGIN { printf "%.4f", a - b }')
peak=$(proc_peak_kib "$host")
extension_peak=$(proc_peak_kib "$extension")
areas=$(tail -n +$(( lines + 1 )) "$work/host.log" | awk '{for (i = 1; i < NF && $i != "redraw"; i++) {}}
  i < NF {split($(i + 1), g, /[x+]/); n++; a += g[1] * g[2]; if (g[1] * g[2] > m) m = g[1] * g[2]; last = $(i + 1)}
  END {if (n) printf "%d redraws, mean %.0f px, largest %d px (last %s)", n, a / n, m, last; else print "none"}')

echo "live-desktop: ${DURATION} s of a running timer on X11 (Xvfb), $(basename "$(dirname "$BIN")") build"
echo "  CPU, share of one core: host $host_cpu%, extension $extension_cpu%, Xvfb extra $xvfb_extra%"
echo "  wake-ups per second: host $host_wakes, extension $extension_wakes"
echo "  area redrawn per tick: $areas of a $(( 170 * 170 )) px widget"
awk -v h="$peak" -v e="$extension_peak" 'BEGIN {
  printf "  peak RSS: host %.1f MiB (%d kB), extension %.1f MiB\n", h / 1024, h, e / 1024 }'
