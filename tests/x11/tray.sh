#!/usr/bin/env bash
# Under Xvfb with a window manager: the tray icon docks in a tray, comes
# back when the tray restarts, restores the frame on a double-click;
# minimising hides the frame into the tray (NoTray 0) or leaves it in the
# task bar (NoTray 1, or no tray at all).
set -euo pipefail
tessaly=$1
source "$(dirname "$0")/desktop.sh"

start_window_manager

# The icon: a window of ours (its class's instance is the program's name)
# inside the tray's panel. Qt titles it after the application's name, the
# desktop entry's, which the tray never shows.
icon_in_tray() {
  xwininfo -root -tree | awk '/"panel"/ {inpanel=1; next} inpanel && !found && /\("tessaly" / {print $1; found=1}'
}

start_tray
start_frame
[[ -n $(icon_in_tray) ]] || { echo "no icon in the tray"; exit 1; }
xdotool windowminimize "$frame"
wait_for wm_state "" # withdrawn: hidden, no task-bar entry
echo "NoTray 0: minimising hides the frame into the tray"

icon=$(icon_in_tray)
xdotool mousemove --window "$icon" 8 8 click --repeat 2 --delay 80 1
wait_for wm_state Normal
echo "a double-click on the icon restores the frame"

kill "$tray_pid"
sleep 1
start_tray
for _ in $(seq 40); do [[ -n $(icon_in_tray) ]] && break; sleep 0.2; done
[[ -n $(icon_in_tray) ]] || { echo "the icon did not come back to the restarted tray"; exit 1; }
echo "the icon docks again when the tray restarts"
stop_frame

# A fresh data folder: the first run stored NoTray 0 as a record.
rm -rf "${data:?}"/*
printf '[Settings]\nNoTray=1\n' >"$data/WIN.INI"
start_frame
[[ -n $(icon_in_tray) ]] || { echo "no icon in the tray with NoTray 1"; exit 1; }
xdotool windowminimize "$frame"
wait_for wm_state Iconic
echo "NoTray 1: minimising leaves the frame in the task bar, the icon stays"
stop_frame

kill "$tray_pid"
rm -rf "${data:?}"/*
sleep 1
start_frame
xdotool windowminimize "$frame"
wait_for wm_state Iconic
echo "no tray: minimising leaves the frame in the task bar"
stop_frame
