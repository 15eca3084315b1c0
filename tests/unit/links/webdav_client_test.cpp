#include "links/webdav_client.h"
#include "links/webdav_lock.h"

#include "apache_dav_server.h"
#include "environment_variable.h"
#include "raw_server.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>

namespace tessaly {
namespace {

using namespace std::chrono_literals;

HttpLimits shortLimits()
{
    HttpLimits limits;
    limits.connectSeconds = 2;
    limits.stallSeconds = 1;
    limits.totalSeconds = 3;
    return limits;
}

class WebDavApacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!apache.running()) {
            GTEST_SKIP() << apache.skipReason();
        }
    }
    DavAccount account(std::string password = test::ApacheDavServer::kPassword) const
    {
        return {apache.folderUrl(), test::ApacheDavServer::kUser, std::move(password),
                "bookmarks.xbel"};
    }

    test::TempFolder folder;
    test::ApacheDavServer apache{folder.path()};
};

// The conditions a sync writes under, as a real mod_dav keeps them: a file
// made only when absent, replaced only while it is the one read.
TEST_F(WebDavApacheTest, WritesOnlyUnderItsConditions)
{
    WebDavClient client{account()};
    EXPECT_EQ(client.get("bookmarks.xbel").status, 404);

    const DavAnswer made = client.put("bookmarks.xbel", "first", DavCondition::ifAbsent());
    ASSERT_TRUE(made.ok()) << made.status << made.error;
    EXPECT_EQ(apache.readFile("bookmarks.xbel"), "first");
    EXPECT_EQ(client.put("bookmarks.xbel", "again", DavCondition::ifAbsent()).status, 412);

    // Just written, the server names the file with a weak tag, which a
    // condition can never match; a second later the same tag is strong.
    const DavAnswer fresh = client.get("bookmarks.xbel");
    ASSERT_EQ(fresh.status, 200);
    EXPECT_EQ(fresh.body, "first");
    EXPECT_FALSE(fresh.lastModified.empty());
    EXPECT_TRUE(isWeakEtag(fresh.etag)) << fresh.etag;
    EXPECT_EQ(client.put("bookmarks.xbel", "second", DavCondition::ifMatch(strongEtag(fresh.etag)))
                  .status,
              412);
    std::this_thread::sleep_for(1100ms);
    const DavAnswer settled = client.head("bookmarks.xbel");
    EXPECT_FALSE(isWeakEtag(settled.etag));
    EXPECT_EQ(settled.etag, strongEtag(fresh.etag));

    EXPECT_EQ(client.put("bookmarks.xbel", "second", DavCondition::ifMatch("\"other\"")).status,
              412);
    EXPECT_EQ(apache.readFile("bookmarks.xbel"), "first");
    EXPECT_TRUE(client.put("bookmarks.xbel", "second", DavCondition::ifMatch(settled.etag)).ok());
    EXPECT_EQ(apache.readFile("bookmarks.xbel"), "second");

    EXPECT_TRUE(client.remove("bookmarks.xbel").ok());
    EXPECT_FALSE(apache.exists("bookmarks.xbel"));
}

// Characters that mean something in an address are the file's own: the
// lock of "bookmarks.xbel#x" must never be written over "bookmarks.xbel".
TEST_F(WebDavApacheTest, AFileNameIsOneFileOfTheFolderWhateverItHolds)
{
    WebDavClient client{account()};
    ASSERT_TRUE(client.put("bookmarks.xbel", "theirs", DavCondition::none()).ok());
    for (const std::string name : {"bookmarks.xbel#x", "bookmarks.xbel?x", "bookmarks%2Exbel"}) {
        EXPECT_EQ(client.get(name).status, 404) << name;
        const DavAnswer locked = client.put(name + ".lock", "lock", DavCondition::none());
        EXPECT_TRUE(locked.ok()) << name << ' ' << locked.status;
        EXPECT_EQ(apache.readFile(name + ".lock"), "lock") << name;
    }
    EXPECT_EQ(apache.readFile("bookmarks.xbel"), "theirs");
}

TEST_F(WebDavApacheTest, WrongPasswordAndMissingFolderAreSaidPlainly)
{
    WebDavClient refused{account("wrong")};
    const DavAnswer answer = refused.get("bookmarks.xbel");
    EXPECT_EQ(answer.status, 401);
    EXPECT_EQ(davProblem(answer, "bookmarks.xbel"),
              "The server refused the user name or password (401)");

    WebDavClient client{account()};
    const DavAnswer nowhere = client.put("no/such/bookmarks.xbel", "x");
    EXPECT_EQ(nowhere.status, 409);
    EXPECT_EQ(davProblem(nowhere, "bookmarks.xbel"),
              "The server has no folder for bookmarks.xbel: check the address (409)");
}

