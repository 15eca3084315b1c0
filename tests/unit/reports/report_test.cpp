#include "core/database.h"
#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/utf8.h"
#include "reports/pdf_canvas.h"
#include "reports/report_run.h"
#include "reports/sorted_positions.h"

#include "damaged_file.h"
#include "pdf_text.h"
#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <sys/resource.h>

namespace tessaly::test {
namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in{text};
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Presses Cancel by the first time progress is polled.
class CancellingUi final : public UiPort {
public:
    ScriptedUi script;
    int pollsBeforeCancel = 0;

    Button showMessage(const MessageRequest& r) override { return script.showMessage(r); }
    std::optional<std::string> pickCategory(std::string_view n) override
    {
        return script.pickCategory(n);
    }
    bool runQuery(const QueryRequest& r, std::string& f) override { return script.runQuery(r, f); }
    void beginProgress(std::string_view c) override { script.beginProgress(c); }
    void reportProgress(int p, std::string_view s) override { script.reportProgress(p, s); }
    bool cancelRequested() override { return --pollsBeforeCancel < 0; }
    void endProgress() override { script.endProgress(); }
};

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override { FileVersionLayer::instance().registerDatabaseFiles(); }

    void add(std::string_view location, std::string_view description, std::string_view category,
             std::int64_t rating = 0)
    {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Description, description);
        r.setText(BookmarkField::Category, category);
        r.setNumber(BookmarkField::Rating, rating);
        r.setText(BookmarkField::Password, "s3cret");
        ASSERT_EQ(db.addBookmarkWithCategory(r), 0) << location;
    }

    ReportRun run(UiPort& port, const ReportDefinition& report,
                  std::optional<std::string> query = std::string{}, bool askPreview = false)
    {
        ReportRequest request;
        request.report = &report;
        request.query = std::move(query);
        request.askPreview = askPreview;
        request.iniName = folder.file("CPCSRPTS.INI");
        request.layout.date = "March 9, 2026";
        return runReport(db, port, request);
    }

    // The report as PDF, read back.
    std::string printed(ReportRun& result, const std::string& font = defaultReportFont())
    {
        EXPECT_TRUE(result.output);
        if (!result.output) {
            return {};
        }
        PdfCanvas pdf{out.file("report.pdf"), font};
        EXPECT_TRUE(pdf.open().ok());
        EXPECT_TRUE(result.pages->replay(pdf));
        EXPECT_TRUE(pdf.commit("report").ok());
        return pdfText(out.file("report.pdf"), out.file("report.txt"));
    }

    const ReportDefinition& fixed(std::string_view title) { return *findFixedReport(title); }

    TempFolder folder;
    TempFolder out;
    ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
};

TEST(ReportCells, WrapAtBlanksOrWidthElideWhenOutOfLines)
{
    EXPECT_EQ(cellLines("short", 10, Overflow::Wrap, 8), (std::vector<std::string>{"short"}));
    EXPECT_EQ(cellLines("two words", 9, Overflow::Wrap, 8),
              (std::vector<std::string>{"two words"}));
    EXPECT_EQ(cellLines("one two three four", 9, Overflow::Wrap, 8),
              (std::vector<std::string>{"one two", "three", "four"}));
    EXPECT_EQ(cellLines("abcdefghijkl", 5, Overflow::Wrap, 8),
              (std::vector<std::string>{"abcde", "fghij", "kl"}));
    EXPECT_EQ(cellLines("abcdefghijklmnop", 5, Overflow::Wrap, 2),
              (std::vector<std::string>{"abcde", "fghi\u2026"}));
    EXPECT_EQ(cellLines("abcdefghijkl", 6, Overflow::Elide, 8),
              (std::vector<std::string>{"abcde\u2026"}));
    EXPECT_EQ(cellLines("line\nbreak\ttab", 20, Overflow::Elide, 8),
              (std::vector<std::string>{"line break tab"}));
    // Characters, not bytes, fill a column.
    EXPECT_EQ(cellLines("ééééé", 5, Overflow::Elide, 1), (std::vector<std::string>{"ééééé"}));
    EXPECT_EQ(cellLines("", 5, Overflow::Wrap, 8), (std::vector<std::string>{""}));
}

