#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "links/html_tokenizer.h"
#include "links/page_analysis.h"

#include "local_server.h"
#include "raw_server.h"
#include "scripted_ui.h"
#include "stored_bookmark.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace tessaly {
namespace {

// A page of exactly `size` bytes: a head with a title and meta tags, then
// filler text.
std::string pageOf(std::size_t size, std::string_view head = "<title>Big</title>")
{
    std::string page{head};
    while (page.size() < size) {
        page += "word ";
    }
    page.resize(size);
    return page;
}

constexpr std::string_view kNewsPage =
    "<html><head><title>Daily &amp; News</title>"
    "<meta name=\"keywords\" content=\"old, stale\">"
    "<meta name=\"KEYWORDS\" content=\"news , sport,news\">"
    "<meta name=\"description\" content=\"The day's stories\">"
    "<meta name=\"author\" content=\"Desk\">"
    "</head><body><a href=\"mailto:desk@news.test\">Write</a> to us"
    "<p>All the stories of today, every day</p></body></html>";

class PageAnalysisTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        local.server.Get(
            R"(/size/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
                response.set_content(pageOf(std::stoul(request.matches[1])), "text/html");
            });
        local.server.Get("/news", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string{kNewsPage}, "text/html");
        });
        local.server.Get("/error", [](const httplib::Request&, httplib::Response& response) {
            response.status = 500;
            response.set_content(pageOf(2000, "<title>Internal Server Error</title>"), "text/html");
        });
        local.server.Get(R"(/n/(\d+))",
                         [](const httplib::Request& request, httplib::Response& response) {
                             const std::string n = request.matches[1];
                             response.set_content("<title>Page " + n +
                                                      "</title><meta name=\"keywords\" "
                                                      "content=\"k" +
                                                      n + ", all\"><body>Text of " + n,
                                                  "text/html");
                         });
    }

    void add(const std::string& location)
    {
        ASSERT_EQ(test::addBookmark(db, location, "C"), kLevelDone);
    }

    // AnalyzeURL on the stored bookmark, written back as the form would.
    std::int32_t analyze(const std::string& location)
    {
        Record bookmark = test::storedBookmark(db, location);
        PageRead read{location};
        const std::int32_t bytes = read.run();
        EXPECT_EQ(analyzeBookmark(bytes, read.elements(), bookmark, db, today), kLevelDone);
        EXPECT_EQ(storeAnalysis(db.bookmarks(), bookmark), kLevelDone);
        return bytes;
    }

    std::vector<std::string> rows(FileManager& files, const TableDef& table, int location,
                                  int value)
    {
        std::vector<std::string> out;
        files.use();
        files.file().set(0);
        Record r{table};
        while (files.file().next(r).ok()) {
            out.push_back(r.text(location) + " " + r.text(value));
        }
        files.close();
        return out;
    }
    std::vector<std::string> keywords()
    {
        return rows(db.keywords(), keywordTable(), static_cast<int>(KeywordField::Location),
                    static_cast<int>(KeywordField::Keyword));
    }
    std::vector<std::string> details()
    {
        return rows(db.details(), detailTable(), static_cast<int>(DetailField::DataLabel),
                    static_cast<int>(DetailField::DataValue));
    }

    test::LocalServer local;
    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    const std::int32_t today = dates::dayNumber(2026, 12, 7);
};

TEST_F(PageAnalysisTest, PagesAreReadWholeInBlocksAndTinyOnesFail)
{
    for (const std::size_t size : {0UL, 1UL, 40000UL, 5UL * 1024 * 1024}) {
        const std::string location = local.url("/size/" + std::to_string(size));
        add(location);
        EXPECT_EQ(analyze(location), size == 0 ? kPageNotEstablished : std::int32_t(size));
        const Record stored = test::storedBookmark(db, location);
        EXPECT_EQ(stored.number(BookmarkField::LastValidated), today) << size;
        EXPECT_EQ(stored.number(BookmarkField::LastVisit), today) << size;
        if (size <= 3) {
            EXPECT_EQ(stored.number(BookmarkField::Validated), kLinkFail) << size;
            EXPECT_EQ(stored.number(BookmarkField::PageSize), 0) << size;
        } else {
            EXPECT_EQ(stored.number(BookmarkField::Validated), kLinkPass) << size;
            EXPECT_EQ(stored.number(BookmarkField::PageSize), std::int64_t(size));
            EXPECT_EQ(stored.text(BookmarkField::Description), "Big");
        }
    }
}

