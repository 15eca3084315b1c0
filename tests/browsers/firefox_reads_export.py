#!/usr/bin/env python3
"""A real Firefox reads the bookmark file `tessaly-cli export netscape` writes.

    firefox_reads_export.py TESSALY_CLI

A data folder is filled through tessaly-cli (an import of a CSV file for the
site information, of a small bookmark file for the keyword rows, and `add`),
exported as a browser bookmark file, and that file becomes the bookmarks.html
of a fresh Firefox profile with browser.places.importBookmarksHTML on, as
when a user moves bookmarks into a new Firefox. Once Firefox has imported it, the bookmark tree is read back
through Marionette: every bookmark is there with its title and tags, in the
folder of its category, and its address is exactly ours. Then our own import
reads the same file into a second data folder, which must list the same
addresses, descriptions, categories, site information and keyword rows.

Exits 77 (skipped) when firefox-esr is not installed; the browser and every
file made here are gone when the test ends, however it ends.
"""

import csv
import html
import io
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import marionette  # noqa: E402

SKIPPED = 77
ODD = 'Tea & Cakes <"Bäckerei"> 東京'

def long_url(head, length, filler):
    """`head`, then `filler` over and over up to `length` characters."""
    while len(head) < length:
        head += filler[:length - len(head)]
    return head


# Everything the test stores and expects back. "via" says how it reaches the
# first data folder: the CSV import holds site information, the
# bookmark-file import keyword rows, `add` a bookmark without category.
BOOKMARKS = [
    dict(url="https://news.example.org/", title="Morning News", category="News", via="csv"),
    dict(url="https://search.example.org/find?q=tea+cakes&lang=de&page=2",
         title="Search: tea & cakes", category="News", via="csv"),
    dict(url="https://bakery.example.de/kuchen", title="Bäckerei Müller – «Kuchen»",
         category=ODD, site='Open 8–18 & "closed" on Sundays <ask first>', via="csv"),
    dict(url="https://tea.example.jp/shop?item=sencha&qty=1",
         title="東京の お茶屋 <Sencha & Matcha>", category=ODD, via="csv"),
    dict(url="https://pub.example.ie/menu?day=fri&time=20:00", title="O'Brien's \"Pub\"",
         category=ODD, via="csv"),
    dict(url="https://wiki.example.org/wiki/Main_Page", title="The Free Wiki",
         category="Reference", tags=["reference", "wiki"], via="file"),
    dict(url="https://docs.example.org/guide?lang=en&v=2#install",
         title='Guide "Getting started"', category="Reference", tags=["docs", "über"],
         site="Version 2 & later", via="file"),
    dict(url="https://loose.example.com/path/page.html", title="A page of no category",
         category="", via="add"),
    # Addresses as long as those of a real export: a search and a deep path.
    dict(url=long_url("https://search.example.org/search?q=", 2030, "long+query&client=esr&"),
         title="A long search", category="Reference", tags=["search"], via="file"),
    dict(url=long_url("https://deep.example.org/", 8435, "level/"), title="A deep path",
         category="", via="add"),
]


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run_cli(cli, data, *arguments):
    result = subprocess.run([cli, "--data", data, *arguments], capture_output=True,
                            text=True, timeout=120)
    if result.returncode != 0:
        raise Failure("tessaly-cli %s ended with %d: %s"
                      % (" ".join(arguments), result.returncode, result.stderr))
    return result.stdout


def fill(cli, data, work):
    csv_path = os.path.join(work, "source.csv")
    def quoted(text):
        return '"' + text.replace('"', '""') + '"'

    with open(csv_path, "w", encoding="utf-8") as out:
        for b in BOOKMARKS:
            if b["via"] == "csv":
                fields = (b["category"], b["url"], b["title"], b.get("site", ""))
                out.write(",".join(map(quoted, fields)) + "\n")
    file_path = os.path.join(work, "source.html")
    with open(file_path, "w", encoding="utf-8") as out:
        out.write('<!DOCTYPE NETSCAPE-Bookmark-file-1>\n'
                  '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">\n'
                  '<DL><p>\n    <DT><H3>Reference</H3>\n    <DL><p>\n')
        for b in BOOKMARKS:
            if b["via"] == "file":
                out.write('        <DT><A HREF="%s" TAGS="%s">%s</A>\n'
                          % (html.escape(b["url"]), html.escape(",".join(b["tags"])),
                             html.escape(b["title"])))
                if b.get("site"):
                    out.write("        <DD>%s\n" % html.escape(b["site"]))
        out.write("    </DL><p>\n</DL>\n")
    run_cli(cli, data, "import", "csv", csv_path)
    run_cli(cli, data, "import", "netscape", file_path)
    for b in BOOKMARKS:
        if b["via"] == "add":
            run_cli(cli, data, "add", "--description", b["title"], "--", b["url"])


def listed(cli, data):
    """The bookmarks as `list` shows them: address -> (description, category,
    site information), and the keyword rows as `keywords` shows them."""
    rows = list(csv.DictReader(io.StringIO(run_cli(cli, data, "list", "--format", "csv"))))
    check(rows, "list shows no bookmark")
    bookmarks = {r["URL:Location"]: (r["URL:Description"], r["URL:Category"], r["URL:SiteInfo"])
                 for r in rows}
    keywords = sorted(run_cli(cli, data, "keywords").splitlines()[1:])
    return bookmarks, keywords


