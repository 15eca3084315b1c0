#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/picture.h"
#include "links/link_test.h"

#include "ftp_responder.h"
#include "held_database.h"
#include "local_server.h"
#include "raw_server.h"
#include "scripted_ui.h"
#include "stored_bookmark.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>
#include <unistd.h>

namespace tessaly {
namespace {

constexpr std::string_view kPage = "<html><title>Daily News</title>"
                                   "<a href=\"mailto:desk@news.test\">mail</a>"
                                   "<body>Today's stories</body></html>";

std::string statusLine(unsigned code)
{
    return std::to_string(code) + ": " + std::string{findHttpStatus(code)->message.substr(0, 90)};
}

class LinkTestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        local.server.Get("/page", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("Last-Modified", "Tue, 15 Nov 1994 08:12:31 GMT");
            response.set_header("Expires", "Thu, 01 Dec 1994 16:00:00 GMT");
            response.set_content(std::string{kPage}, "text/html");
        });
        local.server.Get("/moved", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/gone/404.html", 301);
        });
        local.server.Get("/gone/404.html",
                         [](const httplib::Request&, httplib::Response& response) {
                             response.set_content("<title>Sorry</title>", "text/html");
                         });
        local.server.Get(R"(/status/(\d+))",
                         [](const httplib::Request& request, httplib::Response& response) {
                             response.status = std::stoi(request.matches[1]);
                             response.set_header("Expires", "0");
                             response.set_content("<title>Status page</title>", "text/html");
                         });
    }

    int test(std::string_view path, HttpLimits limits = {})
    {
        bookmark.setText(BookmarkField::Location, local.url(path));
        LinkTest linkTest{local.url(path), bookmark, db, today, limits};
        const int result = linkTest.run();
        log = linkTest.log();
        return result;
    }

    bool logged(std::string_view line) const
    {
        return std::find(log.begin(), log.end(), line) != log.end();
    }

    std::vector<std::pair<std::string, std::string>> details()
    {
        std::vector<std::pair<std::string, std::string>> out;
        db.details().use();
        db.details().file().set(0);
        Record r{detailTable()};
        while (db.details().file().next(r).ok()) {
            out.emplace_back(r.text(DetailField::DataLabel), r.text(DetailField::DataValue));
        }
        db.details().close();
        return out;
    }

    test::LocalServer local;
    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    Record bookmark{bookmarkTable()};
    std::vector<std::string> log;
    const std::int32_t today = dates::dayNumber(2026, 12, 7);
    const std::string validated = "Validated " + format(static_cast<double>(today), "@d17");
};

TEST_F(LinkTestTest, AnAnsweringPageFillsTheBookmarkAndLeavesADatedStatus)
{
    EXPECT_EQ(test("/page"), kLinkPass);
    EXPECT_EQ(bookmark.text(BookmarkField::Description), "Daily News");
    EXPECT_EQ(bookmark.text(BookmarkField::EmailAddress), "desk@news.test");
    EXPECT_EQ(bookmark.text(BookmarkField::SiteInfo), "Today's stories");
    EXPECT_EQ(bookmark.text(BookmarkField::Custom1),
              "Last modified: Tue, 15 Nov 1994 08:12:31 GMT");
    EXPECT_EQ(bookmark.text(BookmarkField::Custom2), "text/html");
    EXPECT_EQ(bookmark.number(BookmarkField::Expires), dates::dayNumber(1994, 12, 1));
    EXPECT_EQ(bookmark.number(BookmarkField::PageSize), static_cast<std::int64_t>(kPage.size()));
    EXPECT_EQ(bookmark.text(BookmarkField::MovedTo), "") << "no redirection, nothing moved";
    EXPECT_EQ(details(), (std::vector<std::pair<std::string, std::string>>{
                             {validated, std::string{findHttpStatus(200)->message}}}));
    EXPECT_TRUE(logged("Waiting for response"));
    EXPECT_TRUE(logged(statusLine(200)));
    // The page is logged in lines of a hundred characters.
    EXPECT_TRUE(logged(kPage.substr(0, 100)));
    EXPECT_TRUE(logged(kPage.substr(100)));
}

