#include "cli_test_support.h"

#include "core/sqlite.h"

#include <filesystem>
#include <sys/stat.h>

namespace tessaly::cli::test {
namespace {

class ImportCommandTest : public CommandsTest {
protected:
    TempFolder sources;
};

TEST_F(ImportCommandTest, ImportsAFileOnceAndSaysWhatArrived)
{
    const std::string file = sources.write(
        "bookmarks.html", "<DL><p>\n<DT><H3>News</H3>\n<DL><p>\n"
                          "<DT><A HREF=\"http://a.example/\">A</A>\n"
                          "<DT><A HREF=\"http://b.example/\">B</A>\n</DL><p>\n</DL>\n");
    ASSERT_EQ(run({"import", "NETSCAPE", file}), kExitOk) << err;
    EXPECT_EQ(out, "Imported 2 bookmarks; 0 were stored already\n");
    ASSERT_EQ(run({"import", "netscape", file}), kExitOk) << err;
    EXPECT_EQ(out, "Imported 0 bookmarks; 2 were stored already\n");
    ASSERT_EQ(run({"list", "--order", "location"}), kExitOk);
    EXPECT_NE(out.find("http://a.example/\tA\tNews\t"), std::string::npos) << out;

    ASSERT_EQ(
        run({"import", "csv", sources.write("x.csv", "\"Mine\",\"http://c.example/\",\"C\"\n"),
             "--assign", "none"}),
        kExitOk)
        << err;
    ASSERT_EQ(run({"import", "csv", sources.write("y.csv", "\"X\",\"http://d.example/\",\"D\"\n"),
                   "--assign", "selected", "--category", "News"}),
              kExitOk)
        << err;
    ASSERT_EQ(run({"list", "--query", "URL:Location = 'http://d.example/'"}), kExitOk);
    EXPECT_NE(out.find("\tNews\t"), std::string::npos) << out;
}

TEST_F(ImportCommandTest, BadArgumentsAndMissingSourcesAreRefusedByName)
{
    EXPECT_EQ(run({"import"}), kExitUsage);
    EXPECT_EQ(run({"import", "gopher", "x"}), kExitUsage);
    EXPECT_NE(err.find("unknown type gopher"), std::string::npos) << err;
    EXPECT_EQ(run({"import", "url", "http://x/"}), kExitUsage);
    EXPECT_EQ(run({"import", "csv"}), kExitUsage) << "a file type needs its file";
    EXPECT_EQ(run({"import", "csv", "a.csv", "--assign", "ask"}), kExitUsage);
    EXPECT_NE(err.find("needs the window"), std::string::npos) << err;
    EXPECT_EQ(run({"import", "csv", "a.csv", "--assign", "selected"}), kExitUsage);
    EXPECT_EQ(run({"import", "csv", "a.csv", "--category", "News"}), kExitUsage);
    EXPECT_EQ(run({"import", "csv", "a.csv", "b.csv"}), kExitUsage);

    EXPECT_EQ(run({"import", "csv", sources.path() + "/missing.csv"}), kExitFailure);
    EXPECT_NE(err.find("missing.csv: No such file or directory"), std::string::npos) << err;
    EXPECT_EQ(run({"import", "netscape", sources.path()}), kExitFailure);
    EXPECT_NE(err.find("is a folder"), std::string::npos) << err;
    EXPECT_EQ(run({"import", "chromium", sources.path()}), kExitFailure);
    EXPECT_EQ(run({"import", "csv", sources.write("z.csv", "\"A\",\"http://e/\",\"E\"\n"),
                   "--assign", "selected", "--category", "Nowhere"}),
              kExitFailure);
    EXPECT_NE(err.find("no category Nowhere is stored"), std::string::npos) << err;
}

TEST_F(ImportCommandTest, FavoritesComeFromTheGivenFolder)
{
    std::filesystem::create_directories(sources.path() + "/Favorites/Tools");
    sources.write("Favorites/Tools/Editor.url", "[InternetShortcut]\nURL=http://editor.example/\n");
    ASSERT_EQ(run({"import", "IE", sources.path() + "/Favorites"}), kExitOk) << err;
    EXPECT_EQ(out, "Imported 1 bookmark; 0 were stored already\n");
    ASSERT_EQ(run({"list"}), kExitOk);
    EXPECT_NE(out.find("http://editor.example/\tEditor\tTools\t"), std::string::npos) << out;
}

TEST_F(ImportCommandTest, CaptureTakesTheAddressesOfTextAsIfCopied)
{
    const std::string text = sources.write("copied.txt", "see www.example.com now");
    ASSERT_EQ(run({"capture", text}), kExitOk) << err;
    EXPECT_EQ(out, "Added http://www.example.com\nCaptured 1 bookmark\n");
    ASSERT_EQ(run({"list", "--format", "tsv"}), kExitOk);
    EXPECT_NE(out.find("http://www.example.com\tnow\tClipboard\t0\thttp\t"), std::string::npos)
        << out;
    ASSERT_EQ(run({"capture", text}), kExitOk);
    EXPECT_EQ(out, "Captured 0 bookmarks\n");
    EXPECT_EQ(run({"capture", sources.path() + "/none.txt"}), kExitFailure);
    EXPECT_EQ(run({"capture", "a", "b"}), kExitUsage);
}

TEST_F(ImportCommandTest, TheSummarySaysWhatWasSkippedAndCut)
{
    const std::string file = sources.write(
        "b.html", "<DL><p>\n<DT><A HREF=\"http://a.example/\">" + std::string(300, 'd') +
                      "</A>\n<DT><A HREF=\"place:sort=8\">Most Visited</A>\n</DL>\n");
    ASSERT_EQ(run({"import", "netscape", file}), kExitOk) << err;
    EXPECT_EQ(out, "Imported 1 bookmark; 0 were stored already\n"
                   "1 skipped: 1 browser query.\n"
                   "Cut to fit their fields: Description in 1 bookmark.\n"
                   "  cut: Description: http://a.example/\n"
                   "  skipped: a browser query: place:sort=8\n");
}

TEST_F(ImportCommandTest, CaptureRefusesEndlessInputAndPipes)
{
    const test::ProgramRun zero =
        test::runProgram({"--data", folder.path(), "capture", "-"}, {.stdinPath = "/dev/zero"});
    EXPECT_EQ(zero.code, kExitFailure);
    EXPECT_NE(zero.err.find("standard input: File too large (more than 64 MiB)"), std::string::npos)
        << zero.err;
    const std::string pipe = sources.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(run({"capture", pipe}), kExitFailure);
    EXPECT_NE(err.find("pipe: is not a regular file"), std::string::npos) << err;
    EXPECT_EQ(run({"import", "chromium", pipe}), kExitFailure);
    EXPECT_NE(err.find("is not a regular file"), std::string::npos) << err;
}

TEST_F(ImportCommandTest, AnOldDatabaseIsTakenOnlyByItsNameAndOnce)
{
    const std::string old = sources.path() + "/url_l.tps";
    {
        sql::Connection db;
        ASSERT_TRUE(db.open(old, true, false).ok());
        ASSERT_TRUE(db.execute("CREATE TABLE ImportTESSLY(Location TEXT, Description TEXT, "
                               "Category TEXT, Rating INTEGER, Keyword TEXT, SiteInfo TEXT);"
                               "INSERT INTO ImportTESSLY VALUES('http://old.example/', 'Old', "
                               "'Archive', 3, 'Kw', '')")
                        .ok());
    }
    EXPECT_EQ(run({"import-old", sources.write("other.tps", "x")}), kExitFailure);
    EXPECT_EQ(err, "Cannot Import: You can only import from databases created by Tessaly version "
                   "1.5 and above.\n");
    ASSERT_EQ(run({"import-old", old}), kExitOk) << err;
    EXPECT_EQ(out, "Imported 1 bookmark; 0 were stored already\n");
    ASSERT_EQ(run({"import-old", old}), kExitOk);
    EXPECT_EQ(out, "Imported 0 bookmarks; 1 was stored already\n");
    EXPECT_EQ(run({"import-old", sources.write("URL_L.TPS", std::string(4096, 'j'))}),
              kExitFailure);
    EXPECT_NE(err.find("File Access Error"), std::string::npos) << err;
}

TEST_F(ImportCommandTest, ARelativeSourceIsFoundWhereTheCommandWasGiven)
{
    sources.write("here.csv", "\"News\",\"http://here.example/\",\"Here\"\n");
    char* before = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir(sources.path().c_str()), 0);
    const int code = run({"import", "csv", "here.csv"});
    ASSERT_EQ(::chdir(before), 0);
    std::free(before);
    EXPECT_EQ(code, kExitOk) << err;
}

} // namespace
} // namespace tessaly::cli::test