TEST_F(WebDavApacheTest, LockIsHonouredTakenOverWhenStaleAndRefreshed)
{
    DavFileLock mine{account(), {}, {15min, 300ms}};
    std::string error;
    ASSERT_TRUE(mine.acquire(error)) << error;
    EXPECT_TRUE(apache.exists("bookmarks.xbel.lock"));

    DavFileLock theirs{account(), {}};
    EXPECT_FALSE(theirs.acquire(error));
    EXPECT_NE(error.find("bookmarks.xbel is being synchronised by another program"),
              std::string::npos)
        << error;

    // Held while syncing: the lock is written again before it looks old.
    apache.age("bookmarks.xbel.lock", 10min);
    std::this_thread::sleep_for(1s);
    const auto written = std::filesystem::last_write_time(apache.diskPath("bookmarks.xbel.lock"));
    EXPECT_LT(std::filesystem::file_time_type::clock::now() - written, 1min);

    mine.release();
    EXPECT_FALSE(apache.exists("bookmarks.xbel.lock"));

    // A lock left by a sync that died a quarter of an hour ago holds no one.
    apache.writeFile("bookmarks.xbel.lock", "left behind");
    apache.age("bookmarks.xbel.lock", 16min);
    DavFileLock late{account(), {}};
    EXPECT_TRUE(late.acquire(error)) << error;
    EXPECT_NE(apache.readFile("bookmarks.xbel.lock"), "left behind");
}

// A sync of ours killed on this machine leaves its lock; the next one need
// not wait a quarter of an hour for it.
TEST_F(WebDavApacheTest, OwnLockOfAKilledSyncIsTakenOver)
{
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ::waitpid(gone, nullptr, 0);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const std::string dead = "Tessaly 2000 is synchronising from " + std::string{host} +
                             " (process " + std::to_string(gone) + ")\n";
    apache.writeFile("bookmarks.xbel.lock", dead);
    std::string error;
    DavFileLock next{account(), {}};
    EXPECT_TRUE(next.acquire(error)) << error;
    next.release();

    // One of a living process, or of another machine, holds.
    for (const std::string& alive :
         {"Tessaly 2000 is synchronising from " + std::string{host} + " (process 1)\n",
          "Tessaly 2000 is synchronising from elsewhere (process " + std::to_string(gone) +
              ")\n"}) {
        apache.writeFile("bookmarks.xbel.lock", alive);
        DavFileLock blocked{account(), {}};
        EXPECT_FALSE(blocked.acquire(error)) << alive;
    }
}

// Another program that takes the lock between our reading it and taking it
// over keeps it; so does one that took it after ours ran out, whatever our
// refresh and our release would have written.
TEST_F(WebDavApacheTest, LockAnotherProgramTookIsLeftToIt)
{
    const std::string theirs = "another program's lock";
    apache.writeFile("bookmarks.xbel.lock", "left behind");
    apache.age("bookmarks.xbel.lock", 16min);
    DavFileLock::Times times;
    times.beforeTake = [&] {
        apache.writeFile("bookmarks.xbel.lock", theirs);
    };
    DavFileLock late{account(), {}, times};
    std::string error;
    EXPECT_FALSE(late.acquire(error));
    EXPECT_EQ(error, "bookmarks.xbel is being synchronised by another program (it took "
                     "bookmarks.xbel.lock just now); try again later");
    EXPECT_EQ(apache.readFile("bookmarks.xbel.lock"), theirs);

    // Their write of a new lock passed its condition with ours and landed
    // after it: theirs stands, and ours is not read back.
    std::filesystem::remove(apache.diskPath("bookmarks.xbel.lock"));
    DavFileLock::Times together;
    together.afterTake = times.beforeTake;
    DavFileLock second{account(), {}, together};
    EXPECT_FALSE(second.acquire(error));
    EXPECT_EQ(error, "bookmarks.xbel is being synchronised by another program (it took "
                     "bookmarks.xbel.lock just now); try again later");
    second.release();
    EXPECT_EQ(apache.readFile("bookmarks.xbel.lock"), theirs);

    std::filesystem::remove(apache.diskPath("bookmarks.xbel.lock"));
    DavFileLock mine{account(), {}, {15min, 300ms}};
    ASSERT_TRUE(mine.acquire(error)) << error;
    apache.writeFile("bookmarks.xbel.lock", theirs);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(apache.readFile("bookmarks.xbel.lock"), theirs);
    mine.release();
    EXPECT_EQ(apache.readFile("bookmarks.xbel.lock"), theirs);
}