# Runs in Firefox once it has started: waits until the start-up import of
# bookmarks.html is done (Firefox turns the pref off after it), then returns
# every bookmark of the four roots with the titles of the folders above it.
READ_TREE = r"""
const resolve = arguments[arguments.length - 1];
const { PlacesUtils } = ChromeUtils.importESModule("resource://gre/modules/PlacesUtils.sys.mjs");
(async () => {
  const deadline = Date.now() + 60000;
  while (Services.prefs.getBoolPref("browser.places.importBookmarksHTML", true)) {
    if (Date.now() > deadline) {
      return { error: "Firefox did not import bookmarks.html within 60 s" };
    }
    await new Promise((r) => setTimeout(r, 200));
  }
  const bookmarks = [];
  const folders = [];
  const walk = (node, path) => {
    for (const child of node.children || []) {
      if (child.type === PlacesUtils.TYPE_X_MOZ_PLACE) {
        bookmarks.push({ url: child.uri, title: child.title || "", path,
                         tags: child.tags ? child.tags.split(",") : [] });
      } else if (child.type === PlacesUtils.TYPE_X_MOZ_PLACE_CONTAINER) {
        folders.push([...path, child.title]);
        walk(child, [...path, child.title]);
      }
    }
  };
  const B = PlacesUtils.bookmarks;
  for (const [root, name] of [[B.menuGuid, "menu"], [B.toolbarGuid, "toolbar"],
                              [B.unfiledGuid, "unfiled"], [B.mobileGuid, "mobile"]]) {
    walk(await PlacesUtils.promiseBookmarksTree(root), [name]);
  }
  return { bookmarks, folders };
})().then(resolve, (e) => resolve({ error: String(e) + "\n" + e.stack }));
"""


def firefox_reads(export, work):
    profile = os.path.join(work, "profile")
    os.mkdir(profile)
    shutil.copyfile(export, os.path.join(profile, "bookmarks.html"))
    log = os.path.join(work, "firefox.log")
    try:
        with marionette.Firefox(profile, prefs={"browser.places.importBookmarksHTML": True},
                                log=log) as firefox:
            tree = firefox.chrome_script(READ_TREE, timeout=90)
            firefox.quit()
    except (marionette.MarionetteError, OSError) as e:  # OSError: a connection that timed out
        text = ""
        if os.path.exists(log):
            with open(log, encoding="utf-8", errors="replace") as f:
                text = f.read()
        raise Failure("%s\nFirefox's log:\n%s" % (e, text))
    check(isinstance(tree, dict) and "error" not in tree, "reading the tree: %s" % tree)
    return tree


def check_firefox(tree):
    found = {}
    for b in tree["bookmarks"]:
        check(b["url"] not in found, "Firefox holds %s twice" % b["url"])
        found[b["url"]] = b
    ours = {b["url"] for b in BOOKMARKS}
    check(set(found) == ours, "Firefox's addresses are not ours:\n  only in Firefox: %s\n"
          "  only ours: %s" % (sorted(set(found) - ours), sorted(ours - set(found))))
    for b in BOOKMARKS:
        got = found[b["url"]]
        where = ["menu", b["category"]] if b["category"] else ["menu"]
        check(got["title"] == b["title"],
              "%s: title %r, not %r" % (b["url"], got["title"], b["title"]))
        check(got["path"] == where, "%s: in %s, not %s" % (b["url"], got["path"], where))
        check(sorted(got["tags"]) == sorted(b.get("tags", [])),
              "%s: tags %s, not %s" % (b["url"], got["tags"], b.get("tags", [])))
    categories = sorted({("menu", b["category"]) for b in BOOKMARKS if b["category"]})
    folders = sorted(tuple(f) for f in tree["folders"])
    check(folders == categories, "Firefox's folders %s, not one per category %s"
          % (folders, categories))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: firefox_reads_export.py TESSALY_CLI")
    cli = os.path.abspath(sys.argv[1])
    if shutil.which(marionette.BROWSER) is None:
        print("SKIP: %s is not installed (scripts/install-deps.sh installs it)"
              % marionette.BROWSER)
        return SKIPPED
    work = tempfile.mkdtemp(prefix="tessaly-firefox-")
    try:
        data = os.path.join(work, "data")
        fill(cli, data, work)
        expected, expected_keywords = listed(cli, data)
        stored = {b["url"]: (b["title"], b["category"], b.get("site", "")) for b in BOOKMARKS}
        check(expected == stored, "the first data folder holds\n  %s\nnot\n  %s"
              % (expected, stored))
        export = os.path.join(work, "bookmarks.html")
        run_cli(cli, data, "export", "netscape", export)

        check_firefox(firefox_reads(export, work))
        print("Firefox read %d bookmarks in their category folders" % len(BOOKMARKS))

        again = os.path.join(work, "again")
        run_cli(cli, again, "import", "netscape", export, "--assign", "none")
        got, got_keywords = listed(cli, again)
        check(got == expected, "our import read back\n  %s\nnot\n  %s" % (got, expected))
        check(got_keywords == expected_keywords, "keyword rows read back\n  %s\nnot\n  %s"
              % (got_keywords, expected_keywords))
        print("our import read back the same %d bookmarks" % len(got))
        return 0
    except Failure as e:
        print("FAILED: %s" % e)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
