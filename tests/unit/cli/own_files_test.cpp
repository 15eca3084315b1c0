#include "cli_test_support.h"
#include "environment_variable.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly::cli::test {
namespace {

using tessaly::test::EnvironmentVariable;

// The program started from a folder of the user's, its data folder named
// relative to it ("db"), as a user types it at the shell.
class OwnFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        here.write("in.csv", "\"News\",\"http://a.example/\",\"Alpha\",\"\",4\n"
                             "\"Tools\",\"http://b.example/\",\"Beta\",\"\",1\n");
        ASSERT_EQ(cli({"--data", "db", "import", "csv", "in.csv", "--assign", "none"}).code,
                  kExitOk);
        ASSERT_EQ(cli({"--data", "db", "list"}).code, kExitOk);
        database = here.read("db/URLDATA.tps");
        categories = here.read("db/URL_C.tps");
        settings = here.read("db/TESSLY.INI");
        ASSERT_FALSE(database.empty());
        ASSERT_FALSE(categories.empty());
    }

    ProgramRun cli(const std::vector<std::string>& arguments)
    {
        ProgramSetup setup;
        setup.workingFolder = here.path();
        return runProgram(arguments, setup);
    }

    // The command is refused as writing over the program's files, and
    // every file of the data folder is as it was.
    void expectRefused(const std::vector<std::string>& arguments)
    {
        const ProgramRun run = cli(arguments);
        EXPECT_EQ(run.code, kExitFailure) << arguments.back() << ": " << run.err;
        EXPECT_NE(run.err.find("the program's"), std::string::npos) << run.err;
        EXPECT_EQ(here.read("db/URLDATA.tps"), database) << arguments.back();
        EXPECT_EQ(here.read("db/URL_C.tps"), categories) << arguments.back();
        EXPECT_EQ(here.read("db/TESSLY.INI"), settings) << arguments.back();
    }

    TempFolder here;
    std::string database;
    std::string categories;
    std::string settings;
};

TEST_F(OwnFilesTest, ARelativeDataFolderKeepsItsFilesFromEveryOutput)
{
    for (const char* own : {"db/URLDATA.tps", "./db/../db/URLDATA.tps", "db/urldata.TPS",
                            "db/URL_C.tps-journal", "db/tessly.ini"}) {
        expectRefused({"--data", "db", "export", "csv", own});
    }
    expectRefused({"--data", "db", "report", "URLs by Location", "--pdf", "db/URL_C.tps"});
    {
        const EnvironmentVariable data{"TESSALY_DATA", "db"};
        expectRefused({"export", "ascii", "db/TESSLY.INI"});
    }
    const ProgramRun list = cli({"--data", "./db/", "list"});
    EXPECT_EQ(list.code, kExitOk) << list.err;
    EXPECT_NE(list.out.find("http://b.example/"), std::string::npos);
}

TEST_F(OwnFilesTest, LinksToTheProgramsFilesAreRefused)
{
    ASSERT_EQ(::symlink("db", here.file("other").c_str()), 0);
    ASSERT_EQ(::symlink("db/URLDATA.tps", here.file("link.csv").c_str()), 0);
    ASSERT_EQ(::link(here.file("db/URL_C.tps").c_str(), here.file("hard.htm").c_str()), 0);
    expectRefused({"--data", "db", "export", "csv", "other/URLDATA.tps"});
    expectRefused({"--data", "db", "export", "csv", "link.csv"});
    expectRefused({"--data", "db", "export", "simple", "hard.htm"});
    expectRefused({"--data", "other", "export", "csv", "db/URLDATA.tps"});
    struct stat info {};
    EXPECT_EQ(::lstat(here.file("link.csv").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link is left as it was";

    // Beside the program's files, a file of the user's own is written.
    const ProgramRun run = cli({"--data", "db", "export", "csv", "db/mine.csv"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_NE(here.read("db/mine.csv").find("http://a.example/"), std::string::npos);
}

TEST_F(OwnFilesTest, AnOpenDataFolderIsClosedToOthersOnStart)
{
    ASSERT_EQ(::chmod(here.file("db").c_str(), 0755), 0);
    ASSERT_EQ(cli({"--data", "db", "list"}).code, kExitOk);
    struct stat info {};
    ASSERT_EQ(::stat(here.file("db").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777U, 0700U);
}

} // namespace
} // namespace tessaly::cli::test
