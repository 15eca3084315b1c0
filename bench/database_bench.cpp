// The bookmark database against raw SQLite doing the same work on the same
// tables and keys: inserting 100,000 bookmarks in one group, scanning them
// in each of the six key orders, fetching by location, and renaming a
// category that holds 10,000 of them.
#include "core/database.h"
#include "core/file_version.h"
#include "core/sqlite.h"
#include "core/tables.h"
#include "framework/text.h"
#include "quiet_ui.h"
#include "scratch.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace tessaly;
using Clock = std::chrono::steady_clock;

constexpr int kBookmarks = 100000;
constexpr int kFetches = 20000;

double seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long maxRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string location(int i)
{
    return "http://www.site" + std::to_string(i * 7919 % kBookmarks) + ".example.com/page";
}

std::string category(int i)
{
    return i < 10000 ? "Renamed" : "Category" + std::to_string(i % 50);
}

void fillRecord(Record& r, int i)
{
    r.setText(BookmarkField::Location, location(i));
    r.setText(BookmarkField::Description, "Description of site number " + std::to_string(i));
    r.setText(BookmarkField::Category, category(i));
    r.setNumber(BookmarkField::Rating, i % 10);
    r.setText(BookmarkField::Keyword, "Key" + std::to_string(i % 100));
    r.setText(BookmarkField::SiteInfo, "Some information about the site.");
    r.setNumber(BookmarkField::LastVisit, 80000 + i % 5000);
}

std::string foldedMarks(const TableDef& table)
{
    std::string marks;
    for (int f = 0; f < table.fieldCount(); ++f) {
        if (table.isFolded(f)) {
            marks += ",?";
        }
    }
    return marks;
}

void printRatio(const char* what, double ours, double raw)
{
    std::printf("%-34s %10.1f %10.1f %8.2f\n", what, ours * 1e3, raw * 1e3, ours / raw);
}

} // namespace

