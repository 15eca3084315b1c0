#!/usr/bin/env bash
# Under Xvfb with a window manager and a tray: Win+U and Win+G bring the frame
# back when it is visible, minimised and hidden in the tray; with Win+U held
# by another program, Win+G still works.
set -euo pipefail
tessaly=$1
holder=$2
data=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$data"
}
trap cleanup EXIT

openbox >/dev/null 2>&1 &
pids+=($!)
trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel --height 32 \
  >/dev/null 2>&1 &
pids+=($!)
sleep 1

state() { xwininfo -id "$1" | sed -n 's/.*Map State: //p'; }
wait_state() { # window wanted-state
  for _ in $(seq 50); do
    [[ $(state "$1") == "$2" ]] && return 0
    sleep 0.1
  done
  echo "window $1 is $(state "$1"), not $2"
  return 1
}
start_frame() {
  "$tessaly" --data "$data" &
  pids+=($!)
  frame=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tessaly 2000$' | head -n 1)
  sleep 2.5 # the splash closes after two seconds
}
stop_frame() {
  kill "${pids[-1]}" 2>/dev/null || true
  wait "${pids[-1]}" 2>/dev/null || true
}

start_frame
xdotool key super+u
wait_state "$frame" IsViewable
echo "visible: Win+U keeps it shown"

xdotool windowminimize "$frame"
wait_state "$frame" IsUnMapped
xdotool key super+u
wait_state "$frame" IsViewable
echo "minimised or in the tray: Win+U brings it back"

xdotool windowminimize "$frame"
wait_state "$frame" IsUnMapped
xdotool key super+g
wait_state "$frame" IsViewable
echo "Win+G brings it back too"
stop_frame

# Another program holds Win+U: the grab fails quietly and Win+G still works.
coproc HOLDER { "$holder"; }
pids+=("$HOLDER_PID")
read -r -u "${HOLDER[0]}" line
[[ $line == held ]]
start_frame
xdotool windowminimize "$frame"
wait_state "$frame" IsUnMapped
xdotool key super+u
sleep 1
[[ $(state "$frame") == IsUnMapped ]] || { echo "Win+U reached tessaly though another program holds it"; exit 1; }
xdotool key super+g
wait_state "$frame" IsViewable
echo "Win+U held elsewhere: Win+G still works"
stop_frame