TEST_F(PageAnalysisTest, EachBlockIsCutIntoElementsByItself)
{
    // A tag that straddles the first block boundary becomes two elements,
    // so that title is no title; the third block's title is read.
    std::string page = pageOf(PageRead::kBlockSize - 2, "<html>") + "<title>Cut</title>";
    page = pageOf(2 * PageRead::kBlockSize, page) + "<TITLE>Third</TITLE>";
    page.resize(40000, ' ');
    local.server.Get("/blocks", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(page, "text/html");
    });
    PageRead read{local.url("/blocks")};
    EXPECT_EQ(read.run(), 40000);
    const ElementList& elements = read.elements();
    const auto has = [&](std::string_view element) {
        return std::find(elements.begin(), elements.end(), element) != elements.end();
    };
    EXPECT_FALSE(has("<title>")) << "the cut tag's first half ends the first block";
    EXPECT_TRUE(has("Third")) << "the third block's elements are there too";
    EXPECT_EQ(read.log().back(), "Parsing");
    add(local.url("/blocks"));
    analyze(local.url("/blocks"));
    EXPECT_EQ(test::storedBookmark(db, local.url("/blocks")).text(BookmarkField::Description),
              "Third");
}

TEST_F(PageAnalysisTest, APageOfTagsAloneKeepsNothingOfThem)
{
    // Eight MB of "<br>" (no tag cut by a block's end) and a body text of
    // 3,000 words after them: the tags cost no memory, the text only what
    // the site information takes, and the meta tag at the end still counts.
    std::string page = "<html><head><title>Tags</title></head><body>";
    while (page.size() < 8 * 1000 * 1000) {
        page += "<br>";
    }
    for (int i = 0; i < 3000; ++i) {
        page += "<p>word" + std::to_string(i) + "</p>";
    }
    page += "<meta name=\"author\" content=\"Late\">";
    local.server.Get("/tags", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(page, "text/html");
    });
    PageRead read{local.url("/tags")};
    EXPECT_EQ(read.run(), std::int32_t(page.size()));
    EXPECT_LT(read.elements().size(), 700U);
    add(local.url("/tags"));
    analyze(local.url("/tags"));
    const Record stored = test::storedBookmark(db, local.url("/tags"));
    EXPECT_EQ(stored.text(BookmarkField::Description), "Tags");
    EXPECT_TRUE(stored.text(BookmarkField::SiteInfo).starts_with("word0 word1 word2"));
    EXPECT_GT(stored.text(BookmarkField::SiteInfo).size(), 2000U);
    EXPECT_EQ(details(), std::vector<std::string>{"AUTHOR Late"});
}

TEST_F(PageAnalysisTest, A404NearTheStartOrAnErrorStatusIsNoPage)
{
    local.server.Get("/script404", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<script>var code = 404;</script>" + pageOf(5000), "text/html");
    });
    local.server.Get("/late404", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(pageOf(600) + "error 404 in the text", "text/html");
    });
    PageRead script{local.url("/script404")};
    EXPECT_EQ(script.run(), kPageNotRead);
    EXPECT_TRUE(script.elements().empty());
    PageRead late{local.url("/late404")};
    EXPECT_EQ(late.run(), 621);

    // An error page is the server's, not the bookmark's: nothing of it is
    // taken, and the bookmark is marked failed.
    add(local.url("/error"));
    EXPECT_EQ(analyze(local.url("/error")), kPageNotRead);
    const Record stored = test::storedBookmark(db, local.url("/error"));
    EXPECT_EQ(stored.number(BookmarkField::Validated), kLinkFail);
    EXPECT_EQ(stored.text(BookmarkField::Description), "");

    PageRead refused{"http://127.0.0.1:1/"};
    EXPECT_EQ(refused.run(), kPageNotRead);
    EXPECT_FALSE(refused.failure().empty());
}

TEST_F(PageAnalysisTest, AnAnalysisFillsTheBookmarkAndASecondKeepsItsDetails)
{
    const std::string location = local.url("/news");
    add(location);
    analyze(location);
    Record stored = test::storedBookmark(db, location);
    EXPECT_EQ(stored.text(BookmarkField::Description), "Daily & News");
    EXPECT_EQ(stored.text(BookmarkField::EmailAddress), "desk@news.test");
    EXPECT_EQ(stored.text(BookmarkField::SiteInfo),
              "The day's stories\r\n Write to us All the stories of today, every day");
    EXPECT_EQ(stored.number(BookmarkField::PageSize), std::int64_t(kNewsPage.size()));
    // The last KEYWORDS tag wins; blanks before a comma are no part of a
    // keyword; a repeated one is stored once.
    EXPECT_EQ(keywords(), (std::vector<std::string>{location + " news", location + " sport"}));
    EXPECT_EQ(details(), (std::vector<std::string>{"AUTHOR Desk"}));

    // Edited by hand, then analysed again: the details stay as they were
    // and gain nothing, the keywords are the page's again, the site
    // information (no longer blank) is the description alone.
    db.keywords().use();
    Record extra{keywordTable()};
    extra.setText(KeywordField::Location, location);
    extra.setText(KeywordField::Keyword, "mine");
    db.keywords().insert(extra);
    db.keywords().close();
    analyze(location);
    stored = test::storedBookmark(db, location);
    EXPECT_EQ(keywords(), (std::vector<std::string>{location + " news", location + " sport"}));
    EXPECT_EQ(details(), (std::vector<std::string>{"AUTHOR Desk"}));
    EXPECT_EQ(stored.text(BookmarkField::SiteInfo), "The day's stories");
}

