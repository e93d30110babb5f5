#!/usr/bin/env bash
# Measures the widget in a status bar: velto-widget-host bar --format waybar with
# a running timer for DURATION seconds (default 600), its stdout read the way a
# bar reads it. Reports the CPU share of one core for host and extension
# (from each thread's schedstat, see bench/lib/proc-measure.sh), the lines per second, and how long after each wall-clock second
# boundary each line arrived (target: exactly one a second, each within 50 ms).
#
#   DURATION=60 bench/bar.sh                      # uses build/release/bin
#   BIN=build/ci/bin FORMAT=i3bar bench/bar.sh
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "${BIN:-$repo/build/release/bin}")
duration=${DURATION:-600}
format=${FORMAT:-waybar}
# shellcheck source=bench/lib/proc-measure.sh
. "$repo/bench/lib/proc-measure.sh"

for program in velto-widget-host velto-widget-extension velto-defaults; do
  [ -x "$bin/$program" ] || { echo "bar: no $bin/$program (build first)" >&2; exit 66; }
done

work=$(mktemp -d /tmp/velto-bar-bench-XXXXXX)
host=
cleanup() { [ -n "$host" ] && kill "$host" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME" "$XDG_CONFIG_HOME"

"$bin/velto-defaults" write group.app.velto velto.sharedTimerSnapshot --data \
  "{\"state\":\"running\",\"projectName\":\"Bench\",\"elapsedSeconds\":100,\"todaySeconds\":600,\"updatedAt\":$(( $(date +%s) - 978307200 ))}"

# The reader stamps each line with the wall clock as it arrives.
mkfifo "$work/out"
"$bin/velto-widget-host" bar --format "$format" >"$work/out" 2>"$work/host.log" &
host=$!
while IFS= read -r _; do echo "$EPOCHREALTIME"; done <"$work/out" >"$work/stamps" &
reader=$!

for _ in $(seq 500); do
  extension=$(awk '{ print $1 }' "/proc/$host/task/$host/children" 2>/dev/null || true)
  [ -n "$extension" ] && break
  sleep 0.01
done
[ -n "$extension" ] || { echo "bar: the extension never started" >&2; cat "$work/host.log" >&2; exit 69; }

sleep 2  # let start-up settle
lines0=$(wc -l <"$work/stamps")
t0=$EPOCHREALTIME
before=$(proc_threads "$host" "$extension")
sleep "$duration"
after=$(proc_threads "$host" "$extension")
seconds=$(awk -v a="$EPOCHREALTIME" -v b="$t0" 'BEGIN { print a - b }')
kill -0 "$extension" 2>/dev/null || { echo "bar: the extension ended during the measurement" >&2; exit 70; }
read -r hc _ < <(proc_usage "$before" "$after" "$seconds" "$host")
read -r ec _ < <(proc_usage "$before" "$after" "$seconds" "$extension")
kill "$host"; wait "$host" 2>/dev/null || true; host=
wait "$reader" 2>/dev/null || true

echo "bar: $format for $duration s, binaries from $bin"
awk -v hc="$hc" -v ec="$ec" 'BEGIN {
  printf "CPU host %.4f%% + extension %.4f%% = %.4f%% of one core\n", hc, ec, hc + ec }'
tail -n +"$((lines0 + 1))" "$work/stamps" | awk -v d="$duration" '
  { late = ($1 - int($1)) * 1000; n++; if (late > worst) worst = late; if (late <= 50) ok++
    s = int($1); if (s in seen) twice++; seen[s] = 1 }
  END { printf "%d lines in %d s (%.3f a second), %d seconds with two lines\n", n, d, n / d, twice
        printf "after the second boundary: worst %.1f ms, %d of %d within 50 ms\n", worst, ok, n }'