// Another program writes to the database for longer than we wait: the
// user is told once each time, and neither the status line nor the result
// is taken for written.
TEST_F(LinkTestTest, AFileAnotherProgramHoldsIsSaidAndNothingIsTakenForStored)
{
    ASSERT_EQ(test::addBookmark(db, local.url("/page")), kLevelDone);
    ASSERT_TRUE(details().empty());
    Record stored = test::storedBookmark(db, local.url("/page"));
    test::HeldDatabase other{folder.file("URLDATA.tps")};
    ASSERT_TRUE(other.held());
    const auto saidLocked = [this](std::size_t shown) {
        ASSERT_EQ(ui.shown.size(), shown);
        EXPECT_EQ(ui.shown.back().title, "File Access Error");
        EXPECT_TRUE(ui.shown.back().text.ends_with(
            "\nAnother program is writing to the file. Try again when it has finished."))
            << ui.shown.back().text;
    };

    LinkTest linkTest{local.url("/page"), stored, db, today};
    const int result = linkTest.run();
    EXPECT_EQ(result, kLinkPass) << "the server's answer stands";
    EXPECT_EQ(linkTest.writeLevel(), kLevelNotify);
    saidLocked(1);
    EXPECT_EQ(storeLinkResult(db.bookmarks(), stored, result, today), kLevelNotify);
    saidLocked(2);

    other.release();
    EXPECT_TRUE(details().empty());
    EXPECT_EQ(test::storedBookmark(db, local.url("/page")).number(BookmarkField::LastValidated), 0);
}

TEST_F(LinkTestTest, ALongAddressIsTestedAndItsNewAddressKeptWhole)
{
    local.server.Get(R"(/long/(.*))",
                     [](const httplib::Request& request, httplib::Response& response) {
                         response.set_redirect("/landed/" + std::string{request.matches[1]}, 301);
                     });
    local.server.Get(R"(/landed/(.*))", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<title>Landed</title>", "text/html");
    });
    std::string path;
    while (path.size() < 3000) {
        path += "deep/";
    }
    EXPECT_EQ(test("/long/" + path), kLinkPass);
    EXPECT_EQ(bookmark.text(BookmarkField::MovedTo), local.url("/landed/" + path));
}

TEST_F(LinkTestTest, AKnownPageIsNotReadAgain)
{
    bookmark.setText(BookmarkField::Description, "Mine");
    bookmark.setText(BookmarkField::SiteInfo, "My notes");
    EXPECT_EQ(test("/page"), kLinkPass);
    EXPECT_EQ(bookmark.text(BookmarkField::EmailAddress), "") << "the page was not scanned";
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.starts_with("<html>"); }),
              0);
}

TEST_F(LinkTestTest, AnAddressThatEndsUpAtA404IsAFailure)
{
    EXPECT_EQ(test("/moved"), kLinkFail);
    EXPECT_EQ(bookmark.text(BookmarkField::MovedTo), local.url("/gone/404.html"));

    // Moved there by an earlier test: still a failure though this answer is fine.
    Record fresh{bookmarkTable()};
    fresh.setText(BookmarkField::MovedTo, "http://elsewhere.test/404");
    bookmark = fresh;
    EXPECT_EQ(test("/page"), kLinkFail);

    // Digits that only hold "404" inside a longer number name no missing page.
    for (const char* moved : {"http://elsewhere.test:40455/", "http://elsewhere.test/news/14042",
                              "http://elsewhere.test/?id=4040"}) {
        fresh.setText(BookmarkField::MovedTo, moved);
        bookmark = fresh;
        EXPECT_EQ(test("/page"), kLinkPass) << moved;
    }
    fresh.setText(BookmarkField::MovedTo, "http://elsewhere.test/error?code=404&x=1");
    bookmark = fresh;
    EXPECT_EQ(test("/page"), kLinkFail);
}

TEST_F(LinkTestTest, TheStatusTableDecidesTheResult)
{
    EXPECT_EQ(test("/status/404"), kLinkFail);
    EXPECT_TRUE(logged("404: " + std::string{findHttpStatus(404)->message.substr(0, 85)}));
    EXPECT_EQ(bookmark.text(BookmarkField::Custom2), "") << "a failure ends the test early";

    EXPECT_EQ(test("/status/503"), kLinkPass);
    EXPECT_TRUE(logged(statusLine(503)));
    EXPECT_EQ(details().back(),
              std::make_pair(validated, std::string{findHttpStatus(503)->message}));

    for (const char* unlisted : {"/status/299", "/status/306"}) {
        const auto before = details().size();
        EXPECT_EQ(test(unlisted), kLinkPass) << unlisted;
        EXPECT_TRUE(logged("0: Unknown")) << unlisted;
        EXPECT_EQ(details().size(), before) << "no detail line for an unknown status";
    }
    EXPECT_EQ(test("/status/500"), kLinkFail);
}