TEST_F(PageAnalysisTest, TextIsDecodedAcrossBlockBoundaries)
{
    // "é" in UTF-8 is two bytes; the first ends the first block.
    std::string page =
        pageOf(PageRead::kBlockSize - 8, "<html>") + "<title>\xC3\xA9t\xC3\xA9</title><b>x</b>";
    local.server.Get("/utf8", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(page, "text/html; charset=utf-8");
    });
    local.server.Get("/latin1", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<title>Caf\xE9</title><body>ok", "text/html");
    });
    PageRead utf8Read{local.url("/utf8")};
    EXPECT_EQ(utf8Read.run(), std::int32_t(page.size()));
    for (const std::string& element : utf8Read.elements()) {
        EXPECT_TRUE(utf8::isValid(element));
        EXPECT_EQ(element.find("\xC3\x83"), std::string::npos) << "no byte read as Latin-1";
    }
    const ElementList& elements = utf8Read.elements();
    EXPECT_NE(std::find_if(elements.begin(), elements.end(),
                           [](const std::string& e) { return e.starts_with("\xC3\xA9t\xC3\xA9"); }),
              elements.end());

    const std::string latin = local.url("/latin1");
    add(latin);
    analyze(latin);
    EXPECT_EQ(test::storedBookmark(db, latin).text(BookmarkField::Description), "Caf\xC3\xA9");
}

TEST(PageCharset, TheFirstMetaThatNamesOneCountsInAnyLetterCase)
{
    EXPECT_EQ(declaredCharset("<p>x</p><META name=x><MeTa HTTP-EQUIV=\"Content-Type\" "
                              "CONTENT=\"text/html; CHARSET=KOI8-R\"><meta charset=utf-8>"),
              "koi8-r");
    EXPECT_EQ(declaredCharset("<p><meta charset='ISO-8859-2'>"), "iso-8859-2");
    EXPECT_EQ(declaredCharset("<p>charset=utf-8</p><metal>"), "");
    EXPECT_EQ(declaredCharset("<meta charset=\"windows-1251"), "windows-1251")
        << "a tag the block cuts off still counts";
    // Not ASCII: read the same way.
    EXPECT_EQ(declaredCharset("<p>caf\xC3\xA9</p><META CHARSET=\"Big5\">"), "big5");
    EXPECT_EQ(declaredCharset("caf\xE9<p>"), "");
}

TEST_F(PageAnalysisTest, AStalledBodyEndsAtTheStallTimeAndCancelEndsAtOnce)
{
    test::RawServer stalling{[](test::RawServer::Connection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100000"
                        "\r\n\r\n<title>Half</title>" +
                        pageOf(20000));
        connection.pause(std::chrono::seconds(30));
    }};
    HttpLimits limits = pageReadLimits();
    limits.stallSeconds = 1;
    const auto started = std::chrono::steady_clock::now();
    PageRead stalled{stalling.url(), limits};
    EXPECT_EQ(stalled.run(), 20019) << "what arrived is the page";
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    // It fills the bookmark, which passes as the link test passes it: the
    // server answered, only its body stopped.
    EXPECT_TRUE(stalled.cutShort());
    Record half{bookmarkTable()};
    half.setText(BookmarkField::Location, stalling.url());
    EXPECT_EQ(analyzeBookmark(stalled, half, db, today), kLevelDone);
    EXPECT_EQ(half.text(BookmarkField::Description), "Half");
    EXPECT_EQ(half.number(BookmarkField::Validated), kLinkPass);

    // Nothing of the body at all: the link passes all the same.
    test::RawServer headOnly{[](test::RawServer::Connection& connection) {
        connection.send(
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100\r\n\r\n");
        connection.pause(std::chrono::seconds(30));
    }};
    PageRead head{headOnly.url(), limits};
    head.run();
    EXPECT_TRUE(head.headOnly()) << head.failure();
    Record bare{bookmarkTable()};
    bare.setText(BookmarkField::Location, headOnly.url());
    EXPECT_EQ(analyzeBookmark(head, bare, db, today), kLevelDone);
    EXPECT_EQ(bare.number(BookmarkField::Validated), kLinkPass);
    EXPECT_EQ(bare.number(BookmarkField::LastValidated), today);

    PageRead waiting{stalling.url()};
    std::thread reader{[&] {
        waiting.run();
    }};
    while (waiting.bytesSoFar() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto cancelled = std::chrono::steady_clock::now();
    waiting.cancel();
    reader.join();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(2));
    EXPECT_EQ(waiting.result(), kPageCancelled);

    // A cancelled read fails the bookmark.
    Record bookmark{bookmarkTable()};
    bookmark.setText(BookmarkField::Location, stalling.url());
    EXPECT_EQ(analyzeBookmark(waiting.result(), waiting.elements(), bookmark, db, today),
              kLevelDone);
    EXPECT_EQ(bookmark.number(BookmarkField::Validated), kLinkFail);
}

