#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/query_fields.h"
#include "links/link_batch.h"

#include "damaged_file.h"
#include "environment_variable.h"
#include "local_server.h"
#include "scripted_ui.h"
#include "stored_bookmark.h"
#include "temp_folder.h"
#include "tls_server.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

namespace tessaly {
namespace {

class LinkBatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        local.server.Get(
            R"(/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
                response.status = std::stoi(request.matches[1]);
                response.set_content("<title>Page " + request.matches[1].str() + "</title>",
                                     "text/html");
            });
    }

    void add(const std::string& location, const std::string& category)
    {
        FileManager& bookmarks = db.bookmarks();
        bookmarks.use();
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Category, category);
        ASSERT_EQ(bookmarks.insert(r), kLevelDone);
        bookmarks.close();
    }

    Record stored(const std::string& location) { return test::storedBookmark(db, location); }

    // Ten bookmarks of which four are web addresses (one with its scheme in
    // capitals, which no server answers), in four categories.
    void addTen()
    {
        add(local.url("/200"), "B");
        add(local.url("/404"), "A");
        add(local.url("/503"), "C");
        add("HTTP://127.0.0.1:1/upper", "A");
        add("ftp://127.0.0.1:1/file", "A");
        for (int i = 0; i < 5; ++i) {
            add("file:///tmp/" + std::to_string(i), "D");
        }
    }

    std::shared_ptr<const Expression> query(std::string_view text)
    {
        const SchemaResolver resolver{bookmarkSchema()};
        return std::make_shared<const Expression>(Expression::compile(text, resolver));
    }

    test::LocalServer local;
    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    const std::int32_t today = dates::dayNumber(2026, 12, 7);
};

TEST_F(LinkBatchTest, OnlyWebAddressesAreTestedInCategoryOrderAndEachIsStored)
{
    addTen();
    std::vector<LinkBatchItem> items;
    LinkBatch batch{db, today};
    const LinkBatchSummary summary =
        batch.run(nullptr, [&](const LinkBatchItem& item) { items.push_back(item); });
    ASSERT_EQ(items.size(), 10U);
    EXPECT_EQ(items.back().visited, 10);
    EXPECT_EQ(items.back().total, 10);
    EXPECT_EQ(summary.tested, 4);
    EXPECT_EQ(summary.passed, 2);
    EXPECT_EQ(summary.failed, 2);
    EXPECT_EQ(summary.skippedScheme, 6);
    EXPECT_FALSE(summary.cancelled);
    // Every file the run held open is let go again.
    EXPECT_EQ(db.bookmarks().users(), 0);
    EXPECT_EQ(db.details().users(), 0);
    EXPECT_EQ(db.keywords().users(), 0);
    std::vector<std::string> tested;
    for (const LinkBatchItem& item : items) {
        if (item.tested) {
            tested.push_back(item.location);
        }
    }
    EXPECT_EQ(tested, (std::vector<std::string>{"HTTP://127.0.0.1:1/upper", local.url("/404"),
                                                local.url("/200"), local.url("/503")}));

    EXPECT_EQ(stored(local.url("/404")).number(BookmarkField::Validated), kLinkFail);
    EXPECT_EQ(stored(local.url("/200")).number(BookmarkField::Validated), kLinkPass);
    EXPECT_EQ(stored(local.url("/200")).text(BookmarkField::Description), "Page 200");
    EXPECT_EQ(stored(local.url("/503")).number(BookmarkField::Validated), kLinkPass);
    EXPECT_EQ(stored(local.url("/503")).number(BookmarkField::LastValidated), today);
    EXPECT_EQ(stored("HTTP://127.0.0.1:1/upper").number(BookmarkField::Validated), kLinkFail);
    EXPECT_EQ(stored("ftp://127.0.0.1:1/file").number(BookmarkField::LastValidated), 0);
}

