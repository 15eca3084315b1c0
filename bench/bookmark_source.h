#pragma once

#include <fstream>
#include <string>

namespace tessaly::bench {

constexpr int kSourceFolders = 500;
constexpr int kSourceLinksPerFolder = 200;
constexpr int kSourceBookmarks = kSourceFolders * kSourceLinksPerFolder;

// 100,000 bookmarks in 500 folders as a browser's bookmark file, with tags
// and notes: what the export and report benchmarks start from. The
// Frame export takes the same in more, smaller folders.
inline void writeBookmarkSource(const std::string& path, int folders = kSourceFolders,
                                int linksPerFolder = kSourceLinksPerFolder)
{
    std::ofstream out{path, std::ios::binary};
    out << "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" "
           "CONTENT=\"text/html; charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n"
           "<DL><p>\n";
    int n = 0;
    for (int f = 0; f < folders; ++f) {
        out << "    <DT><H3>Folder " << f << "</H3>\n    <DL><p>\n";
        for (int i = 0; i < linksPerFolder; ++i, ++n) {
            out << "        <DT><A HREF=\"https://site" << n % 5000 << ".example/page/" << n
                << "?q=" << n << "&amp;r=1\" TAGS=\"tag" << n % 50 << "\">Page " << n << " of site "
                << n % 5000 << " &amp; more</A>\n"
                << "        <DD>Notes on page " << n << "\n";
        }
        out << "    </DL><p>\n";
    }
    out << "</DL>\n";
}

} // namespace tessaly::bench
