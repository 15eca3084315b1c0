// Real tessaly-cli processes side by side with an import: killed at any
// moment the import keeps every group it committed, and another program's
// write waits its turn instead of failing on the lock.
#include "cli_test_support.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>

namespace tessaly::cli::test {
namespace {

using Clock = std::chrono::steady_clock;

std::string address(int n)
{
    return "http://site" + std::to_string(n) + ".example/";
}

// `count` bookmarks in folders of a hundred, each with a tag, in the order
// the import stores them.
std::string writeBookmarkFile(const TempFolder& folder, int count)
{
    const std::string path = folder.file("bookmarks.html");
    std::ofstream out{path, std::ios::binary};
    out << "<DL><p>\n";
    for (int i = 0; i < count; ++i) {
        if (i % 100 == 0) {
            out << "<DT><H3>Folder " << i / 100 << "</H3>\n<DL><p>\n";
        }
        out << "<DT><A HREF=\"" << address(i) << "\" TAGS=\"t" << i % 7 << "\">Site " << i
            << "</A>\n";
        if (i % 100 == 99) {
            out << "</DL><p>\n";
        }
    }
    out << "</DL>\n";
    return path;
}

// tessaly-cli with `arguments`, started and left running, its output gone.
pid_t startProgram(const std::vector<std::string>& arguments)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        execProgram(arguments);
    }
    return child;
}

// A plain SQLite reader of the data folder, as another tool would be.
class Reader final {
public:
    explicit Reader(const std::string& folder)
    {
        sqlite3_open_v2((folder + "/URLDATA.tps").c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_busy_timeout(db_, 50);
    }
    ~Reader() { sqlite3_close(db_); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // The first column of the first row, or -1 when the file would not answer.
    std::int64_t number(const std::string& sql) const
    {
        sqlite3_stmt* statement = nullptr;
        std::int64_t value = -1;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            value = sqlite3_column_int64(statement, 0);
        }
        sqlite3_finalize(statement);
        return value;
    }

    std::string text(const std::string& sql) const
    {
        sqlite3_stmt* statement = nullptr;
        std::string value;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        }
        sqlite3_finalize(statement);
        return value;
    }

private:
    sqlite3* db_ = nullptr;
};

int waitFor(pid_t child)
{
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(BatchTurnsTest, AnImportKilledAtRandomMomentsKeepsEveryCommittedGroup)
{
    constexpr int kBookmarks = 30000;
    TempFolder sources;
    TempFolder data;
    const std::string file = writeBookmarkFile(sources, kBookmarks);
    // The stored rows, whatever the kills, are the file's first ones, each
    // with its keyword row: the import stores in file order.
    const std::string prefixBroken =
        "SELECT count(*) FROM Locations WHERE CAST(substr(Location, 12, length(Location) - 20) "
        "AS INTEGER) >= (SELECT count(*) FROM Locations)";
    const std::string keywordsMissing =
        "SELECT count(*) FROM Locations l WHERE NOT EXISTS (SELECT 1 FROM URLKeywords k WHERE "
        "k.Location_nocase = l.Location_nocase)";
    const unsigned seed = std::random_device{}();
    std::mt19937 random{seed};
    std::uniform_int_distribution<int> moment{20, 2500};
    std::int64_t stored = 0;
    for (int kill = 0; kill < 20; ++kill) {
        const int delayMs = moment(random);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", kill " + std::to_string(kill) + " at " +
                     std::to_string(delayMs) + " ms");
        const pid_t child = startProgram({"--data", data.path(), "import", "netscape", file});
        // What another program saw committed before the kill must survive it.
        std::int64_t seen = stored;
        const auto until = Clock::now() + std::chrono::milliseconds(delayMs);
        while (Clock::now() < until) {
            seen = std::max(seen, Reader{data.path()}.number("SELECT count(*) FROM Locations"));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ::kill(child, SIGKILL);
        waitFor(child);

        const Reader after{data.path()};
        ASSERT_EQ(after.text("PRAGMA integrity_check"), "ok");
        stored = after.number("SELECT count(*) FROM Locations");
        EXPECT_GE(stored, seen);
        EXPECT_EQ(after.number(prefixBroken), 0);
        EXPECT_EQ(after.number(keywordsMissing), 0);
    }
    EXPECT_EQ(waitFor(startProgram({"--data", data.path(), "import", "netscape", file})), 0);
    EXPECT_EQ(Reader{data.path()}.number("SELECT count(*) FROM Locations"), kBookmarks);
}

TEST(BatchTurnsTest, AnAddDuringALongImportWaitsItsTurnAndReadersKeepReading)
{
    TempFolder sources;
    TempFolder data;
    const std::string file = writeBookmarkFile(sources, 120000);
    const pid_t import = startProgram({"--data", data.path(), "import", "netscape", file});
    // Once the import's first group is in, the file is in the batch's hands.
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Reader{data.path()}.number("SELECT count(*) FROM Locations") <= 0 &&
           Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const auto started = Clock::now();
    const ProgramRun add = runProgram(
        {"--data", data.path(), "add", "--description", "Between groups", "http://turn.example/"});
    const double waited = std::chrono::duration<double>(Clock::now() - started).count();
    int importStatus = 0;
    const bool importStillRunning = ::waitpid(import, &importStatus, WNOHANG) == 0;
    EXPECT_EQ(add.code, 0) << add.err;
    EXPECT_LT(waited, 5.0) << "the add waits one group of the import, not the whole import";
    EXPECT_TRUE(importStillRunning) << "the import ended before the add had to wait";
    if (importStillRunning) {
        // A reader during the batch gets an answer, not a lock error.
        const ProgramRun list =
            runProgram({"--data", data.path(), "list", "--columns", "Location"});
        EXPECT_EQ(list.code, 0) << list.err;
        EXPECT_NE(list.out.find("http://turn.example/"), std::string::npos);
        EXPECT_EQ(waitFor(import), 0);
    }
    const Reader after{data.path()};
    EXPECT_EQ(after.number("SELECT count(*) FROM Locations"), 120001);
    EXPECT_EQ(after.text("PRAGMA integrity_check"), "ok");
}

} // namespace
} // namespace tessaly::cli::test
