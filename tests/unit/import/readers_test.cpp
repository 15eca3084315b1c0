// What the readers take that they used to leave or mangle: declared
// charsets, UTF-7 shortcut addresses, references in copied links, the ends
// of addresses in text, and the summary that says what was not taken.
#include "framework/utf7.h"
#include "import/clipboard_capture.h"

#include "import_test_support.h"

#include <filesystem>

namespace tessaly {
namespace {

using test::ImportTest;

TEST_F(ImportTest, FilesThatDeclareTheirCharsetAreReadInIt)
{
    const auto page = [](std::string_view meta, std::string_view name, std::string_view title) {
        return "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n" + std::string{meta} +
               "\n<DL><p>\n<DT><A HREF=\"http://" + std::string{name} + ".example/\">" +
               std::string{title} + "</A>\n</DL>\n";
    };
    sources.write("1251.html", page("<META HTTP-EQUIV=\"Content-Type\" "
                                    "CONTENT=\"text/html; charset=windows-1251\">",
                                    "cp1251", "\xCD\xEE\xE2\xEE\xF1\xF2\xE8"));
    sources.write("koi8.html",
                  page("<meta charset=\"KOI8-R\">", "koi8", "\xEE\xCF\xD7\xCF\xD3\xD4\xC9"));
    sources.write("sjis.html", page("<meta charset=shift_jis>", "sjis", "\x83j\x83\x85\x81[\x83X"));
    for (const char* name : {"1251.html", "koi8.html", "sjis.html"}) {
        EXPECT_EQ(import(ImportType::Netscape, sources.path() + "/" + name).imported, 1) << name;
    }
    EXPECT_EQ(stored("http://cp1251.example/").text(BookmarkField::Description), "Новости");
    EXPECT_EQ(stored("http://koi8.example/").text(BookmarkField::Description), "Новости");
    EXPECT_EQ(stored("http://sjis.example/").text(BookmarkField::Description), "ニュース");
}

TEST(Utf7, DecodesWhatWindowsWritesForAddressesBeyondItsCodePage)
{
    EXPECT_EQ(utf7::decode("http://+BD8EQAQ4BDwENQRA.example/+BD8EQwRCBEw-"),
              "http://пример.example/путь");
    EXPECT_EQ(utf7::decode("a+-b+AKM-c"), "a+b£c");
    EXPECT_EQ(utf7::decode("x+2D3eAA-y"), "x\xF0\x9F\x98\x80y") << "a surrogate pair";
    EXPECT_EQ(utf7::decode("x+2D0-y"), "x\xEF\xBF\xBDy") << "a lone high surrogate";
}

TEST_F(ImportTest, TheUtf7AddressOfAShortcutIsRead)
{
    favorites = sources.path() + "/Favorites";
    std::filesystem::create_directories(favorites);
    sources.write("Favorites/Wide.url",
                  "[InternetShortcut]\r\nURL=http://??????.example/\r\n"
                  "[InternetShortcut.W]\r\nURL=http://+BD8EQAQ4BDwENQRA.example/\r\n");
    EXPECT_EQ(import(ImportType::Favorites, {}).imported, 1);
    EXPECT_NE(stored("http://пример.example/").position, 0);
}

TEST(ClipboardCapture, CopiedMarkupHasItsReferencesDecoded)
{
    const auto found = findCapturedBookmarks(
        "<a href=\"http://link.example.com/?a=1&amp;b=2\">Tom &amp; Jerry</a> &lt;3");
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].location, "http://link.example.com/?a=1&b=2");
    EXPECT_EQ(found[0].description, "Tom & Jerry");
    EXPECT_EQ(found[0].siteInfo, "<3");
    EXPECT_EQ(findCapturedBookmarks("plain http://p.example/?a=1&amp;b")[0].location,
              "http://p.example/?a=1&amp;b")
        << "plain text is no markup";
}

TEST_F(ImportTest, TextAddressesEndAtTabsAndAtBracketsTheyDoNotOpen)
{
    const std::string text = "tab\thttp://t.example/x\tnext\n"
                             "(see http://p.example/a) [http://b.example/] <http://c.example/>\n"
                             "'http://q.example/' http://w.example/wiki/Foo_(bar)\n";
    EXPECT_EQ(import(ImportType::Ascii, sources.write("t.txt", text)).imported, 6);
    for (const char* location :
         {"http://t.example/x", "http://p.example/a", "http://b.example/", "http://c.example/",
          "http://q.example/", "http://w.example/wiki/Foo_(bar)"}) {
        EXPECT_NE(stored(location).position, 0) << location;
    }
}

TEST_F(ImportTest, TheSummarySaysWhatWasSkippedAndCutWithTheAddresses)
{
    const std::string file = "<DL><p>\n"
                             "<DT><A HREF=\"http://a.example/\">" +
                             std::string(300, 'd') +
                             "</A>\n"
                             "<DT><A HREF=\"place:sort=8\">Most Visited</A>\n"
                             "<DT><A HREF=\"#here\">Here</A>\n"
                             "<DT><A HREF=\"\">Blank</A>\n"
                             "<DT><A HREF=\"http://a.example/\">Again</A>\n"
                             "</DL>\n";
    const ImportSummary summary = import(ImportType::Netscape, sources.write("b.html", file));
    EXPECT_EQ(summary.imported, 1);
    EXPECT_EQ(ui.last().text, "1 URL(s) imported.\n"
                              "1 was stored already.\n"
                              "3 skipped: 1 browser query, 2 blank or \"#\" addresses.\n"
                              "Cut to fit their fields: Description in 1 bookmark.");
    EXPECT_EQ(ui.last().details, "cut: Description: http://a.example/\n"
                                 "skipped: a browser query: place:sort=8\n"
                                 "skipped: no address: #here\n"
                                 "skipped: no address: (blank)\n"
                                 "already stored: http://a.example/\n");
}

} // namespace
} // namespace tessaly
