// The sync with an XBEL file of 100,000 bookmarks: a first sync into an
// empty database against the import of the same bookmarks from a file (the
// XBEL file itself and a browser's bookmark file), and a sync where nothing
// changed. Everything runs in this process, as the sync command would.
#include "core/database.h"
#include "core/file_version.h"
#include "framework/message_manager.h"
#include "import/importer.h"
#include "quiet_ui.h"
#include "scratch.h"
#include "scratch.h"
#include "sync/bookmark_sync.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBookmarks = 100000;
constexpr int kFolders = 500;

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The same bookmarks as an XBEL file the browsers' sync extension writes
// (folders two deep) and as a browser's bookmark file.
void writeSources(const std::string& xbel, const std::string& netscape)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE xbel>\n"
                    "<xbel version=\"1.0\">\n<!--- highestId :" +
                    std::to_string(kBookmarks + kFolders + 1) +
                    ": for Floccus bookmark sync browser extension -->\n<folder id=\"1\"><title>"
                    "Bar</title>";
    std::string n = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><H3>Bar</H3>\n<DL><p>\n";
    int id = 2;
    for (int f = 0; f < kFolders; ++f) {
        const std::string name = "Folder " + std::to_string(f);
        x += "<folder id=\"" + std::to_string(id++) + "\"><title>" + name + "</title>";
        n += "<DT><H3>" + name + "</H3>\n<DL><p>\n";
        for (int b = f; b < kBookmarks; b += kFolders) {
            const std::string href = "https://site" + std::to_string(b) + ".example/page";
            const std::string title = "Page number " + std::to_string(b);
            x += "<bookmark href=\"" + href + "\" id=\"" + std::to_string(id++) + "\"><title>" +
                 title + "</title></bookmark>";
            n += "<DT><A HREF=\"" + href + "\">" + title + "</A>\n";
        }
        x += "</folder>";
        n += "</DL><p>\n";
    }
    x += "</folder>\n</xbel>";
    n += "</DL><p>\n</DL><p>\n";
    std::ofstream{xbel} << x;
    std::ofstream{netscape} << n;
}

std::string readAll(const std::string& path)
{
    std::ifstream in{path};
    return {std::istreambuf_iterator<char>{in}, {}};
}

double importInto(const std::string& folder, tessaly::ImportType type, const std::string& file)
{
    std::filesystem::create_directories(folder);
    tessaly::bench::QuietUi ui;
    tessaly::MessageManager messages{ui};
    tessaly::Database db{messages, folder};
    tessaly::ImportRequest request;
    request.type = type;
    request.source = file;
    request.assignment = tessaly::CategoryAssignment::None;
    const auto start = Clock::now();
    const tessaly::ImportSummary summary = tessaly::runImport(db, ui, request, {}, false);
    const double took = seconds(start);
    if (summary.imported != kBookmarks) {
        std::fprintf(stderr, "import stored %d bookmarks\n", summary.imported);
    }
    return took;
}

} // namespace

int main()
{
    tessaly::FileVersionLayer::instance().registerDatabaseFiles();
    // On disk, as a user's data folder is; removed (after the database
    // below has closed) on every way out.
    const tessaly::bench::ScratchFolder scratch{"tessaly-sync-bench"};
    const std::string& root = scratch.path;
    std::printf("scratch folder %s: %s\n", root.c_str(),
                tessaly::bench::fileSystemType(root).c_str());
    const std::string xbel = root + "/bookmarks.xbel";
    const std::string netscape = root + "/bookmarks.html";
    writeSources(xbel, netscape);

    const double importXbel = importInto(root + "/import-xbel", tessaly::ImportType::Xbel, xbel);
    const double importNetscape =
        importInto(root + "/import-netscape", tessaly::ImportType::Netscape, netscape);

    std::filesystem::create_directories(root + "/sync");
    tessaly::bench::QuietUi ui;
    tessaly::MessageManager messages{ui};
    tessaly::Database db{messages, root + "/sync"};
    tessaly::ServerFile file{true, readAll(xbel), "\"1\"", 1000};
    tessaly::SyncPlan plan;
    std::string error;
    auto start = Clock::now();
    bool done = tessaly::planSync(db, "bench", file, {1000, 0}, plan, error) &&
                tessaly::commitSync(db, plan, "\"1\"", error);
    const double first = seconds(start);
    if (!done || plan.account.addedToTessaly != kBookmarks) {
        std::fprintf(stderr, "first sync: %s (%d added)\n", error.c_str(),
                     plan.account.addedToTessaly);
        return 1;
    }
    start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    done = tessaly::planSync(db, "bench", file, {1000, 0}, plan, error) &&
           tessaly::commitSync(db, plan, "\"1\"", error);
    const double unchanged = seconds(start);
    const double unchangedCpu =
        static_cast<double>(std::clock() - cpuStart) / static_cast<double>(CLOCKS_PER_SEC);
    if (!done || plan.writeFile || !plan.nothingToCommit) {
        std::fprintf(stderr, "the second sync found changes: %s\n", error.c_str());
        return 1;
    }

    std::printf("sync of %d bookmarks with an XBEL file\n", kBookmarks);
    std::printf("  first sync (plan and commit)       %6.2f s\n", first);
    std::printf("  import of the XBEL file            %6.2f s   ratio %.2f\n", importXbel,
                first / importXbel);
    std::printf("  import of a bookmark file (HTML)   %6.2f s   ratio %.2f\n", importNetscape,
                first / importNetscape);
    std::printf("  sync with nothing changed          %6.2f s   (%.2f s of processor; bound 2 s)\n",
                unchanged, unchangedCpu);
    return 0;
}
