#!/usr/bin/env bash
# Makes the README's pictures of the Simple, Table and Frame exports: a
# small sample database is filled through tessaly-cli, exported in each
# style, and each page is shot by a headless Chromium.
#
# Run by hand (CI never runs it):
#
#     apt-get install -y chromium
#     scripts/make-export-screenshots.sh [OUTPUT_FOLDER]
#
# OUTPUT_FOLDER defaults to docs; the pictures are export-simple.png,
# export-table.png and export-frame.png. Needs a build in build/
# (./scripts/test.sh makes one) or TESSALY_CLI pointing to tessaly-cli.
# Chromium runs in a profile under a temporary folder that is removed at the
# end, with no network; nothing of the user's own profile is read or touched.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$here/docs}" && cd "${1:-$here/docs}" && pwd)
cli=${TESSALY_CLI:-$here/build/cli/tessaly-cli}
size=${SIZE:-880,600}
[[ -x $cli ]] || { echo "$0: no $cli: build first (./scripts/test.sh)" >&2; exit 1; }
command -v chromium >/dev/null || { echo "$0: chromium is not installed" >&2; exit 1; }
command -v convert >/dev/null || { echo "$0: convert (imagemagick) is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tessaly-screenshots-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Category, address, description, site information, rating: the layout of
# the CSV import.
cat >"$work/sample.csv" <<'EOF'
"Cooking","https://www.budgetbytes.com/","Budget Bytes","Cheap weeknight recipes with prices per serving",7
"Cooking","https://www.seriouseats.com/","Serious Eats","Food science and tested recipes",9
"Cooking","https://www.kingarthurbaking.com/recipes","King Arthur Baking recipes","Bread, cakes and a baker's hotline",8
"Linux","https://www.debian.org/","Debian","The universal operating system",9
"Linux","https://wiki.archlinux.org/","ArchWiki","Thorough guides that help on any distribution",8
"Linux","https://lwn.net/","LWN.net","Weekly news on the kernel and free software",0
"Linux","https://www.kernel.org/doc/html/latest/","The Linux kernel documentation","",0
"Science","https://www.nasa.gov/","NASA","Missions, pictures and the day's launches",6
"Science","https://arxiv.org/","arXiv","Open preprints in physics, mathematics and computing",0
"Science","https://www.nature.com/","Nature","",5
"Travel","https://www.openstreetmap.org/","OpenStreetMap","The free map of the world",8
"Travel","https://www.seat61.com/","The Man in Seat 61","Train travel, route by route",9
"Travel","https://wikitravel.org/en/Main_Page","Wikitravel","",0
EOF
data=$work/data
"$cli" --data "$data" import csv "$work/sample.csv" >/dev/null

sandbox=()
[[ $(id -u) -eq 0 ]] && sandbox=(--no-sandbox) # Chromium's sandbox refuses root
shot() {
    local style=$1 page=$2
    rm -rf "$work/chromium"
    chromium --headless --disable-gpu "${sandbox[@]}" --hide-scrollbars --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/chromium" --window-size="$size" \
        --screenshot="$work/$style.png" "file://$page" >"$work/chromium.log" 2>&1 ||
        { cat "$work/chromium.log" >&2; exit 1; }
    # A palette of 64 colours keeps the text sharp at a fraction of the size.
    convert "$work/$style.png" -strip -colors 64 -define png:compression-level=9 \
        "PNG8:$out/export-$style.png"
    echo "$out/export-$style.png"
}
for style in simple table frame; do
    mkdir -p "$work/$style"
    "$cli" --data "$data" export "$style" "$work/$style/Links.htm" --order catdesc \
        --title "My Bookmarks" --rating --siteinfo >/dev/null
    shot "$style" "$work/$style/Links.htm"
done
