# Shared by the X11 tests: a data folder, a window manager, a tray, and
# tessaly started and stopped, all cleaned up when the test ends.
# Source it after setting `tessaly` to the program's path.
data=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$data"
}
trap cleanup EXIT

start_window_manager() {
  openbox >/dev/null 2>&1 &
  pids+=($!)
}
start_tray() {
  trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 28 \
    >/dev/null 2>&1 &
  tray_pid=$!
  pids+=($tray_pid)
  sleep 1
}
start_frame() {
  "$tessaly" --data "$data" &
  frame_pid=$!
  pids+=($frame_pid)
  frame=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tessaly 2000$' | head -n 1)
  sleep 2.5 # the splash closes after two seconds
}
stop_frame() {
  kill "$frame_pid" 2>/dev/null || true
  wait "$frame_pid" 2>/dev/null || true
}
map_state() { xwininfo -id "$frame" | sed -n 's/.*Map State: //p'; }
wm_state() { xprop -id "$frame" WM_STATE 2>/dev/null | sed -n 's/.*window state: //p'; }
# Waits up to five seconds for `command` to print `expected`.
wait_for() {
  for _ in $(seq 50); do
    [[ $($1) == "$2" ]] && return 0
    sleep 0.1
  done
  echo "$1 gave '$($1)', not '$2'"
  return 1
}