// Where the server names no Last-Modified, the time our lock text holds
// tells its age; another program's lock that names none holds, and the
// message says how to free it.
TEST(WebDavLockTest, WithoutLastModifiedOurLockTextTellsItsAge)
{
    EXPECT_EQ(httpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    test::TempFolder folder;
    test::ApacheDavServer apache{folder.path(), false, {"Last-Modified"}};
    if (!apache.running()) {
        GTEST_SKIP() << apache.skipReason();
    }
    const DavAccount account{apache.folderUrl(), test::ApacheDavServer::kUser,
                             test::ApacheDavServer::kPassword, "bookmarks.xbel"};
    std::string error;
    DavFileLock mine{account, {}};
    ASSERT_TRUE(mine.acquire(error)) << error;
    DavFileLock theirs{account, {}};
    EXPECT_FALSE(theirs.acquire(error));
    EXPECT_NE(error.find("a lock left behind runs out in 15 minutes"), std::string::npos) << error;
    mine.release();
    EXPECT_FALSE(apache.exists("bookmarks.xbel.lock"));

    const auto leftAgo = [](std::chrono::minutes ago) {
        return "Tessaly 2000 is synchronising from elsewhere (process 12) at " +
               httpDate(std::time(nullptr) - std::chrono::seconds{ago}.count()) + "\n";
    };
    apache.writeFile("bookmarks.xbel.lock", leftAgo(14min));
    DavFileLock early{account, {}};
    EXPECT_FALSE(early.acquire(error));
    EXPECT_NE(error.find("runs out in 1 minutes"), std::string::npos) << error;
    apache.writeFile("bookmarks.xbel.lock", leftAgo(16min));
    DavFileLock late{account, {}};
    EXPECT_TRUE(late.acquire(error)) << error;
    late.release();

    apache.writeFile("bookmarks.xbel.lock", "{}");
    DavFileLock blocked{account, {}};
    EXPECT_FALSE(blocked.acquire(error));
    EXPECT_EQ(error, "bookmarks.xbel is being synchronised by another program "
                     "(bookmarks.xbel.lock is on the server, which does not say when it was "
                     "written); try again later, or remove bookmarks.xbel.lock from the server "
                     "if no program is synchronising");
}

TEST(WebDavHttpsTest, CertificateIsCheckedAgainstTheTrustedAuthorities)
{
    test::TempFolder folder;
    test::ApacheDavServer apache{folder.path(), true};
    if (!apache.running()) {
        GTEST_SKIP() << apache.skipReason();
    }
    const DavAccount account{apache.folderUrl(), test::ApacheDavServer::kUser,
                             test::ApacheDavServer::kPassword, "bookmarks.xbel"};
    {
        test::EnvironmentVariable none{"CURL_CA_BUNDLE", nullptr};
        WebDavClient client{account, shortLimits()};
        const DavAnswer answer = client.put("bookmarks.xbel", "secret bookmarks");
        EXPECT_EQ(answer.status, 0);
        EXPECT_NE(davProblem(answer, "bookmarks.xbel").find("certificate"), std::string::npos)
            << answer.error;
        EXPECT_FALSE(apache.exists("bookmarks.xbel"));
    }
    test::EnvironmentVariable trusted{"CURL_CA_BUNDLE", apache.certificate().c_str()};
    WebDavClient client{account, shortLimits()};
    EXPECT_TRUE(client.put("bookmarks.xbel", "secret bookmarks").ok());
    EXPECT_EQ(apache.readFile("bookmarks.xbel"), "secret bookmarks");
}

TEST(WebDavAddressTest, PlainHttpOnlyToThisMachine)
{
    EXPECT_EQ(davAddressProblem({"https://dav.example/files/"}), "");
    EXPECT_EQ(davAddressProblem({"http://127.0.0.1:8080/dav"}), "");
    EXPECT_EQ(davAddressProblem({"HTTP://localhost/dav"}), "");
    EXPECT_NE(davAddressProblem({"http://dav.example/files/"}), "");
    EXPECT_NE(davAddressProblem({"http://127.0.0.1.example/files/"}), "");
    EXPECT_NE(davAddressProblem({"ftp://127.0.0.1/files/"}), "");

    // Refused before anything, the password included, is sent.
    WebDavClient client{{"http://dav.example/files/", "me", "pw"}};
    const DavAnswer answer = client.get("bookmarks.xbel");
    EXPECT_EQ(answer.status, 0);
    EXPECT_NE(answer.error.find("https://"), std::string::npos);
}

TEST(WebDavFaultTest, SilentFailingAndBrokenServersGiveClearMessages)
{
    test::RawServer silent{[](test::RawServer::Connection& c) {
        c.pause(10s);
    }};
    WebDavClient waiting{{silent.url("/dav/"), "u", "p"}, shortLimits()};
    const auto start = std::chrono::steady_clock::now();
    const DavAnswer none = waiting.get("bookmarks.xbel");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 6s);
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(davProblem(none, "bookmarks.xbel").rfind("The server did not answer: ", 0), 0u);

    test::RawServer failing{[](test::RawServer::Connection& c) {
        c.send("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 4\r\n\r\nbusy");
    }};
    WebDavClient busy{{failing.url("/dav/"), "u", "p"}, shortLimits()};
    EXPECT_EQ(davProblem(busy.get("bookmarks.xbel"), "bookmarks.xbel"),
              "The server failed (503); try again later");
    const DavAnswer locked{423};
    EXPECT_EQ(davProblem(locked, "bookmarks.xbel"),
              "bookmarks.xbel is locked on the server by another program (423)");

    // Gone as soon as it has read the head: the file never went.
    test::RawServer cutting{[](test::RawServer::Connection&) {
    }};
    WebDavClient sender{{cutting.url("/dav/"), "u", "p"}, shortLimits()};
    const DavAnswer cut = sender.put("bookmarks.xbel", std::string(4 << 20, 'x'));
    EXPECT_EQ(cut.status, 0);
    EXPECT_TRUE(cut.cutOffWhileSending);
    EXPECT_EQ(davProblem(cut, "bookmarks.xbel")
                  .rfind("The connection was lost while bookmarks.xbel was being sent", 0),
              0u);
}