TEST_F(PageAnalysisTest, ManyAnalysesAtOnceStoreWhatOneAtATimeWould)
{
    // Each run from a database of its own with the same bookmarks; every
    // stored row of it, in order.
    const auto run = [&](int jobs) {
        test::TempFolder own;
        Database database{messages, own.path()};
        const auto put = [&](const std::string& location, const std::string& category) {
            EXPECT_EQ(test::addBookmark(database, location, category), kLevelDone);
        };
        for (int i = 0; i < 30; ++i) {
            put(local.url("/n/" + std::to_string(i)), "C" + std::to_string(i % 4));
        }
        put(local.url("/error"), "C1");
        put(local.url("/news"), "C2");
        put("https://127.0.0.1:1/secure", "C0");
        put("ftp://127.0.0.1:1/file", "C0");

        std::vector<std::string> out;
        LinkBatchOptions options{
            .jobs = jobs, .perHost = jobs, .lookAhead = kPageAnalysisLookAhead};
        LinkBatch batch{database, today, options, pageAnalysisJobs(database, today)};
        const LinkBatchSummary summary = batch.run(nullptr, [&](const LinkBatchItem& item) {
            out.push_back(item.location + " " + std::to_string(item.result));
        });
        // The secure address is analysed too; nothing answers it.
        EXPECT_EQ(summary.tested, 33);
        EXPECT_EQ(summary.passed, 31);
        EXPECT_EQ(summary.failed, 2);
        EXPECT_EQ(summary.skippedScheme, 1);
        const auto dump = [&](FileManager& files, const TableDef& table) {
            files.use();
            files.file().set(0);
            Record r{table};
            while (files.file().next(r).ok()) {
                for (int f = 0; f < table.fieldCount(); ++f) {
                    out.push_back(r.text(f) + "|" + std::to_string(r.number(f)));
                }
            }
            files.close();
        };
        dump(database.bookmarks(), bookmarkTable());
        dump(database.keywords(), keywordTable());
        dump(database.details(), detailTable());
        const Record secure = test::storedBookmark(database, "https://127.0.0.1:1/secure");
        EXPECT_EQ(secure.number(BookmarkField::Validated), kLinkFail)
            << "https addresses are analysed as http ones";
        EXPECT_EQ(
            test::storedBookmark(database, local.url("/n/7")).text(BookmarkField::Description),
            "Page 7");
        return out;
    };
    const std::vector<std::string> one = run(1);
    EXPECT_GT(one.size(), 34U * bookmarkTable().fieldCount());
    EXPECT_EQ(run(8), one);
}

