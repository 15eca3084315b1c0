// Reading and writing XBEL files: what the program does not change is
// written back byte for byte.
#include "sync/xbel_document.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

// A file as the browsers' sync extension writes it, with a few things it
// does not write but another XBEL program might (desc, info, a separator,
// an added date, a comment), which must all survive.
const std::string kShared = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE xbel PUBLIC "+//IDN python.org//DTD XML Bookmark Exchange Language 1.0//EN//XML" "http://pyxml.sourceforge.net/topics/dtds/xbel.dtd">
<xbel version="1.0">
<!--- highestId :12: for Floccus bookmark sync browser extension -->
<folder id="1"><title>Bookmarks bar</title>
  <bookmark href="https://example.org/a?x=1&amp;y=2" id="2" added="1700000000"><title>A &amp; B</title><desc>kept</desc></bookmark>
  <separator/>
  <folder id="3"><title>News</title>
    <bookmark href="https://news.example/" id="4"><title>News site</title><info><metadata owner="x"><seen>3</seen></metadata></info></bookmark>
  </folder>
</folder>
<!-- a note of the user's -->
<bookmark href="https://top.example/" id="7"><title>Top</title></bookmark>
</xbel>)";

XbelDocument read(const std::string& bytes)
{
    std::string error;
    auto document = XbelDocument::parse(bytes, error);
    EXPECT_TRUE(document) << error;
    return document ? *document : XbelDocument::empty();
}

TEST(XbelDocumentTest, ReadsFoldersBookmarksAndTheirPlaces)
{
    const XbelDocument document = read(kShared);
    const auto& items = document.items();
    ASSERT_EQ(items.size(), 5U);
    EXPECT_TRUE(items[0].folder);
    EXPECT_EQ(items[0].title, "Bookmarks bar");
    EXPECT_EQ(items[1].href, "https://example.org/a?x=1&y=2");
    EXPECT_EQ(items[1].title, "A & B");
    EXPECT_EQ(items[1].id, "2");
    EXPECT_EQ(document.folderPath(3), (std::vector<std::string>{"Bookmarks bar", "News"}));
    EXPECT_EQ(items[4].parent, -1);
    EXPECT_EQ(document.findFolder("News"), 2);
    EXPECT_EQ(document.serialize(), kShared);
}

// An address written into an href the file quotes with apostrophes must
// not end it there: the file would be damaged for every reader.
TEST(XbelDocumentTest, AnAddressWithAnApostropheKeepsASingleQuotedFileWhole)
{
    std::string single = kShared;
    single.replace(single.find("href=\"https://top.example/\""),
                   std::string{"href=\"https://top.example/\""}.size(),
                   "href='https://top.example/'");
    XbelDocument document = read(single);
    document.setHref(4, "https://top.example/it's");
    const XbelDocument again = read(document.serialize());
    EXPECT_EQ(again.items()[4].href, "https://top.example/it's");
}

TEST(XbelDocumentTest, ChangesTouchOnlyWhatChanged)
{
    XbelDocument document = read(kShared);
    document.setTitle(3, "News <daily>");
    document.setHref(1, "https://example.org/\"b\"");
    const int added = document.addBookmark(2, "https://new.example/", "New one");
    EXPECT_EQ(document.items()[static_cast<std::size_t>(added)].id, "13");
    document.remove(4);
    std::string expected = kShared;
    auto replace = [&](std::string_view from, std::string_view to) {
        const std::size_t at = expected.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        expected.replace(at, from.size(), to);
    };
    replace(":12:", ":13:");
    replace("https://example.org/a?x=1&amp;y=2", "https://example.org/&quot;b&quot;");
    replace("<title>News site</title>", "<title>News &lt;daily&gt;</title>");
    replace("<info><metadata owner=\"x\"><seen>3</seen></metadata></info></bookmark>",
            "<info><metadata owner=\"x\"><seen>3</seen></metadata></info></bookmark>\n    "
            "<bookmark href=\"https://new.example/\" id=\"13\"><title>New one</title></bookmark>");
    replace("\n<bookmark href=\"https://top.example/\" id=\"7\"><title>Top</title></bookmark>", "");
    EXPECT_EQ(document.serialize(), expected);
    // What was written reads back as it was changed.
    const XbelDocument again = read(document.serialize());
    EXPECT_EQ(again.items()[3].title, "News <daily>");
    EXPECT_EQ(again.items()[4].href, "https://new.example/");
}

