// Link tests behind a name resolver that does not answer for twelve
// seconds (tests/support/slow_getaddrinfo.cpp, preloaded): Cancel and the
// connect time-out must hold during the lookup, not after it.
#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "links/http_session.h"
#include "links/link_batch.h"

#include "preload_again.h"
#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace tessaly {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSlowAddress = "http://dead.slow.test:1/";

class SlowLookupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("LD_PRELOAD"), nullptr);
        // The shim is in place: a lookup of another name is not delayed,
        // one of a slow name is.
        HttpSession probe{kLinkTestAgent, HttpLimits{.connectSeconds = 1}};
        const auto started = Clock::now();
        probe.open(kSlowAddress);
        EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(900));
    }
};

TEST_F(SlowLookupTest, CancelReturnsAtOnceDuringALookup)
{
    HttpSession session{kLinkTestAgent, HttpLimits{.connectSeconds = 60}};
    std::thread canceller([&session] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        session.abort();
    });
    const auto started = Clock::now();
    EXPECT_FALSE(session.open(kSlowAddress));
    const auto took = Clock::now() - started;
    canceller.join();
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(session.error(), "Cancelled");
}

TEST_F(SlowLookupTest, TheConnectTimeOutHoldsDuringALookup)
{
    HttpSession session{kLinkTestAgent, HttpLimits{.connectSeconds = 2}};
    const auto started = Clock::now();
    EXPECT_FALSE(session.open(kSlowAddress));
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(4));
    EXPECT_NE(session.error(), "");
    EXPECT_FALSE(session.localFailure()) << "a dead name server is a verdict about the address";
}

TEST_F(SlowLookupTest, ABatchCancelledDuringLookupsStopsAtOnce)
{
    FileVersionLayer::instance().registerDatabaseFiles();
    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    FileManager& bookmarks = db.bookmarks();
    bookmarks.use();
    for (int i = 0; i < 8; ++i) {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, "http://site" + std::to_string(i) + ".slow.test:1/");
        bookmarks.insert(r);
    }
    bookmarks.close();
    LinkBatch batch{db, dates::today(), LinkBatchOptions{.jobs = 4, .perHost = 1}};
    std::thread canceller([&batch] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        batch.cancel();
    });
    const auto started = Clock::now();
    const LinkBatchSummary summary = batch.run(nullptr, {});
    const auto took = Clock::now() - started;
    canceller.join();
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(summary.tested, 0);
    EXPECT_LT(took, std::chrono::seconds(2));
}

} // namespace
} // namespace tessaly

// Runs again with the slow resolver preloaded when it is not yet.
int main(int argc, char** argv)
{
    if (const int failed = tessaly::test::preloadAndRunAgain(argv, SLOW_GETADDRINFO_PATH);
        failed != 0) {
        return failed;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
