// tessaly-cli repair: the window's actions for scripts, on real files.
#include "cli_test_support.h"
#include "damaged_file.h"
#include "stale_temporary.h"

#include <csignal>
#include <filesystem>
#include <sqlite3.h>
#include <sys/wait.h>

namespace tessaly::cli::test {
namespace {

// Another process that runs `sql` on a file and then keeps its
// transaction open until the object goes.
class HoldingProcess final {
public:
    HoldingProcess(const std::string& path, const std::string& sql)
    {
        int ready[2];
        if (::pipe(ready) != 0) {
            return;
        }
        child_ = ::fork();
        if (child_ == 0) {
            sqlite3* db = nullptr;
            sqlite3_open(path.c_str(), &db);
            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
            [[maybe_unused]] const auto written = ::write(ready[1], "r", 1);
            ::pause();
            std::_Exit(0);
        }
        char c = 0;
        held_ = child_ > 0 && ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~HoldingProcess()
    {
        if (child_ > 0) {
            ::kill(child_, SIGKILL);
            ::waitpid(child_, nullptr, 0);
        }
    }
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;

    bool held() const { return held_; }

private:
    pid_t child_ = -1;
    bool held_ = false;
};

class RepairCommandTest : public CommandsTest {
protected:
    void storeBookmarks(int count)
    {
        for (int i = 0; i < count; ++i) {
            Record r{bookmarkTable()};
            const std::string location = "http://site" + std::to_string(i) + ".example/";
            r.setText(BookmarkField::Location, location);
            r.setText(BookmarkField::Description, "Site " + std::to_string(i));
            store(r);
            Record keyword{keywordTable()};
            keyword.setText(KeywordField::Location, location);
            keyword.setText(KeywordField::Keyword, "k");
            store(keyword);
        }
    }
};

TEST_F(RepairCommandTest, InfoListsEveryFileAndWarnsFirst)
{
    storeBookmarks(3);
    ASSERT_EQ(run({"repair", "info"}), kExitOk) << err;
    EXPECT_TRUE(err.starts_with("Warning: You should ensure that all windows within this "
                                "application are closed before repairing the databases.\n"))
        << err;
    EXPECT_NE(out.find("TESSLY\tdone\t3\t"), std::string::npos) << out;
    EXPECT_NE(out.find("URLKeywords\tdone\t3\t"), std::string::npos) << out;
    EXPECT_NE(out.find("ImportTESSLY\tskipped\t?\tNo file named\n"), std::string::npos);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 9);
}

TEST_F(RepairCommandTest, FixAsksAboutTheMultiTableFileAndRepairsOnlyWithYes)
{
    storeBookmarks(40);
    tessaly::test::damageRootPage(folder.file("URLDATA.tps"), "URLKeywords");

    ASSERT_EQ(run({"repair", "fix", "TESSLY"}), kExitOk) << err;
    EXPECT_NE(err.find("Do you want to continue ?   (tessaly-cli answers No.)"), std::string::npos)
        << err;
    EXPECT_EQ(out, "TESSLY\tskipped\t?\t\n");

    ASSERT_EQ(run({"repair", "fix", "tessly", "--yes"}), kExitOk) << err;
    EXPECT_NE(err.find("(tessaly-cli answers Yes.)"), std::string::npos) << err;
    // The keywords all sat on their root page, which is lost.
    EXPECT_NE(err.find("Repair: URLDATA.tps was damaged. 40 rows were recovered into a fresh "
                       "file and its keys were rebuilt. Locations: 40 found, 40 kept. "),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("Configuration: 0 found, 0 kept. Nothing could be read of: URLKeywords. "
                       "The damaged file is kept as URLDATA.damaged-"),
              std::string::npos)
        << err;
    EXPECT_TRUE(out.starts_with("TESSLY\tdone\t40\tRepaired: 40 rows recovered; damaged file "
                                "kept as URLDATA.damaged-"))
        << out;
    ASSERT_EQ(run({"list"}), kExitOk) << err;
    EXPECT_NE(out.find("http://site39.example/"), std::string::npos);
}

TEST_F(RepairCommandTest, AKilledRepairsWorkFolderGoesAtTheNextRepair)
{
    storeBookmarks(40);
    tessaly::test::damageRootPage(folder.file("URLDATA.tps"), "URLKeywords");
    const std::string stale =
        folder.file(".tessaly-repair-" + std::to_string(tessaly::test::endedProcess()) + "-x1Y2z3");
    ASSERT_TRUE(std::filesystem::create_directory(stale));
    folder.write(std::filesystem::path{stale}.filename().string() + "/URLDATA.tps", "half");
    ASSERT_TRUE(tessaly::test::makeHourOld(stale));
    ASSERT_EQ(run({"repair", "fix", "tessly", "--yes"}), kExitOk) << err;
    EXPECT_FALSE(std::filesystem::exists(stale));
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".tessaly-repair-"))
            << entry.path();
    }
}

