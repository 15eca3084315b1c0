#include "export_test_support.h"

namespace tessaly::test {
namespace {

TEST_F(ExportTest, NoBookmarkFieldCanPutScriptIntoAPage)
{
    if (std::system("python3 -c 'import html.parser' 2>/dev/null") != 0) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const std::string address = "http://x/\"><script>alert(1)</script>";
    add(address, "<script>alert(2)</script>", "<script>alert(3)</script>", 2,
        "<script>alert(4)</script>");
    add("http://sq.example/' onmouseover='alert(12)' x='", "' onmouseover='alert(12)' x='",
        "Quotes");
    add("javascript:alert(13)", "A bookmarklet", "Quotes");
    settings.pageTitle = "<script>alert(5)</script>";
    settings.rating = true;
    settings.siteInfo = true;
    for (const std::string type : {"Simple", "Table", "Frame", "Netscape"}) {
        for (const std::string order : {"CatDesc", "Location"}) {
            SCOPED_TRACE(type + " " + order);
            const ExportResult result = run(type, order);
            ASSERT_TRUE(result.done) << result.message;
            expectSafeLinks(result.files);
            expectNoScriptAttributes(result.files);
        }
    }
}

TEST_F(ExportTest, AFailedWriteKeepsTheEarlierPageAndTellsWhy)
{
    for (int i = 0; i < 200; ++i) {
        add("https://example.org/" + std::to_string(i), "Bookmark number " + std::to_string(i),
            "Tools");
    }
    const std::string earlier = out.write("Links.htm", "<html>the page of yesterday</html>\n");
    const ExportResult result = runUnderLimit("Table", "Location", 4096);

    EXPECT_FALSE(result.done);
    EXPECT_EQ(result.message, "Error adding to " + earlier + ": File too large");
    EXPECT_EQ(ui.last().text, result.message);
    EXPECT_EQ(read("Links.htm"), "<html>the page of yesterday</html>\n");
    EXPECT_EQ(filesInOut(), std::vector<std::string>{"Links.htm"});
}

TEST_F(ExportTest, PagesFollowTheUsersUmaskNotTheProgramsPrivateOne)
{
    add("https://example.org/", "Example", "Tools");
    const mode_t before = ::umask(027);
    const ExportResult result = run("Table", "Location");
    ::umask(before);
    ASSERT_TRUE(result.done) << result.message;
    struct stat info {};
    ASSERT_EQ(::stat(out.file("Links.htm").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777U, 0640U);
}

TEST_F(ExportTest, AFolderThatIsNotThereIsToldAsAnOpeningError)
{
    add("https://example.org/", "Example", "Tools");
    const ExportResult result = run("CSV", "Location", "missing/out.csv");
    EXPECT_FALSE(result.done);
    EXPECT_EQ(result.message,
              "Error opening " + out.file("missing/out.csv") + ": No such file or directory");
}

} // namespace
} // namespace tessaly::test
