// Exporting 100,000 bookmarks: tessaly-cli export as Table pages and as a
// browser bookmark file, each a process of its own, against the goal of
// 0.25 s for the pages, and against buku exporting the same bookmarks in the
// same run when it is installed. The peak memory shows that rows stream.
// The template export (the default Table template) builds its pages in
// memory until the end: its time and memory against the built-in Table.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "child_process.h"

namespace {

using namespace tessaly::bench;
using Clock = std::chrono::steady_clock;

constexpr int kFolders = 500;
constexpr int kLinksPerFolder = 200;
constexpr int kBookmarks = kFolders * kLinksPerFolder;
constexpr double kGoalSeconds = 0.25;

// The bookmarks to export, as a browser's bookmark file both programs read.
void writeSource(const std::string& path)
{
    std::ofstream out{path, std::ios::binary};
    out << "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" "
           "CONTENT=\"text/html; charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n"
           "<DL><p>\n";
    int n = 0;
    for (int f = 0; f < kFolders; ++f) {
        out << "    <DT><H3>Folder " << f << "</H3>\n    <DL><p>\n";
        for (int i = 0; i < kLinksPerFolder; ++i, ++n) {
            out << "        <DT><A HREF=\"https://site" << n % 5000 << ".example/page/" << n
                << "?q=" << n << "&amp;r=1\" TAGS=\"tag" << n % 50 << "\">Page " << n << " of site "
                << n % 5000 << " &amp; more</A>\n"
                << "        <DD>Notes on page " << n << "\n";
        }
        out << "    </DL><p>\n";
    }
    out << "</DL>\n";
}

double megabytes(const std::string& path)
{
    return static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string cli = argc > 1 ? argv[1] : TESSALY_CLI_PATH;
    Folder files;
    const std::string source = files.path + "/source.html";
    writeSource(source);
    Folder data;
    if (runProgram({cli, "--data", data.path, "import", "netscape", source}).status != 0) {
        std::printf("tessaly-cli import failed\n");
        return 1;
    }
    const std::string table = files.path + "/links.htm";
    const std::string browser = files.path + "/bookmarks.html";
    const Run pages = runProgram({cli, "--data", data.path, "export", "table", table, "--order",
                                  "catdesc", "--siteinfo", "--rating"});
    const Run netscape = runProgram({cli, "--data", data.path, "export", "netscape", browser});
    const std::string templated = files.path + "/template.htm";
    const Run withTemplate = runProgram({cli, "--data", data.path, "export", "table", templated,
                                         "--order", "catdesc", "--template", "default"});
    if (pages.status != 0 || netscape.status != 0 || withTemplate.status != 0) {
        std::printf("tessaly-cli export failed\n");
        return 1;
    }
    std::printf("export of %d bookmarks                 seconds     MiB      MB   ratio\n",
                kBookmarks);
    std::printf("%-38s %7.2f %7.1f %7.1f\n", "tessaly-cli export table (catdesc)", pages.seconds,
                pages.mib, megabytes(table));
    std::printf("%-38s %7.2f %7s %7s %7.2f  (ours / goal; <= 1 meets it)\n", "goal: 0.25 s",
                kGoalSeconds, "", "", pages.seconds / kGoalSeconds);
    std::printf("%-38s %7.2f %7.1f %7.1f %7.2f  (template / built-in table)\n",
                "tessaly-cli export table --template", withTemplate.seconds, withTemplate.mib,
                megabytes(templated), withTemplate.seconds / pages.seconds);
    std::printf("%-38s %7.2f %7.1f %7.1f\n", "tessaly-cli export netscape", netscape.seconds,
                netscape.mib, megabytes(browser));
    if (std::system("command -v buku >/dev/null 2>&1") == 0) {
        Folder home;
        const std::vector<std::string> environment = {"HOME=" + home.path,
                                                      "XDG_DATA_HOME=" + home.path + "/share"};
        runProgram({"buku", "--nostdin", "--tacit", "-i", source}, environment);
        const std::string theirs = files.path + "/buku.html";
        const Run buku = runProgram({"buku", "--nostdin", "--tacit", "-e", theirs}, environment);
        std::printf("%-38s %7.2f %7.1f %7.1f %7.2f  (buku / our netscape)\n",
                    "buku -e, same bookmarks", buku.seconds, buku.mib,
                    std::filesystem::exists(theirs) ? megabytes(theirs) : 0.0,
                    buku.seconds / netscape.seconds);
    } else {
        std::printf("buku is not installed: its figure is left out\n");
    }
    return 0;
}