TEST_F(LinkBatchTest, AQueryLimitsTheRunButNotTheTotal)
{
    addTen();
    std::vector<LinkBatchItem> items;
    LinkBatch batch{db, today};
    const LinkBatchSummary summary = batch.run(
        query("URL:Category = 'A'"), [&](const LinkBatchItem& item) { items.push_back(item); });
    ASSERT_EQ(items.size(), 3U);
    EXPECT_EQ(items.back().total, 10);
    EXPECT_EQ(summary.tested, 2);
    EXPECT_EQ(stored(local.url("/200")).number(BookmarkField::LastValidated), 0);
}

TEST_F(LinkBatchTest, CancelKeepsWhatWasStoredAndWritesNothingMore)
{
    test::SilentPort silent;
    add(local.url("/200"), "A");
    add(local.url("/404"), "B");
    add(silent.url(), "C");
    add(local.url("/201"), "D");
    LinkBatch batch{db, today,
                    LinkBatchOptions{.jobs = 4, .perHost = 2, .limits = {.stallSeconds = 60}}};
    int seen = 0;
    std::thread canceller;
    const auto started = std::chrono::steady_clock::now();
    const LinkBatchSummary summary = batch.run(nullptr, [&](const LinkBatchItem&) {
        if (++seen == 2) {
            // The third test waits on a server that never answers.
            canceller = std::thread([&batch] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                batch.cancel();
            });
        }
    });
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(summary.tested, 2);
    EXPECT_EQ(stored(local.url("/200")).number(BookmarkField::LastValidated), today);
    EXPECT_EQ(stored(local.url("/404")).number(BookmarkField::LastValidated), today);
    EXPECT_EQ(stored(silent.url()).number(BookmarkField::LastValidated), 0);
    EXPECT_EQ(stored(local.url("/201")).number(BookmarkField::LastValidated), 0)
        << "tested ahead, but after the cancelled one: not stored";
}

TEST_F(LinkBatchTest, AGroupThatCannotBeCommittedIsReportedAndEndsTheRun)
{
    // Each answer takes longer than a group, so the batch commits while it
    // waits for the second one.
    local.server.Get("/slow", [](const httplib::Request&, httplib::Response& response) {
        std::this_thread::sleep_for(kBatchCommitEvery + std::chrono::milliseconds(300));
        response.set_content("<title>Slow</title>", "text/html");
    });
    for (int i = 0; i < 3; ++i) {
        add(local.url("/slow?n=") + std::to_string(i), "C");
    }
    // Another program reading the database keeps the results from being
    // committed: the group is undone, message 25 says so, the run stops.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(folder.file("URLDATA.tps").c_str(), &reader), SQLITE_OK);
    LinkBatch batch{db, today, LinkBatchOptions{.jobs = 1, .perHost = 1}};
    const LinkBatchSummary summary = batch.run(nullptr, [&](const LinkBatchItem& item) {
        if (item.visited == 1) {
            sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr, nullptr,
                         nullptr);
        }
    });
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);

    EXPECT_NE(summary.writeLevel, kLevelDone);
    EXPECT_LT(summary.visited, 3) << "stopped while waiting for the second answer";
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.shown[0].title, "Record was not updated");
    EXPECT_NE(ui.shown[0].text.find("Process:View"), std::string::npos) << ui.shown[0].text;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(
            stored(local.url("/slow?n=") + std::to_string(i)).number(BookmarkField::LastValidated),
            0);
    }
}

TEST_F(LinkBatchTest, ADamagedFileIsReportedNotTakenForAShortOne)
{
    for (int i = 0; i < 200; ++i) {
        add(local.url("/200?n=") + std::to_string(i), "C" + std::to_string(i % 7));
    }
    test::damageRootPage(folder.file("URLDATA.tps"), "Locations");

    LinkBatch batch{db, today};
    int reported = 0;
    const LinkBatchSummary summary = batch.run(nullptr, [&](const LinkBatchItem&) { ++reported; });
    EXPECT_NE(summary.readLevel, kLevelDone);
    EXPECT_EQ(summary.tested, 0);
    EXPECT_EQ(reported, 0);
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_EQ(ui.shown.back().title, "Record Retrieval Error");
    EXPECT_NE(ui.shown.back().text.find("TESSLY"), std::string::npos) << ui.shown.back().text;
}

