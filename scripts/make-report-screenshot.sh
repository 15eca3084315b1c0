#!/usr/bin/env bash
# Makes docs/report-scripts.png, the README's picture of a report page with
# bookmarks in many scripts: tessaly-cli imports them, prints "URLs by
# Category" to PDF, and the page is rendered as a browser would show it.
# Run by hand after a build in ./build.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target tessaly-cli >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/scripts.html" <<'HTML'
<!DOCTYPE NETSCAPE-Bookmark-file-1>
<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">
<TITLE>Bookmarks</TITLE>
<DL><p>
<DT><H3>Latin</H3>
<DL><p>
<DT><A HREF="https://fr.example/cafe">Café crème à la française</A>
<DT><A HREF="https://de.example/strasse">Straße, Größe, Übung</A>
</DL><p>
<DT><H3>Ελληνικά</H3>
<DL><p>
<DT><A HREF="https://gr.example/">Ωμέγα — ειδήσεις</A>
</DL><p>
<DT><H3>Русский</H3>
<DL><p>
<DT><A HREF="https://ru.example/">Новости дня</A>
</DL><p>
<DT><H3>العربية</H3>
<DL><p>
<DT><A HREF="https://ar.example/">مرحبا بالعالم</A>
</DL><p>
<DT><H3>עברית</H3>
<DL><p>
<DT><A HREF="https://he.example/">שלום עולם</A>
</DL><p>
<DT><H3>हिन्दी</H3>
<DL><p>
<DT><A HREF="https://hi.example/">नमस्ते दुनिया</A>
</DL><p>
<DT><H3>ไทย</H3>
<DL><p>
<DT><A HREF="https://th.example/">สวัสดีชาวโลก</A>
</DL><p>
<DT><H3>中文</H3>
<DL><p>
<DT><A HREF="https://zh.example/">你好，世界</A>
</DL><p>
<DT><H3>日本語</H3>
<DL><p>
<DT><A HREF="https://ja.example/">こんにちは世界</A>
</DL><p>
<DT><H3>한국어</H3>
<DL><p>
<DT><A HREF="https://ko.example/">안녕하세요 세계</A>
</DL><p>
</DL><p>
HTML
cli=build/cli/tessaly-cli
"$cli" --data "$work/data" import netscape "$work/scripts.html" >/dev/null
"$cli" --data "$work/data" report "URLs by Category" --pdf "$work/report.pdf" >/dev/null
pdftoppm -png -r 110 -f 1 -l 1 -x 0 -y 0 -W 909 -H 330 "$work/report.pdf" "$work/page"
/usr/bin/convert "$work"/page*.png -bordercolor '#999999' -border 1 docs/report-scripts.png
echo docs/report-scripts.png