TEST_F(LinkTestTest, OnlyTheProgramsOwnLastModifiedNoteIsRefreshed)
{
    bookmark.setText(BookmarkField::Custom1, "My own note");
    test("/page");
    EXPECT_EQ(bookmark.text(BookmarkField::Custom1), "My own note");

    bookmark.setText(BookmarkField::Custom1, "Last modified: long ago");
    test("/page");
    EXPECT_EQ(bookmark.text(BookmarkField::Custom1),
              "Last modified: Tue, 15 Nov 1994 08:12:31 GMT");
}

TEST_F(LinkTestTest, AnExpiresHeaderThatIsNoDateEmptiesTheDate)
{
    bookmark.setNumber(BookmarkField::Expires, dates::dayNumber(2030, 1, 1));
    EXPECT_EQ(test("/status/200"), kLinkPass);
    EXPECT_EQ(bookmark.number(BookmarkField::Expires), 0);
}

TEST_F(LinkTestTest, AnUnreachableAddressFailsWithItsReasonInTheLog)
{
    bookmark.setText(BookmarkField::Location, "http://127.0.0.1:1/");
    LinkTest linkTest{"http://127.0.0.1:1/   ", bookmark, db, today,
                      HttpLimits{.connectSeconds = 2, .stallSeconds = 1}};
    EXPECT_EQ(linkTest.run(), kLinkFail);
    EXPECT_EQ(linkTest.step(), LinkTest::kFinished);
    ASSERT_EQ(linkTest.log().size(), 2U);
    EXPECT_EQ(linkTest.log().front(), "Waiting for response") << "the step's own text comes first";
    EXPECT_NE(linkTest.log().back().find("onnect"), std::string::npos) << linkTest.log().back();
    EXPECT_TRUE(details().empty());
}

TEST_F(LinkTestTest, CancelBetweenStepsEndsTheTestWithNothingMore)
{
    bookmark.setText(BookmarkField::Location, local.url("/page"));
    LinkTest linkTest{local.url("/page"), bookmark, db, today};
    ASSERT_TRUE(linkTest.runStep());
    ASSERT_TRUE(linkTest.runStep());
    linkTest.cancel();
    EXPECT_FALSE(linkTest.runStep());
    EXPECT_EQ(linkTest.step(), 2);
    EXPECT_EQ(linkTest.result(), kLinkCancelled);
    EXPECT_EQ(bookmark.text(BookmarkField::Description), "");
    EXPECT_TRUE(details().empty());
}

TEST_F(LinkTestTest, AnFtpAddressHasNoStatusButTheServersReply)
{
    test::FtpResponder ftp{"plain text, nothing to scan"};
    bookmark.setText(BookmarkField::Location, ftp.url("notes.txt"));
    LinkTest linkTest{ftp.url("notes.txt"), bookmark, db, today};
    EXPECT_EQ(linkTest.run(), kLinkPass);
    EXPECT_EQ(linkTest.statusCode(), 0U);
    EXPECT_EQ(bookmark.text(BookmarkField::Custom2), "226 Transfer complete");
    log = linkTest.log();
    EXPECT_TRUE(logged("0: Unknown"));
    EXPECT_TRUE(logged("226 Transfer complete"));
    EXPECT_TRUE(logged("plain text, nothing to scan"));
    EXPECT_TRUE(details().empty());

    test::FtpResponder missing{"Error 404: no such page"};
    bookmark = Record{bookmarkTable()};
    bookmark.setText(BookmarkField::Location, missing.url("page.html"));
    LinkTest second{missing.url("page.html"), bookmark, db, today};
    EXPECT_EQ(second.run(), kLinkFail) << "a 404 early in a page without status fails";
}

TEST_F(LinkTestTest, APageWhoseBodyStallsAfterItsHeadKeepsItsStatus)
{
    test::RawServer stalls{[](test::RawServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 9000\r\n\r\n"
               "<title>Still here</title>");
        c.pause(std::chrono::seconds(60));
    }};
    bookmark.setText(BookmarkField::Location, stalls.url());
    LinkTest linkTest{stalls.url(), bookmark, db, today, HttpLimits{.stallSeconds = 1}};
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(linkTest.run(), kLinkPass);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(linkTest.statusCode(), 200U);
    EXPECT_EQ(bookmark.text(BookmarkField::Description), "Still here")
        << "what arrived of the block is scanned";
    EXPECT_EQ(details(), (std::vector<std::pair<std::string, std::string>>{
                             {validated, std::string{findHttpStatus(200)->message}}}));
}