TEST_F(LinkBatchTest, ManyTestsAtOnceStoreWhatOneAtATimeWould)
{
    const int codes[] = {200, 404, 500, 301, 503, 410, 204, 299};
    for (int i = 0; i < 24; ++i) {
        add(local.url("/" + std::to_string(codes[i % 8])) + "?n=" + std::to_string(i),
            "C" + std::to_string(i % 5));
    }
    const auto results = [&](int jobs) {
        std::vector<std::pair<std::string, int>> out;
        LinkBatch batch{db, today, LinkBatchOptions{.jobs = jobs, .perHost = jobs}};
        batch.run(nullptr,
                  [&](const LinkBatchItem& item) { out.emplace_back(item.location, item.result); });
        return out;
    };
    const auto one = results(1);
    ASSERT_EQ(one.size(), 24U);
    EXPECT_EQ(results(8), one);
}

TEST_F(LinkBatchTest, NoSiteGetsMoreThanItsShareAndTheJobsSpreadOverSites)
{
    // Two sites (the port counts as part of the host) of twelve pages each;
    // the location order puts all of one before the other.
    struct Site {
        test::LocalServer server;
        std::atomic<int> now{0};
        std::atomic<int> most{0};
    };
    Site sites[2];
    std::mutex mutex;
    std::vector<int> arrivals; // the site of each request, as they came
    for (int s = 0; s < 2; ++s) {
        Site& site = sites[s];
        site.server.server.Get("/slow", [&, s](const httplib::Request&, httplib::Response& r) {
            const int now = ++site.now;
            for (int seen = site.most; now > seen && !site.most.compare_exchange_weak(seen, now);) {
            }
            {
                std::lock_guard lock{mutex};
                arrivals.push_back(s);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            --site.now;
            r.set_content("<title>Slow</title>", "text/html");
        });
        for (int i = 0; i < 12; ++i) {
            add(site.server.url("/slow?n=") + std::to_string(i), "C");
        }
    }

    LinkBatch spread{db, today, LinkBatchOptions{.jobs = 4, .perHost = 4}};
    EXPECT_EQ(spread.run(nullptr, {}).passed, 24);
    ASSERT_EQ(arrivals.size(), 24U);
    EXPECT_EQ(std::count(arrivals.begin(), arrivals.begin() + 4, 1), 2)
        << "the four jobs begin two on each site, not four on the first";

    sites[0].most = 0;
    sites[1].most = 0;
    LinkBatch capped{db, today, LinkBatchOptions{.jobs = 6, .perHost = 2}};
    EXPECT_EQ(capped.run(nullptr, {}).passed, 24);
    EXPECT_EQ(sites[0].most, 2);
    EXPECT_EQ(sites[1].most, 2);
}

TEST_F(LinkBatchTest, TheMenuCommandAsksThenTestsWhatTheQueryChose)
{
    addTen();
    ui.answers = {ButtonNo};
    EXPECT_EQ(validateAllLinks(db, ui, today).visited, 0);
    EXPECT_EQ(ui.last().title, "Test Links");
    EXPECT_EQ(ui.last().defaultButton, ButtonNo);

    ui.answers = {ButtonYes, ButtonYes};
    ui.queryAnswers = {"URL:Category = 'A'"};
    const LinkBatchSummary summary = validateAllLinks(db, ui, today);
    EXPECT_EQ(ui.shown[ui.shown.size() - 2].title, "Query Wizard");
    EXPECT_EQ(summary.visited, 3);
    EXPECT_EQ(summary.tested, 2);
    EXPECT_EQ(ui.progressTexts.front(), "Processing Records");
    EXPECT_EQ(ui.progressTexts[1], "0% Completed\nTesting Multiple Links");
    EXPECT_EQ(ui.progressTexts.back(), "30% Completed\nTesting 3 of up to 10");
    EXPECT_EQ(stored(local.url("/200")).number(BookmarkField::LastValidated), 0);
    EXPECT_EQ(stored(local.url("/404")).number(BookmarkField::LastValidated), today);

    // Cancelled while the query question was open (or the program ending
    // then): the run tests nothing and says nothing more.
    ui.answers = {ButtonYes, ButtonNo};
    ui.cancelAfterFirstStep = true;
    const std::size_t shown = ui.shown.size();
    const LinkBatchSummary cancelled = validateAllLinks(db, ui, today + 1);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.visited, 0);
    EXPECT_EQ(ui.shown.size(), shown + 2);
    EXPECT_EQ(stored(local.url("/404")).number(BookmarkField::LastValidated), today);
}

