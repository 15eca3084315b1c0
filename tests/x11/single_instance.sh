#!/usr/bin/env bash
# The frame's window class is the desktop entry's name, and a second start
# on the same data folder (as the menu entry's "tessaly %U" makes it) hands
# its address to the running program, which opens the new-bookmark wizard
# on it, and ends at once without a frame of its own.
set -euo pipefail
tessaly=$1
id=$2
source "$(dirname "$0")/desktop.sh"

start_frame
class=$(xprop -id "$frame" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = //p')
[[ $class == "\"tessaly\", \"$id\"" ]] || { echo "window class $class, not $id"; exit 1; }

# A loopback address that refuses at once: the wizard analyses it.
start=$(date +%s)
timeout 10 "$tessaly" --data "$data" http://127.0.0.1:9/handed ||
  { echo "the second start did not end with status 0"; exit 1; }
(($(date +%s) - start < 5)) || { echo "the second start took too long"; exit 1; }
if ! wait_for_window '^New Location$' 20; then
  echo "the running program opened no new-bookmark wizard"
  exit 1
fi
frames=$(visible_windows '^Tessaly 2000$' | wc -l)
[[ $frames -eq 1 ]] || { echo "$frames frames, not one"; exit 1; }
kill -0 "$frame_pid" || { echo "the first program ended"; exit 1; }
echo "class $class; the second start handed its address over"
