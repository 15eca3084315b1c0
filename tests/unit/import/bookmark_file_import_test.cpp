#include "import/html_list_import.h"
#include "import/import_lines.h"
#include "import/markup.h"

#include "import_test_support.h"

#include <sys/stat.h>

namespace tessaly {
namespace {

using test::ImportTest;

// A bookmark file as Firefox writes it: UTF-8, icons as data on the link's
// line, tags, nested folders, an <HR> with the next item on its line.
std::string firefoxStyleFile(const std::string& icon = "iVBORw0KGgo")
{
    return "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
           "<!-- This is an automatically generated file.\n"
           "     It will be read and overwritten.\n"
           "     DO NOT EDIT! -->\n"
           "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
           "<TITLE>Bookmarks</TITLE>\n"
           "<H1>Bookmarks Menu</H1>\n\n"
           "<DL><p>\n"
           "    <DT><A HREF=\"https://root.example/\" ADD_DATE=\"1700000000\" ICON=\"data:image/"
           "png;base64," +
           icon +
           "\">Root &amp; link</A>\n"
           "    <DT><H3 ADD_DATE=\"1700000000\" LAST_MODIFIED=\"1700000001\">News &amp; "
           "Views</H3>\n"
           "    <DL><p>\n"
           "        <DT><A HREF=\"https://news.example/?a=1&amp;b=2\" TAGS=\"daily,world\" "
           "SHORTCUTURL=\"nw\" LAST_VISIT=\"1700000000\">Caf&eacute; &#39;News&#39;</A>\n"
           "        <DD>The &lt;best&gt; news<BR>and more\n"
           "        <DT><H3 FOLDED>Deep</H3>\n"
           "        <DL><p>\n"
           "            <DT><A HREF=\"https://deep.example/\">Deep one</A>\n"
           "        </DL><p>\n"
           "        <DT><A HREF=\"https://news2.example/\">After deep</A>\n"
           "    </DL><p>\n"
           "    <HR>    <DT><A HREF=\"https://afterhr.example/\">After HR</A>\n"
           "    <DT><A HREF=\"place:sort=8&maxResults=10\">Most Visited</A>\n"
           "    <DT><A HREF=\"page.html\">Relative</A>\n"
           "    <DT><A HREF=\"#top\">Anchor</A>\n"
           "</DL>\n";
}

TEST_F(ImportTest, AFirefoxExportArrivesWithItsFoldersTitlesAndTags)
{
    const std::string file = sources.write("bookmarks.html", firefoxStyleFile());
    const ImportSummary summary = import(ImportType::Netscape, file);
    EXPECT_EQ(summary.imported, 5);
    EXPECT_EQ(bookmarks(), (std::vector<std::string>{
                               "https://afterhr.example/|After HR|New",
                               "https://deep.example/|Deep one|Deep",
                               "https://news.example/?a=1&b=2|Café 'News'|News & Views",
                               "https://news2.example/|After deep|News & Views",
                               "https://root.example/|Root & link|New",
                           }))
        << "the folder after a sub-folder's list is its enclosing folder again";
    const Record news = stored("https://news.example/?a=1&b=2");
    EXPECT_EQ(news.text(BookmarkField::SiteInfo), "The <best> news");
    EXPECT_EQ(news.text(BookmarkField::Keyword), "Café") << "the first of the longest words";
    EXPECT_EQ(news.text(BookmarkField::OriginalFilename), file);
    EXPECT_EQ(news.number(BookmarkField::LastVisit), dates::dayNumber(2023, 11, 14));
    EXPECT_EQ(keywords("https://news.example/?a=1&b=2"),
              (std::vector<std::string>{"daily", "world", "nw"}));
    EXPECT_EQ(categories(), (std::vector<std::string>{"Deep", "New", "News & Views"}));
    EXPECT_EQ(ui.last().title, "Complete");
    EXPECT_EQ(ui.last().text,
              "5 URL(s) imported.\n2 skipped: 1 browser query, 1 blank or \"#\" address.");

    // A second import adds nothing and says what it found stored.
    ui.shown.clear();
    const ImportSummary again = import(ImportType::Netscape, file);
    EXPECT_EQ(again.imported, 0);
    EXPECT_EQ(again.alreadyStored, 5);
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.last().text, "0 URL(s) imported.\n5 were stored already.\n2 skipped: 1 browser "
                              "query, 1 blank or \"#\" address.");
    EXPECT_EQ(bookmarks().size(), 5U);
}

TEST_F(ImportTest, AFolderNameLongerThanACategoryIsCutAndCountedAsCut)
{
    const std::string name(80, 'C');
    const ImportSummary summary =
        import(ImportType::Netscape,
               sources.write("long.html", "<DL><p><DT><H3>" + name +
                                              "</H3><DL><p><DT><A HREF=\"http://x.example/\">X</A>"
                                              "</DL><p></DL>\n"));
    EXPECT_EQ(summary.imported, 1);
    EXPECT_EQ(stored("http://x.example/").text(BookmarkField::Category), name.substr(0, 50));
    EXPECT_EQ(summary.cut.at("Category"), 1);

    const ImportSummary xbel = import(
        ImportType::Xbel,
        sources.write("long.xbel",
                      "<?xml version=\"1.0\"?>\n<xbel version=\"1.0\"><folder><title>" + name +
                          "</title><bookmark href=\"http://y.example/\">"
                          "<title>Y</title></bookmark></folder></xbel>\n"));
    EXPECT_EQ(xbel.imported, 1);
    EXPECT_EQ(stored("http://y.example/").text(BookmarkField::Category), name.substr(0, 50));
    EXPECT_EQ(xbel.cut.at("Category"), 1);
}

TEST_F(ImportTest, TheAssignmentDecidesCategoriesAndWhetherTheyAreMade)
{
    const std::string file = sources.write("bookmarks.html", firefoxStyleFile());
    import(ImportType::Netscape, file, CategoryAssignment::None);
    EXPECT_EQ(stored("https://deep.example/").text(BookmarkField::Category), "Deep");
    EXPECT_EQ(stored("https://root.example/").text(BookmarkField::Category), "")
        << "before the first folder: blank under None";
    EXPECT_TRUE(categories().empty());

    test::TempFolder other;
    Database second{messages, other.path()};
    Record news{categoryTable()};
    news.setText(CategoryField::Category, "Mine");
    ASSERT_EQ(second.categories().use(), kLevelDone);
    ASSERT_EQ(second.categories().insert(news), kLevelDone);
    second.categories().close();
    ImportRequest request{ImportType::Netscape, file, CategoryAssignment::Selected, "Mine", {}};
    EXPECT_EQ(runImport(second, ui, request, {}, false).imported, 5);
    EXPECT_EQ(test::storedBookmark(second, "https://deep.example/").text(BookmarkField::Category),
              "Mine");
}

TEST_F(ImportTest, AskingForEachBookmarkOffersItsFolderAndFallsBackToNew)
{
    std::vector<std::string> guesses;
    ask = [&](const Record& bookmark, std::string_view guess) -> std::optional<std::string> {
        guesses.emplace_back(guess);
        if (bookmark.text(BookmarkField::Location) == "https://deep.example/") {
            return "Chosen";
        }
        return std::nullopt; // cancelled
    };
    import(ImportType::Netscape, sources.write("b.html", firefoxStyleFile()),
           CategoryAssignment::Ask);
    EXPECT_EQ(guesses, (std::vector<std::string>{"", "News & Views", "Deep", "News & Views", ""}));
    EXPECT_EQ(stored("https://deep.example/").text(BookmarkField::Category), "Chosen");
    EXPECT_EQ(stored("https://news2.example/").text(BookmarkField::Category), "New");
    EXPECT_EQ(categories(), (std::vector<std::string>{"Chosen", "New"}));
}

TEST_F(ImportTest, LongLinesLineEndsAndEncodingsOfRealFiles)
{
    // An icon of 300 KB before the title, CRLF line ends (as other browsers
    // write them), no charset, Windows-1252 bytes.
    std::string file = firefoxStyleFile(std::string(300000, 'Q'));
    std::string crlf;
    for (const char c : file) {
        crlf += c == '\n' ? std::string{"\r\n"} : std::string(1, c);
    }
    crlf += "<DT><A HREF=\"http://ansi.example/\">Caf\xE9 cr\xE8me</A>\r\n";
    import(ImportType::Netscape, sources.write("crlf.html", crlf));
    EXPECT_EQ(stored("https://root.example/").text(BookmarkField::Description), "Root & link");
    EXPECT_EQ(stored("http://ansi.example/").text(BookmarkField::Description), "Café crème");
    EXPECT_EQ(bookmarks().size(), 6U);

    // UTF-16LE with its byte order mark, as Windows' editors save.
    const std::string text = "<DL><DT><A HREF=\"http://wide.example/\">Ŵide ☃</A></DL>\n";
    std::string wide = "\xFF\xFE";
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t cp = utf8::decode(text, pos);
        wide += static_cast<char>(cp & 0xFFU);
        wide += static_cast<char>((cp >> 8U) & 0xFFU);
    }
    import(ImportType::Netscape, sources.write("wide.html", wide));
    EXPECT_EQ(stored("http://wide.example/").text(BookmarkField::Description), "Ŵide ☃");
}