TEST(XbelDocumentTest, MovesAndNewFoldersKeepIdsAndTheRest)
{
    XbelDocument document = read(kShared);
    const int folder = document.addFolder("Work");
    document.move(1, folder);
    document.move(4, 2);
    const std::string written = document.serialize();
    const XbelDocument again = read(written);
    const auto& items = again.items();
    // Tree order: Bookmarks bar, News, News site, Top (moved into News), Work, A & B.
    ASSERT_EQ(items.size(), 6U);
    EXPECT_EQ(items[3].title, "Top");
    EXPECT_EQ(again.folderPath(3), (std::vector<std::string>{"Bookmarks bar", "News"}));
    EXPECT_EQ(items[4].title, "Work");
    EXPECT_EQ(items[4].id, "13");
    EXPECT_EQ(items[5].id, "2");
    EXPECT_NE(written.find("<title>A &amp; B</title><desc>kept</desc></bookmark>"),
              std::string::npos);
    EXPECT_NE(written.find("<separator/>"), std::string::npos);
    EXPECT_NE(written.find("<!-- a note of the user's -->"), std::string::npos);
    EXPECT_NE(written.find("highestId :13:"), std::string::npos);
    EXPECT_TRUE(written.starts_with(std::string{XbelDocument::kDeclaration} + "\n<!DOCTYPE"));
}

TEST(XbelDocumentTest, FileWithoutHighestIdLineGetsOneWhenChanged)
{
    XbelDocument document =
        read("<?xml version=\"1.0\"?>\n<xbel version=\"1.0\"><bookmark href=\"x:1\" id=\"40\"/>"
             "<folder id=\"b7\"/></xbel>");
    document.setTitle(0, "Titled");
    document.addBookmark(1, "x:2", "Second");
    const std::string written = document.serialize();
    EXPECT_EQ(written,
              "<?xml version=\"1.0\"?>\n<xbel version=\"1.0\">\n<!--- highestId :41: for Floccus "
              "bookmark sync browser extension --><bookmark href=\"x:1\" id=\"40\"><title>Titled"
              "</title></bookmark><folder id=\"b7\"><bookmark href=\"x:2\" id=\"41\"><title>Second"
              "</title></bookmark></folder></xbel>");
}

TEST(XbelDocumentTest, FileInAnotherEncodingGetsReferencesForWhatItCannotHold)
{
    XbelDocument document = read("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<xbel>"
                                 "<bookmark href=\"x:1\"><title>Caf\xE9</title></bookmark></xbel>");
    EXPECT_EQ(document.items()[0].title, "Caf\u00E9");
    document.setTitle(0, "Caf\u00E9 cr\u00E8me");
    const std::string written = document.serialize();
    EXPECT_NE(written.find("<title>Caf&#233; cr&#232;me</title>"), std::string::npos) << written;
    EXPECT_EQ(read(written).items()[0].title, "Caf\u00E9 cr\u00E8me");
}

TEST(XbelDocumentTest, RefusesWhatIsNoXbelOrUnsafe)
{
    const auto refusal = [](std::string_view bytes, std::size_t largest = 1U << 20U) {
        std::string error;
        EXPECT_FALSE(XbelDocument::parse(bytes, error, largest));
        return error;
    };
    EXPECT_EQ(refusal("<html><body/></html>"),
              "The file is not an XBEL bookmark file: its first element is <html>, not <xbel>.");
    EXPECT_EQ(refusal("<xbel><folder></xbel>").substr(0, 21), "The file is damaged: ");
    EXPECT_EQ(refusal(""), "The file is empty: it is no XBEL bookmark file.");
    // A thousand laughs are never expanded; nor is a file on the disk read.
    EXPECT_EQ(refusal("<!DOCTYPE xbel [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;\">]>"
                      "<xbel><bookmark href=\"&b;\"/></xbel>"),
              "The file declares entities of its own, which no bookmark file needs: it is not "
              "read.");
    EXPECT_FALSE(refusal("<!DOCTYPE xbel [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                         "<xbel><bookmark href=\"&x;\"/></xbel>")
                     .empty());
    EXPECT_EQ(refusal(kShared, 100),
              "The file is larger than 0 MiB, too large for a bookmark file: it is not read.");
}

} // namespace
} // namespace tessaly
