#!/usr/bin/env bash
# Under Xvfb with a window manager and a tray: Win+U and Win+G bring the frame
# back when it is visible, minimised and hidden in the tray; with Win+U held
# by another program, Win+G still works.
set -euo pipefail
tessaly=$1
holder=$2
source "$(dirname "$0")/desktop.sh"

start_window_manager
start_tray
start_frame
xdotool key super+u
wait_for map_state IsViewable
echo "visible: Win+U keeps it shown"

xdotool windowminimize "$frame"
wait_for map_state IsUnMapped
xdotool key super+u
wait_for map_state IsViewable
echo "minimised or in the tray: Win+U brings it back"

xdotool windowminimize "$frame"
wait_for map_state IsUnMapped
xdotool key super+g
wait_for map_state IsViewable
echo "Win+G brings it back too"
stop_frame

# Another program holds Win+U: the grab fails quietly and Win+G still works.
coproc HOLDER { "$holder"; }
pids+=("$HOLDER_PID")
read -r -u "${HOLDER[0]}" line
[[ $line == held ]]
start_frame
xdotool windowminimize "$frame"
wait_for map_state IsUnMapped
xdotool key super+u
sleep 1
[[ $(map_state) == IsUnMapped ]] || { echo "Win+U reached tessaly though another program holds it"; exit 1; }
xdotool key super+g
wait_for map_state IsViewable
echo "Win+U held elsewhere: Win+G still works"
stop_frame