// What a page says is stored as text: decoded by its declared encoding,
// its character references resolved, and nothing that would steer a
// terminal.
TEST_F(LinkTestTest, PageTextIsDecodedByItsEncodingAndStoredAsPlainText)
{
    const auto serve = [&](const std::string& path, std::string body, std::string type) {
        local.server.Get(path, [body, type](const httplib::Request&, httplib::Response& r) {
            r.set_content(body, type);
        });
    };
    serve("/latin1", "<title>Caf\xE9 cr\xE8me</title><body>Caf\xE9 cr\xE8me</body>",
          "text/html; charset=ISO-8859-1");
    serve("/declared",
          "<meta http-equiv=\"Content-Type\" content=\"text/html; "
          "charset=iso-8859-15\"><title>\xA4 5</title>",
          "text/html");
    serve("/metacharset", "<meta charset=\"koi8-r\"><title>\xF0\xD2\xC9\xD7\xC5\xD4</title>",
          "text/html");
    serve("/utf8", "<title>Caf\xC3\xA9</title>", "text/html");
    serve("/undeclared", "<title>Caf\xE9 \x80</title>", "text/html");
    serve("/references",
          "<title>Tom &amp; Jerry&#39;s &eacute;t&#xE9;</title>"
          "<meta name=\"description\" content=\"a &lt;b&gt; &quot;c&quot; &bogus; &#0;\">",
          "text/html");
    serve("/hostile",
          "<title>\x1B[31mRed\x07 alert</title><a href=\"mailto:x\x1B@y\">"
          "<body>Bell\x07 and \x1B[0m escape</body>",
          "text/html");
    const struct {
        const char* path;
        const char* description;
        const char* siteInfo;
    } pages[] = {
        {"/latin1", "Caf\xC3\xA9 cr\xC3\xA8me", "Caf\xC3\xA9 cr\xC3\xA8me"},
        {"/declared", "\xE2\x82\xAC 5", ""},
        {"/metacharset", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", ""},
        {"/utf8", "Caf\xC3\xA9", ""},
        {"/undeclared", "Caf\xC3\xA9 \xE2\x82\xAC", ""},
        {"/references", "Tom & Jerry's \xC3\xA9t\xC3\xA9", "a <b> \"c\" &bogus; \xEF\xBF\xBD"},
        {"/hostile", " [31mRed  alert", "Bell  and  [0m escape"},
    };
    for (const auto& page : pages) {
        bookmark = Record{bookmarkTable()};
        EXPECT_EQ(test(page.path), kLinkPass) << page.path;
        EXPECT_EQ(bookmark.text(BookmarkField::Description), page.description) << page.path;
        if (*page.siteInfo != '\0') {
            EXPECT_EQ(bookmark.text(BookmarkField::SiteInfo), page.siteInfo) << page.path;
        }
        for (const BookmarkField field :
             {BookmarkField::Description, BookmarkField::SiteInfo, BookmarkField::EmailAddress}) {
            const std::string& value = bookmark.text(field);
            EXPECT_TRUE(
                std::none_of(value.begin(), value.end(), [](char c) { return c >= 0 && c < ' '; }))
                << page.path << ": " << value;
        }
    }
}

// A process out of open files cannot try the address: that is no verdict
// about the link. In a child process, so the lowered limit ends with it.
int testWithEveryFileInUse()
{
    const rlimit low{64, 64};
    ::setrlimit(RLIMIT_NOFILE, &low);
    FileVersionLayer::instance().registerDatabaseFiles();
    test::LocalServer local;
    local.server.Get("/page", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<title>Live</title>", "text/html");
    });
    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    Record bookmark{bookmarkTable()};
    std::vector<int> taken;
    for (int fd = ::dup(0); fd >= 0; fd = ::dup(0)) {
        taken.push_back(fd);
    }
    LinkTest starved{local.url("/page"), bookmark, db, dates::today()};
    const int result = starved.run();
    for (const int fd : taken) {
        ::close(fd);
    }
    std::fprintf(stderr, "result %d local %d\n", result, starved.localFailure() ? 1 : 0);
    LinkTest fed{local.url("/page"), bookmark, db, dates::today()};
    std::fprintf(stderr, "then %d\n", fed.run());
    return 0;
}

TEST(LinkTestLimits, NoOpenFilesLeftGivesNoResultRatherThanAFailure)
{
    EXPECT_EXIT(std::exit(testWithEveryFileInUse()), ::testing::ExitedWithCode(0),
                "result 0 local 1\nthen 1");
}

TEST_F(LinkTestTest, ANulInThePageDoesNotEndIt)
{
    local.server.Get("/nul", [](const httplib::Request&, httplib::Response& r) {
        r.set_content(std::string{"<p>a\0b</p><title>After the nul</title>", 38}, "text/html");
    });
    EXPECT_EQ(test("/nul"), kLinkPass);
    EXPECT_EQ(bookmark.text(BookmarkField::Description), "After the nul");
}

} // namespace
} // namespace tessaly
