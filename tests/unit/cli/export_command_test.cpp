#include "cli_test_support.h"

#include <unistd.h>

namespace tessaly::cli::test {
namespace {

class ExportCommandTest : public CommandsTest {
protected:
    void SetUp() override
    {
        CommandsTest::SetUp();
        const std::string csv =
            sources.write("in.csv", "\"News\",\"http://a.example/\",\"A <b>\",\"Notes\",4\n"
                                    "\"Tools\",\"http://b.example/\",\"B\",\"\",0\n");
        ASSERT_EQ(run({"import", "csv", csv, "--assign", "none"}), kExitOk) << err;
    }

    TempFolder sources;
    TempFolder pages;
};

TEST_F(ExportCommandTest, WritesEachTypeWhereTheCallerStandsAndPrintsTheFiles)
{
    ASSERT_EQ(::chdir(pages.path().c_str()), 0);
    ASSERT_EQ(run({"export", "FRAME", "Links.htm", "--order", "catdesc", "--title", "Mine"}),
              kExitOk)
        << err;
    EXPECT_EQ(out, pages.file("Links.htm") + "\n" + pages.file("linksm.htm") + "\n" +
                       pages.file("links1.htm") + "\n" + pages.file("linksc.htm") + "\n" +
                       pages.file("linksb.htm") + "\n");
    EXPECT_NE(pages.read("Links.htm").find("<title>Tessaly 2000 - Mine</title>"),
              std::string::npos);
    EXPECT_NE(
        pages.read("linksm.htm").find("<li><a href=\"http://a.example/\">A &lt;b&gt;</a></li>"),
        std::string::npos);

    ASSERT_EQ(run({"export", "csv", pages.file("out.csv"), "--rating", "--siteinfo"}), kExitOk)
        << err;
    EXPECT_EQ(pages.read("out.csv"), "\"News\",\"http://a.example/\",\"A <b>\",\"Notes\",4\n"
                                     "\"Tools\",\"http://b.example/\",\"B\",\"\",0\n");
    ASSERT_EQ(run({"export", "csv", pages.file("one.csv"), "--category", "tools"}), kExitOk);
    EXPECT_EQ(pages.read("one.csv"), "\"Tools\",\"http://b.example/\",\"B\"\n");
    ASSERT_EQ(run({"export", "ascii", pages.file("q.txt"), "--query", "URL:Rating = 4"}), kExitOk);
    EXPECT_TRUE(pages.read("q.txt").starts_with("News "));
    EXPECT_EQ(pages.read("q.txt").find("Tools"), std::string::npos);
    ASSERT_EQ(run({"export", "netscape", pages.file("bookmarks.html")}), kExitOk) << err;
    EXPECT_NE(pages.read("bookmarks.html").find(">Tools</H3>"), std::string::npos);
}

TEST_F(ExportCommandTest, BadArgumentsAndUnwritableFilesAreRefused)
{
    EXPECT_EQ(run({"export", "table"}), kExitUsage);
    EXPECT_EQ(run({"export", "pdf", "x.pdf"}), kExitUsage);
    EXPECT_NE(err.find("unknown type pdf"), std::string::npos) << err;
    EXPECT_EQ(run({"export", "table", "x.htm", "--order", "category"}), kExitUsage);
    EXPECT_EQ(run({"export", "table", "x.htm", "--category", "A", "--query", "URL:Rating = 1"}),
              kExitUsage);
    EXPECT_EQ(run({"export", "table", "x.htm", "--query", "URL:Rating ="}), kExitUsage);
    EXPECT_EQ(run({"export", "table", pages.file("no/such/x.htm")}), kExitFailure);
    EXPECT_NE(
        err.find("Error opening " + pages.file("no/such/x.htm") + ": No such file or directory"),
        std::string::npos)
        << err;
}

} // namespace
} // namespace tessaly::cli::test
