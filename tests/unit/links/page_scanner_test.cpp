#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "links/html_tokenizer.h"
#include "links/page_scanner.h"

#include "held_database.h"
#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>

namespace tessaly {
namespace {

ElementList elementsOf(std::string_view page)
{
    ElementList elements;
    tokenize(page, elements);
    return elements;
}

TEST(HtmlTokenizerTest, TagsAndTextsAreSeparateElements)
{
    EXPECT_EQ(elementsOf("Hello<b>World</b>"), (ElementList{"Hello", "<b>", "World", "</b>"}));
    // A one-character text does not stand alone: it begins the next piece.
    EXPECT_EQ(elementsOf("<b>x</b>"), (ElementList{"<b>", "x</b>"}));
    EXPECT_EQ(elementsOf("<title>My\r\nPage</title>"),
              (ElementList{"<title>", "MyPage", "</title>"}));
    EXPECT_EQ(elementsOf("<p>   \n  <br>"), (ElementList{"<p>", "<br>"}));
    EXPECT_TRUE(elementsOf("").empty());
}

TEST(HtmlTokenizerTest, LongElementsAreCutAndTheListIsOnlyAppendedTo)
{
    ElementList elements{"kept"};
    tokenize("<p>" + std::string(10000, 'a') + "<p>", elements);
    ASSERT_EQ(elements.size(), 4U);
    EXPECT_EQ(elements[0], "kept");
    EXPECT_EQ(elements[2].size(), 4095U);
}

TEST(HtmlTokenizerTest, TextBeforeQuoteStopsAtTheQuoteAndDropsTrailingBlanks)
{
    EXPECT_EQ(textBeforeQuote("news, sport  \" >"), "news, sport");
    EXPECT_EQ(textBeforeQuote("no quote"), "no quote");
    EXPECT_EQ(textBeforeQuote("\"at once"), "");
}

TEST(HtmlTokenizerTest, RandomBytesNeverBreakTheTokenizer)
{
    std::mt19937 random{7};
    std::uniform_int_distribution<int> byte{0, 255};
    std::uniform_int_distribution<int> length{0, 3000};
    for (int round = 0; round < 300; ++round) {
        std::string page(static_cast<std::size_t>(length(random)), '\0');
        for (char& c : page) {
            // Plenty of angle brackets and line breaks, where the rules act.
            const int b = byte(random);
            c = b < 40 ? '<' : b < 80 ? '>' : b < 90 ? '\n' : static_cast<char>(b);
        }
        ElementList elements;
        tokenize(page, elements);
        for (const std::string& element : elements) {
            ASSERT_LE(element.size(), 4095U * 4);
            ASSERT_EQ(element.find('\n'), std::string::npos);
        }
    }
}

class PageScannerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        bookmark.setText(BookmarkField::Location, "http://example.test/");
    }

    void scan(std::string_view page, ScanMode mode = ScanMode::Analysis, std::int64_t size = 0)
    {
        scanPage(elementsOf(page), mode, size, today, bookmark, db);
    }

    template <typename Field>
    std::vector<std::pair<std::string, std::string>> rows(FileManager& manager, Field first,
                                                          Field second)
    {
        std::vector<std::pair<std::string, std::string>> out;
        manager.use();
        manager.file().set(0);
        Record r{manager.file().table()};
        while (manager.file().next(r).ok()) {
            out.emplace_back(r.text(first), r.text(second));
        }
        manager.close();
        return out;
    }

    auto keywords() { return rows(db.keywords(), KeywordField::Location, KeywordField::Keyword); }
    auto details() { return rows(db.details(), DetailField::DataLabel, DetailField::DataValue); }

    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    Record bookmark{bookmarkTable()};
    const std::int32_t today = dates::dayNumber(2026, 12, 7);
};

