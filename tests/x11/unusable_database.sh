#!/usr/bin/env bash
# Starts tessaly on a data folder whose URLDATA.tps is no database: the
# program must say so in a box titled "File Access Error", end when the box
# is closed, and leave the file as it was.
set -euo pipefail
tessaly=$1
source "$(dirname "$0")/desktop.sh"
printf 'a letter, not a database' >"$data/URLDATA.tps"

"$tessaly" --data "$data" &
pid=$!
pids+=($pid)
if ! wait_for_window '^File Access Error$' 20; then
  echo "no \"File Access Error\" box appeared"
  exit 1
fi
# No window manager gives the box the focus: give it, then press Enter. The
# box may be re-created while it is shown, so look it up again if needed.
for _ in $(seq 20); do
  box=$(visible_windows '^File Access Error$' | tail -n 1)
  if [[ -n $box ]] && xdotool windowfocus "$box" 2>/dev/null && xdotool key Return 2>/dev/null; then
    break
  fi
  sleep 0.2
done
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "tessaly still runs after the fatal message"
  exit 1
fi
set +e
wait "$pid"
code=$?
set -e
[[ $code -ne 0 ]] || { echo "exit code 0 after a fatal message"; exit 1; }
[[ $(cat "$data/URLDATA.tps") == 'a letter, not a database' ]] || { echo "the file was changed"; exit 1; }
echo "ended with code $code, file untouched"
