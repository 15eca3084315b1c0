// The bookmark list on 100,000 bookmarks: opening it and painting the
// first page, switching each tab, jumping with the locator and reloading,
// each against raw SQLite reading the same order's first page; sorting by
// columns no key serves, against raw SQLite sorting every row by that
// column; and the memory the list takes.
#include "bookmarks/browse_window.h"
#include "columns/header_preferences.h"
#include "core/database.h"
#include "core/file_version.h"
#include "core/services.h"
#include "core/sqlite.h"
#include "core/tables.h"
#include "platform/launcher.h"
#include "quiet_ui.h"

#include <QApplication>
#include <QTabBar>
#include <QTableView>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/resource.h>

namespace {

using namespace tessaly;
using Clock = std::chrono::steady_clock;

constexpr int kBookmarks = 100000;

struct NoOpener final : Opener {
    int open(const std::string&, const std::string&) override { return kOpenedOk; }
    bool start(const std::string&) override { return true; }
};

double ms(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long rssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Raw SQLite: the order's first 40 rows, as a list's first page needs them.
double rawFirstPage(const std::string& folder, const std::string& order)
{
    sql::Connection db;
    db.open(folder + "/URLDATA.tps", false, true);
    const auto start = Clock::now();
    sql::Statement page{db, "SELECT * FROM Locations ORDER BY " + order + " LIMIT 40"};
    EngineStatus status;
    int rows = 0;
    while (page.step(status)) {
        ++rows;
    }
    return rows == 40 ? ms(start) : -1;
}

// Raw SQLite: every row's position in a column's order, what a sorted
// position list needs at least.
double rawSortedPositions(const std::string& folder, const std::string& column)
{
    sql::Connection db;
    db.open(folder + "/URLDATA.tps", false, true);
    const auto start = Clock::now();
    sql::Statement all{db, "SELECT rowid, " + column + " FROM Locations ORDER BY " + column};
    EngineStatus status;
    int rows = 0;
    while (all.step(status)) {
        ++rows;
    }
    return rows == kBookmarks ? ms(start) : -1;
}

void paint(gui::BrowseWindow& list)
{
    (void)list.table()->viewport()->grab(); // paints the rows in view
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_LOGGING_RULES", "qt.*=false", 1);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication application(argc, argv);
    const std::string folder = std::filesystem::temp_directory_path() / "tessaly-list-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    FileVersionLayer::instance().registerDatabaseFiles();
    tessaly::bench::QuietUi ui;
    {
        MessageManager messages{ui};
        Database db{messages, folder};
        db.bookmarks().open();
        db.bookmarks().file().stream();
        Record r{bookmarkTable()};
        for (int i = 0; i < kBookmarks; ++i) {
            const int n = i * 7919 % kBookmarks;
            r.setText(BookmarkField::Location, "http://site" + std::to_string(n) + ".example/");
            r.setText(BookmarkField::Description, "Site number " + std::to_string(n));
            r.setText(BookmarkField::Category, "Category" + std::to_string(n % 40));
            r.setText(BookmarkField::Keyword, "K" + std::to_string(n % 300));
            r.setNumber(BookmarkField::Rating, n % 10);
            r.setNumber(BookmarkField::LastVisit, n % 5 == 0 ? 0 : 80000 + n % 3000);
            r.setText(BookmarkField::Comments, "Note " + std::to_string(n * 31 % kBookmarks));
            db.bookmarks().file().add(r);
        }
        db.bookmarks().file().flush();
    }
    Services services{ui, folder};
    services.start();
    NoOpener opener;
    const long rssBefore = rssKb();

    std::printf("%-30s %9s %9s %8s\n", "bookmark list, 100,000 rows", "ours ms", "raw ms", "ratio");
    auto start = Clock::now();
    auto listWindow = std::make_unique<gui::BrowseWindow>(services, opener);
    gui::BrowseWindow& list = *listWindow;
    list.resize(900, 600);
    list.show();
    paint(list);
    const double open = ms(start);
    const double rawOpen = rawFirstPage(folder, "Description_nocase, rowid");
    std::printf("%-30s %9.1f %9.1f %8.1f\n", "open and paint first page", open, rawOpen,
                open / rawOpen);

    const char* orders[] = {
        "Description_nocase, rowid", "Location_nocase, rowid", "Category, Description, rowid",
        "Rating DESC, Description, Location, rowid", "Keyword, Description, Location, rowid"};
    for (int tab = 4; tab >= 0; --tab) {
        start = Clock::now();
        list.tabs()->setCurrentIndex(tab);
        paint(list);
        const double ours = ms(start);
        const double raw = rawFirstPage(folder, orders[tab]);
        const std::string name = "switch to tab " + list.tabs()->tabText(tab).toStdString();
        std::printf("%-30s %9.1f %9.1f %8.1f\n", name.c_str(), ours, raw, ours / raw);
    }
    start = Clock::now();
    list.locate(QStringLiteral("Site number 77"));
    paint(list);
    std::printf("%-30s %9.1f\n", "locator jump", ms(start));
    start = Clock::now();
    list.reload();
    paint(list);
    std::printf("%-30s %9.1f\n", "reload (refresh notice)", ms(start));
    const struct {
        int column;
        const char* name;
        const char* sqlColumn;
    } sorts[] = {{gui::BookmarkListModel::LastVisit, "sort by Last Visit", "LastVisit"},
                 {gui::BookmarkListModel::Comments, "sort by Comments", "Comments"}};
    for (const auto& sort : sorts) {
        start = Clock::now();
        list.headerPreferences()->sortBy(sort.column, Qt::DescendingOrder);
        paint(list);
        const double ours = ms(start);
        const double raw = rawSortedPositions(folder, sort.sqlColumn);
        std::printf("%-30s %9.1f %9.1f %8.1f\n", sort.name, ours, raw, ours / raw);
    }
    std::printf("memory taken by the open list: %ld KiB for %d rows\n", rssKb() - rssBefore,
                kBookmarks);
    std::printf("raw = SQLite reading the same order's first 40 rows (for a sort, every row's\n"
                "position in the column's order); the list also reads every row's position\n"
                "(8 bytes each) so its scroll bar is exact\n");
    list.close();
    listWindow.reset();
    services.shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