// A file larger than a bookmark file can be is never held in memory: one
// whose length is announced is refused at once, one whose length is not is
// cut off at the bound.
TEST(WebDavFaultTest, OversizedFileIsRefusedNotHeld)
{
    const auto stream = [](bool announced) {
        return [announced](test::RawServer::Connection& c) {
            c.send(announced ? "HTTP/1.1 200 OK\r\nContent-Length: 4194304\r\n\r\n"
                             : "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
            const std::string chunk(64 << 10, 'x');
            for (int i = 0; i < 64; ++i) {
                c.send(chunk);
            }
        };
    };
    for (const bool announced : {true, false}) {
        test::RawServer server{stream(announced)};
        WebDavClient client{{server.url("/dav/"), "u", "p"}, shortLimits()};
        EXPECT_TRUE(client.get("bookmarks.xbel", 8 << 20).ok()) << announced;
        const DavAnswer answer = client.get("bookmarks.xbel", 1 << 20);
        EXPECT_EQ(answer.status, 0) << announced;
        EXPECT_TRUE(answer.body.empty());
        EXPECT_EQ(davProblem(answer, "bookmarks.xbel"),
                  "bookmarks.xbel on the server is larger than 1 MiB, too large to read");
    }
}

std::size_t contentLength(const std::string& head)
{
    const std::size_t at = head.find("Content-Length: ");
    return at == std::string::npos ? 0 : std::stoul(head.substr(at + 16));
}

// The server closes the kept connection just as the next write goes out:
// the write is sent again on a fresh connection, from its first byte.
TEST(WebDavFaultTest, WriteCutOffOnAKeptConnectionIsSentWholeAgain)
{
    std::mutex mutex;
    int connections = 0;
    std::string received;
    test::RawServer server{[&](test::RawServer::Connection& c) {
        int number = 0;
        {
            std::lock_guard lock{mutex};
            number = ++connections;
        }
        if (number == 1) {
            c.send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
            c.read(contentLength(c.request()));
            return; // gone with the body read and no answer
        }
        c.send("HTTP/1.1 100 Continue\r\n\r\n");
        const std::string body = c.read(contentLength(c.head()));
        {
            std::lock_guard lock{mutex};
            received = body;
        }
        c.send("HTTP/1.1 201 Created\r\nContent-Length: 0\r\n\r\n");
    }};
    // The first body goes after the second the library waits for a
    // "100 Continue" that never comes.
    HttpLimits limits = shortLimits();
    limits.stallSeconds = 3;
    limits.totalSeconds = 6;
    WebDavClient client{{server.url("/dav/"), "u", "p"}, limits};
    ASSERT_EQ(client.get("bookmarks.xbel").status, 200);
    std::string file;
    for (int i = 0; i < 20000; ++i) {
        file += "<bookmark id=\"" + std::to_string(i) + "\"/>\n";
    }
    const DavAnswer written = client.put("bookmarks.xbel", file);
    EXPECT_TRUE(written.ok()) << written.status << ' ' << written.error;
    std::lock_guard lock{mutex};
    EXPECT_EQ(connections, 2);
    EXPECT_TRUE(received == file) << received.size() << " bytes of " << file.size();
}

} // namespace
} // namespace tessaly