TEST(Markup, FindsANeedleInAnyCaseAndInTimeOnLongLinesOfLookAlikes)
{
    EXPECT_EQ(markup::findNoCase("<a HrEf=x>", "href"), 3U);
    EXPECT_EQ(markup::findNoCase("hre HREF", "href"), 4U);
    EXPECT_EQ(markup::findNoCase("href", "href", 1), std::string_view::npos);
    EXPECT_EQ(markup::findNoCase("<dl><DL>", "<DL", 1), 4U);
    EXPECT_EQ(markup::findNoCase("hr", "href"), std::string_view::npos);
    // Capitals that each begin a near miss, the small letter far off: once
    // a search from every capital to it, minutes on a line of megabytes.
    std::string line;
    for (int i = 0; i < 400000; ++i) {
        line += "HRX";
    }
    line += "href";
    EXPECT_EQ(markup::findNoCase(line, "href"), line.size() - 4);
    EXPECT_EQ(markup::findNoCase(line, "hrex"), std::string_view::npos);
}

TEST(ImportLines, LineEndsComeFromTheStartOfTheFile)
{
    test::TempFolder folder;
    const auto linesOf = [&](const std::string& content) {
        ImportLines lines;
        EXPECT_TRUE(lines.open(folder.write("f.txt", content)));
        std::vector<std::string> out;
        std::string line;
        while (lines.next(line)) {
            out.push_back(line);
        }
        return out;
    };
    EXPECT_EQ(linesOf("a\nb\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(linesOf("a\rb\r"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(linesOf("a\r\nb\r\nc"), (std::vector<std::string>{"a", "b", "c"}));
    // Only line feeds at the start: a later CR stays inside its line (and
    // is removed from it); a CR at the start makes CRs the line ends.
    EXPECT_EQ(linesOf("a\n" + std::string(400, 'b') + "\rc\n"),
              (std::vector<std::string>{"a", std::string(400, 'b') + "c"}));
    EXPECT_EQ(linesOf("a\nb\rc\n"), (std::vector<std::string>{"ab", "c"}));
    // A first line longer than the bytes looked at: the first line end decides.
    EXPECT_EQ(linesOf(std::string(1000, 'x') + "\nb\n").size(), 2U);
    EXPECT_EQ(linesOf("\xEF\xBB\xBFwith mark\n"), (std::vector<std::string>{"with mark"}));
    EXPECT_EQ(linesOf(""), std::vector<std::string>{});

    // A line longer than the longest is read to its last whole item, and
    // the lines after it as they are.
    std::string huge;
    const std::string item = "<A HREF=\"http://x.example/\">t</A> ";
    while (huge.size() <= ImportLines::kLongestLine) {
        huge += item;
    }
    ImportLines cut;
    ASSERT_TRUE(cut.open(folder.write("huge.html", huge + "\nnext\n")));
    std::string line;
    ASSERT_TRUE(cut.next(line));
    EXPECT_TRUE(line.ends_with("</A>")) << line.substr(line.size() - 40);
    EXPECT_LE(line.size(), ImportLines::kLongestLine);
    EXPECT_EQ(cut.linesCut(), 1);
    ASSERT_TRUE(cut.next(line));
    EXPECT_EQ(line, "next");

    ImportLines none;
    EXPECT_FALSE(none.open(folder.path() + "/missing.html"));
    EXPECT_NE(none.error().find("No such file"), std::string::npos) << none.error();
    ImportLines directory;
    EXPECT_FALSE(directory.open(folder.path()));
    EXPECT_NE(directory.error().find("is a folder"), std::string::npos);
    const std::string fifo = folder.path() + "/pipe.html";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ImportLines pipe;
    EXPECT_FALSE(pipe.open(fifo)) << "a named pipe must not hang the import";
}

TEST_F(ImportTest, ASourceThatCannotBeReadIsSaidAndImportsNothing)
{
    const ImportSummary missing = import(ImportType::Netscape, sources.path() + "/none.html");
    EXPECT_EQ(missing.imported, 0);
    EXPECT_NE(missing.sourceError.find("none.html"), std::string::npos);
    EXPECT_EQ(ui.last().title, "Import Error");
    // Binary junk is read without a crash and yields what it yields.
    std::string junk;
    for (int i = 0; i < 200000; ++i) {
        junk += static_cast<char>((i * 7919) % 256);
    }
    for (const ImportType type :
         {ImportType::Netscape, ImportType::Html, ImportType::Csv, ImportType::Ascii}) {
        const ImportSummary summary = import(type, sources.write("junk.bin", junk));
        EXPECT_FALSE(summary.failed);
    }
}

TEST_F(ImportTest, CancelKeepsWhatWasImportedBeforeIt)
{
    std::string file = "<DL>\n";
    for (int i = 0; i < 3000; ++i) {
        file += "<DT><A HREF=\"http://site" + std::to_string(i) + ".example/\">Site</A>\n";
    }
    ui.cancelAfterFirstStep = true;
    const ImportSummary summary = import(ImportType::Netscape, sources.write("big.html", file));
    EXPECT_TRUE(summary.cancelled);
    EXPECT_LT(summary.imported, 3000);
    EXPECT_EQ(static_cast<int>(bookmarks().size()), summary.imported);
    // The run ends with its account, which says it was cancelled.
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.last().title, "Complete");
    EXPECT_EQ(ui.last().text, "Import cancelled; what arrived before is kept.\n" +
                                  std::to_string(summary.imported) + " URL(s) imported.");
}

TEST_F(ImportTest, EveryRunEndsWithItsAccountAndShowsWhatItReads)
{
    std::string file = "<DL>\n";
    for (int i = 0; i < 5; ++i) {
        file += "<DT><A HREF=\"http://site" + std::to_string(i) + ".example/\">Site</A>\n";
    }
    const std::string path = sources.write("bookmarks.html", file);
    ASSERT_EQ(import(ImportType::Netscape, path).imported, 5);
    // The window says what it reads, the percentage and the count.
    const auto shown = [&](const std::string& text) {
        return std::find(ui.progressTexts.begin(), ui.progressTexts.end(), text) !=
               ui.progressTexts.end();
    };
    EXPECT_TRUE(shown("0% Completed\nReading bookmarks.html\u2026\n0 imported"));
    EXPECT_TRUE(std::any_of(ui.progressTexts.begin(), ui.progressTexts.end(), [](auto& text) {
        return text.ends_with("% Completed\nReading bookmarks.html\u2026\n4 imported") ||
               text.ends_with("% Completed\nReading bookmarks.html\u2026\n5 imported");
    }));
    ui.shown.clear();
    // A run that brought nothing says so too (before: silence).
    const ImportSummary none = import(ImportType::Html, sources.write("empty.html", "<p>none</p>"));
    EXPECT_EQ(none.imported, 0);
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.last().text, "0 URL(s) imported.");
}

