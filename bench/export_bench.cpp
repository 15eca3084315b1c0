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

#include "bookmark_source.h"
#include "child_process.h"

namespace {

using namespace tessaly::bench;
using Clock = std::chrono::steady_clock;

constexpr int kBookmarks = kSourceBookmarks;
constexpr double kGoalSeconds = 0.25;

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
    writeBookmarkSource(source);
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
