#!/usr/bin/env bash
# Starts tessaly on a virtual X display and checks that its main window
# appears with the title "Tessaly 2000". Run by ctest under xvfb-run.
set -euo pipefail
tessaly=$1
data=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$data"' EXIT

"$tessaly" --data "$data" &
pid=$!
if ! window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tessaly 2000$' | head -n 1); then
  echo "no window titled \"Tessaly 2000\" appeared"
  exit 1
fi
title=$(xdotool getwindowname "$window")
echo "window $window: $title"
[[ $title == "Tessaly 2000" ]]
