#!/usr/bin/env bash
# Closing the frame with its bookmark list open ends the program normally:
# exit code 0, and the window positions and the list's layout written.
set -euo pipefail
tessaly=$1
source "$(dirname "$0")/desktop.sh"

start_window_manager
sleep 0.5
start_frame
sleep 1 # the list opens inside the frame once the splash has closed
xdotool windowactivate --sync "$frame" key --clearmodifiers alt+F4
for _ in $(seq 100); do
  kill -0 "$frame_pid" 2>/dev/null || break
  sleep 0.1
done
set +e
wait "$frame_pid"
code=$?
set -e
[[ $code -eq 0 ]] || { echo "tessaly ended with code $code"; exit 1; }
grep -q '^\[BrowseTESSLY\]' "$data/POSITION.INI" || { echo "no list layout saved"; cat "$data/POSITION.INI"; exit 1; }
grep -q '^\[Main\]' "$data/POSITION.INI" || { echo "no frame position saved"; exit 1; }
echo "closed normally, positions and layout saved"

# A logout while a dialog is open (the Repair warning, and the window the
# work behind it opens next) still ends the program at once and normally.
start_frame
xdotool windowactivate --sync "$frame" key --clearmodifiers alt+f s r
wait_for_window '^Warning$' 10 || { echo "the Repair warning did not open"; exit 1; }
kill -TERM "$frame_pid"
for _ in $(seq 100); do
  kill -0 "$frame_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$frame_pid" 2>/dev/null && { echo "SIGTERM left tessaly running behind a dialog"; exit 1; }
set +e
wait "$frame_pid"
code=$?
set -e
[[ $code -eq 0 ]] || { echo "SIGTERM behind a dialog ended tessaly with code $code"; exit 1; }
echo "a logout behind a dialog ended the program normally"
