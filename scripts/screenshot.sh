#!/usr/bin/env bash
# Starts tessaly under Xvfb with a window manager and a tray and saves a
# screenshot: ./scripts/screenshot.sh [OUT.png] [BOOKMARKS] [VIEW] (default
# docs/frame.png, no bookmarks). With BOOKMARKS, the data folder is filled
# through tessaly-cli first and the bookmark list shows them. VIEW "form"
# opens the bookmark form ("New Location", Ctrl+N); "explorer" opens the
# explorer view (Ctrl+Shift+C); "categories" opens Browse > Categories; "query"
# the list's Query Wizard with a condition; "repair" File > Support Tools >
# Repair Databases; "report" the Report Wizard. The frame keeps
# its default size, as a first start shows it. Needs a build in build/
# (./scripts/test.sh makes one).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/frame.png}
count=${2:-0}
view=${3:-list}
tessaly=${TESSALY:-build/app/tessaly}
cli=${TESSALY_CLI:-build/cli/tessaly-cli}
[[ -x $tessaly && -x $cli ]] || { echo "no $tessaly or $cli: build first (./scripts/test.sh)"; exit 1; }
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
categories=(News Linux Science Shopping Travel Music Reference)
words=(Daily Open Kernel Field Guide Weekly Review Journal Atlas Market Radio Notes)
for ((i = 0; i < count; i++)); do
  w1=${words[i % ${#words[@]}]}
  w2=${words[(i * 7 + 3) % ${#words[@]}]}
  "$cli" --data "$data" add "https://www.$(echo "$w1$w2" | tr 'A-Z' 'a-z')$i.example.org/" \
    --description "$w1 $w2 $i" --category "${categories[i % ${#categories[@]}]}" \
    --keyword "$w2" --rating $((i * 3 % 11 % 10)) >/dev/null
done
export out tessaly data view
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  openbox >/dev/null 2>&1 &
  trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 28 >/dev/null 2>&1 &
  sleep 1
  "$tessaly" --data "$data" &
  pid=$!
  frame=$(timeout 20 xdotool search --sync --onlyvisible --name "^Tessaly 2000$" | head -n 1)
  xdotool windowmove "$frame" 20 30
  sleep 3.5
  if [[ $view == form ]]; then
    xdotool windowactivate --sync "$frame" key ctrl+n
    sleep 1.5
  elif [[ $view == explorer ]]; then
    xdotool windowactivate --sync "$frame" key ctrl+shift+c
    sleep 1.5
  elif [[ $view == categories ]]; then
    xdotool windowactivate --sync "$frame" key alt+b sleep 0.5 key c
    sleep 1.5
  elif [[ $view == query ]]; then
    xdotool windowactivate --sync "$frame" key alt+q
    sleep 1.5
    xdotool key alt+a
    sleep 0.5
  elif [[ $view == repair ]]; then
    xdotool windowactivate --sync "$frame" key alt+f sleep 0.5 key s sleep 0.5 key r
    sleep 1
    xdotool key Return
    sleep 1.5
  elif [[ $view == report ]]; then
    xdotool windowactivate --sync "$frame" key alt+r sleep 0.5 key w
    sleep 1.5
  fi
  # The frame with a margin around it, wherever the window manager put it.
  eval "$(xdotool getwindowgeometry --shell "$frame")"
  /usr/bin/import -window root -crop "$((X + WIDTH + 20))x$((Y + HEIGHT + 20))+0+0" +repage "$out"
  kill $pid
  # A modal window left open holds the program past SIGTERM.
  sleep 2
  kill -KILL $pid 2>/dev/null || true
  wait $pid || true
'
echo "saved $out"