// Today's web is https: a secure address is tested as a plain one, with its
// certificate checked, and a run ends by saying what it did and skipped.
TEST_F(LinkBatchTest, SecureAddressesAreTestedAndTheRunEndsWithItsAccount)
{
    test::TempFolder trustedFolder;
    test::TempFolder strangerFolder;
    test::LocalTlsServer trusted{trustedFolder.path()};
    test::LocalTlsServer stranger{strangerFolder.path()};
    for (httplib::SSLServer* server : {&trusted.server, &stranger.server}) {
        server->Get("/", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<title>Secure page</title>", "text/html");
        });
    }
    const test::EnvironmentVariable authorities{"CURL_CA_BUNDLE", trusted.certificate().c_str()};
    const std::string upper = "HTTPS" + trusted.url("/").substr(5);
    add(trusted.url("/"), "A");
    add(upper + "?again", "A");
    add(stranger.url("/"), "B");
    add("mailto:someone@example.org", "C");
    add("ftp://127.0.0.1:1/file", "C");

    ui.answers = {ButtonYes, ButtonNo, ButtonShowFailed};
    const LinkBatchSummary summary = validateAllLinks(db, ui, today);
    EXPECT_EQ(summary.tested, 3);
    EXPECT_EQ(summary.passed, 2);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(summary.skippedScheme, 2);
    EXPECT_TRUE(summary.showFailed);
    EXPECT_EQ(stored(trusted.url("/")).text(BookmarkField::Description), "Secure page");
    EXPECT_EQ(stored(upper + "?again").number(BookmarkField::Validated), kLinkPass);
    EXPECT_EQ(stored(stranger.url("/")).number(BookmarkField::Validated), kLinkFail);

    // The account, with the button that lists the failures.
    EXPECT_EQ(ui.last().title, "Test Links");
    EXPECT_EQ(ui.last().text, "Tested 3 of 5 bookmarks: 2 passed, 1 failed.\n"
                              "Skipped 2: 2 not a web address (ftp, file, mailto and other "
                              "schemes).");
    EXPECT_EQ(ui.last().buttons, ButtonOk | ButtonShowFailed);
    EXPECT_EQ(ui.last().defaultButton, ButtonOk);

    // Why the stranger failed is kept as its dated status line.
    FileManager& details = db.details();
    details.use();
    Record detail{detailTable()};
    details.file().set(0);
    std::string why;
    while (details.file().next(detail).ok()) {
        if (detail.text(DetailField::Location) == stranger.url("/")) {
            why = detail.text(DetailField::DataValue);
        }
    }
    details.close();
    EXPECT_NE(why.find("certificate"), std::string::npos) << why;
}

TEST(LinkBatchAccount, SaysWhatWasCancelledAndWhyBookmarksWereSkipped)
{
    LinkBatchSummary summary;
    summary.total = 90;
    summary.visited = 50;
    summary.tested = 40;
    summary.passed = 30;
    summary.failed = 6;
    summary.skippedScheme = 8;
    summary.skippedBlank = 2;
    summary.cancelled = true;
    EXPECT_EQ(linkBatchAccount(summary, "analyzed"),
              "Cancelled after 50 of 90 bookmarks.\n"
              "Analyzed 40 of 50 bookmarks: 30 passed, 6 failed, 4 unknown.\n"
              "Skipped 10: 8 not a web address (ftp, file, mailto and other schemes), 2 without "
              "an address.");
    EXPECT_TRUE(isWebAddress("hTtPs://x.example/"));
    EXPECT_FALSE(isWebAddress("https://"));
    EXPECT_FALSE(isWebAddress("httpx://x.example/"));
}

