# Shared by the desktop end-to-end tests: a private set of XDG folders with a
# `velto:` handler that appends each URL it is given to a file, snapshots
# written with velto-defaults, and pixel checks on screenshots.
#
# Expects HOST and DEFAULTS (the programs) and sets WORK, CLICKS. On exit it
# ends host_pid and server_pid (the display server), when set, and removes WORK
# (kept with KEEP=1).

set -eu

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
need() { for program in "$@"; do command -v "$program" >/dev/null || skip "$program is not installed"; done; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/velto-desktop-test.XXXXXX")
host_pid=""
server_pid=""
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  wait 2>/dev/null
  if [ -n "${KEEP:-}" ]; then echo "kept $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
chmod 755 "$WORK"
CLICKS="$WORK/clicks"
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" XDG_STATE_HOME="$WORK/state"
export XDG_DATA_DIRS="$WORK/data" XDG_CONFIG_DIRS="$WORK/config"
# No session bus: one host per session is kept by a lock in the runtime folder.
export XDG_RUNTIME_DIR="$WORK/runtime"
unset DBUS_SESSION_BUS_ADDRESS GDK_BACKEND
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s"\n' "$CLICKS" > "$WORK/handler"
chmod +x "$WORK/handler"
cat > "$XDG_DATA_HOME/applications/velto-test-handler.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Velto test handler
Exec=$WORK/handler %u
MimeType=x-scheme-handler/velto;
NoDisplay=true
DESKTOP
printf '[Default Applications]\nx-scheme-handler/velto=velto-test-handler.desktop\n' \
  > "$XDG_CONFIG_HOME/mimeapps.list"

# snapshot STATE ELAPSED: the companion's snapshot, updated now.
snapshot() {
  local now=$(( $(date +%s) - 978307200 ))
  "$DEFAULTS" write group.app.velto velto.sharedTimerSnapshot --data \
    "{\"state\":\"$1\",\"projectName\":\"Deep Work\",\"elapsedSeconds\":$2,\"todaySeconds\":5400,\"updatedAt\":$now}"
}

# pixel FILE X Y: "R G B" of one pixel, 0…255.
pixel() {
  convert "$1" -format '%[fx:int(255*p{'"$2,$3"'}.r)] %[fx:int(255*p{'"$2,$3"'}.g)] %[fx:int(255*p{'"$2,$3"'}.b)]' info:
}

# crop FILE X Y W H OUT
crop() { convert "$1" -crop "$4x$5+$2+$3" +repage "$6"; }

# changed A B: the bounding box "WxH+X+Y" of the pixels that differ, or "none".
changed() {
  local box
  box=$(convert "$1" "$2" -compose difference -composite -threshold 0 -format '%@' info: 2>/dev/null)
  case "$box" in
    ""|0x0*) echo none ;;
    *) echo "$box" ;;
  esac
}

# inside "WxH+X+Y" "WxH+X+Y": whether the first box lies within the second.
inside() {
  local a b
  a=$(echo "$1" | tr 'x+' '  ')
  b=$(echo "$2" | tr 'x+' '  ')
  set -- $a $b
  [ "$3" -ge "$7" ] && [ "$4" -ge "$8" ] && [ $(( $3 + $1 )) -le $(( $7 + $5 )) ] \
    && [ $(( $4 + $2 )) -le $(( $8 + $6 )) ]
}

# wait_for SECONDS COMMAND…: polls COMMAND every 0.1 s until it succeeds.
wait_for() {
  local tries=$(( $1 * 10 ))
  shift
  while ! "$@" 2>/dev/null; do
    tries=$(( tries - 1 ))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}
