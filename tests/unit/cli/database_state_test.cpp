#include "cli_test_support.h"
#include "cli_ui.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace tessaly::cli {
namespace {

using test::CommandsTest;
using test::ProgramSetup;
using test::runProgram;

void rawSql(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

class UnusableDatabaseTest : public CommandsTest {
protected:
    test::ProgramRun list() { return runProgram({"--data", folder.path(), "list"}); }
};

TEST_F(UnusableDatabaseTest, EndsWithStatusThreeAndTerminalWords)
{
    folder.write("URLDATA.tps", "not a database at all");
    auto run = list();
    EXPECT_EQ(run.code, kExitDatabase);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "File Access Error: File (Configuration [Configuration] in URLDATA.tps) could not be "
              "opened.  Error: Invalid Record Declaration - file is not a database "
              "(47).  tessaly-cli stops.\n");
    EXPECT_EQ(folder.read("URLDATA.tps"), "not a database at all");

    std::filesystem::remove(folder.file("URLDATA.tps"));
    std::filesystem::create_directory(folder.file("URLDATA.tps"));
    run = list();
    EXPECT_EQ(run.code, kExitDatabase);
    EXPECT_NE(run.err.find("Error: Is a directory (21).  tessaly-cli stops.\n"), std::string::npos)
        << run.err;
}

TEST_F(UnusableDatabaseTest, ANewerLayoutSaysSoInWords)
{
    ASSERT_EQ(run({"add", "http://kept/"}), kExitOk);
    rawSql(folder.file("URLDATA.tps"), "UPDATE _TessalyLayout SET Version = Version + 1");
    const auto run = list();
    EXPECT_EQ(run.code, kExitDatabase);
    EXPECT_NE(run.err.find("the file was written by a newer version of Tessaly 2000"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Press OK"), std::string::npos) << run.err;
}

TEST(CliUiWords, WindowPhrasesBecomeTerminalWords)
{
    MessageRequest request;
    request.title = "Record Retrieval Error";
    request.text = "Error: (Record Not Found (35)) attempting to access a record from the TESSLY "
                   "file.  Returning to previous window.";
    EXPECT_EQ(terminalWords(request), "Error: (Record Not Found (35)) attempting to access a "
                                      "record from the TESSLY (URLDATA.tps) file.");
    request.text = "Adding this record creates a duplicate entry for the key:Site Location";
    EXPECT_EQ(terminalWords(request), request.text);
    request.text = "TESSLY key file is invalid.  Do you want to rebuild the key?";
    request.buttons = ButtonYes | ButtonNo;
    request.defaultButton = ButtonYes;
    EXPECT_EQ(terminalWords(request), "TESSLY (URLDATA.tps) key file is invalid.  Do you want to "
                                      "rebuild the key?  (tessaly-cli answers Yes.)");
    request.text = "The value of Category must be found in the Categories file.  TESSLY.INI";
    request.buttons = ButtonOk;
    EXPECT_EQ(terminalWords(request), "The value of Category must be found in the Categories "
                                      "(URL_C.tps) file.  TESSLY.INI")
        << "names inside other names are left alone";
}

TEST(CliUiWords, AReadingCommandSaysNothingOfFilesOpenedForReadingOnly)
{
    std::ostringstream err;
    CliUi ui{err};
    const MessageRequest fallback{"Access Denied",
                                  "Could not get write access to TESSLY so trying read-only.",
                                  MessageIcon::Exclamation, ButtonOk, ButtonOk};
    ui.showMessage(fallback);
    EXPECT_NE(err.str().find("Access Denied"), std::string::npos);
    err.str({});
    ui.setQuietReadOnlyFallback(true);
    ui.showMessage(fallback);
    ui.showMessage({"Record Retrieval Error", "Error", MessageIcon::Stop, ButtonOk, ButtonOk});
    EXPECT_EQ(err.str(), "Record Retrieval Error: Error\n");
}

// Only the bookmark file is read-only: the message must name it, not
// whichever file the engine happened to touch first.
TEST_F(CommandsTest, AReadOnlyBookmarkFileIsNamedWhenAdding)
{
    ASSERT_EQ(run({"add", "http://first/", "--category", "News"}), kExitOk);
    ::chmod(folder.path().c_str(), 0777);
    for (const char* name : {"URL_C.tps", "URL_H.tps"}) {
        ::chmod(folder.file(name).c_str(), 0666);
    }
    ::chmod(folder.file("URLDATA.tps").c_str(), 0444);
    ProgramSetup nobody;
    nobody.asNobody = true;
    const auto added =
        runProgram({"--data", folder.path(), "add", "http://second/", "--category", "New"}, nobody);
    EXPECT_EQ(added.code, kExitFailure);
    EXPECT_EQ(added.err, "tessaly-cli: cannot write the bookmark file URLDATA.tps in " +
                             folder.path() + ": Permission denied\n");
    const auto listed = runProgram({"--data", folder.path(), "list"}, nobody);
    EXPECT_EQ(listed.code, kExitOk) << listed.err;
    EXPECT_NE(listed.out.find("http://first/"), std::string::npos);
}

} // namespace
} // namespace tessaly::cli