TEST_F(PageScannerTest, TheScanMarksThePassAndTakesTheTitleOnlyForABlankDescription)
{
    scan("<html><title>My\nPage</title></html>", ScanMode::Test, 1234);
    EXPECT_EQ(bookmark.number(BookmarkField::PageSize), 1234);
    EXPECT_EQ(bookmark.number(BookmarkField::Validated), 1);
    EXPECT_EQ(bookmark.number(BookmarkField::LastValidated), today);
    EXPECT_EQ(bookmark.number(BookmarkField::LastVisit), today);
    EXPECT_EQ(bookmark.text(BookmarkField::Description), "MyPage");

    scan("<title>Another</title>", ScanMode::Test, 0);
    EXPECT_EQ(bookmark.text(BookmarkField::Description), "MyPage");
    EXPECT_EQ(bookmark.number(BookmarkField::PageSize), 1234) << "0 means the size is unknown";
}

TEST_F(PageScannerTest, AnEmptyTitleIsNoDescriptionAndAShortOneIsOnlyItself)
{
    scan("<title></title><body>text</body>");
    EXPECT_EQ(bookmark.text(BookmarkField::Description), "");
    scan("<title> </title><body>text</body>");
    EXPECT_EQ(bookmark.text(BookmarkField::Description), "");
    // A one-character text joins the tag after it as one element.
    scan("<title>h</title><body>text</body>");
    EXPECT_EQ(bookmark.text(BookmarkField::Description), "h");
    bookmark.setText(BookmarkField::Description, "");
    scan("<title> h</title><body>text</body>");
    EXPECT_EQ(bookmark.text(BookmarkField::Description), " h");
}

TEST_F(PageScannerTest, TheFirstMailLinkIsTakenAndAnExistingAddressKept)
{
    scan(R"(<a href="mailto:ann@example.test">Ann</a><a href="mailto:bob@example.test">)");
    EXPECT_EQ(bookmark.text(BookmarkField::EmailAddress), "ann@example.test");

    bookmark.setText(BookmarkField::EmailAddress, "own@example.test");
    scan(R"(<a href="mailto:ann@example.test"><meta name="rev" content="rev@example.test">)");
    EXPECT_EQ(bookmark.text(BookmarkField::EmailAddress), "own@example.test");
}

TEST_F(PageScannerTest, MetaTagsFillTheirFields)
{
    scan(R"(<meta http-equiv="refresh" content="0; url=http://moved.test/">)"
         R"(<meta name="expires" content="Fri, 01 Jan 1990 00:00:00 GMT">)",
         ScanMode::Test);
    EXPECT_EQ(bookmark.text(BookmarkField::MovedTo), "0; url=http://moved.test/");
    EXPECT_EQ(bookmark.number(BookmarkField::Expires), 0) << "too early to be a real expiry";

    scan(R"(<meta name="expires" content="Fri, 31 Dec 1999 23:59:59 GMT">)", ScanMode::Test);
    EXPECT_EQ(bookmark.number(BookmarkField::Expires), dates::dayNumber(1999, 12, 31));
}

TEST_F(PageScannerTest, TheDescriptionTagReplacesOnlyABlankOrGeneratedSiteInfoWhenTesting)
{
    bookmark.setText(BookmarkField::SiteInfo, "My own notes");
    scan(R"(<meta name="description" content="From the page">)", ScanMode::Test);
    EXPECT_EQ(bookmark.text(BookmarkField::SiteInfo), "My own notes");

    bookmark.setText(BookmarkField::SiteInfo, "HTML: generated");
    scan(R"(<meta name="description" content="From the page">)", ScanMode::Test);
    EXPECT_EQ(bookmark.text(BookmarkField::SiteInfo), "From the page");

    bookmark.setText(BookmarkField::SiteInfo, "My own notes");
    scan(R"(<meta name="description" content="Analysed">)", ScanMode::Analysis);
    EXPECT_EQ(bookmark.text(BookmarkField::SiteInfo), "Analysed");
}

