# Shared by the Wayland tests: sway on its headless backend. sway refuses to
# run as root, so as root it runs as an unprivileged user, created when missing.
#
# start_sway CONFIG_LINE…: starts sway with those config lines (and no window
# borders), sets XDG_RUNTIME_DIR, WAYLAND_DISPLAY and SWAYSOCK for what the
# test runs next, and server_pid to sway's process.

SWAY_USER=velto-sway-test

start_sway() {
  local as_sway_user=()
  if [ "$(id -u)" -eq 0 ]; then
    need runuser useradd
    id "$SWAY_USER" >/dev/null 2>&1 \
      || useradd --system --no-create-home --shell /usr/sbin/nologin "$SWAY_USER" \
      || fail "cannot create the user $SWAY_USER for sway"
    as_sway_user=(runuser -u "$SWAY_USER" --)
  fi
  local runtime="$WORK/runtime-sway"
  mkdir -p "$runtime" "$WORK/sway-home"
  printf '%s\n' "$@" "default_border none" > "$WORK/sway.conf"
  if [ ${#as_sway_user[@]} -gt 0 ]; then
    chown "$SWAY_USER" "$runtime" "$WORK/sway-home"
  fi
  chmod 700 "$runtime"
  "${as_sway_user[@]}" env -i PATH="$PATH" HOME="$WORK/sway-home" XDG_RUNTIME_DIR="$runtime" \
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$WORK/sway.conf" >"$WORK/sway.log" 2>&1 &
  server_pid=$!
  wait_for 20 bash -c "ls '$runtime' | grep -q '^wayland-[0-9]*$'" \
    || fail "sway did not start: $(tail -5 "$WORK/sway.log")"
  wait_for 10 bash -c "ls '$runtime' | grep -q '^sway-ipc'" \
    || fail "sway has no IPC socket: $(tail -5 "$WORK/sway.log")"
  export XDG_RUNTIME_DIR="$runtime"
  export WAYLAND_DISPLAY=$(ls "$runtime" | grep '^wayland-[0-9]*$' | head -1)
  export SWAYSOCK="$runtime/$(ls "$runtime" | grep '^sway-ipc' | head -1)"
  unset DISPLAY
}
