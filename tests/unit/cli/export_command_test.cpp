#include "cli_test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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
    EXPECT_EQ(pages.read("out.csv"), "\"News\",\"http://a.example/\",\"A <b>\",\"Notes\",4\r\n"
                                     "\"Tools\",\"http://b.example/\",\"B\",\"\",0\r\n");
    ASSERT_EQ(run({"export", "csv", pages.file("one.csv"), "--category", "tools"}), kExitOk);
    EXPECT_EQ(pages.read("one.csv"), "\"Tools\",\"http://b.example/\",\"B\"\r\n");
    ASSERT_EQ(run({"export", "ascii", pages.file("q.txt"), "--query", "URL:Rating = 4"}), kExitOk);
    EXPECT_TRUE(pages.read("q.txt").starts_with("News "));
    EXPECT_EQ(pages.read("q.txt").find("Tools"), std::string::npos);
    ASSERT_EQ(run({"export", "netscape", pages.file("bookmarks.html")}), kExitOk) << err;
    EXPECT_NE(pages.read("bookmarks.html").find(">Tools</H3>"), std::string::npos);
}

TEST_F(ExportCommandTest, TemplatesComeFromTheCallersFileOrTheDataFolder)
{
    ASSERT_EQ(::chdir(pages.path().c_str()), 0);
    pages.write("mine.htm", "<!--URL:BEGIN-->\n<p>(URL:Desc) in (URL:Cat)</p>\n");
    ASSERT_EQ(run({"export", "table", "Links.htm", "--template", "mine.htm"}), kExitOk) << err;
    EXPECT_EQ(pages.read("Links.htm"), "<!--URL:BEGIN--><p>A &lt;b&gt; in News</p>\n"
                                       "<!--URL:BEGIN--><p>B in Tools</p>\n");
    EXPECT_EQ(out, pages.file("Links.htm") + "\n");

    // The program is now in its data folder: full names from here on.
    ASSERT_EQ(run({"export", "simple", pages.file("d.htm"), "--template", "default", "--order",
                   "catdesc"}),
              kExitOk)
        << err;
    EXPECT_NE(folder.read("Default_Simple_cat.htm").find("<!--URL:BEGINCAT-->"), std::string::npos);
    EXPECT_NE(pages.read("d.htm").find("<meta charset=\"utf-8\">"), std::string::npos);

    EXPECT_EQ(run({"export", "csv", "x.csv", "--template", "default"}), kExitUsage);
    EXPECT_NE(err.find("--template goes with simple, table or frame only"), std::string::npos);
    EXPECT_EQ(run({"export", "netscape", "x.html", "--template", "mine.htm"}), kExitUsage);
    EXPECT_EQ(
        run({"export", "frame", pages.file("f.htm"), "--template", pages.file("nowhere.htm")}),
        kExitFailure);
    EXPECT_NE(err.find("Cannot read the template " + pages.file("nowhere.htm")), std::string::npos)
        << err;
}

TEST_F(ExportCommandTest, BadArgumentsAndUnwritableFilesAreRefused)
{
    EXPECT_EQ(run({"export", "table"}), kExitUsage);
    EXPECT_EQ(run({"export", "pdf", "x.pdf"}), kExitUsage);
    EXPECT_NE(err.find("unknown type pdf"), std::string::npos) << err;
    EXPECT_EQ(run({"export", "table", "x.htm", "--order", "colour"}), kExitUsage);
    EXPECT_EQ(run({"export", "table", "x.htm", "--category", "A", "--query", "URL:Rating = 1"}),
              kExitUsage);
    EXPECT_EQ(run({"export", "table", "x.htm", "--query", "URL:Rating ="}), kExitUsage);
    EXPECT_EQ(run({"export", "table", pages.file("no/such/x.htm")}), kExitFailure);
    EXPECT_NE(
        err.find("Error opening " + pages.file("no/such/x.htm") + ": No such file or directory"),
        std::string::npos)
        << err;

    // A category no bookmark is in is a mistake, not an empty export.
    pages.write("kept.csv", "the last export\n");
    EXPECT_EQ(run({"export", "csv", pages.file("kept.csv"), "--category", "Toools"}), kExitUsage);
    EXPECT_NE(err.find("no bookmark is in the category Toools"), std::string::npos) << err;
    EXPECT_EQ(pages.read("kept.csv"), "the last export\n");

    // The program's own files are no export's target, typed or by accident.
    for (const char* own : {"URLDATA.tps", "tessly.ini", "URL_C.tps-journal"}) {
        EXPECT_EQ(run({"export", "csv", folder.file(own)}), kExitFailure) << own;
        EXPECT_NE(err.find("one of the program's own files"), std::string::npos) << err;
    }
    ASSERT_EQ(run({"list"}), kExitOk) << err;
    EXPECT_NE(out.find("http://b.example/"), std::string::npos);

    // A pipe is not replaced by the export's file.
    const std::string pipe = pages.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(run({"export", "csv", pipe}), kExitFailure);
    EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

} // namespace
} // namespace tessaly::cli::test