// The progress window lets the windows' events through while it waits;
// one that starts the command again must not run a second batch inside
// the first.
TEST_F(LinkBatchTest, TheMenuCommandDoesNotStartInsideARunningOne)
{
    addTen();
    LinkBatchSummary inner;
    bool again = true;
    ui.whilePolled = [&] {
        if (std::exchange(again, false)) {
            ui.answers = {ButtonYes, ButtonNo};
            inner = validateAllLinks(db, ui, today);
        }
    };
    ui.answers = {ButtonYes, ButtonNo};
    const LinkBatchSummary summary = validateAllLinks(db, ui, today);
    EXPECT_EQ(summary.visited, 10);
    EXPECT_EQ(summary.tested, 4);
    EXPECT_EQ(inner.visited, 0);
    EXPECT_EQ(std::count_if(ui.shown.begin(), ui.shown.end(),
                            [](const MessageRequest& m) {
                                return m.text.starts_with("This process will test");
                            }),
              1)
        << "the second start asks nothing";
}

TEST_F(LinkBatchTest, TheProgressWindowsCancelStopsTheMenuCommand)
{
    addTen();
    ui.answers = {ButtonYes, ButtonNo};
    ui.cancelAfterFirstStep = true;
    const LinkBatchSummary summary = validateAllLinks(db, ui, today);
    EXPECT_TRUE(summary.cancelled);
    EXPECT_LT(summary.visited, 10);
    EXPECT_EQ(stored(local.url("/503")).number(BookmarkField::LastValidated), 0);
}

// The run a desktop's open-file limit must not change: a dead host early in
// the location order holds one test while thousands of live pages on many
// sites are tested ahead of it. In a child process, so the lowered limit
// ends with it.
int runUnderALowOpenFileLimit()
{
    const rlimit low{256, 256};
    if (::setrlimit(RLIMIT_NOFILE, &low) != 0) {
        return 3;
    }
    FileVersionLayer::instance().registerDatabaseFiles();
    std::vector<std::unique_ptr<test::LocalServer>> sites;
    for (int s = 0; s < 32; ++s) {
        auto& site = *sites.emplace_back(std::make_unique<test::LocalServer>());
        site.server.Get("/ok", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<title>Live</title>", "text/html");
        });
    }
    test::SilentPort dead;
    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    FileManager& bookmarks = db.bookmarks();
    bookmarks.use();
    bookmarks.file().stream();
    const auto add = [&](const std::string& location, const std::string& category) {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Category, category);
        bookmarks.insert(r);
    };
    add(dead.url(), "A");
    for (int i = 0; i < 2400; ++i) {
        add(sites[static_cast<std::size_t>(i % 32)]->url("/ok?n=") + std::to_string(i), "B");
    }
    bookmarks.file().flush();
    bookmarks.close();
    LinkBatch batch{db, dates::today(),
                    LinkBatchOptions{.jobs = kDefaultLinkTestJobs,
                                     .perHost = kDefaultLinkTestsPerHost,
                                     .limits = {.connectSeconds = 3, .stallSeconds = 3}}};
    const LinkBatchSummary summary = batch.run(nullptr, {});
    for (const auto& shown : ui.shown) {
        std::fprintf(stderr, "%s: %s\n", shown.title.c_str(), shown.text.c_str());
    }
    std::fprintf(stderr, "tested %lld passed %lld failed %lld\n",
                 static_cast<long long>(summary.tested), static_cast<long long>(summary.passed),
                 static_cast<long long>(summary.failed));
    return summary.passed == 2400 && summary.failed == 1 ? 0 : 1;
}

TEST(LinkBatchLimits, ALowOpenFileLimitChangesNoResult)
{
    EXPECT_EXIT(std::exit(runUnderALowOpenFileLimit()), ::testing::ExitedWithCode(0),
                "passed 2400 failed 1");
}

} // namespace
} // namespace tessaly
