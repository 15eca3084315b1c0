#!/usr/bin/env bash
# Under a window manager the frame reopens exactly where it was left, start
# after start; a SIGTERM (a desktop logout) ends the program as File > Exit
# does, so the frame and the bookmark list that is still open keep their
# places in POSITION.INI.
set -euo pipefail
tessaly=$1
source "$(dirname "$0")/desktop.sh"

# The outer corner and the client size, as the window manager shows them.
place() {
  local info
  info=$(xwininfo -id "$frame")
  echo "$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info"),$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info") $(sed -n 's/.*Width: *//p' <<<"$info")x$(sed -n 's/.*Height: *//p' <<<"$info")"
}
end_by_signal() {
  kill -TERM "$frame_pid"
  set +e
  wait "$frame_pid"
  local code=$?
  set -e
  [[ $code -eq 0 ]] || { echo "SIGTERM ended tessaly with code $code, not as File > Exit"; exit 1; }
}
section() { sed -n "/^\[$1\]/,/^\[/p" "$data/POSITION.INI"; }
# The place keys of a section on one line ("" when there are none).
place_keys() { section "$1" | { grep -E '^(X|Y|Width|Height)=' || true; } | sort | tr '\n' ' '; }

start_window_manager
sleep 0.5
start_frame
xdotool windowmove --sync "$frame" 137 91
sleep 0.5
first=$(place)
end_by_signal
section Main | grep -q '^X=' || { echo "no frame position saved"; cat "$data/POSITION.INI"; exit 1; }
list=$(place_keys BrowseTESSLY)
[[ $(wc -w <<<"$list") -eq 4 ]] || { echo "the open list's place was not saved: $list"; exit 1; }

for start in 2 3 4; do
  start_frame
  now=$(place)
  [[ $now == "$first" ]] || { echo "start $start: frame at $now, left at $first"; exit 1; }
  end_by_signal
  again=$(place_keys BrowseTESSLY)
  [[ $again == "$list" ]] || { echo "start $start: list at $again, left at $list"; exit 1; }
done
echo "frame stayed at $first over four starts; list kept $list"