TEST(ReportCells, WideCharactersTakeTwoPlaces)
{
    const std::string kanji = "\u6f22\u5b57"; // two characters, four places
    EXPECT_EQ(cellLines(kanji + kanji + "\u6f22", 5, Overflow::Wrap, 8),
              (std::vector<std::string>{kanji, kanji, "\u6f22"}));
    EXPECT_EQ(cellLines(kanji + " " + kanji + kanji, 6, Overflow::Wrap, 8),
              (std::vector<std::string>{kanji, kanji + "\u6f22", "\u5b57"}));
    EXPECT_EQ(cellLines(kanji + kanji, 5, Overflow::Elide, 1),
              (std::vector<std::string>{kanji + "\u2026"}));
    EXPECT_EQ(cellLines(kanji + kanji, 4, Overflow::Elide, 1),
              (std::vector<std::string>{"\u6f22\u2026"}));
    EXPECT_EQ(cellLines(kanji, 2, Overflow::Elide, 1), (std::vector<std::string>{"\u2026"}));
    EXPECT_EQ(cellLines(kanji, 4, Overflow::Elide, 1), (std::vector<std::string>{kanji}));
    // A number or date column narrower than one wide character still moves on.
    EXPECT_EQ(cellLines(kanji, 1, Overflow::Whole, 8),
              (std::vector<std::string>{"\u6f22", "\u5b57"}));
    // Accents written as combining marks take no place of their own.
    EXPECT_EQ(cellLines("Cafe\u0301 cre\u0300me", 10, Overflow::Elide, 1),
              (std::vector<std::string>{"Cafe\u0301 cre\u0300me"}));
}

TEST(ReportCells, AWordThatFitsALineIsNeverCut)
{
    EXPECT_EQ(cellLines("Last Validated", 11, Overflow::Wrap, 8),
              (std::vector<std::string>{"Last", "Validated"}));
    EXPECT_EQ(cellLines("abc defghij", 10, Overflow::Wrap, 8),
              (std::vector<std::string>{"abc", "defghij"}));
    // A word wider than any line fills the line it starts on.
    EXPECT_EQ(cellLines("abc defghijklmnop", 10, Overflow::Wrap, 8),
              (std::vector<std::string>{"abc defghi", "jklmnop"}));
}

TEST(ReportCells, LinesBreakBetweenWholeCharactersAtTheirScriptsWordBreaks)
{
    // Vowel signs stay with their consonants, words stay whole.
    EXPECT_EQ(cellLines("Comment: \u0928\u092e\u0938\u094d\u0924\u0947 "
                        "\u0926\u0941\u0928\u093f\u092f\u093e "
                        "\u0939\u093f\u0928\u094d\u0926\u0940",
                        6, Overflow::Wrap, 8),
              (std::vector<std::string>{"Commen", "t:", "\u0928\u092e\u0938\u094d\u0924\u0947",
                                        "\u0926\u0941\u0928\u093f\u092f\u093e",
                                        "\u0939\u093f\u0928\u094d\u0926\u0940"}));
    // Thai writes no blanks between its words ("hello" "people" "world").
    EXPECT_EQ(cellLines("\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35\u0e0a\u0e32\u0e27\u0e42\u0e25\u0e01",
                        8, Overflow::Wrap, 8),
              (std::vector<std::string>{"\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35\u0e0a\u0e32\u0e27",
                                        "\u0e42\u0e25\u0e01"}));
    // No line starts with the prolonged sound mark.
    EXPECT_EQ(cellLines("\u30d6\u30c3\u30af\u30de\u30fc\u30af", 8, Overflow::Wrap, 8),
              (std::vector<std::string>{"\u30d6\u30c3\u30af", "\u30de\u30fc\u30af"}));
    // An emoji keeps its skin tone, a flag both its letters.
    const std::string thumb = "\U0001F44D\U0001F3FD";
    EXPECT_EQ(cellLines(thumb + thumb, 3, Overflow::Wrap, 8),
              (std::vector<std::string>{thumb, thumb}));
    EXPECT_EQ(cellLines("\U0001F1EF\U0001F1F5\U0001F1EB\U0001F1F7", 3, Overflow::Whole, 8),
              (std::vector<std::string>{"\U0001F1EF\U0001F1F5", "\U0001F1EB\U0001F1F7"}));
    // Nor does a cut text lose half a character to its ellipsis.
    EXPECT_EQ(cellLines("\u0926\u0941\u0928\u093f\u092f\u093e!", 5, Overflow::Elide, 1),
              (std::vector<std::string>{"\u0926\u0941\u0928\u093f\u2026"}));
}