TEST_F(PageScannerTest, KeywordRowsAreReplacedWithoutDuplicatesAndOnlyByAnAnalysis)
{
    const std::string location = "http://example.test/";
    scan(R"(<meta name="keywords" content="old">)");
    scan(R"(<meta name="keywords" content="ignored">)", ScanMode::Test);
    EXPECT_EQ(keywords().size(), 1U);

    scan(
        R"(<meta name="keywords" content="first"><meta name="keywords" content="news, sport,news">)");
    const auto rows = keywords();
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0], std::make_pair(location, std::string{"news"}));
    EXPECT_EQ(rows[1], std::make_pair(location, std::string{"sport"}));

    // Blanks before a comma make no new keyword.
    scan(R"(<meta name="keywords" content="news , sport , news,sport">)");
    EXPECT_EQ(keywords(), rows);
}

TEST_F(PageScannerTest, AScanWhoseRowsCannotBeCommittedSaysSo)
{
    // Another program reading the database keeps the rows from being
    // committed.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(folder.file("URLDATA.tps").c_str(), &reader), SQLITE_OK);
    for (FileManager* file : {&db.keywords(), &db.details()}) {
        file->use();
        file->close();
    }
    sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
    const int level = scanPage(elementsOf(R"(<meta name="keywords" content="news">)"),
                               ScanMode::Analysis, 0, today, bookmark, db);
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);
    EXPECT_NE(level, kLevelDone);
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_TRUE(keywords().empty());
}

TEST_F(PageScannerTest, OtherMetaNamesBecomeDetailsOnlyForABookmarkWithoutAny)
{
    scan(R"(<meta name="author" content="Ann">)", ScanMode::Test);
    EXPECT_TRUE(details().empty());

    scan(R"(<meta name="author" content="Ann"><meta name="generator" content="Editor">)");
    EXPECT_EQ(details(), (std::vector<std::pair<std::string, std::string>>{
                             {"AUTHOR", "Ann"}, {"GENERATOR", "Editor"}}));

    scan(R"(<meta name="copyright" content="Bob">)");
    EXPECT_EQ(details().size(), 2U);
}

TEST_F(PageScannerTest, BodyTextIsJoinedAndStopsNearTheSiteInfoLimit)
{
    appendBodyText(elementsOf("<head><title>Not this</title></head><body><p>First words"
                              "<p>more words</body>"),
                   bookmark);
    EXPECT_EQ(bookmark.text(BookmarkField::SiteInfo), "First words more words");

    Record other{bookmarkTable()};
    std::string page = "<body>";
    for (int i = 0; i < 500; ++i) {
        page += "<p>a sentence long enough to matter";
    }
    appendBodyText(elementsOf(page), other);
    const auto length = other.text(BookmarkField::SiteInfo).size();
    EXPECT_GT(length, 2008U);
    EXPECT_LT(length, 2008U + 60U);
}

TEST_F(PageScannerTest, BodyTextHoldsNoEndTagOfAOneCharacterText)
{
    appendBodyText(elementsOf("<body>Hello <a href=\"/m\">m</a> m2 x</body>"), bookmark);
    EXPECT_EQ(bookmark.text(BookmarkField::SiteInfo), "Hello m m2 x");

    Record other{bookmarkTable()};
    appendBodyText(elementsOf("<body><p>x</body></html>"), other);
    EXPECT_EQ(other.text(BookmarkField::SiteInfo), "x");
}

// Another program writes to the database for longer than we wait: the
// user is told once, and the analysis writes none of the page's rows.
TEST_F(PageScannerTest, AFileAnotherProgramHoldsIsSaidOnceAndNoRowIsWritten)
{
    ASSERT_TRUE(keywords().empty());
    ASSERT_TRUE(details().empty());
    test::HeldDatabase other{folder.file("URLDATA.tps")};
    ASSERT_TRUE(other.held());
    EXPECT_EQ(scanPage(elementsOf("<meta name=\"keywords\" content=\"news\">"
                                  "<meta name=\"author\" content=\"Desk\">"),
                       ScanMode::Analysis, 0, today, bookmark, db),
              kLevelNotify);
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_TRUE(ui.shown[0].text.ends_with(
        "\nAnother program is writing to the file. Try again when it has finished."))
        << ui.shown[0].text;
    other.release();
    EXPECT_TRUE(keywords().empty());
    EXPECT_TRUE(details().empty());
}