int main()
{
    FileVersionLayer::instance().registerDatabaseFiles();
    tessaly::bench::QuietUi ui;
    MessageManager messages{ui};
    bench::ScratchFolder oursFolder;
    bench::ScratchFolder rawFolder;
    Database db{messages, oursFolder.path};
    if (db.categoryRelations().open() != kLevelDone) {
        return 1;
    }
    // The raw peer gets the same tables and keys, made by the engine.
    {
        Database shape{messages, rawFolder.path};
        shape.bookmarks().open();
    }
    sql::Connection raw;
    raw.open(rawFolder.path + "/URLDATA.tps", false, false);
    raw.execute("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL");

    std::printf("%-34s %10s %10s %8s\n", "work (100,000 bookmarks)", "ours ms", "raw ms", "ratio");

    // Insert.
    auto start = Clock::now();
    RecordFile& file = db.bookmarks().file();
    file.stream();
    Record r{bookmarkTable()};
    for (int i = 0; i < kBookmarks; ++i) {
        fillRecord(r, i);
        if (db.bookmarks().insert(r) != kLevelDone) {
            return 1;
        }
    }
    file.flush();
    const double oursInsert = seconds(start);

    start = Clock::now();
    raw.execute("BEGIN");
    std::string columns;
    std::string marks;
    for (int f = 0; f < bookmarkTable().fieldCount(); ++f) {
        columns += (f ? "," : "") + std::string{bookmarkTable().column(f)};
        marks += f ? ",?" : "?";
    }
    // The raw peer keeps the same folded key copies the engine keeps.
    std::string foldedColumns;
    for (int f = 0; f < bookmarkTable().fieldCount(); ++f) {
        if (bookmarkTable().isFolded(f)) {
            foldedColumns += "," + bookmarkTable().foldedColumn(f);
        }
    }
    {
        sql::Statement insert{raw, "INSERT INTO Locations(" + columns + foldedColumns +
                                       ") VALUES(" + marks + foldedMarks(bookmarkTable()) + ")"};
        for (int i = 0; i < kBookmarks; ++i) {
            fillRecord(r, i);
            int index = 1;
            for (int f = 0; f < bookmarkTable().fieldCount(); ++f) {
                if (bookmarkTable().isText(f)) {
                    insert.bind(index++, r.text(f));
                } else {
                    insert.bind(index++, r.number(f));
                }
            }
            for (int f = 0; f < bookmarkTable().fieldCount(); ++f) {
                if (bookmarkTable().isFolded(f)) {
                    insert.bind(index++, text::foldKey(r.text(f)));
                }
            }
            insert.run();
        }
    }
    raw.execute("COMMIT");
    printRatio("insert, one group", oursInsert, seconds(start));

    // Scans in each key order.
    const long rssBefore = maxRssKb();
    double oursScans = 0;
    double rawScans = 0;
    for (std::size_t k = 0; k < bookmarkTable().keys.size(); ++k) {
        start = Clock::now();
        file.set(static_cast<int>(k));
        int n = 0;
        while (file.next(r).ok()) {
            ++n;
        }
        const double ours = seconds(start);
        oursScans += ours;
        if (n != kBookmarks) {
            std::printf("scan %zu read %d\n", k, n);
            return 1;
        }
        std::string order;
        for (const KeyComponent& c : bookmarkTable().keys[k].components) {
            const bool folded = bookmarkTable().keys[k].noCase && bookmarkTable().isText(c.field);
            order += (order.empty() ? "" : ", ") +
                     (folded ? bookmarkTable().foldedColumn(c.field)
                             : std::string{bookmarkTable().column(c.field)}) +
                     (c.descending ? " DESC" : "");
        }
        start = Clock::now();
        sql::Statement scan{raw, "SELECT rowid, " + columns + " FROM Locations ORDER BY " + order +
                                     ", rowid"};
        EngineStatus status;
        std::size_t bytes = 0;
        while (scan.step(status)) {
            for (int f = 0; f < bookmarkTable().fieldCount(); ++f) {
                bytes += scan.text(f + 1).size();
            }
        }
        const double rawTime = seconds(start);
        rawScans += rawTime;
        const std::string name = "scan " + std::string{bookmarkTable().keys[k].name};
        printRatio(name.c_str(), ours, rawTime);
        if (bytes == 0) {
            return 1;
        }
    }
    printRatio("all six scans", oursScans, rawScans);
    const long rssGrowth = maxRssKb() - rssBefore;

    // Fetch by location.
    start = Clock::now();
    Record probe{bookmarkTable()};
    for (int i = 0; i < kFetches; ++i) {
        probe.setText(BookmarkField::Location, location(i * 5));
        if (db.bookmarks().tryFetch(0, probe) != kLevelDone) {
            return 1;
        }
    }
    const double oursFetch = seconds(start);
    start = Clock::now();
    {
        sql::Statement fetch{raw, "SELECT rowid, " + columns +
                                      " FROM Locations WHERE Location_nocase = ?"};
        EngineStatus status;
        for (int i = 0; i < kFetches; ++i) {
            fetch.bind(1, text::foldKey(location(i * 5)));
            if (!fetch.step(status)) {
                return 1;
            }
            fetch.reset();
        }
    }
    printRatio("20,000 fetches by location", oursFetch, seconds(start));

    // Positioning a scan at a key value and reading on (how keyword and
    // detail rows of one bookmark are found).
    constexpr int kSeeks = 2000;
    start = Clock::now();
    for (int i = 0; i < kSeeks; ++i) {
        probe.setText(BookmarkField::Location, location(i * 50));
        file.set(0, probe);
        if (!file.next(probe).ok()) {
            return 1;
        }
    }
    const double oursSeek = seconds(start);
    start = Clock::now();
    {
        sql::Statement seek{raw, "SELECT rowid, " + columns +
                                     " FROM Locations WHERE Location_nocase >= ? ORDER BY "
                                     "Location_nocase, rowid LIMIT 1"};
        EngineStatus status;
        for (int i = 0; i < kSeeks; ++i) {
            seek.bind(1, text::foldKey(location(i * 50)));
            if (!seek.step(status)) {
                return 1;
            }
            seek.reset();
        }
    }
    printRatio("2,000 seeks at a location, read on", oursSeek, seconds(start));

    // Rename a category of 10,000 bookmarks.
    Record cat{categoryTable()};
    cat.setText(CategoryField::Category, "Renamed");
    db.categories().insert(cat);
    Record renamed = cat;
    renamed.setText(CategoryField::Category, "Renamed Again");
    start = Clock::now();
    if (db.categoryRelations().update(cat, renamed) != kLevelDone) {
        return 1;
    }
    const double oursRename = seconds(start);
    start = Clock::now();
    raw.execute("UPDATE Locations SET Category = 'Renamed Again' WHERE Category = 'Renamed'");
    printRatio("rename category of 10,000", oursRename, seconds(start));

    std::printf("peak memory growth during the six scans: %ld KiB\n", rssGrowth);
    std::printf("ratio = ours / raw SQLite on the same tables and keys (1.00 = no overhead)\n");
    return 0;
}
