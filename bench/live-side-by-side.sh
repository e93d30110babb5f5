#!/usr/bin/env bash
# Runs the widget's three faces side by side with two references, all on one
# private Xvfb and over the same DURATION seconds (default 300) of a running
# timer: velto-widget-host desktop (one placement, and in a session of its
# own two placements from a settings file), terminal (in a private tmux server)
# and bar --format waybar (its stdout drained), velto-gtk-floor (a bare GTK 3 window
# with the same one-second tick: the floor) and Conky drawing a clock. For each
# it prints the CPU share of one core, wake-ups per second and peak RSS, host
# and extension counted together and apart, and how ours compare with the floor
# and with Conky. Then, on the terminal host, the latency from a velto-timer
# toggle to the changed picture (median of TOGGLES, default 10) and the time
# from kill -9 of the extension to its replacement answering.
#
#   DURATION=60 bench/live-side-by-side.sh        # uses build/release/bin
#   BIN=build/ci/bin DURATION=30 bench/live-side-by-side.sh
#   SHOT=/tmp/side.png bench/live-side-by-side.sh # also saves the screen after the warm-up
#
# Needs Xvfb, tmux and pgrep; Conky (conky-std) is installed when missing and run
# as root, otherwise left out. Build first:
#   cmake --build --preset release --target velto-widget-host velto-widget-extension \
#     velto-timer velto-gtk-floor
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "${BIN:-$repo/build/release/bin}")
duration=${DURATION:-300}
warmup=${WARMUP:-5}
toggles=${TOGGLES:-10}
# shellcheck source=bench/lib/proc-measure.sh
. "$repo/bench/lib/proc-measure.sh"
# shellcheck source=bench/lib/wait-for-text.sh
. "$repo/bench/lib/wait-for-text.sh"

fail() { echo "live-side-by-side: $2" >&2; exit "$1"; }
for program in velto-widget-host velto-widget-extension velto-timer velto-gtk-floor; do
  [ -x "$bin/$program" ] || fail 66 "no $bin/$program (build it first)"
done
for program in Xvfb tmux pgrep; do
  command -v "$program" >/dev/null || fail 69 "$program is not installed"
done
case $duration$warmup$toggles in *[!0-9]*) fail 64 "DURATION, WARMUP and TOGGLES are whole seconds/counts" ;; esac
[ "$duration" -gt 0 ] || fail 64 "DURATION must be at least 1 second"

conky=$(command -v conky || true)
if [ -z "$conky" ] && [ "$(id -u)" = 0 ]; then
  echo "live-side-by-side: installing conky-std for the comparison"
  apt-get install -y -q conky-std >/dev/null 2>&1 || true
  conky=$(command -v conky || true)
fi
[ -n "$conky" ] || echo "live-side-by-side: Conky is not installed (apt-get install conky-std); measuring without it"