TEST(ReportCells, EveryLineReadsInTheDirectionOfItsText)
{
    EXPECT_EQ(cellLines("Mixed: Hello \u0645\u0631\u062d\u0628\u0627 \u0628\u0643\u0645 123 "
                        "world \u05e9\u05dc\u05d5\u05dd 456 end",
                        34, Overflow::Wrap, 8),
              (std::vector<std::string>{
                  "Mixed: Hello \u0645\u0631\u062d\u0628\u0627 \u0628\u0643\u0645 123 world",
                  "\u200e\u05e9\u05dc\u05d5\u05dd 456 end"}));
    EXPECT_EQ(cellLines("\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd hello 12", 10,
                        Overflow::Wrap, 8),
              (std::vector<std::string>{"\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd",
                                        "\u200fhello 12"}));
}

TEST(ReportDefinitions, FixedTitlesDesignedColumnsAndOrders)
{
    ASSERT_EQ(fixedReports().size(), 6U);
    EXPECT_EQ(findFixedReport("urls by KEYWORD")->key, static_cast<int>(BookmarkKey::Keyword));
    EXPECT_EQ(findFixedReport("Categories")->table, &categoryTable());
    EXPECT_EQ(findFixedReport("URLs by Nothing"), nullptr);
    EXPECT_EQ(designColumns().size(), 20U);
    EXPECT_EQ(designOrders()[4].sortExpression,
              "-URL:Rating,UPPER(URL:Description),UPPER(URL:Location)");

    std::string problem;
    const auto designed = designedReport({"location", "Password"}, "rating", problem);
    ASSERT_TRUE(designed) << problem;
    EXPECT_TRUE(printsPasswords(*designed));
    EXPECT_FALSE(designed->landscape);
    EXPECT_FALSE(designedReport({"Location", "Colour"}, "Rating", problem));
    EXPECT_EQ(problem, "unknown column Colour");
    EXPECT_FALSE(designedReport({}, "Rating", problem));
    EXPECT_FALSE(designedReport({"Location"}, "Size", problem));
    std::vector<std::string> all;
    for (const ReportColumn& c : designColumns()) {
        all.emplace_back(c.header);
    }
    EXPECT_TRUE(designedReport(all, "Keyword", problem)->landscape);
}

