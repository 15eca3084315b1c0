// An import of 100,000 bookmarks killed (SIGKILL) at 20 random moments, each
// into a fresh data folder on disk. While the import runs, another process
// (this one) reads the database as any program may and notes the bookmarks
// it saw committed; after the kill the database must pass SQLite's
// integrity check and hold every bookmark seen, and what it holds must be
// whole: the first bookmarks of the file, in the file's order, each with its
// keyword row and nothing else.
#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bookmark_source.h"
#include "scratch.h"

namespace {

using namespace tessaly::bench;
using Clock = std::chrono::steady_clock;

constexpr int kKills = 20;

// A connection that waits out the importer's commits. One that may write
// rolls back what a killed import left half-committed, as the next program
// to open the file does; a reader alone cannot.
class Reader {
public:
    Reader(const std::string& path, bool mayWrite)
    {
        if (sqlite3_open_v2(path.c_str(), &db_,
                            mayWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY,
                            nullptr) != SQLITE_OK) {
            sqlite3_close(db_);
            db_ = nullptr;
            return;
        }
        sqlite3_busy_timeout(db_, 5000);
    }
    ~Reader() { sqlite3_close(db_); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // The first column of the first row, or -1 when the query fails (the
    // file not made yet, or its tables not yet).
    long long number(const char* sql) const
    {
        sqlite3_stmt* statement = nullptr;
        long long value = -1;
        if (db_ != nullptr && sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            value = sqlite3_column_int64(statement, 0);
        }
        sqlite3_finalize(statement);
        return value;
    }

    std::string text(const char* sql) const
    {
        sqlite3_stmt* statement = nullptr;
        std::string value;
        if (db_ != nullptr && sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            value = chars != nullptr ? chars : "";
        }
        sqlite3_finalize(statement);
        return value;
    }

private:
    sqlite3* db_ = nullptr;
};

pid_t startImport(const std::string& cli, const std::string& data, const std::string& source)
{
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execl(cli.c_str(), cli.c_str(), "--data", data.c_str(), "import", "netscape",
                source.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

// Every bookmark of the source names its place in the file: ".../page/N?".
// The stored ones are the first of the file when their places are 0 to
// count - 1 (locations are unique).
constexpr const char* kPlaces =
    "SELECT count(*) FROM (SELECT CAST(substr(Location, instr(Location, '/page/') + 6) AS "
    "INTEGER) AS n FROM Locations) WHERE n < (SELECT count(*) FROM Locations)";
// A bookmark's keyword row comes with it, and no keyword row without one.
constexpr const char* kLoneKeywords =
    "SELECT count(*) FROM URLKeywords k WHERE NOT EXISTS (SELECT 1 FROM Locations l WHERE "
    "l.Location_nocase = k.Location_nocase)";
constexpr const char* kBareBookmarks =
    "SELECT count(*) FROM Locations l WHERE NOT EXISTS (SELECT 1 FROM URLKeywords k WHERE "
    "l.Location_nocase = k.Location_nocase) OR Description NOT LIKE 'Page %' OR Category NOT "
    "LIKE 'Folder %'";

struct Outcome {
    long long seen = 0;   // bookmarks seen committed before the kill
    long long stored = 0; // bookmarks in the file after it
    std::string problem;  // empty when the database is sound and whole
};

Outcome killAt(const std::string& cli, const std::string& source, double seconds)
{
    ScratchFolder data{"tessaly-kill-data"};
    const std::string file = data.path + "/URLDATA.tps";
    Outcome outcome;
    const pid_t child = startImport(cli, data.path, source);
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        // A connection for each look: the file is made by the import.
        if (const long long count = Reader{file, false}.number("SELECT count(*) FROM Locations");
            count > outcome.seen) {
            outcome.seen = count;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);

    if (!std::filesystem::exists(file)) {
        return outcome; // killed before the import made its database
    }
    const Reader after{file, true};
    const std::string integrity = after.text("PRAGMA integrity_check");
    outcome.stored = after.number("SELECT count(*) FROM Locations");
    if (integrity != "ok") {
        outcome.problem = "integrity check: " + (integrity.empty() ? "unreadable" : integrity);
    } else if (outcome.stored < 0) {
        // Killed before its tables were made: nothing can have been seen.
        outcome.problem = outcome.seen > 0 ? "the bookmarks table is gone" : "";
        outcome.stored = 0;
    } else if (outcome.stored < outcome.seen) {
        outcome.problem = "bookmarks seen committed were lost";
    } else if (outcome.stored > 0 && after.number(kPlaces) != outcome.stored) {
        outcome.problem = "the bookmarks stored are not the first of the file";
    } else if (outcome.stored > 0 &&
               (after.number(kLoneKeywords) != 0 || after.number(kBareBookmarks) != 0)) {
        outcome.problem = "a bookmark is stored without its keyword row or fields";
    }
    return outcome;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string cli = argc > 1 ? argv[1] : TESSALY_CLI_PATH;
    ScratchFolder files{"tessaly-kill-bench"};
    std::printf("scratch folder %s: %s\n", files.path.c_str(), fileSystemType(files.path).c_str());
    const std::string source = files.path + "/source.html";
    writeBookmarkSource(source);

    // The length of a whole import, so that the kills fall anywhere in it.
    double whole = 0;
    {
        ScratchFolder data{"tessaly-kill-data"};
        const auto start = Clock::now();
        const pid_t child = startImport(cli, data.path, source);
        int status = 0;
        ::waitpid(child, &status, 0);
        whole = std::chrono::duration<double>(Clock::now() - start).count();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::printf("tessaly-cli import failed\n");
            return 1;
        }
    }
    std::printf("a whole import of %d bookmarks: %.2f s; %d kills at random moments in it\n",
                kSourceBookmarks, whole, kKills);
    std::printf("%8s %10s %10s  %s\n", "kill at", "seen", "stored", "database");

    std::mt19937 random{std::random_device{}()};
    std::uniform_real_distribution<double> moment{0.02 * whole, 0.98 * whole};
    int sound = 0;
    for (int i = 0; i < kKills; ++i) {
        const double at = moment(random);
        const Outcome outcome = killAt(cli, source, at);
        sound += outcome.problem.empty() ? 1 : 0;
        std::printf("%7.2fs %10lld %10lld  %s\n", at, outcome.seen, outcome.stored,
                    outcome.problem.empty() ? "sound, every bookmark seen is there"
                                            : outcome.problem.c_str());
    }
    std::printf("%d of %d kills left a sound database holding every bookmark seen committed: "
                "%s\n",
                sound, kKills, sound == kKills ? "met" : "NOT met");
    std::printf("reproduce: ./build/bench/kill_bench (TESSALY_BENCH_DIR chooses the scratch "
                "folder)\n");
    return sound == kKills ? 0 : 1;
}
