// XBEL files through `import xbel` and `export xbel`.
#include "cli_test_support.h"

#include "sync/xbel_document.h"

namespace tessaly::cli::test {
namespace {

class XbelCommandTest : public CommandsTest {
protected:
    TempFolder sources;
};

TEST_F(XbelCommandTest, ImportTakesTheInnermostFolderAndExportWritesOneFolderPerCategory)
{
    // Nested folders as the browsers' sync extension writes them, with a
    // separator and a bookmark at the top.
    const std::string file = sources.write(
        "bookmarks.xbel",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE xbel PUBLIC \"+//IDN python.org//DTD XML Bookmark Exchange Language "
        "1.0//EN//XML\" "
        "\"http://pyxml.sourceforge.net/topics/dtds/xbel.dtd\">\n<xbel version=\"1.0\">\n"
        "<!--- highestId :6: for Floccus bookmark sync browser extension -->\n"
        "<folder id=\"1\"><title>Toolbar</title><bookmark href=\"http://a.example/?a=1&amp;b=2\" "
        "id=\"2\"><title>A &lt;1&gt;</title></bookmark><separator/><folder id=\"3\"><title>News"
        "</title><bookmark href=\"http://b.example/\" id=\"4\"><title></title></bookmark></folder>"
        "</folder><bookmark href=\"http://c.example/\" id=\"5\"><title>C</title>"
        "<desc> Note &amp; more </desc><desc>second</desc></bookmark>"
        "<bookmark href=\"place:sort=8\" id=\"6\"><title>Recent</title></bookmark>\n</xbel>");
    ASSERT_EQ(run({"import", "XBEL", file}), kExitOk) << err;
    EXPECT_EQ(out, "Imported 3 bookmarks; 0 were stored already\n1 skipped: 1 browser query.\n"
                   "  skipped: a browser query: place:sort=8\n");
    ASSERT_EQ(run({"list", "--order", "location"}), kExitOk);
    EXPECT_NE(out.find("http://a.example/?a=1&b=2\tA <1>\tToolbar\t"), std::string::npos) << out;
    EXPECT_NE(out.find("http://b.example/\thttp://b.example/\tNews\t"), std::string::npos) << out;
    EXPECT_NE(out.find("http://c.example/\tC\tNew\t"), std::string::npos) << out;

    ASSERT_EQ(run({"export", "xbel", sources.file("out.xbel")}), kExitOk) << err;
    const std::string written = sources.read("out.xbel");
    EXPECT_EQ(written,
              std::string{XbelDocument::kDeclaration} + "\n" +
                  std::string{XbelDocument::doctype()} +
                  "\n<xbel version=\"1.0\">\n"
                  "<!--- highestId :6: for Floccus bookmark sync browser extension -->\n"
                  "<folder id=\"1\"><title>New</title>\n"
                  // The note travels both ways as the site information.
                  "  <bookmark href=\"http://c.example/\" id=\"2\"><title>C</title>"
                  "<desc>Note &amp; more</desc></bookmark>\n"
                  "</folder>\n"
                  "<folder id=\"3\"><title>News</title>\n"
                  "  <bookmark href=\"http://b.example/\" id=\"4\"><title>http://b.example/"
                  "</title></bookmark>\n"
                  "</folder>\n"
                  "<folder id=\"5\"><title>Toolbar</title>\n"
                  "  <bookmark href=\"http://a.example/?a=1&amp;b=2\" id=\"6\"><title>A &lt;1&gt;"
                  "</title></bookmark>\n"
                  "</folder>\n"
                  "</xbel>\n");
    // What was exported reads back as the same bookmarks.
    ASSERT_EQ(run({"import", "xbel", sources.file("out.xbel")}), kExitOk) << err;
    EXPECT_EQ(out, "Imported 0 bookmarks; 3 were stored already\n");
}

TEST_F(XbelCommandTest, FilesThatAreNoXbelAreRefusedWithTheReason)
{
    EXPECT_EQ(run({"import", "xbel", sources.write("a.xbel", "<html><body/></html>")}),
              kExitFailure);
    EXPECT_NE(err.find("a.xbel: The file is not an XBEL bookmark file: its first element is "
                       "<html>, not <xbel>."),
              std::string::npos)
        << err;
    EXPECT_EQ(run({"import", "xbel", sources.write("b.xbel", "<xbel><folder><title>x</xbel>")}),
              kExitFailure);
    EXPECT_NE(err.find("b.xbel: The file is damaged: mismatched tag at line 1"), std::string::npos)
        << err;
    ASSERT_EQ(run({"list"}), kExitOk);
    EXPECT_EQ(out.find("http"), std::string::npos) << out;
}

} // namespace
} // namespace tessaly::cli::test