work=$(mktemp -d /tmp/velto-side-by-side-XXXXXX)
socket="$work/tmux.sock"
tmux_() { tmux -S "$socket" -f /dev/null "$@"; }
pids=()
cleanup() {
  local pid
  tmux_ kill-server 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The user's timer, settings and widget position stay untouched.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  XDG_STATE_HOME="$work/state" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run" \
  GDK_BACKEND=x11
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME" \
  "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# The host with two placements runs in a session of its own (one host per
# session) with settings of its own, and follows the same timer.
mkdir -p "$work/config2/velto" "$work/run2" "$XDG_CONFIG_HOME/velto"
chmod 700 "$work/run2"
ln -s "$XDG_CONFIG_HOME/velto/defaults" "$work/config2/velto/defaults"
printf '[widget one]\nposition = top-right\n\n[widget two]\nposition = top-left\n' \
  >"$work/config2/velto/widget.ini"
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS

# Waits up to 10 s for the first child of $1 (the extension) and prints its pid.
child_of() {
  local child
  for _ in $(seq 1000); do
    child=$(pgrep -P "$1" | head -1 || true)
    [ -n "$child" ] && { echo "$child"; return 0; }
    kill -0 "$1" 2>/dev/null || break
    sleep 0.01
  done
  return 1
}
pane() { tmux_ capture-pane -p -t bench; }
# Waits up to 30 s for the terminal widget to show the text $1.
wait_pane() {
  for _ in $(seq 3000); do
    pane | grep -qF -- "$1" && return 0
    sleep 0.01
  done
  fail 70 "the terminal widget never showed '$1'"
}
terminal_extension() {
  grep -o 'the extension is ready (pid [0-9]*' "$work/terminal.log" | tail -1 | grep -o '[0-9]*$'
}
milliseconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f\n", 1000 * (a - b) }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) printf "%.1f\n", (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

"$bin/velto-timer" start "Bench" >/dev/null

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail 69 "Xvfb did not start: $(head -1 "$work/xvfb.log")"
DISPLAY=":$(cat "$work/display")"
export DISPLAY

# name → pid of the process whose tree is measured; ours also name their extension.
declare -A root extension
"$bin/velto-widget-host" desktop 2>"$work/desktop.log" &
pids+=($!)
root[desktop]=$!
XDG_CONFIG_HOME="$work/config2" XDG_RUNTIME_DIR="$work/run2" \
  "$bin/velto-widget-host" desktop 2>"$work/desktop2.log" &
pids+=($!)
root[desktop2]=$!
tmux_ new-session -d -x 80 -y 24 -s bench \
  "exec '$bin/velto-widget-host' terminal --verbose 2>'$work/terminal.log'"
root[terminal]=$(tmux_ display -p -t bench '#{pane_pid}')
# The reader is the script's child, not the host's, so it is neither taken for
# the extension nor counted with the bar.
mkfifo "$work/bar.out"
cat <"$work/bar.out" >/dev/null &
pids+=($!)
"$bin/velto-widget-host" bar --format waybar 2>"$work/bar.log" >"$work/bar.out" &
pids+=($!)
root[bar]=$!
GDK_GL=disable GDK_DEBUG=gl-disable "$bin/velto-gtk-floor" 2>"$work/floor.log" &
pids+=($!)
root[floor]=$!
order=(desktop desktop2 terminal bar floor)
if [ -n "$conky" ]; then
  cat >"$work/conkyrc" <<'CONKY'
conky.config = {
  out_to_x = true,
  out_to_console = false,
  own_window = true,
  own_window_type = 'normal',
  background = false,
  update_interval = 1,
  alignment = 'bottom_left',
  use_xft = true,
  font = 'DejaVu Sans:size=12',
}
conky.text = [[
${time %H:%M:%S}
${time %A}
${time %d %B %Y}
${time %Z}
]]
CONKY
  "$conky" -q -c "$work/conkyrc" 2>"$work/conky.log" &
  pids+=($!)
  root[conky]=$!
  order+=(conky)
fi

for name in desktop desktop2 terminal bar; do
  extension[$name]=$(child_of "${root[$name]}") \
    || fail 70 "the $name host started no extension: $(tail -1 "$work/$name.log")"
done
wait_pane "Bench"
sleep "$warmup"
for name in "${order[@]}"; do
  kill -0 "${root[$name]}" 2>/dev/null || fail 70 "$name ended during the warm-up: $(tail -1 "$work/$name.log")"
done
[ -n "${SHOT:-}" ] && import -window root "$SHOT"

load0=$(cut -d' ' -f1 /proc/loadavg)
declare -A before after began ended
for name in "${order[@]}" xvfb; do
  began[$name]=$EPOCHREALTIME
  # shellcheck disable=SC2046
  before[$name]=$(proc_threads $(proc_tree "${root[$name]:-$xvfb}"))
done
# In the background so that a TERM ends the run at once, not after the window.
sleep "$duration" &
pids+=($!)
wait $!
for name in "${order[@]}" xvfb; do
  ended[$name]=$EPOCHREALTIME
  # shellcheck disable=SC2046
  after[$name]=$(proc_threads $(proc_tree "${root[$name]:-$xvfb}"))
done
load1=$(cut -d' ' -f1 /proc/loadavg)
# A program that ended would read as costing nothing.
for name in "${order[@]}"; do
  kill -0 "${root[$name]}" 2>/dev/null || fail 70 "$name ended during the measurement: $(tail -1 "$work/$name.log")"
done
for name in desktop desktop2 terminal bar; do
  [ "$(pgrep -P "${root[$name]}" | head -1 || true)" = "${extension[$name]}" ] \
    || echo "live-side-by-side: the $name extension was replaced during the measurement; its figures are partial"
done
# Each program over its own window: they are read one after another.
seconds() { awk -v a="${ended[$1]}" -v b="${began[$1]}" 'BEGIN { printf "%.3f", a - b }'; }

# One row per measured thing: "label cpu wake-ups peak-KiB"; ratios use the rows
# named ours / floor / conky.
rows="$work/rows"
: >"$rows"
row() {  # label program [pid] peak-KiB
  echo "$1 $(proc_usage "${before[$2]}" "${after[$2]}" "$(seconds "$2")" "$3") $4" >>"$rows"
}
for name in desktop desktop2 terminal bar; do
  host_kib=$(proc_peak_kib "${root[$name]}")
  extension_kib=$(proc_peak_kib "${extension[$name]}")
  row "$name" "$name" "" $((host_kib + extension_kib))
  row "·host" "$name" "${root[$name]}" "$host_kib"
  row "·extension" "$name" "${extension[$name]}" "$extension_kib"
done
row velto-gtk-floor floor "" "$(proc_peak_kib "${root[floor]}")"
[ -n "$conky" ] && row conky conky "" "$(proc_peak_kib "${root[conky]}")"
row "Xvfb(shared)" xvfb "" "$(proc_peak_kib "$xvfb")"

echo "live-side-by-side: $(seconds floor) s of a running timer on one Xvfb ($DISPLAY) after a ${warmup} s warm-up;"
echo "  binaries from $bin; $(nproc) cores, load average $load0 at the start, $load1 at the end"
awk '
  { label[NR] = $1; cpu[NR] = $2; wake[NR] = $3; kib[NR] = $4; at[$1] = NR }
  function ratio(a, b) { return b > 0 ? sprintf("%.2f", a / b) : "n/a" }
  END {
    printf "\n%-18s %12s %11s %13s\n", "program", "CPU % core", "wake-ups/s", "peak RSS MiB"
    for (i = 1; i <= NR; i++) {
      name = label[i]; sub(/^·/, "  ", name); sub(/\(shared\)/, " (all of them)", name)
      printf "%-18s %12.4f %11.2f %13.1f\n", name, cpu[i], wake[i], kib[i] / 1024
    }
    f = at["velto-gtk-floor"]; c = at["conky"]
    printf "\n%-18s %27s   %27s\n", "ratio of ours", "to velto-gtk-floor", "to Conky"
    printf "%-18s %9s %8s %8s   %9s %8s %8s\n", "", "CPU", "wake-ups", "RSS", "CPU", "wake-ups", "RSS"
    split("desktop terminal bar", ours, " ")
    for (k = 1; k <= 3; k++) {
      i = at[ours[k]]
      printf "%-18s %9s %8s %8s   %9s %8s %8s\n", ours[k],
        ratio(cpu[i], cpu[f]), ratio(wake[i], wake[f]), ratio(kib[i], kib[f]),
        c ? ratio(cpu[i], cpu[c]) : "n/a", c ? ratio(wake[i], wake[c]) : "n/a",
        c ? ratio(kib[i], kib[c]) : "n/a"
    }
    print "(ours: host and extension together; peak RSS adds the two peaks)"
    one = at["desktop"]; two = at["desktop2"]
    printf "\ndesktop, two placements against one: CPU %s×, wake-ups %s×, peak RSS %s×\n",
      ratio(cpu[two], cpu[one]), ratio(wake[two], wake[one]), ratio(kib[two], kib[one])
  }' "$rows"

# A toggle → the terminal widget's changed picture: ▶ once paused, ‖ once
# running, found in what tmux copies out of the pane as the host writes it.
latencies="$work/latencies"
commands="$work/commands"
stream="$work/pane.stream"
: >"$stream"
tmux_ pipe-pane -t bench -o "cat >>'$stream'"
for i in $(seq "$toggles"); do
  if [ $((i % 2)) = 1 ]; then expect="▶"; else expect="‖"; fi
  offset=$(stat -c %s "$stream")
  t0=$EPOCHREALTIME
  "$bin/velto-timer" toggle >/dev/null
  t1=$EPOCHREALTIME
  wait_for_text "$stream" "$offset" "$expect" || fail 70 "the terminal widget never drew '$expect'"
  t2=$EPOCHREALTIME
  echo "$t0 $t2" >>"$work/toggled"
  wait_pane "$expect"
  milliseconds "$t2" "$t0" >>"$latencies"
  milliseconds "$t1" "$t0" >>"$commands"
  sleep 0.3
done
tmux_ pipe-pane -t bench
if [ "$toggles" -gt 0 ]; then
  echo
  echo "velto-timer toggle → changed terminal picture, median of $toggles: $(median <"$latencies") ms" \
    "(worst $(sort -n "$latencies" | tail -1) ms)"
  # The terminal host stamps its log lines with the local time of day; the last
  # change it saw before the picture changed is the write that changed it.
  reacted=$(awk -v midnight="$(date -d 'today 00:00' +%s)" '
    NR == FNR { began[++n] = $1; drawn[n] = $2; next }
    / the defaults changed$/ { split($2, t, ":"); seen[++m] = midnight + t[1] * 3600 + t[2] * 60 + t[3] }
    END {
      for (i = 1; i <= n; i++) {
        last = 0
        for (j = 1; j <= m; j++) if (seen[j] >= began[i] && seen[j] <= drawn[i]) last = seen[j]
        if (last) print 1000 * (drawn[i] - last)
      }
    }' "$work/toggled" "$work/terminal.log" | median)
  echo "  velto-timer itself runs for a median $(median <"$commands") ms; from the host's" \
    "last \"defaults changed\" to the drawn picture: median ${reacted:-?} ms"
fi

# kill -9 of the terminal host's extension → its replacement answering.
old=$(terminal_extension)
offset=$(stat -c %s "$work/terminal.log")
t0=$EPOCHREALTIME
kill -9 "$old"
wait_for_text "$work/terminal.log" "$offset" "the extension is ready (pid " \
  || fail 70 "no extension answered within 30 s of kill -9"
t1=$EPOCHREALTIME
echo "kill -9 of the extension → replacement answering: $(milliseconds "$t1" "$t0") ms"
