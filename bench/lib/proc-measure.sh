# shellcheck shell=bash
# Sourced by the live scripts: CPU time, wake-ups and peak memory of running
# programs, read from /proc. CPU comes from each thread's schedstat (run time in
# nanoseconds), so a program that wakes once a second for a millisecond still
# shows, where utime/stime clock ticks of 10 ms read zero. Wake-ups are voluntary
# context switches: each one is a sleep that ended.
#
#   before=$(proc_threads $(proc_tree "$pid"))
#   sleep 60
#   after=$(proc_threads $(proc_tree "$pid"))
#   proc_usage "$before" "$after" 60      # prints "<CPU % of one core> <wake-ups/s>"

# proc_tree PID: PID and all its descendants, one a line.
proc_tree() {
  local child
  [ -d "/proc/$1" ] || return 0
  echo "$1"
  for child in $(pgrep -P "$1" || true); do proc_tree "$child"; done
}

# proc_threads PID...: one line per live thread of the processes,
# "pid tid run_ns voluntary_switches". Threads that end while they are read
# are left out.
proc_threads() {
  local pid task ns key value switches
  for pid in "$@"; do
    for task in /proc/"$pid"/task/*; do
      [ -e "$task" ] || continue
      { read -r ns _ <"$task/schedstat"; } 2>/dev/null || continue
      switches=
      while read -r key value _; do
        [ "$key" = voluntary_ctxt_switches: ] && switches=$value
        :
      done 2>/dev/null <"$task/status" || continue
      [ -n "$switches" ] && echo "$pid ${task##*/} $ns $switches"
    done
  done
}

# proc_usage BEFORE AFTER SECONDS [PID]: CPU share of one core (percent) and
# wake-ups per second between two proc_threads samples, of PID alone when given.
# Counted per thread: a thread that started in between counts from zero, so
# threads that come and go never make the sum run backwards; the run time of a
# thread that ended in between after the first sample is lost (GLib's pool
# threads live for seconds, the window lasts minutes).
proc_usage() {
  awk -v seconds="$3" -v only="${4:-}" '
    FNR == NR { if (only == "" || $1 == only) { ns[$2] = $3; sw[$2] = $4 }; next }
    only == "" || $1 == only { run += $3 - ns[$2]; wake += $4 - sw[$2] }
    END { printf "%.4f %.2f\n", run / seconds / 1e7, wake / seconds }
  ' <(printf '%s\n' "$1") <(printf '%s\n' "$2")
}

# proc_peak_kib PID: the process's peak resident set (VmHWM) in KiB, 0 once it is gone.
proc_peak_kib() {
  local key value
  while read -r key value _; do
    [ "$key" = VmHWM: ] && { echo "$value"; return 0; }
  done 2>/dev/null <"/proc/$1/status" || true
  echo 0
}