TEST(ReportStringsFile, KeysReadDefaultsKeptBarsBreakLines)
{
    const TempFolder folder;
    const ReportStrings defaults = loadReportStrings(folder.file("none.ini"), "Bookmarks");
    EXPECT_EQ(defaults.askPreviewText, "Do you wish to PREVIEW this Report?");
    EXPECT_EQ(defaults.cancelPartialText,
              "Report Cancellation Requested!\n\nPreview Report generated so far?");
    EXPECT_EQ(defaults.progressUserText, "Bookmarks");
    EXPECT_EQ(defaults.nothingToPrintTitle, "NOTE...");
    EXPECT_EQ(defaults.asciiOutMasks, "Text\n*.TXT\nAll Files\n*.*");
    EXPECT_EQ(defaults.labelErrorText2, "\n\nDoes not support paper type:");

    const std::string ini = folder.write(
        "CPCSRPTS.INI", "[Other]\nAskPrvwDialogText=wrong section\n"
                        "[display strings 2.0]\naskprvwdialogtext=Look first?|Really?\n"
                        "ProgWinPctText= percent\nProgWinUsrText=Reading\n");
    const ReportStrings s = loadReportStrings(ini, "Bookmarks");
    EXPECT_EQ(s.askPreviewText, "Look first?\nReally?");
    EXPECT_EQ(s.progressPercentText, "percent");
    EXPECT_EQ(s.progressUserText, "Reading");
    EXPECT_EQ(s.askPreviewTitle, "Preview");
}

TEST(SortedRuns, MergeInOrderKeepingArrivalForTies)
{
    const SortOrder order =
        SortOrder::compile("-URL:Rating,UPPER(URL:Description)", SchemaResolver{bookmarkSchema()});
    ASSERT_TRUE(order.ok());
    SortedPositions positions{order, 2}; // runs of two, so several merge
    const std::vector<std::pair<int, std::string>> rows = {{1, "b"}, {5, "z"}, {3, "a"}, {5, "A"},
                                                           {1, "B"}, {0, "q"}, {3, "c"}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Record r{bookmarkTable()};
        r.setNumber(BookmarkField::Rating, rows[i].first);
        r.setText(BookmarkField::Description, rows[i].second);
        positions.add(r, static_cast<std::int64_t>(i));
    }
    positions.finish();
    std::vector<std::int64_t> got;
    for (std::int64_t p = 0; positions.next(p);) {
        got.push_back(p);
    }
    EXPECT_EQ(got, (std::vector<std::int64_t>{3, 1, 2, 6, 0, 4, 5}));
    EXPECT_EQ(positions.error(), "");
}

TEST(SortedRuns, ARunThatCannotBeKeptIsAnErrorNotAShortList)
{
    const SortOrder order = SortOrder::compile("URL:Rating", SchemaResolver{bookmarkSchema()});
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    const auto open =
        static_cast<rlim_t>(std::distance(std::filesystem::directory_iterator{"/proc/self/fd"},
                                          std::filesystem::directory_iterator{}));
    rlimit few = before;
    few.rlim_cur = open + 3; // room for a few runs, not twenty
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
    SortedPositions positions{order, 1};
    for (int i = 0; i < 20; ++i) {
        Record r{bookmarkTable()};
        r.setNumber(BookmarkField::Rating, 20 - i);
        positions.add(r, i);
    }
    positions.finish();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &before), 0);
    EXPECT_TRUE(positions.error().starts_with("the sort could not be kept: ")) << positions.error();
    std::int64_t p = 0;
    EXPECT_FALSE(positions.next(p));
}

