// Repair of a 100,000-bookmark file whose bookmark root page is lost, against
// reading the same file whole while it is healthy: time and peak memory of
// each, every one measured in a process of its own. The files go to
// $TESSALY_BENCH_DIR, else to a folder under the build tree: on disk, as a
// user's data folder is.
#include "core/database.h"
#include "core/file_version.h"
#include "core/maintenance.h"
#include "core/record_file.h"
#include "core/sqlite.h"
#include "core/tables.h"
#include "quiet_ui.h"
#include "scratch.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace tessaly;
using Clock = std::chrono::steady_clock;

constexpr int kBookmarks = 100000;

struct Run {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0; // user and system: what a busy machine does not stretch
    long peakKb = 0;
};

// Runs `work` in a child process: its time and its own peak resident size.
Run measured(const std::function<bool()>& work)
{
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        std::_Exit(work() ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const auto cpu = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0,
            std::chrono::duration<double>(Clock::now() - start).count(),
            cpu(usage.ru_utime) + cpu(usage.ru_stime), usage.ru_maxrss};
}

// The program makes the tables and keys; the rows go in through SQL, with
// the folded key copies the program would store.
bool makeFile(const std::string& folder)
{
    FileVersionLayer::instance().registerDatabaseFiles();
    bench::QuietUi ui;
    MessageManager messages{ui};
    {
        Database db{messages, folder};
        if (db.bookmarks().use() != kLevelDone || db.keywords().use() != kLevelDone) {
            return false;
        }
        db.closeAll();
    }
    sql::Connection connection;
    return connection.open(folder + "/URLDATA.tps", false, false).ok() &&
           connection
               .execute(
                   "BEGIN; WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE "
                   "i < " +
                   std::to_string(kBookmarks - 1) +
                   ") INSERT INTO Locations(Location, Description, Category, Rating, Keyword, "
                   "SiteInfo, LastVisit, Location_nocase, Description_nocase, Category_nocase) "
                   "SELECT 'http://www.site' || i || '.example.com/page', 'Description of site "
                   "number ' || i, 'Category' || (i % 50), i % 10, 'Key' || (i % 100), "
                   "'Some information about the site.', 80000 + i % 5000, 'HTTP://WWW.SITE' || "
                   "i || '.EXAMPLE.COM/PAGE', 'DESCRIPTION OF SITE NUMBER ' || i, 'CATEGORY' || "
                   "(i % 50) FROM n; INSERT INTO URLKeywords(Location, Sequence, Keyword, "
                   "Location_nocase) SELECT Location, 1, 'k' || rowid, Location_nocase FROM "
                   "Locations; COMMIT")
               .ok();
}

// Reads every bookmark and keyword in record order, as Release does.
bool readWhole(const std::string& folder)
{
    Engine engine{folder};
    for (const TableDef* table : {&bookmarkTable(), &keywordTable()}) {
        RecordFile file{engine, *table};
        if (!file.open(kAccessReadOnly).ok() || !file.setRecordOrder().ok()) {
            return false;
        }
        Record record{*table};
        int rows = 0;
        while (file.next(record).ok()) {
            ++rows;
        }
        if (rows != kBookmarks) {
            return false;
        }
    }
    return true;
}

bool damageRoot(const std::string& path)
{
    sql::Connection connection;
    if (!connection.open(path, false, true).ok()) {
        return false;
    }
    sql::Statement root{connection, "SELECT rootpage FROM sqlite_master WHERE name = 'Locations'"};
    EngineStatus status;
    if (!root.step(status)) {
        return false;
    }
    const std::int64_t page = root.integer(0);
    root = {};
    connection.close();
    std::fstream file{path, std::ios::in | std::ios::out | std::ios::binary};
    file.seekp((page - 1) * 4096);
    const std::string junk(4096, '\x5A');
    file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    return static_cast<bool>(file.flush());
}

bool fix(const std::string& folder)
{
    bench::QuietUi yes{true}; // Yes to the question before repairing the multi-table file
    Maintenance maintenance{yes, folder, {}};
    std::vector<MaintenanceEntry> entries = maintenanceEntries();
    int tessly = 0;
    while (entries[static_cast<std::size_t>(tessly)].label != "TESSLY") {
        ++tessly;
    }
    const MaintenanceSummary summary = maintenance.run(MaintenanceAction::Fix, entries, tessly);
    return summary.done == 1 &&
           entries[static_cast<std::size_t>(tessly)].records == std::to_string(kBookmarks);
}

} // namespace

int main()
{
    const bench::ScratchFolder scratch{"repair"};
    const std::string& folder = scratch.path;
    if (folder.empty()) {
        std::perror("repair_bench: scratch folder");
        return 1;
    }
    int result = 1;
    if (measured([&] { return makeFile(folder); }).ok) {
        const Run read = measured([&] { return readWhole(folder); });
        const bool damaged = damageRoot(folder + "/URLDATA.tps");
        const Run repaired = measured([&] { return fix(folder); });
        if (read.ok && damaged && repaired.ok) {
            std::printf("%-40s %10s %10s %10s\n", "work (100,000 bookmarks and keywords)", "ms",
                        "CPU ms", "peak MB");
            const auto row = [](const char* what, const Run& run) {
                std::printf("%-40s %10.0f %10.0f %10.1f\n", what, run.seconds * 1e3,
                            run.cpuSeconds * 1e3, static_cast<double>(run.peakKb) / 1024);
            };
            row("read whole, healthy", read);
            row("Fix, bookmark root page lost", repaired);
            std::printf("%-40s %10.2f %10.2f %10.2f\n", "ratio (Fix / read)",
                        repaired.seconds / read.seconds, repaired.cpuSeconds / read.cpuSeconds,
                        static_cast<double>(repaired.peakKb) / static_cast<double>(read.peakKb));
            result = 0;
        } else {
            std::fprintf(stderr, "repair_bench: a step failed (read %d, damage %d, fix %d)\n",
                         read.ok, damaged, repaired.ok);
        }
    }
    return result;
}
