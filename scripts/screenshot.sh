#!/usr/bin/env bash
# Starts tessaly under Xvfb with a window manager and a tray and saves a
# screenshot of its frame: ./scripts/screenshot.sh [OUT.png] (default
# docs/frame.png). Needs a build in build/ (./scripts/test.sh makes one).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/frame.png}
tessaly=${TESSALY:-build/app/tessaly}
[[ -x $tessaly ]] || { echo "no $tessaly: build first (./scripts/test.sh)"; exit 1; }
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
export out tessaly data
xvfb-run -a -s "-screen 0 1024x700x24" bash -c '
  openbox >/dev/null 2>&1 &
  trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 28 >/dev/null 2>&1 &
  sleep 1
  "$tessaly" --data "$data" &
  pid=$!
  frame=$(timeout 20 xdotool search --sync --onlyvisible --name "^Tessaly 2000$" | head -n 1)
  sleep 3
  xdotool windowsize "$frame" 900 560 windowmove "$frame" 40 60
  sleep 1
  /usr/bin/import -window root "$out"
  kill $pid
'
echo "saved $out"