TEST_F(ReportTest, FixedReportPrintsTitleHeadersRowsInKeyOrderTotalAndPageNumber)
{
    add("https://c.example/", "Cooking", "Home", 2);
    add("https://a.example/", "Zebras", "Animals", 5);
    add("https://b.example/", "Apples", "Home", 4);
    ReportRun result = run(ui, fixed("URLs by Category"));
    EXPECT_EQ(result.printed, 3);
    const std::string text = printed(result);
    for (const std::string_view expected :
         {"URLs by Category", "March 9, 2026", "Location", "Description", "Category", "Rating",
          "Keyword", "Records Printed: 3", "Page 1 of 1"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    // Category, then description within it.
    const std::size_t zebras = text.find("Zebras");
    const std::size_t apples = text.find("Apples");
    const std::size_t cooking = text.find("Cooking");
    EXPECT_LT(zebras, apples);
    EXPECT_LT(apples, cooking);
    EXPECT_EQ(text.find("Report Cancelled"), std::string::npos);
    EXPECT_TRUE(ui.shown.empty()) << ui.last().text;
}

TEST_F(ReportTest, ManyRowsRunOnPagesEachWithHeadersAndItsNumber)
{
    for (int i = 0; i < 150; ++i) {
        add("https://site" + std::to_string(1000 + i) + ".example/", "Site", "Many");
    }
    ReportRun result = run(ui, fixed("URLs by Location"));
    ASSERT_GT(result.pages->pages(), 1);
    const std::string text = printed(result);
    const int pages = result.pages->pages();
    for (int page = 1; page <= pages; ++page) {
        const std::string footer = "Page " + std::to_string(page) + " of " + std::to_string(pages);
        EXPECT_NE(text.find(footer), std::string::npos) << footer;
    }
    std::size_t headers = 0;
    for (std::size_t at = 0; (at = text.find("URLs by Location", at)) != std::string::npos; ++at) {
        ++headers;
    }
    EXPECT_EQ(headers, static_cast<std::size_t>(pages));
    EXPECT_LT(text.find("site1000"), text.find("site1149"));
    EXPECT_NE(text.find("Records Printed: 150"), std::string::npos);
}

TEST_F(ReportTest, LongLocationStaysInsideItsColumn)
{
    const std::string location = "https://long.example/" + std::string(234, 'L');
    ASSERT_EQ(location.size(), 255U);
    add(location, "Described", "Wide");
    ReportRun result = run(ui, fixed("URLs by Location"));
    const std::vector<std::string> lines = linesOf(printed(result));
    std::size_t descriptionColumn = std::string::npos;
    std::size_t letters = 0;
    for (const std::string& line : lines) {
        if (line.starts_with("Location")) {
            descriptionColumn = line.find("Description");
        }
        if (line.find("LLL") == std::string::npos) {
            continue;
        }
        const std::size_t last = line.find_last_of('L');
        ASSERT_NE(descriptionColumn, std::string::npos);
        EXPECT_LT(last, descriptionColumn) << line;
        letters += static_cast<std::size_t>(std::count(line.begin(), line.end(), 'L'));
        if (line.find("Described") != std::string::npos) {
            EXPECT_EQ(line.find("Described"), descriptionColumn) << line;
        }
    }
    // Wrapped onto its lines, every letter printed.
    EXPECT_EQ(letters, 234U);
}

TEST_F(ReportTest, EmptyFileAndFilterMatchingNothingHaveNothingToPrint)
{
    ReportRun empty = run(ui, fixed("URLs by Rating"));
    EXPECT_FALSE(empty.output);
    EXPECT_EQ(empty.printed, 0);
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.last().title, "NOTE...");
    EXPECT_EQ(ui.last().text, "Nothing to Print.");

    add("https://a.example/", "A", "Home", 1);
    ui.shown.clear();
    ui.answers = {ButtonYes}; // preview
    ReportRun none = run(ui, fixed("URLs by Rating"), "URL:Rating > 3", true);
    EXPECT_TRUE(none.preview);
    EXPECT_FALSE(none.output);
    ASSERT_EQ(ui.shown.size(), 2U);
    EXPECT_EQ(ui.shown[0].text, "Do you wish to PREVIEW this Report?");
    EXPECT_EQ(ui.shown[0].buttons, ButtonYes | ButtonNo | ButtonCancel);
    EXPECT_EQ(ui.last().text, "Nothing to Preview.");
}

TEST_F(ReportTest, QueryQuestionUnderTagUrlThenCancelAtPreviewEndsWithoutReading)
{
    add("https://a.example/", "A", "Home", 1);
    ui.answers = {ButtonYes, ButtonCancel};
    ui.queryAnswers = {"URL:Rating = 1"};
    ReportRun result = run(ui, fixed("URLs by Location"), std::nullopt, true);
    EXPECT_TRUE(result.ended);
    EXPECT_FALSE(result.output);
    ASSERT_EQ(ui.shown.size(), 2U);
    EXPECT_EQ(ui.shown[0].title, "Query Wizard");
    EXPECT_EQ(ui.shown[0].text, "Would you like to apply a query to this report?");
    EXPECT_TRUE(ui.progressTexts.empty());

    std::string problem;
    const auto designed = designedReport({"Location"}, "Site Location", problem);
    ui.shown.clear();
    ui.answers = {ButtonNo, ButtonCancel};
    run(ui, *designed, std::nullopt, true);
    EXPECT_EQ(ui.shown[0].text, "Would you like to apply a query to this report (answer No to "
                                "print all records)?");
}

TEST_F(ReportTest, CancelAskedThenPartialPreviewShowsWhatWasRead)
{
    for (int i = 0; i < 60; ++i) {
        add("https://site" + std::to_string(100 + i) + ".example/", "Site", "Many");
    }
    CancellingUi cancelling;
    cancelling.script.answers = {ButtonYes, ButtonYes, ButtonYes}; // preview, sure, partial
    ReportRun result = run(cancelling, fixed("URLs by Location"), std::string{}, true);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.printed, 25) << "stopped at the first pass's end";
    const auto& shown = cancelling.script.shown;
    ASSERT_EQ(shown.size(), 3U);
    EXPECT_EQ(shown[1].text, "Are you sure you want to CANCEL this Report?");
    EXPECT_EQ(shown[2].text, "Report Cancellation Requested!\n\nPreview Report generated so far?");
    const std::string text = printed(result);
    EXPECT_NE(text.find("** Report Cancelled **"), std::string::npos);
    EXPECT_NE(text.find("Records Printed: 25"), std::string::npos);

    CancellingUi declining;
    declining.script.answers = {ButtonYes, ButtonYes, ButtonNo}; // no partial preview
    EXPECT_FALSE(run(declining, fixed("URLs by Location"), std::string{}, true).output);
    CancellingUi goingOn;
    goingOn.script.answers = {ButtonYes, ButtonNo}; // not sure: the report goes on
    ReportRun whole = run(goingOn, fixed("URLs by Location"), std::string{}, true);
    EXPECT_FALSE(whole.cancelled);
    EXPECT_EQ(whole.printed, 60);
}

