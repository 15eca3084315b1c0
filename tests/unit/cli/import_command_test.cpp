#include "cli_test_support.h"

#include <filesystem>

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

    ASSERT_EQ(run({"import", "csv", sources.write("x.csv", "\"Mine\",\"http://c.example/\",\"C\"\n"),
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
    EXPECT_EQ(out, "Imported 1 bookmarks; 0 were stored already\n");
    ASSERT_EQ(run({"list"}), kExitOk);
    EXPECT_NE(out.find("http://editor.example/\tEditor\tTools\t"), std::string::npos) << out;
}

} // namespace
} // namespace tessaly::cli::test