// A page read block by block keeps only some of its elements: the site
// information made of them is the one made of the whole page, for texts
// that end in blanks and for the blank texts between an indented page's
// tags, before its first words and among them.
TEST_F(PageScannerTest, TheKeptElementsGiveTheWholePagesSiteInformation)
{
    std::string trailing = "<body>";
    std::string indented = "<body>";
    std::string wordsLate = "<body>";
    for (int i = 0; i < 2100; ++i) {
        wordsLate += "<td>\t\t</td>";
    }
    for (int i = 0; i < 600; ++i) {
        trailing += "<p>word" + std::to_string(i) + "   \t   </p>";
        indented += "<div>\n\t\t\t<p>a sentence of thirty characters</p>\n\t\t</div>\n\t";
        wordsLate += "<p>a sentence of thirty characters</p>";
    }
    for (const std::string& page : {trailing, indented, wordsLate}) {
        const ElementList all = elementsOf(page);
        ScanElements scan;
        for (const std::string& element : all) {
            scan.take(element);
        }
        Record whole{bookmarkTable()};
        appendBodyText(all, whole);
        Record kept{bookmarkTable()};
        appendBodyText(scan.kept(), kept);
        ASSERT_GT(whole.text(BookmarkField::SiteInfo).size(), 2008U);
        EXPECT_EQ(kept.text(BookmarkField::SiteInfo), whole.text(BookmarkField::SiteInfo));
    }
}

TEST_F(PageScannerTest, AttributeValuesAreReadQuotedOrBareAsABrowserReadsThem)
{
    scan("<a href=mailto:me@example.org>me</a>");
    EXPECT_EQ(bookmark.text(BookmarkField::EmailAddress), "me@example.org");
    bookmark.setText(BookmarkField::EmailAddress, "");
    scan("<a href = 'mailto:ann@example.org' rel=me>");
    EXPECT_EQ(bookmark.text(BookmarkField::EmailAddress), "ann@example.org");

    scan("<meta name=keywords content=news,sport><META NAME = 'description' "
         "CONTENT = \"Caf&eacute; &amp; more\">");
    EXPECT_EQ(keywords().size(), 2U);
    EXPECT_EQ(bookmark.text(BookmarkField::SiteInfo), "Caf\xC3\xA9 & more");

    // A name inside another attribute's value is no attribute.
    bookmark.setText(BookmarkField::MovedTo, "");
    scan("<meta content=\"name=refresh\" http-equiv=refresh>");
    EXPECT_EQ(bookmark.text(BookmarkField::MovedTo), "name=refresh");
}

TEST_F(PageScannerTest, RandomElementsNeverBreakTheScanner)
{
    std::mt19937 random{11};
    const std::vector<std::string> parts{"<title>",
                                         "<meta name=\"keywords\" content=\"",
                                         "<meta http-equiv=\"",
                                         "content=\"",
                                         "\">",
                                         "<a href=\"mailto:",
                                         "<body>",
                                         "text",
                                         "\"",
                                         "<",
                                         ">",
                                         "\n",
                                         "\xC3\xA9",
                                         "\xFF"};
    std::uniform_int_distribution<std::size_t> pick{0, parts.size() - 1};
    for (int round = 0; round < 200; ++round) {
        std::string page;
        for (int i = 0; i < 40; ++i) {
            page += parts[pick(random)];
        }
        Record target{bookmarkTable()};
        target.setText(BookmarkField::Location, "http://fuzz.test/");
        const ElementList elements = elementsOf(page);
        scanPage(elements, ScanMode::Analysis, 0, today, target, db);
        appendBodyText(elements, target);
    }
    SUCCEED();
}

} // namespace
} // namespace tessaly
