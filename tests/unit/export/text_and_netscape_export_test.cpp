#include "export_test_support.h"

#include "import/importer.h"

namespace tessaly::test {
namespace {

// Exports read back by the program's own importers into a second database.
class RoundTripTest : public ExportTest {
protected:
    ImportSummary importInto(ImportType type, const std::string& source)
    {
        ImportRequest request;
        request.type = type;
        request.source = source;
        request.assignment = CategoryAssignment::None;
        return runImport(copy, ui, request, {}, false);
    }

    // "category|location|description|siteinfo|rating" of every bookmark.
    static std::vector<std::string> rows(Database& database)
    {
        std::vector<std::string> out;
        FileManager& file = database.bookmarks();
        file.use();
        Record r{bookmarkTable()};
        file.file().set(static_cast<int>(BookmarkKey::Location));
        while (file.file().next(r).ok()) {
            out.push_back(r.text(BookmarkField::Category) + "|" + r.text(BookmarkField::Location) +
                          "|" + r.text(BookmarkField::Description) + "|" +
                          r.text(BookmarkField::SiteInfo) + "|" +
                          std::to_string(r.number(BookmarkField::Rating)));
        }
        file.close();
        return out;
    }

    TempFolder copyFolder;
    Database copy{messages, copyFolder.path()};
};

TEST_F(RoundTripTest, CsvKeepsAllFiveFieldsWithQuotesAndCommasInside)
{
    add("https://example.org/q", "Say \"hi\", then \",\" twice", "Quotes, \"and\" commas", 4,
        "Notes \"quoted\",\"split\"");
    add("https://example.org/plain", "Plain", "Tools", 0, "Some notes");
    settings.siteInfo = true;
    settings.rating = true;
    ASSERT_TRUE(run("CSV", "Location", "out.csv").done);
    EXPECT_EQ(lines("out.csv")[0], "\"Tools\",\"https://example.org/plain\",\"Plain\","
                                   "\"Some notes\",0\r");
    importInto(ImportType::Csv, out.file("out.csv"));
    EXPECT_EQ(rows(copy), rows(db));
}

TEST_F(RoundTripTest, CsvKeepsLongSiteInformationAndItsLineBreaksWhole)
{
    // Over 1024 characters with the other fields: cut, the line would end
    // inside its quotes and swallow the next bookmark when read back.
    add("https://example.org/long", "Long", "Tools", 5,
        "First line\nsecond \"line\"\n" + std::string(2000, 'x'));
    add("https://example.org/next", "Next", "Tools", 2, "short");
    settings.siteInfo = true;
    settings.rating = true;
    ASSERT_TRUE(run("CSV", "Location", "out.csv").done);
    const ImportSummary summary = importInto(ImportType::Csv, out.file("out.csv"));
    EXPECT_EQ(summary.imported, 2);
    EXPECT_EQ(rows(copy), rows(db));
}

TEST_F(RoundTripTest, CsvCarriageReturnsInFieldsLoseNoBookmark)
{
    add("https://example.org/cr", "a\rb", "Tools", 4, "one\r\ntwo");
    add("https://example.org/next", "after", "Tools", 5);
    settings.siteInfo = true;
    settings.rating = true;
    ASSERT_TRUE(run("CSV", "Location", "out.csv").done);
    EXPECT_EQ(importInto(ImportType::Csv, out.file("out.csv")).imported, 2);
    EXPECT_EQ(rows(copy), rows(db)) << "every line break comes back as it was";
}

// A spreadsheet must not run what the file holds, and the program must get
// back exactly what it wrote: the user's own apostrophes too.
TEST_F(RoundTripTest, CsvKeepsFormulaLikeTextsAndTheUsersOwnApostrophes)
{
    add("https://example.org/f", "=HYPERLINK(1)", "+cat", 0, "@note");
    add("https://example.org/g", "'=HYPERLINK(2)", "'-cat", 0, "''+two");
    add("https://example.org/h", "'plain", "Tools", 0, "-");
    settings.siteInfo = true;
    ASSERT_TRUE(run("CSV", "Location", "out.csv").done);
    for (const std::string& line : lines("out.csv")) {
        EXPECT_EQ(line.find(",\"="), std::string::npos) << line;
        EXPECT_EQ(line.find("\"+"), std::string::npos) << line;
    }
    importInto(ImportType::Csv, out.file("out.csv"));
    EXPECT_EQ(rows(copy), rows(db));
}

TEST_F(RoundTripTest, AsciiKeepsOneLinePerBookmarkWhateverTheFieldsHold)
{
    add("https://example.org/a", "Two\nlines", "Tools", 0, "Tab\there\r\nand more");
    add("https://example.org/b", "B", "Tools");
    settings.siteInfo = true;
    ASSERT_TRUE(run("ASCII", "Location", "out.txt").done);
    const auto written = lines("out.txt");
    ASSERT_EQ(written.size(), 2U);
    EXPECT_EQ(written[0].substr(307, 9), "Two lines");
    EXPECT_EQ(written[0].substr(563), "Tab here  and more");
    EXPECT_EQ(written[1].substr(51, 21), "https://example.org/b");
}

TEST_F(RoundTripTest, CsvWithoutExtraFieldsWritesThreeQuotedFields)
{
    add("https://example.org/", "", "Tools", 7, "ignored");
    ASSERT_TRUE(run("CSV", "Location", "out.csv").done);
    // A blank description stays blank outside HTML.
    EXPECT_EQ(read("out.csv"), "\"Tools\",\"https://example.org/\",\"\"\r\n");
    settings.rating = true;
    ASSERT_TRUE(run("CSV", "Location", "out.csv").done);
    EXPECT_EQ(read("out.csv"), "\"Tools\",\"https://example.org/\",\"\",7\r\n");
}

TEST_F(RoundTripTest, AsciiColumnsStandAtFixedPositions)
{
    add("https://example.org/", "Example", "Tools", 7, std::string(600, 's'));
    ASSERT_TRUE(run("ASCII", "Location", "out.txt").done);
    const std::string line = lines("out.txt").at(0);
    EXPECT_EQ(line.substr(0, 6), "Tools ");
    EXPECT_EQ(line.substr(51, 20), "https://example.org/");
    EXPECT_EQ(line.substr(307), "Example");
    settings.rating = true;
    ASSERT_TRUE(run("ASCII", "Location", "out.txt").done);
    EXPECT_EQ(lines("out.txt").at(0).substr(307), "Example" + std::string(249, ' ') + "7");
    // Site information fills the line to its 1024th character: no rating.
    settings.siteInfo = true;
    ASSERT_TRUE(run("ASCII", "Location", "out.txt").done);
    EXPECT_EQ(lines("out.txt").at(0).size(), 1024U);
    EXPECT_EQ(lines("out.txt").at(0).substr(563), std::string(461, 's'));
}

TEST_F(RoundTripTest, NetscapeFileReadsBackWithCategoriesAndKeywords)
{
    add("https://example.org/a?x=1&y=2", "Alpha & <Omega>", "News", 3, "Line one\nline two");
    add("https://example.org/b", "Beta", "News");
    add("https://example.org/c", "Gamma \"quoted\"", "Tools & Things");
    add("https://example.org/z\",\"x'<y>", "Quotes in the address", "Tools & Things");
    add("https://example.org/top", "Top level", "");
    addKeyword("https://example.org/b", "daily");
    addKeyword("https://example.org/b", "reading");
    ASSERT_TRUE(run("Netscape", "CatDesc", "bookmarks.html").done);
    const std::string file = read("bookmarks.html");
    EXPECT_TRUE(file.starts_with("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"));
    EXPECT_NE(file.find("    <DT><H3 ADD_DATE=\"1700000000\" LAST_MODIFIED=\"1700000000\">"
                        "Tools &amp; Things</H3>\n    <DL><p>\n"),
              std::string::npos);
    EXPECT_NE(file.find("<DT><A HREF=\"https://example.org/b\" ADD_DATE=\"1700000000\" "
                        "TAGS=\"daily,reading\">Beta</A>\n"),
              std::string::npos);
    EXPECT_NE(file.find("<DD>Line one line two\n"), std::string::npos);

    importInto(ImportType::Netscape, out.file("bookmarks.html"));
    std::vector<std::string> expected = rows(db);
    expected[0] = "News|https://example.org/a?x=1&y=2|Alpha & <Omega>|Line one line two|0";
    expected[1] = "News|https://example.org/b|Beta||0";
    EXPECT_EQ(rows(copy), expected);
}

TEST_F(RoundTripTest, NetscapeTitlesAndNotesStayOnOneLineWithoutControls)
{
    add("https://example.org/t", "Tab\there\r\nand \x1b<b>", "", 0, "Note\tone\r\n\x7f& two");
    add("https://example.org/u", "", "");
    ASSERT_TRUE(run("Netscape", "CatDesc", "bookmarks.html").done);
    const std::string file = read("bookmarks.html");
    EXPECT_NE(file.find("    <DT><A HREF=\"https://example.org/t\" ADD_DATE=\"1700000000\">"
                        "Tab here  and &lt;b&gt;</A>\n    <DD>Note one  &amp; two\n"),
              std::string::npos)
        << file;
    EXPECT_NE(file.find("    <DT><A HREF=\"https://example.org/u\" ADD_DATE=\"1700000000\">"
                        "https://example.org/u</A>\n    <DT>"),
              std::string::npos)
        << "no description: the address is the title, and no note follows";
}

TEST_F(RoundTripTest, NetscapeTagsFollowTheKeywordNumbersNotTheOrderTheRowsWereStoredIn)
{
    add("https://example.org/b", "Beta", "News");
    add("https://example.org/c", "Gamma", "News");
    // Stored last to first, one of them under the address in capitals:
    // the folded address is what a keyword row belongs to.
    addKeyword("https://example.org/b", "third", 3);
    addKeyword("https://example.org/c", "only", 1);
    addKeyword("HTTPS://EXAMPLE.ORG/B", "second", 2);
    addKeyword("https://example.org/b", "first", 1);
    addKeyword("https://example.org/b", "   ", 4);
    ASSERT_TRUE(run("Netscape", "CatDesc", "bookmarks.html").done);
    const std::string file = read("bookmarks.html");
    EXPECT_NE(file.find("HREF=\"https://example.org/b\" ADD_DATE=\"1700000000\" "
                        "TAGS=\"first,second,third\">Beta</A>\n"),
              std::string::npos)
        << file;
    EXPECT_NE(file.find("HREF=\"https://example.org/c\" ADD_DATE=\"1700000000\" "
                        "TAGS=\"only\">Gamma</A>\n"),
              std::string::npos);
}

} // namespace
} // namespace tessaly::test
