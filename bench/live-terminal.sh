#!/usr/bin/env bash
# Measures the live terminal widget as it runs: velto-widget-host terminal in a
# private tmux server, once with a running timer and once with a stopped one,
# each for DURATION seconds (default 600). For host and extension it reports the
# CPU share of one core (from each thread's schedstat), wake-ups per second
# (voluntary context switches) and peak RSS, read by bench/lib/proc-measure.sh;
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
# shellcheck source=bench/lib/proc-measure.sh
. "$repo/bench/lib/proc-measure.sh"
# shellcheck source=bench/lib/wait-for-text.sh
. "$repo/bench/lib/wait-for-text.sh"

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

start_host() {
  rm -f "$work/host.log"
  tmux_ new-session -d -x 80 -y 24 -s bench \
    "exec '$bin/velto-widget-host' terminal --appearance dark --verbose 2>'$work/host.log'"
  for _ in $(seq 3000); do [ -n "$(extension_pid || true)" ] && break; sleep 0.01; done
  host=$(tmux_ display -p -t bench '#{pane_pid}')
  extension=$(extension_pid)
}

measure() {  # label
  local before after t0 t1 seconds hc hw ec ew tc
  sleep 2  # let start-up settle
  t0=$EPOCHREALTIME
  # shellcheck disable=SC2046
  before=$(proc_threads $(proc_tree "$host"))
  sleep "$duration"
  t1=$EPOCHREALTIME
  # shellcheck disable=SC2046
  after=$(proc_threads $(proc_tree "$host"))
  kill -0 "$extension" 2>/dev/null \
    || { echo "live-terminal: the extension ended during the measurement" >&2; return 70; }
  seconds=$(awk -v a="$t1" -v b="$t0" 'BEGIN { print a - b }')
  read -r hc hw < <(proc_usage "$before" "$after" "$seconds" "$host")
  read -r ec ew < <(proc_usage "$before" "$after" "$seconds" "$extension")
  read -r tc _ < <(proc_usage "$before" "$after" "$seconds")
  awk -v label="$1" -v d="$seconds" -v hc="$hc" -v ec="$ec" -v tc="$tc" -v hw="$hw" -v ew="$ew" \
      -v hm="$(proc_peak_kib "$host")" -v em="$(proc_peak_kib "$extension")" 'BEGIN {
    printf "%-8s CPU host %.4f%% + extension %.4f%% = %.4f%% of one core over %.1f s\n",
           label, hc, ec, tc, d
    printf "%-8s wake-ups/s host %.2f, extension %.2f\n", label, hw, ew
    printf "%-8s peak RSS host %.1f MiB, extension %.1f MiB\n", label, hm / 1024, em / 1024
  }'
}

echo "live-terminal: $duration s per run, binaries from $bin"

# A running timer: ticks once a second.
snapshot running "Bench" 100
start_host
wait_screen "Bench"
measure running

# Latency from a write to the changed picture, as the host's bytes reach the pane.
stream="$work/pane.stream"
: >"$stream"
tmux_ pipe-pane -t bench -o "cat >>'$stream'"
latencies=()
letters=ACDFGIJKLMOPQRSTUVWXYZ  # none of the letters of "Bench"
for i in $(seq "$writes"); do
  # The host rewrites only the cells that change: each name differs from the
  # one before in every letter, so it reaches the pane whole.
  letter=${letters:$((i % ${#letters})):1}
  name="$letter$letter$letter$letter$letter$letter"
  offset=$(stat -c %s "$stream")
  t0=$EPOCHREALTIME
  snapshot paused "$name" $((1000 + i)) >/dev/null
  wait_for_text "$stream" "$offset" "$name" \
    || { echo "live-terminal: '$name' never showed" >&2; exit 70; }
  latencies+=("$(awk -v a="$EPOCHREALTIME" -v b="$t0" 'BEGIN { print a - b }')")
  sleep 0.2
done
tmux_ pipe-pane -t bench
printf '%s\n' "${latencies[@]}" | sort -n | awk '{ v[NR] = $1 } END {
  printf "write → picture over %d writes: median %.1f ms, worst %.1f ms\n",
         NR, 1000 * (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), 1000 * v[NR] }'

# kill -9 of the extension to its replacement answering.
snapshot running "Bench" 100
wait_screen "Bench"
offset=$(stat -c %s "$work/host.log")
t0=$EPOCHREALTIME
kill -9 "$(extension_pid)"
wait_for_text "$work/host.log" "$offset" "the extension is ready (pid " \
  || { echo "live-terminal: no extension answered within 30 s of kill -9" >&2; exit 70; }
awk -v a="$EPOCHREALTIME" -v b="$t0" 'BEGIN { printf "kill -9 → replacement answering: %.1f ms\n", 1000 * (a - b) }'
tmux_ kill-server

# A stopped timer: nothing ticks.
snapshot stopped "Idle" 0
start_host
wait_screen "Idle"
measure stopped
