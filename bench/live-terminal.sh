#!/usr/bin/env bash
# Measures the live terminal widget as it runs: velto-widget-host terminal in a
# private tmux server, once with a running timer and once with a stopped one,
# each for DURATION seconds (default 600). For host and extension it reports the
# CPU share of one core, wake-ups per second (context switches), and peak RSS;
# with the running timer also the latency from a velto-defaults write to the
# changed picture (median and worst of WRITES writes, default 20), and the time
# from kill -9 of the extension to its replacement answering.
#
#   DURATION=60 bench/live-terminal.sh            # uses build/release/bin
#   BIN=build/ci/bin DURATION=60 bench/live-terminal.sh
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "${BIN:-$repo/build/release/bin}")
duration=${DURATION:-600}
writes=${WRITES:-20}
tick=$(getconf CLK_TCK)

for program in velto-widget-host velto-widget-extension velto-defaults; do
  [ -x "$bin/$program" ] || { echo "live-terminal: no $bin/$program (build first)" >&2; exit 66; }
done
command -v tmux >/dev/null || { echo "live-terminal: tmux is not installed" >&2; exit 69; }

work=$(mktemp -d /tmp/velto-bench-XXXXXX)
socket="$work/tmux.sock"
tmux_() { tmux -S "$socket" -f /dev/null "$@"; }
cleanup() { tmux_ kill-server 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"

now2001() { echo $(( $(date +%s) - 978307200 )); }
seconds() { date +%s.%N; }
snapshot() {  # state project elapsed
  "$bin/velto-defaults" write group.app.velto velto.sharedTimerSnapshot --data \
    "{\"state\":\"$1\",\"projectName\":\"$2\",\"elapsedSeconds\":$3,\"todaySeconds\":600,\"updatedAt\":$(now2001)}"
}
# Waits up to 30 s for a line on the pane that holds the text $1.
wait_screen() {
  for _ in $(seq 6000); do
    tmux_ capture-pane -p -t bench | grep -qF -- "$1" && return 0
    sleep 0.005
  done
  echo "live-terminal: '$1' never showed" >&2; return 1
}
extension_pid() { grep -o 'the extension is ready (pid [0-9]*' "$work/host.log" | tail -1 | grep -o '[0-9]*$'; }
# utime+stime ticks, context switches, peak RSS in KiB of one process.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
switches() { awk '/ctxt_switches/ { n += $2 } END { print n }' "/proc/$1/status"; }
peak_kib() { awk '/VmHWM/ { print $2 }' "/proc/$1/status"; }

start_host() {
  rm -f "$work/host.log"
  tmux_ new-session -d -x 80 -y 24 -s bench \
    "exec '$bin/velto-widget-host' terminal --appearance dark --verbose 2>'$work/host.log'"
  for _ in $(seq 3000); do [ -n "$(extension_pid || true)" ] && break; sleep 0.01; done
  host=$(tmux_ display -p -t bench '#{pane_pid}')
  extension=$(extension_pid)
}

measure() {  # label
  local h0 e0 hs0 es0 h1 e1 hs1 es1
  sleep 2  # let start-up settle
  h0=$(cpu_ticks "$host"); e0=$(cpu_ticks "$extension")
  hs0=$(switches "$host"); es0=$(switches "$extension")
  sleep "$duration"
  h1=$(cpu_ticks "$host"); e1=$(cpu_ticks "$extension")
  hs1=$(switches "$host"); es1=$(switches "$extension")
  awk -v label="$1" -v d="$duration" -v t="$tick" \
      -v hc=$((h1 - h0)) -v ec=$((e1 - e0)) -v hw=$((hs1 - hs0)) -v ew=$((es1 - es0)) \
      -v hm="$(peak_kib "$host")" -v em="$(peak_kib "$extension")" 'BEGIN {
    printf "%-8s CPU host %.3f%% + extension %.3f%% = %.3f%% of one core over %d s\n",
           label, 100 * hc / t / d, 100 * ec / t / d, 100 * (hc + ec) / t / d, d
    printf "%-8s wake-ups/s host %.2f, extension %.2f\n", label, hw / d, ew / d
    printf "%-8s peak RSS host %.1f MiB, extension %.1f MiB\n", label, hm / 1024, em / 1024
  }'
}

echo "live-terminal: $duration s per run, binaries from $bin"

# A running timer: ticks once a second.
snapshot running "Bench" 100
start_host
wait_screen "Bench"
measure running

# Latency from a write to the changed picture.
latencies=()
for i in $(seq "$writes"); do
  t0=$(seconds)
  snapshot paused "Write$i" $((1000 + i)) >/dev/null
  wait_screen "Write$i"
  latencies+=("$(awk -v a="$(seconds)" -v b="$t0" 'BEGIN { print a - b }')")
  sleep 0.2
done
printf '%s\n' "${latencies[@]}" | sort -n | awk '{ v[NR] = $1 } END {
  printf "write → picture over %d writes: median %.0f ms, worst %.0f ms\n",
         NR, 1000 * (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), 1000 * v[NR] }'

# kill -9 of the extension to its replacement answering.
snapshot running "Bench" 100
wait_screen "Bench"
old=$(extension_pid)
t0=$(seconds)
kill -9 "$old"
for _ in $(seq 6000); do
  new=$(extension_pid)
  [ "$new" != "$old" ] && break
  sleep 0.002
done
awk -v a="$(seconds)" -v b="$t0" 'BEGIN { printf "kill -9 → replacement answering: %.0f ms\n", 1000 * (a - b) }'
tmux_ kill-server

# A stopped timer: nothing ticks.
snapshot stopped "Idle" 0
start_host
wait_screen "Idle"
measure stopped
