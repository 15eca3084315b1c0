// Syncs against a real Apache mod_dav: the file, its lock and its ETags as
// a WebDAV share gives them.
#include "webdav/webdav_sync.h"

#include "core/file_version.h"
#include "core/tables.h"

#include "apache_dav_server.h"
#include "raw_server.h"
#include "scripted_ui.h"
#include "stored_bookmark.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

namespace tessaly {
namespace {

using namespace std::chrono_literals;
using test::storedBookmark;

std::string fixture(const std::string& name)
{
    std::ifstream in{std::string{TESSALY_SYNC_FIXTURES} + "/" + name, std::ios::binary};
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class WebDavSyncFixture : public ::testing::Test {
protected:
    // A server that answers without the headers named in `hidden`.
    explicit WebDavSyncFixture(std::vector<std::string> hidden = {})
        : apache{served.path(), false, std::move(hidden)}
    {}

    void SetUp() override
    {
        if (!apache.running()) {
            GTEST_SKIP() << apache.skipReason();
        }
        FileVersionLayer::instance().registerDatabaseFiles();
    }

    DavAccount account() const
    {
        return {apache.folderUrl(), test::ApacheDavServer::kUser, test::ApacheDavServer::kPassword,
                "bookmarks.xbel"};
    }

    WebDavSyncResult sync(const WebDavSyncOptions& options = {})
    {
        WebDavSyncOptions quick = options;
        quick.settleWait = 1100ms;
        return syncWithServer(db, account(), quick);
    }

    void add(std::string_view location, std::string_view description, std::string_view category)
    {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Description, description);
        r.setText(BookmarkField::Category, category);
        ASSERT_EQ(db.addBookmarkWithCategory(r), 0);
    }

    // "description|category", or "-" when Tessaly has no such bookmark.
    std::string stored(std::string_view location)
    {
        const Record r = storedBookmark(db, location);
        return r.position == 0
                   ? "-"
                   : r.text(BookmarkField::Description) + "|" + r.text(BookmarkField::Category);
    }

    std::string onServer() const { return apache.readFile("bookmarks.xbel"); }

    // A browser changes the file between our read and our write: the sync
    // reads and merges again, and both changes are on both sides.
    void writerBetweenReadAndWriteIsMerged()
    {
        apache.writeFile("bookmarks.xbel", fixture("floccus_bookmarks.xbel"));
        apache.age("bookmarks.xbel", 1h);
        add("https://mine.example/", "Mine", "Reading");
        int writes = 0;
        WebDavSyncOptions options;
        options.beforeWrite = [&] {
            if (writes++ == 0) {
                replaceOnServer("<title>Site C</title>", "<title>Site C from a browser</title>");
            }
        };
        const WebDavSyncResult result = sync(options);
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(writes, 2); // read and merged again
        EXPECT_NE(onServer().find("<title>Site C from a browser</title>"), std::string::npos);
        EXPECT_NE(onServer().find(R"(href="https://mine.example/")"), std::string::npos);
        EXPECT_EQ(stored("https://c.example/"), "Site C from a browser|Other");
    }

    // Changes the file on the server as a browser's sync would.
    void replaceOnServer(std::string_view from, std::string_view to)
    {
        std::string file = onServer();
        const std::size_t at = file.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        file.replace(at, from.size(), to);
        apache.writeFile("bookmarks.xbel", file);
    }

    test::TempFolder folder;
    test::TempFolder served;
    test::ApacheDavServer apache;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
};

class WebDavSyncTest : public WebDavSyncFixture {};

TEST_F(WebDavSyncTest, FirstSyncBothWaysThenEachSidesChangesAndDeletions)
{
    apache.writeFile("bookmarks.xbel", fixture("floccus_bookmarks.xbel"));
    add("https://mine.example/", "Mine", "Reading");

    WebDavSyncResult result = sync();
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_TRUE(result.wroteFile);
    EXPECT_EQ(result.message, "File: 1 added, 0 changed, 0 deleted. Tessaly: 3 added, 0 changed, "
                              "0 deleted. Conflicts: 0.\n");
    EXPECT_EQ(stored("https://b.example/"), "Site B|Work");
    EXPECT_NE(onServer().find("<title>Mine</title>"), std::string::npos);
    EXPECT_TRUE(onServer().starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"));
    EXPECT_FALSE(apache.exists("bookmarks.xbel.lock"));
    // The file is read once, not again after the write for its new tag.
    EXPECT_EQ(apache.requests("GET /dav/bookmarks.xbel HTTP"), 1);
    WebDavClient client{account()};
    EXPECT_EQ(lastSyncEtag(db, client.fileUrl("bookmarks.xbel")),
              strongEtag(client.head("bookmarks.xbel").etag));

    // A rename and a deletion in a browser, a new bookmark in Tessaly; the
    // file was written a moment ago, so its ETag is still the weak one.
    replaceOnServer("<title>Site A</title>", "<title>Site A, renamed</title>");
    replaceOnServer(
        R"(<bookmark href="https://c.example/" id="6"><title>Site C</title></bookmark>)", "");
    add("https://new.example/", "New", "Work");
    result = sync();
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(stored("https://a.example/"), "Site A, renamed|Bookmarks bar");
    EXPECT_EQ(stored("https://c.example/"), "-");
    EXPECT_NE(onServer().find(R"(<bookmark href="https://new.example/")"), std::string::npos);
    EXPECT_EQ(result.account.changedInTessaly, 1);
    EXPECT_EQ(result.account.deletedFromTessaly, 1);
    EXPECT_EQ(result.account.addedToFile, 1);

    // Nothing changed since: the file is not written again.
    const auto written = std::filesystem::last_write_time(apache.diskPath("bookmarks.xbel"));
    const std::string before = onServer();
    result = sync();
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_FALSE(result.wroteFile);
    EXPECT_EQ(onServer(), before);
    EXPECT_EQ(std::filesystem::last_write_time(apache.diskPath("bookmarks.xbel")), written);
}

TEST_F(WebDavSyncTest, FirstFileIsMadeAndDryRunChangesNothing)
{
    add("https://mine.example/", "Mine", "Reading");
    WebDavSyncOptions dry;
    dry.dryRun = true;
    WebDavSyncResult result = sync(dry);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_NE(result.message.find("File: add \"Mine\" <https://mine.example/>"), std::string::npos)
        << result.message;
    EXPECT_FALSE(apache.exists("bookmarks.xbel"));
    EXPECT_FALSE(apache.exists("bookmarks.xbel.lock"));

    result = sync();
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.account.addedToFile, 1);
    EXPECT_NE(onServer().find("highestId"), std::string::npos);
    EXPECT_NE(onServer().find(R"(href="https://mine.example/")"), std::string::npos);
}

TEST_F(WebDavSyncTest, LockHeldByAnotherClientStopsTheSyncUntilItRunsOut)
{
    apache.writeFile("bookmarks.xbel", fixture("floccus_bookmarks.xbel"));
    apache.writeFile("bookmarks.xbel.lock", "{}");
    add("https://mine.example/", "Mine", "Reading");

    WebDavSyncResult result = sync();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message.rfind("bookmarks.xbel is being synchronised by another program", 0),
              0u)
        << result.message;
    EXPECT_EQ(onServer(), fixture("floccus_bookmarks.xbel"));
    EXPECT_EQ(stored("https://a.example/"), "-");
    EXPECT_EQ(apache.readFile("bookmarks.xbel.lock"), "{}");

    apache.age("bookmarks.xbel.lock", 16min);
    result = sync();
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(stored("https://a.example/"), "Site A|Bookmarks bar");
    EXPECT_FALSE(apache.exists("bookmarks.xbel.lock"));
}

// Another program that takes no lock writes between our read and our
// write: its change is read and merged, never overwritten.
TEST_F(WebDavSyncTest, WriterBetweenReadAndWriteIsMergedNotOverwritten)
{
    writerBetweenReadAndWriteIsMerged();
}

// A server that names no ETag: another program's write between our read
// and our write is still read and merged, never overwritten.
class WebDavSyncWithoutEtagTest : public WebDavSyncFixture {
protected:
    WebDavSyncWithoutEtagTest() : WebDavSyncFixture({"ETag"}) {}
};

TEST_F(WebDavSyncWithoutEtagTest, WriterBetweenReadAndWriteIsMergedNotOverwritten)
{
    writerBetweenReadAndWriteIsMerged();
}

TEST_F(WebDavSyncTest, ConflictGoesToTheLaterChangeAndIsNamed)
{
    apache.writeFile("bookmarks.xbel", fixture("floccus_bookmarks.xbel"));
    ASSERT_TRUE(sync().ok);
    // Tessaly's change first, the browser's an hour later by the server's clock.
    db.bookmarks().use();
    db.bookmarkRelations().open();
    Record before{bookmarkTable()};
    before.setText(BookmarkField::Location, "https://a.example/");
    ASSERT_EQ(db.bookmarks().fetch(static_cast<int>(BookmarkKey::Location), before), 0);
    Record after = before;
    after.setText(BookmarkField::Description, "Tessaly's title");
    ASSERT_EQ(db.bookmarkRelations().update(before, after), 0);
    db.bookmarkRelations().close();
    db.bookmarks().close();
    replaceOnServer("<title>Site A</title>", "<title>Browser's title</title>");
    std::filesystem::last_write_time(apache.diskPath("bookmarks.xbel"),
                                     std::filesystem::file_time_type::clock::now() + 1h);

    const WebDavSyncResult result = sync();
    ASSERT_TRUE(result.ok) << result.message;
    ASSERT_EQ(result.account.conflicts.size(), 1u);
    EXPECT_EQ(result.account.conflicts[0].winner, SyncSide::File);
    EXPECT_EQ(stored("https://a.example/"), "Browser's title|Bookmarks bar");
    EXPECT_NE(result.message.find("https://a.example/"), std::string::npos) << result.message;
}

TEST_F(WebDavSyncTest, RefusedUnansweredAndFailingServersChangeNothing)
{
    add("https://mine.example/", "Mine", "Reading");
    DavAccount wrong = account();
    wrong.password = "wrong";
    WebDavSyncResult result = syncWithServer(db, wrong);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "The server refused the user name or password (401)");
    EXPECT_FALSE(apache.exists("bookmarks.xbel"));

    WebDavSyncOptions quick;
    quick.limits.connectSeconds = 1;
    quick.limits.stallSeconds = 1;
    quick.limits.totalSeconds = 2;
    test::RawServer silent{[](test::RawServer::Connection& c) {
        c.pause(5s);
    }};
    result = syncWithServer(db, {silent.url("/dav/"), "u", "p"}, quick);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message.rfind("The server did not answer: ", 0), 0u) << result.message;

    test::RawServer failing{[](test::RawServer::Connection& c) {
        c.send("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n");
    }};
    result = syncWithServer(db, {failing.url("/dav/"), "u", "p"}, quick);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "The server failed (503); try again later");
    EXPECT_EQ(stored("https://mine.example/"), "Mine|Reading");
}

// Two data folders that share the file. Each side is a database of its
// own opened for each sync, so a side may sync in a child process.
class WebDavTwoSidesTest : public WebDavSyncFixture {
protected:
    // One sync of the data folder `path`, adding `location` there first
    // when given.
    WebDavSyncResult syncSide(const std::string& path, std::string_view location = {})
    {
        test::ScriptedUi sideUi;
        MessageManager sideMessages{sideUi};
        Database side{sideMessages, path};
        if (!location.empty()) {
            Record r{bookmarkTable()};
            r.setText(BookmarkField::Location, location);
            r.setText(BookmarkField::Category, "P");
            if (side.addBookmarkWithCategory(r) != 0) {
                WebDavSyncResult refused;
                refused.message = "could not add " + std::string{location};
                return refused;
            }
        }
        return syncWithServer(side, account());
    }

    bool holds(const std::string& path, std::string_view location)
    {
        test::ScriptedUi sideUi;
        MessageManager sideMessages{sideUi};
        Database side{sideMessages, path};
        return storedBookmark(side, location).position != 0;
    }

    // Both sides add a bookmark and sync at the same moment, each in a
    // process of its own as two programs would: their exit codes, 0 for a
    // sync done, 1 for one stopped by the other's lock, 2 for anything else
    // (its message is in the side's folder).
    std::array<int, 2> syncTogether(const std::array<const test::TempFolder*, 2>& sides,
                                    const std::array<std::string, 2>& locations)
    {
        int gate[2] = {-1, -1};
        EXPECT_EQ(::pipe(gate), 0);
        std::array<pid_t, 2> children{};
        for (std::size_t i = 0; i < 2; ++i) {
            children[i] = ::fork();
            if (children[i] == 0) {
                ::close(gate[1]);
                char go = 0;
                (void)!::read(gate[0], &go, 1); // until the parent lets both go
                const WebDavSyncResult result = syncSide(sides[i]->path(), locations[i]);
                sides[i]->write("message", result.message);
                const bool stopped = result.message.starts_with(
                    "bookmarks.xbel is being synchronised by another program");
                ::_exit(result.ok ? 0 : stopped ? 1 : 2);
            }
        }
        ::close(gate[0]);
        ::close(gate[1]);
        std::array<int, 2> codes{};
        for (std::size_t i = 0; i < 2; ++i) {
            int status = 0;
            ::waitpid(children[i], &status, 0);
            codes[i] = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return codes;
    }

    test::TempFolder sideA;
    test::TempFolder sideB;
};

// Two syncs that find the lock free at the same moment may both write it
// (the server does not make a conditional write of a new file atomic):
// only the one whose lock stands goes on, the other stops and says why,
// and the next syncs bring each side the other's bookmarks.
TEST_F(WebDavTwoSidesTest, SyncsStartedTogetherWriteOneAtATimeAndLoseNothing)
{
    ASSERT_TRUE(syncSide(sideA.path()).ok);
    ASSERT_TRUE(syncSide(sideB.path()).ok);
    std::vector<std::string> added;
    for (int round = 1; round <= 3; ++round) {
        const std::array<std::string, 2> locations{"https://a.example/" + std::to_string(round),
                                                   "https://b.example/" + std::to_string(round)};
        added.insert(added.end(), locations.begin(), locations.end());
        const std::array<int, 2> codes = syncTogether({&sideA, &sideB}, locations);
        EXPECT_TRUE((codes == std::array{0, 1} || codes == std::array{1, 0}))
            << "round " << round << ": A " << codes[0] << " " << sideA.read("message") << ", B "
            << codes[1] << " " << sideB.read("message");
        EXPECT_FALSE(apache.exists("bookmarks.xbel.lock"));
    }
    for (const std::string* path : {&sideA.path(), &sideB.path(), &sideA.path()}) {
        const WebDavSyncResult result = syncSide(*path);
        ASSERT_TRUE(result.ok) << result.message;
    }
    for (const std::string& location : added) {
        EXPECT_TRUE(holds(sideA.path(), location)) << location;
        EXPECT_TRUE(holds(sideB.path(), location)) << location;
        EXPECT_NE(onServer().find("href=\"" + location + "\""), std::string::npos) << location;
    }
}

// A browser's file of 100,000 bookmarks in a hundred folders.
std::string largeFile()
{
    std::string file = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE xbel PUBLIC "
                       "\"+//IDN python.org//DTD XML Bookmark Exchange Language 1.0//EN//XML\" "
                       "\"http://pyxml.sourceforge.net/topics/dtds/xbel.dtd\">\n<xbel "
                       "version=\"1.0\">\n<!--- highestId :100100: for Floccus bookmark sync "
                       "browser extension -->\n";
    int id = 0;
    for (int f = 0; f < 100; ++f) {
        file += "<folder id=\"" + std::to_string(++id) + "\"><title>Folder " + std::to_string(f) +
                "</title>\n";
        for (int b = 0; b < 1000; ++b) {
            const std::string n = std::to_string(f * 1000 + b);
            file += "<bookmark href=\"https://site" + n + ".example/page\" id=\"" +
                    std::to_string(++id) + "\"><title>Page " + n + "</title></bookmark>\n";
        }
        file += "</folder>\n";
    }
    return file + "</xbel>\n";
}

TEST_F(WebDavSyncTest, HundredThousandBookmarksSyncedAgainWritingNothing)
{
    apache.writeFile("bookmarks.xbel", largeFile());
    apache.age("bookmarks.xbel", 1h);
    const auto firstStart = std::chrono::steady_clock::now();
    WebDavSyncResult result = sync();
    const auto first = std::chrono::steady_clock::now() - firstStart;
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.account.addedToTessaly, 100000);
    EXPECT_FALSE(result.wroteFile);
    EXPECT_EQ(stored("https://site99999.example/page"), "Page 99999|Folder 99");

    const auto written = std::filesystem::last_write_time(apache.diskPath("bookmarks.xbel"));
    WebDavClient client{account()};
    const std::string etag = client.head("bookmarks.xbel").etag;
    const auto start = std::chrono::steady_clock::now();
    result = sync();
    const auto again = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_FALSE(result.wroteFile);
    // The figure itself (two seconds at most on a quiet machine) is the
    // benchmark's; a test on a shared machine only catches a sync that
    // reads or writes far more than it should.
    EXPECT_LE(again, 10s);
    EXPECT_EQ(std::filesystem::last_write_time(apache.diskPath("bookmarks.xbel")), written);
    EXPECT_EQ(client.head("bookmarks.xbel").etag, etag);
    std::cout << "100,000 bookmarks: first sync "
              << std::chrono::duration_cast<std::chrono::milliseconds>(first).count()
              << " ms, sync with no change "
              << std::chrono::duration_cast<std::chrono::milliseconds>(again).count() << " ms\n";
}

// Opens of one file of a folder, and files renamed over it, as the kernel
// tells them.
class FileWatch {
public:
    FileWatch(const test::TempFolder& folder, std::string name) : name_(std::move(name))
    {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        // Closes too, though not counted: the kernel folds an event into
        // the one before it when they are alike, so opens must alternate.
        ::inotify_add_watch(fd_, folder.path().c_str(), IN_OPEN | IN_CLOSE | IN_MOVED_TO);
    }
    ~FileWatch() { ::close(fd_); }
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // "opened N, replaced N" since the last call.
    std::string seen()
    {
        int opened = 0;
        int replaced = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n = 0; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char* at = buffer; at < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0 && name_ == event->name) {
                    opened += (event->mask & IN_OPEN) != 0 ? 1 : 0;
                    replaced += (event->mask & IN_MOVED_TO) != 0 ? 1 : 0;
                }
                at += sizeof(inotify_event) + event->len;
            }
        }
        return "opened " + std::to_string(opened) + ", replaced " + std::to_string(replaced);
    }

private:
    std::string name_;
    int fd_ = -1;
};

// The server's settings are read with one read of TESSLY.INI and kept with
// one write, so they change together or not at all, beside what else the
// file holds.
TEST(SyncSettingsTest, ReadOnceAndKeptInOneWrite)
{
    test::TempFolder folder;
    const std::string ini = folder.write("TESSLY.INI", "[Other]\nKey=1\n[sync]\nurl=old\n");
    FileWatch watch{folder, "TESSLY.INI"};
    std::string error;
    ASSERT_TRUE(
        saveSyncSettings({"https://dav.example/files/", "me", "marks.xbel", 30}, ini, error))
        << error;
    EXPECT_EQ(watch.seen(), "opened 1, replaced 1");
    const SyncServerSettings read = loadSyncSettings(ini);
    EXPECT_EQ(watch.seen(), "opened 1, replaced 0");
    EXPECT_EQ(read.url, "https://dav.example/files/");
    EXPECT_EQ(read.user, "me");
    EXPECT_EQ(read.file, "marks.xbel");
    EXPECT_EQ(read.intervalMinutes, 30);
    EXPECT_EQ(folder.read("TESSLY.INI"), "[Other]\nKey=1\n[sync]\nurl=https://dav.example/files/\n"
                                         "User=me\nFile=marks.xbel\nIntervalMinutes=30\n");

    // A file that cannot be read is not written over.
    const std::string unreadable = folder.file("folder.ini");
    std::filesystem::create_directory(unreadable);
    EXPECT_FALSE(saveSyncSettings(read, unreadable, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(unreadable));
    EXPECT_EQ(loadSyncSettings(unreadable).file, "bookmarks.xbel");
}

} // namespace
} // namespace tessaly