TEST_F(ImportTest, APageGivesItsLinksWithTheTextAfterThem)
{
    const std::string page =
        "<html><head><title>Links</title></head><body>\n"
        "<p><a href=\"http://one.example/\">12. Weather Online</a> daily forecasts\n"
        "and maps</p>\n"
        "<ul><li><a href='http://two.example/'>. Sport</a></li>\n"
        "<li><A HREF=\"ftp://files.example/pub\">##. Files</A> t1 t2 t3 t4 t5 t6 t7 t8 t9 t10 t11\n"
        "<li><a href=\"#top\">Top</a><a href=relative.html>Relative &amp; more</a>\n"
        "<table><tr><td><a href=\"http://three.example/\"></a></td></tr></table>after table\n"
        "<img src=\"http://img.example/logo.png\">\n"
        "</body></html>\n";
    const ImportSummary summary = import(ImportType::Html, sources.write("page.html", page));
    EXPECT_EQ(summary.imported, 6);
    EXPECT_EQ(stored("http://one.example/").text(BookmarkField::Description), "Weather Online");
    EXPECT_EQ(stored("http://one.example/").text(BookmarkField::SiteInfo),
              "12. Weather Online daily forecasts and maps");
    EXPECT_EQ(stored("http://one.example/").text(BookmarkField::Category), "New - W");
    EXPECT_EQ(stored("http://two.example/").text(BookmarkField::Description), "Sport");
    EXPECT_EQ(stored("ftp://files.example/pub").text(BookmarkField::Description), "Files");
    EXPECT_EQ(stored("relative.html").text(BookmarkField::Description), "Relative & more");
    EXPECT_EQ(stored("http://three.example/").text(BookmarkField::Description),
              "http://three.example/")
        << "no text before </table>: the address describes it";
    EXPECT_EQ(stored("http://img.example/logo.png").position != 0, true);
    EXPECT_EQ(stored("#top").position, 0);
    ASSERT_EQ(ui.shown.size(), 1U) << "a page reports in its own window, and what it passed over";
    EXPECT_EQ(ui.last().text, "6 URL(s) imported.\n1 skipped: 1 blank or \"#\" address.");
    EXPECT_EQ(ui.last().details, "skipped: no address: #top\n");
    EXPECT_NE(std::find(ui.progressTexts.begin(), ui.progressTexts.end(),
                        "100% Completed\nReading page.html\u2026\n0 items remaining.\n6 imported"),
              ui.progressTexts.end());
}

