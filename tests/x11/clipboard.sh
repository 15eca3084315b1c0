#!/usr/bin/env bash
# Under Xvfb with a window manager: with the clipboard monitor open, text
# copied by another X program (xclip) becomes bookmarks, once each; an HTML
# copy gives its link's text; data marked secret is left alone.
set -euo pipefail
tessaly=$1
cli=$2
source "$(dirname "$0")/desktop.sh"

stored() { "$cli" --data "$data" list --format tsv | cut -f1,2,3,5; }
wait_stored() {
  for _ in $(seq 50); do
    stored | grep -qF "$1" && return 0
    sleep 0.1
  done
  echo "not stored: $1"; stored; return 1
}

start_window_manager
start_frame
xdotool windowactivate --sync "$frame" key ctrl+shift+m
sleep 1 # the monitor opens inside the frame: no window of its own to wait for

printf 'see www.example.com now' | xclip -selection clipboard
wait_stored $'http://www.example.com\tnow\tClipboard\thttp'
echo "plain text: the address with http:// and the word after it"

printf '<h3>Daily</h3><a href="http://paper.example/">The Paper</a> read daily' |
  xclip -selection clipboard -t text/html
wait_stored $'http://paper.example/\tThe Paper\tDaily\thttp'
echo "an HTML copy: its link, the link's text and the heading's category"

printf 'HTTP://WWW.EXAMPLE.COM again' | xclip -selection clipboard
printf 'mailto:me@example.org x' | xclip -selection clipboard
wait_stored $'mailto:me@example.org\tx\tClipboard\tmailto:'
[[ $(stored | grep -ci 'www.example.com') == 1 ]] || { echo "stored twice"; stored; exit 1; }
echo "an address stored already, in other letter case, is not stored again"
stop_frame