TEST_F(PageAnalysisTest, WhatAWorkerFindsFillsTheBookmarkAsTheScanOfTheElementsDoes)
{
    // What the batch's workers take from a page, applied on the writer's
    // side, against the scan of the whole element list, for bookmarks that
    // start blank or already hold what the page would give them.
    std::string longBody = "<body>";
    for (int i = 0; i < 400; ++i) {
        longBody += "<p>Words of " + std::to_string(i) + "</p> x";
    }
    const std::vector<std::string> pages{
        std::string{kNewsPage},
        "<meta name=\"rev\" content=\"rev@site.test\"><a href=\"mailto:first@site.test\">m</a>"
        "<title></title><title>Second &eacute;</title><meta name=\"description\" content=\"One\">"
        "<meta name=\"DESCRIPTION\" content=\"  Two\">" +
            longBody,
        "<title><meta name=\"description\" content=\"eaten by the title\"></title><body>\xFF "
        "broken \xC3 bytes",
        "<body>   " + std::string(1200, 'w') + " after"};
    for (const std::string& page : pages) {
        for (int start = 0; start < 3; ++start) {
            const auto begin = [&](Record& bookmark) {
                bookmark.setText(BookmarkField::Location, "http://site.test/");
                if (start == 1) {
                    bookmark.setText(BookmarkField::SiteInfo, "Kept information");
                    bookmark.setText(BookmarkField::Description, "Kept title");
                } else if (start == 2) {
                    bookmark.setText(BookmarkField::SiteInfo, " ");
                    bookmark.setText(BookmarkField::EmailAddress, "kept@site.test");
                }
            };
            ElementList elements;
            tokenize(page, elements);
            test::TempFolder scannedFolder;
            Database scannedDb{messages, scannedFolder.path()};
            Record scanned{bookmarkTable()};
            begin(scanned);
            const bool blank = text::clip(scanned.text(BookmarkField::SiteInfo)).empty();
            EXPECT_EQ(scanPage(elements, ScanMode::Analysis, 500, today, scanned, scannedDb),
                      kLevelDone);
            if (blank) {
                appendBodyText(elements, scanned);
            }
            Record found{bookmarkTable()};
            begin(found);
            const PageAnalysis analysis = PageAnalysis::of(elements);
            EXPECT_EQ(analyzeBookmark(500, analysis, found, db, today), kLevelDone);
            for (int f = 0; f < bookmarkTable().fieldCount(); ++f) {
                EXPECT_EQ(found.text(f), scanned.text(f)) << "field " << f << " start " << start;
                EXPECT_EQ(found.number(f), scanned.number(f)) << "field " << f;
            }
        }
    }
}

TEST_F(PageAnalysisTest, CancelStoresNothingOfTheAnalysesThatFinishedAhead)
{
    for (int i = 0; i < 40; ++i) {
        add(local.url("/n/" + std::to_string(i)));
    }
    LinkBatchOptions options{.jobs = 8, .perHost = 8, .lookAhead = kPageAnalysisLookAhead};
    LinkBatch batch{db, today, options, pageAnalysisJobs(db, today)};
    int heard = 0;
    const LinkBatchSummary summary = batch.run(nullptr, [&](const LinkBatchItem&) {
        // Let the workers finish pages ahead of the writer first.
        std::this_thread::sleep_for(std::chrono::milliseconds(heard == 0 ? 300 : 0));
        if (++heard == 3) {
            batch.cancel();
        }
    });
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(heard, 3);
    int stored = 0;
    for (int i = 0; i < 40; ++i) {
        const Record bookmark = test::storedBookmark(db, local.url("/n/" + std::to_string(i)));
        stored += bookmark.number(BookmarkField::Validated) == kLinkPass ? 1 : 0;
    }
    EXPECT_EQ(stored, 3);
    EXPECT_EQ(keywords().size(), 6U) << "two keywords for each page stored";
}

TEST_F(PageAnalysisTest, TheMenuCommandAsksFirstAndShowsItsProgress)
{
    add(local.url("/news"));
    ui.answers = {ButtonNo};
    analyzeAllLinks(db, ui, today);
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.shown[0].title, "Analyze Links");
    EXPECT_EQ(ui.shown[0].defaultButton, ButtonNo);
    EXPECT_EQ(ui.shown[0].text,
              "This process will analyze all HTTP links in your database, import as much "
              "information as possible directly from the related web site, and mark those that "
              "are no longer valid.\n\nThis may take a long time, especially if you have a slow "
              "connection to the Internet.\n\nDo you wish to proceed?");
    EXPECT_EQ(test::storedBookmark(db, local.url("/news")).number(BookmarkField::LastValidated), 0);

    ui.answers = {ButtonYes, ButtonNo};
    const LinkBatchSummary summary = analyzeAllLinks(db, ui, today);
    EXPECT_EQ(summary.passed, 1);
    EXPECT_EQ(ui.shown[2].text, "Would you like to select which links are to be tested?");
    ASSERT_EQ(ui.progressTexts.size(), 3U);
    EXPECT_EQ(ui.progressTexts[0], "Processing Records");
    EXPECT_EQ(ui.progressTexts[1], "0% Completed\nAnalyzing Multiple Links...");
    EXPECT_EQ(ui.progressTexts.back(), "100% Completed\nAnalyzing Link 1 of 1");
    EXPECT_EQ(test::storedBookmark(db, local.url("/news")).text(BookmarkField::Description),
              "Daily & News");
}

} // namespace
} // namespace tessaly