TEST_F(ImportTest, APageOnOneLongLineGivesEveryLink)
{
    std::string page = "<html><body>";
    for (int i = 0; i < 2000; ++i) {
        page += "<p><a href=\"http://site" + std::to_string(i) + ".example/\">Site " +
                std::to_string(i) + "</a> about site " + std::to_string(i) + "</p>";
    }
    page += "</body></html>";
    const ImportSummary summary = import(ImportType::Html, sources.write("minified.html", page));
    EXPECT_EQ(summary.imported, 2000);
    EXPECT_EQ(stored("http://site1999.example/").text(BookmarkField::Description), "Site 1999");
}

TEST(LinkTarget, FromTheFirstSchemeElseFromHrefOrAction)
{
    EXPECT_EQ(linkTarget("<a href=\"http://a.example/x\">"), "http://a.example/x");
    EXPECT_EQ(linkTarget("<A HREF=\"HTTP://B.example/\">"), "HTTP://B.example/");
    EXPECT_EQ(linkTarget("<a href=page.html>"), "page.html");
    EXPECT_EQ(linkTarget("<form action=\"/search\">"), "/search");
    EXPECT_EQ(linkTarget("<a name=\"x\">"), "");
    EXPECT_EQ(linkTarget("<a href=\"\">"), "");
}

} // namespace
} // namespace tessaly