TEST_F(ReportTest, ProgressCountsToAHundredInPercentText)
{
    for (int i = 0; i < 30; ++i) {
        add("https://p" + std::to_string(i) + ".example/", "P", "Many");
    }
    folder.write("CPCSRPTS.INI", "[DISPLAY STRINGS 2.0]\nProgWinPctText=% done\n");
    run(ui, fixed("URLs by Description"));
    ASSERT_FALSE(ui.progressTexts.empty());
    EXPECT_EQ(ui.progressTexts.back(), "100% done");
    EXPECT_EQ(std::adjacent_find(ui.progressTexts.begin(), ui.progressTexts.end()),
              ui.progressTexts.end())
        << "redrawn only when the percentage changes";
}

TEST_F(ReportTest, BadFilterIsAViewOpenErrorAndTheReportGoesOn)
{
    add("https://a.example/", "A", "Home", 1);
    ReportRun result = run(ui, fixed("URLs by Location"), "URL:Nothing = 1");
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_EQ(ui.shown[0].title, "View Open Error");
    EXPECT_TRUE(ui.shown[0].text.starts_with("Error: (Invalid filter"));
    EXPECT_TRUE(ui.shown[0].text.ends_with(
        ") attempting to open the current VIEW. Filter and Range Limits ignored."));
    EXPECT_EQ(result.printed, 1);
}

