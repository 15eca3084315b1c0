# Shared by the X11 tests: a data folder, a window manager, a tray, and
# tessaly started and stopped, all cleaned up when the test ends.
# Source it after setting `tessaly` to the program's path.
data=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  # tessaly writes its last files (window places) as it ends: the folder
  # goes once every program has ended, or rm finds it filling again.
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$data" || true
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
  wait_for_window '^Tessaly 2000$' 20 || { echo "no frame appeared"; exit 1; }
  frame=$(visible_windows '^Tessaly 2000$' | head -n 1)
  sleep 2.5 # the splash closes after two seconds
}
stop_frame() {
  kill "$frame_pid" 2>/dev/null || true
  wait "$frame_pid" 2>/dev/null || true
}
# The visible windows whose name matches $1, one id a line. A window that
# closes while xdotool looks at it (a splash, a progress window) makes xdotool
# die of an X error; the search is then made again.
visible_windows() {
  local out err
  for _ in $(seq 10); do
    err=$(mktemp)
    out=$(xdotool search --onlyvisible --name "$1" 2>"$err") || true
    if ! grep -q 'X Error' "$err"; then
      rm -f "$err"
      [[ -n $out ]] && echo "$out"
      return 0
    fi
    rm -f "$err"
    sleep 0.2
  done
  return 1
}
# Waits up to $2 seconds for a visible window named $1.
wait_for_window() {
  local until=$((SECONDS + $2))
  while ((SECONDS < until)); do
    [[ -n $(visible_windows "$1") ]] && return 0
    sleep 0.2
  done
  return 1
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
