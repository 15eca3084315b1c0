#!/usr/bin/env bash
# Starts tessaly on a virtual X display and checks that its main window
# appears with the title "Tessaly 2000". Run by ctest under xvfb-run.
set -euo pipefail
tessaly=$1
source "$(dirname "$0")/desktop.sh"

"$tessaly" --data "$data" &
pids+=($!)
if ! wait_for_window '^Tessaly 2000$' 20; then
  echo "no window titled \"Tessaly 2000\" appeared"
  exit 1
fi
window=$(visible_windows '^Tessaly 2000$' | head -n 1)
title=$(xdotool getwindowname "$window")
echo "window $window: $title"
[[ $title == "Tessaly 2000" ]]