TEST_F(ReportTest, CategoriesAndDesignedOrderByItsSortExpression)
{
    add("https://a.example/", "beta", "home", 3);
    add("https://b.example/", "Alpha", "Home", 3);
    add("https://c.example/", "gamma", "Work", 5);
    ReportRun categories = run(ui, fixed("Categories"));
    const std::string listed = printed(categories);
    EXPECT_NE(listed.find("Records Printed: 2"), std::string::npos) << listed;

    std::string problem;
    const auto designed = designedReport({"Description", "Rating", "Password"}, "Rating", problem);
    ReportRun result = run(ui, *designed);
    const std::string text = printed(result);
    EXPECT_LT(text.find("gamma"), text.find("Alpha"));
    EXPECT_LT(text.find("Alpha"), text.find("beta")) << "UPPER() ignores letter case";
    EXPECT_NE(text.find("s3cret"), std::string::npos);
    EXPECT_NE(text.find("Internet Locations (URLs)"), std::string::npos);
}

TEST_F(ReportTest, ADamagedFileIsARecordRetrievalErrorAndEndsTheReading)
{
    for (int i = 0; i < 200; ++i) {
        add("https://d" + std::to_string(i) + ".example/", "D", "Home");
    }
    db.closeAll();
    damageRootPage(folder.file("URLDATA.tps"), "Locations");
    const ReportRun result = run(ui, fixed("URLs by Location"));
    EXPECT_FALSE(result.message.empty());
    ASSERT_FALSE(ui.shown.empty());
    const MessageRequest& error = ui.shown.front();
    EXPECT_EQ(error.title, "Record Retrieval Error");
    EXPECT_TRUE(error.text.starts_with("Error: (")) << error.text;
    EXPECT_TRUE(error.text.ends_with(") attempting to access a record from the TESSLY file.  "
                                     "Returning to previous window."))
        << error.text;
    EXPECT_EQ(error.buttons, ButtonOk);
}

TEST_F(ReportTest, EveryScriptPrintsAsStoredAndInItsReadingOrder)
{
    // Each text as a reader types it: in logical order, an accent as a
    // combining character.
    const std::vector<std::string> texts = {"Caf\u00e9 cre\u0300me",
                                            "\u03a9\u03bc\u03ad\u03b3\u03b1",
                                            "\u041f\u0440\u0438\u0432\u0435\u0442",
                                            "\u0645\u0631\u062d\u0628\u0627",
                                            "\u05e9\u05dc\u05d5\u05dd",
                                            "\u0928\u092e\u0938\u094d\u0924\u0947",
                                            "\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35",
                                            "\u6f22\u5b57",
                                            "\u3072\u3089\u304c\u306a",
                                            "\ud55c\uae00"};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        add("https://u" + std::to_string(i) + ".example/", texts[i], "Home");
    }
    ReportRun result = run(ui, fixed("URLs by Location"));
    const std::string text = printed(result);
    EXPECT_EQ(text.find('?'), std::string::npos) << text;
    for (const std::string& expected : texts) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
}

TEST_F(ReportTest, AWrappedLineReadsInItsFieldsDirection)
{
    add("https://mixed.example/",
        "Mixed: Hello \u0645\u0631\u062d\u0628\u0627 \u0628\u0643\u0645 123 world "
        "\u05e9\u05dc\u05d5\u05dd 456 end",
        "Home");
    ReportRun result = run(ui, fixed("URLs by Location"));
    const std::string text = printed(result);
    const std::size_t end = text.find("end\n");
    ASSERT_NE(end, std::string::npos) << text;
    const std::size_t number = text.rfind("456", end);
    ASSERT_NE(number, std::string::npos) << text;
    EXPECT_EQ(text.find('\n', number), end + 3) << text;
}

