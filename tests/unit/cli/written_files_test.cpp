// What the files the program writes for the user may hold and who may read
// them, and what a killed run leaves behind.
#include "cli_test_support.h"
#include "stale_temporary.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tessaly::cli::test {
namespace {

using tessaly::test::endedProcess;
using tessaly::test::makeHourOld;

class WrittenFilesTest : public CommandsTest {
protected:
    void bookmark(const std::string& location, const std::string& description,
                  const std::string& password = {})
    {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Category, "News");
        r.setText(BookmarkField::Description, description);
        r.setText(BookmarkField::Password, password);
        store(r);
    }

    // The mode of a file the real program wrote under the umask 022.
    mode_t modeOfExport(const std::vector<std::string>& arguments, const std::string& file)
    {
        const mode_t mask = ::umask(022);
        std::vector<std::string> all{"--data", folder.path()};
        all.insert(all.end(), arguments.begin(), arguments.end());
        const ProgramRun run = runProgram(all);
        ::umask(mask);
        EXPECT_EQ(run.code, kExitOk) << run.err;
        struct stat info {};
        EXPECT_EQ(::stat(file.c_str(), &info), 0);
        return info.st_mode & 0777U;
    }

    TempFolder pages;
};

TEST_F(WrittenFilesTest, FieldsASpreadsheetWouldRunAreWrittenAsTextAndControlsAsEscapes)
{
    bookmark("http://a.example/", "=HYPERLINK(\"http://evil.example/\",\"Click\")");
    bookmark("http://b.example/", "+1");
    bookmark("http://c.example/", "-2");
    bookmark("http://d.example/", "@SUM(A1)");
    bookmark("http://e.example/", "\tTabbed");
    bookmark("http://f.example/", "a\x1b[31mred\x7f\xc2\x85");
    bookmark("http://g.example/", "plain - text = fine");
    ASSERT_EQ(run({"export", "csv", pages.file("out.csv")}), kExitOk) << err;
    EXPECT_EQ(pages.read("out.csv"),
              "\"News\",\"http://a.example/\",\"'=HYPERLINK(\"\"http://evil.example/\"\","
              "\"\"Click\"\")\"\r\n"
              "\"News\",\"http://b.example/\",\"'+1\"\r\n"
              "\"News\",\"http://c.example/\",\"'-2\"\r\n"
              "\"News\",\"http://d.example/\",\"'@SUM(A1)\"\r\n"
              "\"News\",\"http://e.example/\",\"'\tTabbed\"\r\n"
              "\"News\",\"http://f.example/\",\"a\\x1b[31mred\\x7f\\x85\"\r\n"
              "\"News\",\"http://g.example/\",\"plain - text = fine\"\r\n");

    ASSERT_EQ(run({"list", "--format", "csv", "--columns", "description"}), kExitOk) << err;
    EXPECT_EQ(out, "URL:Description\n"
                   "\"'=HYPERLINK(\"\"http://evil.example/\"\",\"\"Click\"\")\"\n"
                   "'+1\n'-2\n'@SUM(A1)\n'\tTabbed\n"
                   "a\\x1b[31mred\\x7f\\x85\n"
                   "plain - text = fine\n");

    // A page cannot hold them at all.
    ASSERT_EQ(run({"export", "table", pages.file("out.htm")}), kExitOk) << err;
    const std::string page = pages.read("out.htm");
    EXPECT_NE(page.find("a[31mred"), std::string::npos);
    EXPECT_EQ(page.find_first_of("\x1b\x7f"), std::string::npos);
    EXPECT_EQ(page.find("\xc2\x85"), std::string::npos);
}

TEST_F(WrittenFilesTest, APageThatShowsThePasswordsIsTheOwnersAlone)
{
    bookmark("http://bank.example/", "Bank", "hunter2");
    pages.write("secret.htm", "<!--URL:BEGIN-->\n<p>(URL:Location) (url:password)</p>\n");
    pages.write("open.htm", "<!--URL:BEGIN-->\n<p>(URL:Location)</p>\n");
    EXPECT_EQ(modeOfExport({"export", "simple", pages.file("secret-out.htm"), "--template",
                            pages.file("secret.htm")},
                           pages.file("secret-out.htm")),
              0600U);
    EXPECT_NE(pages.read("secret-out.htm").find("hunter2"), std::string::npos);
    EXPECT_EQ(modeOfExport({"export", "simple", pages.file("open-out.htm"), "--template",
                            pages.file("open.htm")},
                           pages.file("open-out.htm")),
              0644U);
}

TEST_F(WrittenFilesTest, AKilledExportsPartFileGoesAtTheNextExport)
{
    bookmark("http://a.example/", "A");
    const std::string stale =
        pages.write("out.csv.part" + std::to_string(endedProcess()) + "-0", "half");
    ASSERT_TRUE(makeHourOld(stale));
    // One of a run still going, and a file of the user's that looks alike.
    const std::string running =
        pages.write("out.csv.part" + std::to_string(::getppid()) + "-0", "half");
    ASSERT_TRUE(makeHourOld(running));
    const std::string users = pages.write("out.csv.partial", "mine");
    ASSERT_TRUE(makeHourOld(users));
    ASSERT_EQ(run({"export", "csv", pages.file("out.csv")}), kExitOk) << err;
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(running));
    EXPECT_TRUE(std::filesystem::exists(users));
    EXPECT_EQ(pages.read("out.csv"), "\"News\",\"http://a.example/\",\"A\"\r\n");
}

} // namespace
} // namespace tessaly::cli::test
