# shellcheck shell=bash
# Sourced by the live scripts to time what a program writes: a log line, the
# bytes tmux copies out of a pane (tmux pipe-pane). Polling with grep or
# capture-pane starts processes, and on a loaded machine each costs tens of
# milliseconds, which then reads as latency of the program measured.

# wait_for_text FILE OFFSET TEXT: returns once TEXT stands in FILE past its first
# OFFSET bytes (stat -c %s before the action), 1 after 30 s. Between looks it
# naps 2 ms on a pipe that nobody writes.
wait_for_text() {
  local LC_ALL=C fd seen='' chunk deadline=$((SECONDS + 30))
  [ -n "${wait_for_text_nap:-}" ] || exec {wait_for_text_nap}<> <(:)
  exec {fd}<"$1"
  if [ "$2" -gt 0 ]; then read -r -N "$2" -u "$fd" _ || true; fi
  while [ "$SECONDS" -lt "$deadline" ]; do
    chunk=
    IFS= read -r -d '' -u "$fd" chunk || true
    seen+=$chunk
    if [[ $seen == *"$3"* ]]; then
      exec {fd}<&-
      return 0
    fi
    read -r -t 0.002 -u "$wait_for_text_nap" _ || true
  done
  exec {fd}<&-
  return 1
}