TEST_F(ReportTest, WideCharactersKeepTheirShapeAndStayInTheirColumn)
{
    // Seven Japanese characters, and forty Chinese ones that wrap.
    const std::string japanese = "\u3053\u3093\u306b\u3061\u306f\u4e16\u754c";
    std::string chinese;
    for (int i = 0; i < 10; ++i) {
        chinese += "\u4f60\u597d\u4e16\u754c";
    }
    add("https://ja.example/", japanese, "Home");
    add("https://zh.example/", chinese, "Home");
    ReportRun result = run(ui, fixed("URLs by Location"));
    const std::string text = printed(result);
    const std::vector<PdfWord> words = pdfWords(out.file("report.pdf"), out.file("words.html"));
    const auto home =
        std::find_if(words.begin(), words.end(), [](const PdfWord& w) { return w.text == "Home"; });
    ASSERT_NE(home, words.end()) << text;
    int wide = 0;
    for (const PdfWord& word : words) {
        if (word.text.starts_with("\u3053") || word.text.starts_with("\u4f60")) {
            ++wide;
            // Two places of 0.6 em each: a glyph of 7.5 points keeps its
            // whole width rather than being pressed into one place.
            const double perCharacter = (word.right - word.left) / utf8::length(word.text);
            EXPECT_GT(perCharacter, 7.0) << word.text;
            EXPECT_LE(word.right, home->left) << word.text;
        }
    }
    EXPECT_GE(wide, 3) << text;
}

TEST_F(ReportTest, NumbersAndDatesAreNeverCutAndCutTextEndsInAnEllipsis)
{
    Record r{bookmarkTable()};
    r.setText(BookmarkField::Location, "https://n.example/");
    r.setText(BookmarkField::Description, "A description far too long for its narrow column");
    r.setNumber(BookmarkField::PageSize, 1234567);
    r.setNumber(BookmarkField::LastVisit, dates::dayNumber(2026, 12, 7));
    r.setText(BookmarkField::Keyword, "keywordsthatneverend");
    ASSERT_EQ(db.addBookmarkWithCategory(r), 0);
    std::vector<std::string> all;
    for (const ReportColumn& column : designColumns()) {
        all.emplace_back(column.header);
    }
    std::string problem;
    const auto designed = designedReport(all, "Site Location", problem);
    ASSERT_TRUE(designed) << problem;
    ReportRun result = run(ui, *designed);
    const std::string text = printed(result);
    EXPECT_NE(text.find("1,234,567"), std::string::npos) << text;
    EXPECT_NE(text.find("12/07/2026"), std::string::npos) << text;
    EXPECT_NE(text.find("ke\u2026"), std::string::npos) << text;
    EXPECT_EQ(text.find("..."), std::string::npos) << text;
}

TEST_F(ReportTest, GivenPositionsPrintInTheirOrderWithoutReadingTheFile)
{
    add("https://a.example/", "First", "Home");
    add("https://b.example/", "Second", "Home");
    add("https://c.example/", "Third", "Home");
    std::vector<std::int64_t> positions;
    FileManager& bookmarks = db.bookmarks();
    bookmarks.use();
    bookmarks.file().set(0);
    for (Record row{bookmarkTable()}; bookmarks.file().next(row).ok();) {
        positions.insert(positions.begin(), row.position); // the other way round
    }
    bookmarks.close();
    positions.erase(positions.begin() + 1); // "Second" is not shown
    ReportRequest request;
    const ReportDefinition& report = fixed("URLs by Location");
    request.report = &report;
    request.query = std::string{};
    request.askPreview = false;
    request.iniName = folder.file("CPCSRPTS.INI");
    request.positions = positions;
    ReportRun result = runReport(db, ui, request);
    EXPECT_EQ(result.printed, 2);
    const std::string text = printed(result);
    EXPECT_LT(text.find("Third"), text.find("First")) << text;
    EXPECT_EQ(text.find("Second"), std::string::npos);
}

TEST_F(ReportTest, PdfToAFolderThatIsNotThereFailsAndLeavesNothing)
{
    PdfCanvas pdf{out.file("missing/report.pdf")};
    EXPECT_FALSE(pdf.open().ok());
    EXPECT_FALSE(pdf.commit("x").ok());
    EXPECT_FALSE(std::filesystem::exists(out.file("missing")));
}

} // namespace
} // namespace tessaly::test