TEST_F(RepairCommandTest, FixingEveryFileOfAHealthyDatabaseAsksOnceAndSucceeds)
{
    storeBookmarks(2);
    ASSERT_EQ(run({"repair", "fix", "--yes"}), kExitOk) << out << err;
    std::size_t questions = 0;
    for (std::size_t at = err.find("multi-table"); at != std::string::npos;
         at = err.find("multi-table", at + 1)) {
        ++questions;
    }
    EXPECT_EQ(questions, 1U) << "URLDATA.tps holds three tables and is repaired once";
    EXPECT_NE(out.find("ASCIIfile\tskipped"), std::string::npos) << out;
}

TEST_F(RepairCommandTest, AFileHeldByAnotherProcessFailsWithStatusOne)
{
    storeBookmarks(2);
    int code = 0;
    {
        const HoldingProcess holder{folder.file("URL_C.tps"),
                                    "BEGIN; SELECT count(*) FROM Categories;"};
        ASSERT_TRUE(holder.held());
        code = run({"repair", "pack", "Categories", "TESSLY"});
    }
    EXPECT_EQ(code, kExitFailure);
    EXPECT_NE(err.find("File Access Error: This option requires exclusive file access."),
              std::string::npos)
        << err;
    EXPECT_EQ(out, "Categories\tfailed\t?\t\nTESSLY\tdone\t2\t\n");
}

TEST_F(RepairCommandTest, EveryTableOfAFileFixCouldNotTakeIsReportedFailed)
{
    storeBookmarks(2);
    const HoldingProcess writer{folder.file("URLDATA.tps"),
                                "BEGIN IMMEDIATE; DELETE FROM URLKeywords;"};
    ASSERT_TRUE(writer.held());
    EXPECT_EQ(run({"repair", "fix", "--yes", "TESSLY", "URLDetails", "URLKeywords"}), kExitFailure);
    EXPECT_EQ(out, "TESSLY\tfailed\t?\t\nURLDetails\tfailed\t?\t\nURLKeywords\tfailed\t?\t\n")
        << err;
    std::size_t questions = 0;
    for (std::size_t at = err.find("File Access Error"); at != std::string::npos;
         at = err.find("File Access Error", at + 1)) {
        ++questions;
    }
    EXPECT_EQ(questions, 1U) << "the file is tried once";
}

TEST_F(RepairCommandTest, AnUnknownActionOrLabelIsAUsageError)
{
    EXPECT_EQ(run({"repair"}), kExitUsage);
    EXPECT_EQ(run({"repair", "mend"}), kExitUsage);
    EXPECT_NE(err.find("unknown action mend"), std::string::npos);
    EXPECT_EQ(run({"repair", "info", "Configuration"}), kExitUsage);
    EXPECT_NE(err.find("unknown file label Configuration"), std::string::npos);
}

} // namespace
} // namespace tessaly::cli::test
