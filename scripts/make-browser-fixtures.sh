#!/usr/bin/env bash
# Makes the bookmark files of tests/data/browsers with the real browsers, so
# that the import tests read what Firefox and Chromium write, not what we
# think they write.
#
# Run by hand (CI never runs it and never needs the browsers):
#
#     apt-get install -y firefox-esr chromium
#     scripts/make-browser-fixtures.sh [OUTPUT_FOLDER]
#
# OUTPUT_FOLDER defaults to tests/data/browsers. Each browser starts
# headless in a fresh profile under a temporary folder that is removed at
# the end; nothing in the user's own profiles is read or touched.
#
# Firefox (started and driven by tests/support/marionette.py, which the test
# of our own bookmark file shares): a user.js turns on the HTML export at
# shutdown and turns off the first-run pages, updates and telemetry. The
# bookmarks go in through Marionette (in the chrome context, PlacesUtils),
# then Marionette:Quit shuts Firefox down cleanly, which writes
# bookmarks.html and checkpoints places.sqlite. Kept: firefox/bookmarks.html
# and firefox/places.sqlite (a VACUUMed copy).
#
# Chromium: a hand-written Default/Bookmarks is loaded by a headless
# Chromium and rewritten at SIGTERM (a clean shutdown for Chromium) with
# its checksum, ids and GUIDs. Kept: chromium/Bookmarks. Chromium has no
# headless route to its HTML export.
#
# The tests (tests/unit/import/browser_files_test.cpp) know every bookmark
# made here: change the two together.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/tests/data/browsers}
work=$(mktemp -d "${TMPDIR:-/tmp}/tessaly-fixtures-XXXXXX")
browser_pid=
cleanup() {
    if [[ -n $browser_pid ]] && kill -0 "$browser_pid" 2>/dev/null; then
        kill "$browser_pid" 2>/dev/null || true
        wait "$browser_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

need() { command -v "$1" >/dev/null || { echo "$0: $1 is not installed" >&2; exit 1; }; }
need firefox-esr
need chromium
need python3
need sqlite3

mkdir -p "$out/firefox" "$out/chromium"

# ---------------------------------------------------------------- Firefox
profile=$work/firefox-profile
mkdir -p "$profile"
firefox_version=$(firefox-esr --version 2>/dev/null)

# A data: icon of a few kilobytes: real exports carry icons this long on the
# link's line, before its title.
icon=$(python3 - <<'EOF'
import base64, random, struct, zlib
random.seed(2000)
w = h = 32
rows = b"".join(b"\0" + bytes(random.randrange(256) for _ in range(w * 4)) for _ in range(h))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
       + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
print("data:image/png;base64," + base64.b64encode(png).decode())
EOF
)

PROFILE=$profile LOG=$work/firefox.log ICON=$icon PYTHONPATH=$here/tests/support \
    PYTHONDONTWRITEBYTECODE=1 python3 - <<'EOF'
import os, sys
from marionette import Firefox, MarionetteError

script = r"""
const [icon, resolve] = arguments;
const { PlacesUtils } = ChromeUtils.importESModule("resource://gre/modules/PlacesUtils.sys.mjs");
(async () => {
  const day = (iso) => new Date(iso);
  await PlacesUtils.bookmarks.insertTree({
    guid: PlacesUtils.bookmarks.menuGuid,
    children: [
      { url: "https://cafe.example/", title: "Café & Crème", dateAdded: day("2024-01-02T10:00:00Z") },
      { type: PlacesUtils.bookmarks.TYPE_FOLDER, title: "News", children: [
          { url: "https://news.example/front?a=1&b=2", title: 'Front <page> "live"' },
          { type: PlacesUtils.bookmarks.TYPE_FOLDER, title: "Daily", children: [
              { url: "https://daily.example/", title: "Daily 東京 Новости" },
          ] },
          { url: "https://news.example/after", title: "After Daily" },
      ] },
      { type: PlacesUtils.bookmarks.TYPE_SEPARATOR },
      { url: "https://after-separator.example/", title: "After the separator" },
      { url: "javascript:void(document.title='a'&&'b')", title: "Bookmarklet 'retitle'" },
      { url: "https://untitled.example/path", title: "" },
    ],
  });
  await PlacesUtils.bookmarks.insertTree({
    guid: PlacesUtils.bookmarks.toolbarGuid,
    children: [
      { url: "https://toolbar.example/", title: "Toolbar link" },
      { type: PlacesUtils.bookmarks.TYPE_FOLDER, title: "Tools", children: [
          { url: "https://tools.example/x", title: "Tool ½ price" },
      ] },
    ],
  });
  await PlacesUtils.bookmarks.insertTree({
    guid: PlacesUtils.bookmarks.unfiledGuid,
    children: [
      { url: "https://other.example/", title: "O'Brien's page" },
    ],
  });
  const news = Services.io.newURI("https://news.example/front?a=1&b=2");
  PlacesUtils.tagging.tagURI(news, ["daily", "world"]);
  await PlacesUtils.keywords.insert({ keyword: "nw", url: news.spec });
  await PlacesUtils.history.insert({
    url: "https://toolbar.example/",
    visits: [{ date: day("2024-03-05T12:00:00Z"), transition: PlacesUtils.history.TRANSITIONS.TYPED }],
  });
  await PlacesUtils.favicons.setFaviconForPage(
    Services.io.newURI("https://cafe.example/"),
    Services.io.newURI("https://cafe.example/favicon.png"),
    Services.io.newURI(icon));
  return "ok";
})().then(resolve, (e) => resolve("error: " + e + "\n" + e.stack));
"""
try:
    with Firefox(os.environ["PROFILE"], prefs={"browser.bookmarks.autoExportHTML": True},
                 log=os.environ["LOG"]) as firefox:
        result = firefox.chrome_script(script, [os.environ["ICON"]])
        if result != "ok":
            sys.exit("adding the bookmarks failed: %s" % result)
        firefox.quit()
except MarionetteError as e:
    with open(os.environ["LOG"], errors="replace") as log:
        sys.exit("%s; Firefox's log:\n%s" % (e, log.read()))
EOF
if [[ ! -s $profile/bookmarks.html ]]; then
    echo "$0: Firefox wrote no bookmarks.html; see its log:" >&2
    cat "$work/firefox.log" >&2
    exit 1
fi
cp "$profile/bookmarks.html" "$out/firefox/bookmarks.html"
# A copy without its write-ahead log (Marionette:Quit checkpointed it) and
# with small pages: Firefox's 32 KiB pages make 1.7 MB of a few rows, and
# the page size changes nothing a reader sees.
rm -f "$out/firefox/places.sqlite" "$out/firefox/places.sqlite-wal"
sqlite3 "$profile/places.sqlite" "VACUUM INTO '$out/firefox/places.sqlite'"
sqlite3 "$out/firefox/places.sqlite" \
    "PRAGMA journal_mode=DELETE; PRAGMA page_size=1024; VACUUM;" >/dev/null

# --------------------------------------------------------------- Chromium
data=$work/chromium-data
mkdir -p "$data/Default"
# Times are microseconds since 1601. "date_last_used" is what Chromium
# keeps of the last visit.
cat >"$data/Default/Bookmarks" <<'EOF'
{
   "roots": {
      "bookmark_bar": {
         "children": [ {
            "date_added": "13350000000000000",
            "id": "5",
            "name": "Café & Crème",
            "type": "url",
            "url": "https://cafe.example/"
         }, {
            "children": [ {
               "date_added": "13350000000000000",
               "id": "7",
               "name": "Front <page> \"live\"",
               "type": "url",
               "url": "https://news.example/front?a=1&b=2"
            }, {
               "children": [ {
                  "date_added": "13350000000000000",
                  "id": "9",
                  "name": "Daily 東京 Новости",
                  "type": "url",
                  "url": "https://daily.example/"
               } ],
               "date_added": "13350000000000000",
               "date_modified": "13350000000000000",
               "id": "8",
               "name": "Daily",
               "type": "folder"
            }, {
               "date_added": "13350000000000000",
               "date_last_used": "13354444800000000",
               "id": "10",
               "name": "After Daily",
               "type": "url",
               "url": "https://news.example/after"
            } ],
            "date_added": "13350000000000000",
            "date_modified": "13350000000000000",
            "id": "6",
            "name": "News",
            "type": "folder"
         }, {
            "date_added": "13350000000000000",
            "id": "11",
            "name": "Bookmarklet 'retitle'",
            "type": "url",
            "url": "javascript:void(document.title='a'&&'b')"
         }, {
            "date_added": "13350000000000000",
            "id": "12",
            "name": "",
            "type": "url",
            "url": "https://untitled.example/path"
         } ],
         "date_added": "13350000000000000",
         "date_modified": "13350000000000000",
         "id": "1",
         "name": "Bookmarks bar",
         "type": "folder"
      },
      "other": {
         "children": [ {
            "date_added": "13350000000000000",
            "id": "13",
            "name": "O'Brien's page",
            "type": "url",
            "url": "https://other.example/"
         } ],
         "date_added": "13350000000000000",
         "date_modified": "13350000000000000",
         "id": "2",
         "name": "Other bookmarks",
         "type": "folder"
      },
      "synced": {
         "children": [ {
            "date_added": "13350000000000000",
            "id": "14",
            "name": "Tool ½ price",
            "type": "url",
            "url": "https://tools.example/x"
         } ],
         "date_added": "13350000000000000",
         "date_modified": "13350000000000000",
         "id": "3",
         "name": "Mobile bookmarks",
         "type": "folder"
      }
   },
   "version": 1
}
EOF
cp "$data/Default/Bookmarks" "$work/Bookmarks.written"

chromium_version=$(chromium --version 2>/dev/null)
chromium --headless=new --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$data" about:blank >"$work/chromium.log" 2>&1 &
browser_pid=$!
# Chromium loads the bookmarks soon after start; give it time, then ask it
# to stop cleanly.
for _ in $(seq 1 20); do
    sleep 1
    [[ -d $data/Default/Sessions || -f $data/Default/Preferences ]] && break
done
sleep 3
kill -TERM "$browser_pid"
wait "$browser_pid" || true
browser_pid=
if cmp -s "$data/Default/Bookmarks" "$work/Bookmarks.written" ||
    ! grep -q '"checksum"' "$data/Default/Bookmarks"; then
    echo "$0: Chromium did not rewrite its Bookmarks file; see its log:" >&2
    cat "$work/chromium.log" >&2
    exit 1
fi
cp "$data/Default/Bookmarks" "$out/chromium/Bookmarks"

cat >"$out/README.txt" <<EOF
Bookmark files written by real browsers, read by tests/unit/import/browser_files_test.cpp.
Made by scripts/make-browser-fixtures.sh (run by hand; see its header) on $(date -u +%Y-%m-%d) with:

    $firefox_version (Debian package firefox-esr), headless, fresh profile
    $chromium_version (Debian package chromium), headless, fresh profile

firefox/bookmarks.html  Firefox's own HTML export (browser.bookmarks.autoExportHTML),
                        written at a clean shutdown after the bookmarks were added
                        through Marionette (PlacesUtils): nested folders, a separator,
                        tags, a keyword, an icon, a bookmarklet, a title-less bookmark,
                        beside the "Mozilla Firefox" folder every new profile starts with.
firefox/places.sqlite   the same profile's bookmark database (a VACUUMed copy).
chromium/Bookmarks      a hand-written Bookmarks file of the same shape, loaded and
                        rewritten by Chromium at SIGTERM (checksum, GUIDs and its own
                        fields added).

Do not edit these files by hand: run the script again.
EOF

ls -l "$out"/firefox "$out"/chromium
