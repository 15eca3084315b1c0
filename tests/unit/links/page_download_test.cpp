#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/ini_file.h"
#include "framework/picture.h"
#include "links/download_account.h"
#include "links/download_batch.h"
#include "links/link_test.h"
#include "links/page_download.h"

#include "ftp_responder.h"
#include "local_server.h"
#include "raw_server.h"
#include "scripted_ui.h"
#include "stored_bookmark.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

namespace tessaly {
namespace {

TEST(FileNameTest, NamesAreCleanedAndNeverLeaveTheFolder)
{
    const std::string address = "http://site.test/dir/";
    EXPECT_EQ(cleanFileName("C:\\cache\\index[1].html", address), "index.html");
    EXPECT_EQ(cleanFileName("a[1]b[2].htm", address), "ab.htm");
    EXPECT_EQ(cleanFileName("what?*.html", address), "what__.html");
    EXPECT_EQ(cleanFileName("", address), "http___site.test_dir_");

    // Content-Disposition first, then the last segment of the address that
    // answered, then the address as one name.
    EXPECT_EQ(pageFileName("attachment; filename=\"report[1].pdf\"", "http://h/x", address),
              "report.pdf");
    EXPECT_EQ(pageFileName("attachment; filename=\"../../etc/passwd\"", "http://h/x", address),
              "passwd");
    EXPECT_EQ(pageFileName("attachment; filename=\"a/b\\\\c.txt\"", "http://h/x", address),
              "c.txt");
    EXPECT_EQ(pageFileName("attachment; filename=\"..\"", "http://h/x/", address),
              "http___site.test_dir_");
    EXPECT_EQ(pageFileName("attachment; filename=\".\"", "http://h/page.html", address),
              "page.html");
    EXPECT_EQ(pageFileName("inline; filename*=UTF-8''caf%C3%A9%0A.html", "", address),
              "caf\xC3\xA9.html");
    EXPECT_EQ(pageFileName("", "http://h/a/index.html?x=1#top", address), "index.html");
    EXPECT_EQ(pageFileName("", "http://h/a/..", "http://h/a/.."), "http___h_a_..");
    EXPECT_EQ(pageFileName("", "http://h", "."), "temp.html");
    const std::string longName =
        pageFileName("", "http://h/" + std::string(300, 'x') + ".html", address);
    EXPECT_LE(longName.size(), 240U);
    EXPECT_TRUE(longName.ends_with("x.html"));
}

TEST(FileNameTest, AServersNameCannotHideOrDisguiseAFile)
{
    EXPECT_EQ(serverFileName(".bashrc"), "bashrc");
    EXPECT_EQ(serverFileName("...profile"), "profile");
    // Right-to-left override: "photo_\u202Egnp.exe" shows as "photo_exe.png".
    EXPECT_EQ(serverFileName("photo_\xE2\x80\xAEgnp.exe"), "photo_gnp.exe");
    EXPECT_EQ(serverFileName("a\xE2\x80\x8B"
                             "b\xEF\xBB\xBF"
                             "c\xE2\x81\xA6.txt"),
              "abc.txt");
    EXPECT_EQ(serverFileName("\xE2\x80\x8B.bashrc"), "bashrc") << "nothing invisible before a dot";
    EXPECT_EQ(serverFileName("tab\there\x1B[31m\xC2\x85.txt"), "tabhere[31m.txt");
    EXPECT_EQ(serverFileName("v1.2.tar.gz"), "v1.2.tar.gz");

    const std::string address = "http://site.test/dir/";
    EXPECT_EQ(pageFileName("attachment; filename=\".bashrc\"", "http://h/x", address), "bashrc");
    EXPECT_EQ(pageFileName("attachment; filename=\"\xE2\x80\xAE\"", "http://h/.htaccess", address),
              "htaccess");
}

// The names a page may take in a folder: its own earlier file may be
// replaced, nobody else's.
TEST(FileNameTest, APageNeverTakesAnotherAddresssFile)
{
    test::TempFolder folder;
    const std::string into = folder.path() + "/";
    const std::string a = "http://h/a/index.html";
    const std::string b = "http://h/b/index.html";
    folder.write("index.html", "page a");
    folder.write("notes.txt", "the user's own");
    folder.write("shared.htm", "two bookmarks name it");
    std::filesystem::create_directory(folder.file("dir.html"));
    DownloadNames names;
    names.record(folder.file("index.html"), a);
    names.record(folder.file("shared.htm"), a);
    names.record(folder.file("shared.htm"), b);
    names.record(folder.file("gone.html"), b); // no such file: nothing to keep

    auto claim = [&](const std::string& name, const std::string& address) {
        const auto choice = names.claim(into, name, address);
        return choice ? choice->path.substr(into.size()) + (choice->replaces ? " (replaces)" : "")
                      : std::string{"none"};
    };
    EXPECT_EQ(claim("index.html", b), "index (2).html");
    EXPECT_EQ(claim("index.html", "HTTP://H/A/INDEX.HTML"), "index.html (replaces)")
        << "a bookmark's address ignores letter case";
    EXPECT_EQ(claim("notes.txt", a), "notes (2).txt") << "a file recorded for nobody stays";
    EXPECT_EQ(claim("shared.htm", a), "shared (2).htm");
    EXPECT_EQ(claim("dir.html", a), "dir (2).html");
    // Two pages of one run never share a name, even before either exists.
    EXPECT_EQ(claim("new.html", a), "new.html");
    EXPECT_EQ(claim("new.html", b), "new (2).html");
    EXPECT_EQ(claim("README", b), "README");
    EXPECT_EQ(claim("README", a), "README (2)");
}

TEST(DownloadLogTest, EveryAddressIsFoundAgainUnderItsKey)
{
    test::TempFolder folder;
    const std::string log = folder.file("DOWNLOAD.LOG");
    const std::vector<std::string> addresses = {
        "http://h/a?x=1&y=2", "http://h/;jsessionid=5", "http://h/[1]",   "http://h/a%3Db",
        "http://h/a=b",       "http://h/%41%",          "http://h/%253D", "http://h/%%3D",
    };
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        EXPECT_EQ(addressOfDownloadLogKey(downloadLogKey(addresses[i])), addresses[i]);
        ASSERT_TRUE(writeIniValue(log, "Download", downloadLogKey(addresses[i]),
                                  "/f/" + std::to_string(i) + " on 12/7/2026"));
    }
    EXPECT_EQ(downloadLogKey("http://h/a%20b"), "http://h/a%20b") << "ordinary keys stay";
    IniFile ini;
    ASSERT_TRUE(ini.load(log));
    const std::vector<std::string> keys = ini.keys("Download");
    ASSERT_EQ(keys.size(), addresses.size()) << "no two addresses share an entry";
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        EXPECT_EQ(addressOfDownloadLogKey(keys[i]), addresses[i]);
        EXPECT_EQ(ini.value("Download", downloadLogKey(addresses[i])).value_or(""),
                  "/f/" + std::to_string(i) + " on 12/7/2026");
    }
}

class PageDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        local.server.Get(R"(/(a|b)/index.html)",
                         [](const httplib::Request& request, httplib::Response& response) {
                             response.set_content("page " + request.matches[1].str(), "text/html");
                         });
        local.server.Get("/empty", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("", "text/html");
        });
        local.server.Get("/big", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(big, "application/octet-stream");
        });
        local.server.Get("/named", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("Content-Disposition", "attachment; filename=\"../notes[1].txt\"");
            response.set_content("notes", "text/plain");
        });
        local.server.Get("/moved", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/a/index.html", 301);
        });
        local.server.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<title>Not here</title>", "text/html");
        });
        for (std::size_t i = 0; i < big.size(); ++i) {
            big[i] = static_cast<char>('a' + i % 26);
        }
    }

    void add(const std::string& location)
    {
        ASSERT_EQ(test::addBookmark(db, location, "C"), kLevelDone);
    }

    PageDownload& download(const std::string& into, const std::string& path,
                           DownloadBounds bounds = {})
    {
        current =
            std::make_unique<PageDownload>(into, local.url(path), log(), today, &names, bounds);
        current->run();
        return *current;
    }

    std::string log() const { return data.file("DOWNLOAD.LOG"); }
    std::string logged(const std::string& address) const
    {
        return readIniValue(log(), "Download", downloadLogKey(address));
    }

    DownloadSummary runBatch(const std::string& filter, const std::string& into,
                             DownloadBounds bounds = {})
    {
        DownloadBatch batch{db, ui, today, log()};
        batch.setBounds(bounds);
        batch.setObserver([this](const DownloadItem& item) { items.push_back(item); });
        return batch.run(filter, [&into] { return std::optional<std::string>{into}; });
    }

    // Ends the pages that never end: set before the server stops, kept
    // until it has.
    std::atomic<bool> stopServing = false;
    test::LocalServer local;
    struct StopServing {
        std::atomic<bool>& flag;
        ~StopServing() { flag = true; }
    } stopServingFirst{stopServing};
    test::TempFolder data;
    test::TempFolder target;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, data.path()};
    DownloadNames names;
    std::unique_ptr<PageDownload> current;
    std::vector<DownloadItem> items;
    std::string big = std::string(5 * 1024 * 1024, 'x');
    const std::int32_t today = dates::dayNumber(2026, 12, 7);
    const std::string onToday = " on " + format(static_cast<double>(today), "@d17");
};

TEST_F(PageDownloadTest, PagesAreSavedWholeUnderTheirNamesAndLogged)
{
    const PageDownload& empty = download(target.path() + "*", "/empty");
    EXPECT_EQ(empty.path(), target.file("empty"));
    EXPECT_TRUE(empty.complete());
    EXPECT_TRUE(std::filesystem::is_regular_file(empty.path()));
    EXPECT_EQ(std::filesystem::file_size(empty.path()), 0U);
    EXPECT_EQ(logged(local.url("/empty")), target.file("empty") + onToday);

    const PageDownload& large = download(target.path() + "/*", "/big");
    EXPECT_EQ(large.path(), target.file("big")) << "no doubled separator";
    EXPECT_EQ(large.total(), std::int64_t(big.size()));
    EXPECT_EQ(target.read("big"), big);

    const PageDownload& named = download(target.path() + "*", "/named");
    EXPECT_EQ(named.path(), target.file("notes.txt"));

    // The page that answered names the file, not the address that moved.
    const PageDownload& moved = download(target.path() + "*", "/moved");
    EXPECT_EQ(moved.path(), target.file("index.html"));
    EXPECT_EQ(target.read("index.html"), "page a");

    // File mode: the target is the path.
    const PageDownload& exact = download(target.file("chosen.htm"), "/a/index.html");
    EXPECT_EQ(exact.path(), target.file("chosen.htm"));
    EXPECT_EQ(target.read("chosen.htm"), "page a");
    EXPECT_EQ(logged(local.url("/a/index.html")), target.file("chosen.htm") + onToday);

    // A later download of the address replaces its entry.
    download(target.file("again.htm"), "/a/index.html");
    EXPECT_EQ(logged(local.url("/a/index.html")), target.file("again.htm") + onToday);
}

TEST_F(PageDownloadTest, AnFtpFileIsSavedUnderItsOwnName)
{
    test::FtpResponder ftp{"plain text over FTP"};
    PageDownload file{target.path() + "*", ftp.url("notes.txt"), log(), today};
    file.run();
    EXPECT_EQ(file.path(), target.file("notes.txt"));
    EXPECT_TRUE(file.complete()) << file.problem();
    EXPECT_EQ(target.read("notes.txt"), "plain text over FTP");
}

TEST_F(PageDownloadTest, AFileOrLinkThereBeforeIsNeitherReplacedNorFollowed)
{
    const std::string outside = data.write("outside.txt", "keep me");
    ASSERT_EQ(::symlink(outside.c_str(), target.file("index.html").c_str()), 0);
    download(target.path() + "*", "/a/index.html");
    EXPECT_EQ(target.read("index (2).html"), "page a");
    EXPECT_TRUE(std::filesystem::is_symlink(target.file("index.html")));
    EXPECT_EQ(data.read("outside.txt"), "keep me");

    // A file named by the caller is replaced as asked, a link there too.
    download(target.file("index.html"), "/b/index.html");
    EXPECT_FALSE(std::filesystem::is_symlink(target.file("index.html")));
    EXPECT_EQ(target.read("index.html"), "page b");
    EXPECT_EQ(data.read("outside.txt"), "keep me");
}

TEST_F(PageDownloadTest, NothingIsWrittenForAnAddressNoOneAnswers)
{
    PageDownload refused{target.path() + "*", "http://127.0.0.1:1/page.html", log(), today};
    refused.run();
    EXPECT_TRUE(refused.path().empty());
    EXPECT_FALSE(refused.problem().empty());
    EXPECT_TRUE(std::filesystem::is_empty(target.path()));
    EXPECT_FALSE(std::filesystem::exists(log()));
}

TEST_F(PageDownloadTest, AStalledBodyStopsAtTheStallTimeAndCancelLeavesNoFile)
{
    test::RawServer stalling{[](test::RawServer::Connection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" +
                        std::string(3000, 'h'));
        connection.pause(std::chrono::seconds(30));
    }};
    DownloadBounds bounds;
    bounds.http.stallSeconds = 1;
    PageDownload stalled{
        target.path() + "*", stalling.url("/half.html"), log(), today, nullptr, bounds};
    stalled.run();
    EXPECT_TRUE(stalled.path().empty());
    EXPECT_FALSE(stalled.complete());
    EXPECT_TRUE(stalled.failed());
    EXPECT_FALSE(stalled.problem().empty());
    EXPECT_TRUE(std::filesystem::is_empty(target.path())) << "half a page is not kept";
    EXPECT_EQ(logged(stalling.url("/half.html")), "");

    PageDownload waiting{target.path() + "*", stalling.url("/wait.html"), log(), today};
    std::thread runner{[&] {
        waiting.run();
    }};
    while (waiting.total() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto cancelled = std::chrono::steady_clock::now();
    waiting.cancel();
    runner.join();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(2));
    EXPECT_TRUE(waiting.path().empty());
    EXPECT_FALSE(std::filesystem::exists(target.file("wait.html")));
    EXPECT_EQ(logged(stalling.url("/wait.html")), "");
}

// Pages that never end, quickly or slowly, and a server that never
// answers, with bounds small enough for a test.
TEST_F(PageDownloadTest, TricklingAndEndlessPagesEndAsFailedAndLeaveNothing)
{
    std::atomic<bool>& stop = stopServing;
    const auto endless = [&stop](std::size_t block, std::chrono::milliseconds every) {
        return [&stop, block, every](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider(
                "text/html", [&stop, block, every](std::size_t, httplib::DataSink& sink) {
                    std::this_thread::sleep_for(every);
                    return !stop && sink.write(std::string(block, 'x').data(), block);
                });
        };
    };
    local.server.Get("/trickle.html", endless(1, std::chrono::milliseconds(20)));
    local.server.Get("/flood.html", endless(64 * 1024, std::chrono::milliseconds(0)));
    local.server.Get("/steady.html", endless(4096, std::chrono::milliseconds(100)));
    {
        // A bookmark whose page was saved before.
        FileManager& bookmarks = db.bookmarks();
        bookmarks.use();
        Record flood{bookmarkTable()};
        flood.setText(BookmarkField::Location, local.url("/flood.html"));
        flood.setText(BookmarkField::OriginalFilename, "/earlier/flood.html");
        ASSERT_EQ(bookmarks.insert(flood), kLevelDone);
        bookmarks.close();
    }
    const auto started = std::chrono::steady_clock::now();

    // Under 1 KB/s for the stall time, though a byte comes every 20 ms.
    DownloadBounds bounds;
    bounds.http.stallSeconds = 1;
    const PageDownload& trickle = download(target.path() + "*", "/trickle.html", bounds);
    EXPECT_TRUE(trickle.failed());
    EXPECT_GT(trickle.total(), 0);
    // Past the most bytes.
    bounds.mostBytes = 1024 * 1024;
    const PageDownload& flood = download(target.path() + "*", "/flood.html", bounds);
    EXPECT_TRUE(flood.failed());
    EXPECT_NE(flood.problem().find("1048576 bytes"), std::string::npos) << flood.problem();
    // 40 KB/s for ever: past the most time.
    bounds.http.totalSeconds = 2;
    const PageDownload& steady = download(target.path() + "*", "/steady.html", bounds);
    EXPECT_TRUE(steady.failed());
    EXPECT_GT(steady.total(), 40 * 1024);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
    for (const PageDownload* page : {&trickle, &flood, &steady}) {
        EXPECT_FALSE(page->complete());
        EXPECT_TRUE(page->path().empty());
    }
    EXPECT_TRUE(std::filesystem::is_empty(target.path())) << "no partial file, hidden or not";
    EXPECT_FALSE(std::filesystem::exists(log()));

    // In a run, such a page marks its bookmark failed and keeps the file it
    // had.
    const DownloadSummary summary =
        runBatch(currentBookmarkFilter(local.url("/flood.html")), target.path(), bounds);
    EXPECT_EQ(summary.saved, 0);
    EXPECT_EQ(summary.failed, 1);
    ASSERT_EQ(items.size(), 1U);
    EXPECT_TRUE(items[0].marked);
    const Record flooded = test::storedBookmark(db, local.url("/flood.html"));
    EXPECT_EQ(flooded.number(BookmarkField::Validated), kLinkFail);
    EXPECT_EQ(flooded.number(BookmarkField::LastValidated), today);
    EXPECT_EQ(flooded.text(BookmarkField::OriginalFilename), "/earlier/flood.html");
    EXPECT_TRUE(std::filesystem::is_empty(target.path()));
}

TEST_F(PageDownloadTest, AServerThatNeverAnswersIsAskedOnce)
{
    std::atomic<int> asked = 0;
    test::RawServer silent{[&asked](test::RawServer::Connection& connection) {
        ++asked;
        connection.pause(std::chrono::seconds(30));
    }};
    DownloadBounds bounds;
    bounds.http.stallSeconds = 1;
    const auto started = std::chrono::steady_clock::now();
    PageDownload waiting{
        target.path() + "*", silent.url("/page.html"), log(), today, nullptr, bounds};
    waiting.run();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3))
        << "three tries take three stall times";
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(waiting.failed()) << "no answer: the bookmark is left as it is";
    EXPECT_FALSE(waiting.problem().empty());
    EXPECT_TRUE(std::filesystem::is_empty(target.path()));
}

// A small file system of its own: read-only, or nearly full. Mounting
// needs root; elsewhere the test is skipped.
class SmallDisk {
public:
    explicit SmallDisk(bool readOnly)
    {
        mounted_ = ::geteuid() == 0 && ::mount("tessaly-test", folder_.path().c_str(), "tmpfs",
                                               readOnly ? MS_RDONLY : 0, "size=64k") == 0;
    }
    ~SmallDisk()
    {
        if (mounted_) {
            ::umount(folder_.path().c_str());
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }
    std::string path() const { return folder_.path(); }

private:
    test::TempFolder folder_;
    bool mounted_ = false;
};

TEST_F(PageDownloadTest, AReadOnlyFolderWritesNothingAndSaysWhy)
{
    SmallDisk readOnly{true};
    if (!readOnly.mounted()) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    const PageDownload& refused = download(readOnly.path() + "*", "/a/index.html");
    EXPECT_TRUE(refused.path().empty());
    EXPECT_NE(refused.problem().find("Read-only file system"), std::string::npos)
        << refused.problem();
    EXPECT_EQ(logged(local.url("/a/index.html")), "");
}

TEST_F(PageDownloadTest, AFullDiskStopsTheRunWithWriteFileFailed)
{
    SmallDisk full{false};
    if (!full.mounted()) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    add(local.url("/a/index.html"));
    add(local.url("/big"));
    add(local.url("/named"));
    const DownloadSummary summary = runBatch("", full.path());
    EXPECT_FALSE(summary.writeError.empty());
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_EQ(ui.shown.back().title, "Retrieve Web Document");
    EXPECT_TRUE(ui.shown.back().text.starts_with("WriteFile failed\n\n")) << ui.shown.back().text;
    EXPECT_NE(ui.shown.back().text.find("No space left on device"), std::string::npos);
    EXPECT_EQ(summary.saved, 1) << "the page before the full disk";
    EXPECT_EQ(test::storedBookmark(db, local.url("/big")).number(BookmarkField::Validated), 0);
    EXPECT_EQ(test::storedBookmark(db, local.url("/named")).number(BookmarkField::LastVisit), 0)
        << "the run stopped";
}

TEST_F(PageDownloadTest, TheBatchSavesEachPageApartAndMarksItsBookmark)
{
    add(local.url("/b/index.html"));
    add(local.url("/a/index.html"));
    add(local.url("/missing"));
    add("http://127.0.0.1:1/nobody.html");
    ui.answers = {ButtonNo}; // no query
    const DownloadSummary summary = runBatch("", target.path());
    EXPECT_EQ(summary.visited, 4);
    EXPECT_EQ(summary.saved, 3);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(summary.missed, 1);
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.shown[0].text, "Would you like to select which links are to be tested?");

    // Location order: /a before /b; the second index.html gets a name of
    // its own.
    const Record a = test::storedBookmark(db, local.url("/a/index.html"));
    const Record b = test::storedBookmark(db, local.url("/b/index.html"));
    EXPECT_EQ(a.text(BookmarkField::OriginalFilename), target.file("index.html"));
    EXPECT_EQ(b.text(BookmarkField::OriginalFilename), target.file("index (2).html"));
    EXPECT_EQ(target.read("index.html"), "page a");
    EXPECT_EQ(target.read("index (2).html"), "page b");
    EXPECT_EQ(a.number(BookmarkField::Validated), kLinkPass);
    EXPECT_EQ(a.number(BookmarkField::LastVisit), today);
    EXPECT_EQ(a.number(BookmarkField::LastValidated), today);

    const Record missing = test::storedBookmark(db, local.url("/missing"));
    EXPECT_EQ(missing.text(BookmarkField::OriginalFilename), target.file("missing"));
    EXPECT_EQ(missing.number(BookmarkField::Validated), kLinkFail);
    const Record nobody = test::storedBookmark(db, "http://127.0.0.1:1/nobody.html");
    EXPECT_EQ(nobody.number(BookmarkField::LastVisit), 0);
    ASSERT_EQ(items.size(), 4U);
    EXPECT_EQ(items[0].location, "http://127.0.0.1:1/nobody.html") << "location order";
    EXPECT_FALSE(items[0].saved);
    EXPECT_FALSE(items[0].problem.empty());

    ASSERT_GE(ui.progressTexts.size(), 3U);
    EXPECT_EQ(ui.progressTexts[0], "Processing Records");
    EXPECT_EQ(ui.progressTexts[1], "0% Completed\nDownloading...");
    EXPECT_EQ(ui.progressTexts[3], "50% Completed\nDownloading 2 of up to 4 URLs\nDownloading " +
                                       local.url("/a/index.html"));

    // A later run replaces a bookmark's own page, never another's.
    items.clear();
    runBatch(currentBookmarkFilter(local.url("/b/index.html")), target.path());
    ASSERT_EQ(items.size(), 1U) << "exactly the current bookmark";
    EXPECT_EQ(items[0].path, target.file("index (2).html"));
    EXPECT_EQ(target.read("index.html"), "page a");
    EXPECT_EQ(target.read("index (2).html"), "page b");
}

// Across runs, what keeps a page apart is what the log and the bookmarks
// record: either alone is enough.
TEST_F(PageDownloadTest, ALaterRunNeverReplacesAnotherBookmarksPage)
{
    add(local.url("/a/index.html"));
    add(local.url("/b/index.html"));
    runBatch(currentBookmarkFilter(local.url("/a/index.html")), target.path());
    ASSERT_EQ(target.read("index.html"), "page a");

    // Without the log, the bookmark's file field keeps it.
    std::filesystem::remove(log());
    runBatch(currentBookmarkFilter(local.url("/b/index.html")), target.path());
    EXPECT_EQ(target.read("index.html"), "page a");
    EXPECT_EQ(target.read("index (2).html"), "page b");

    // Without a bookmark's file field, the log keeps it.
    add(local.url("/named"));
    target.write("notes.txt", "notes of a");
    ASSERT_TRUE(writeIniValue(log(), "Download", downloadLogKey(local.url("/a/index.html")),
                              downloadLogKey(target.file("notes.txt")) + onToday));
    runBatch(currentBookmarkFilter(local.url("/named")), target.path());
    EXPECT_EQ(target.read("notes.txt"), "notes of a");
    EXPECT_EQ(target.read("notes (2).txt"), "notes");

    // A bookmark's own page is replaced in place.
    runBatch(currentBookmarkFilter(local.url("/b/index.html")), target.path());
    EXPECT_EQ(target.read("index (2).html"), "page b");
    EXPECT_FALSE(std::filesystem::exists(target.file("index (3).html")));
}

TEST_F(PageDownloadTest, ABookmarkThatCannotBeWrittenIsReportedAndStopsTheRun)
{
    add(local.url("/a/index.html"));
    add(local.url("/b/index.html"));
    // Another program reading the database keeps the first mark from being
    // written: message 25 names the view, and the run stops there.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(data.file("URLDATA.tps").c_str(), &reader), SQLITE_OK);
    sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
    const DownloadSummary summary = runBatch(currentBookmarkFilter("") + " OR 1=1", target.path());
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);
    EXPECT_NE(summary.writeLevel, kLevelDone);
    // The marks are committed a group at a time: the group fails as one.
    EXPECT_EQ(summary.visited, 2);
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.shown[0].title, "Record was not updated");
    EXPECT_NE(ui.shown[0].text.find("Process:View"), std::string::npos) << ui.shown[0].text;
    EXPECT_EQ(test::storedBookmark(db, local.url("/a/index.html")).number(BookmarkField::LastVisit),
              0);
}

// While a run waits for a slow page, another program's write gets its
// turn within the wait of the windows (five seconds), whether the page is
// one of many or the caller's own; the pages that came quickly are still
// committed together.
TEST_F(PageDownloadTest, AnotherProgramWritesWhileASlowPageIsAwaited)
{
    std::atomic<bool> asked = false;
    std::atomic<bool> written = false;
    local.server.Get("/slow.html", [&](const httplib::Request&, httplib::Response& response) {
        asked = true;
        for (int i = 0; i < 1500 && !written && !stopServing; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        response.set_content("slow", "text/html");
    });
    // The level of another program's adding of `address` once the slow
    // page has been asked for, during `run`.
    const auto writtenMeanwhile = [&](const std::function<void()>& run, std::string_view address) {
        asked = false;
        written = false;
        int level = -1;
        std::thread writer([&] {
            for (int i = 0; i < 1000 && !asked; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            test::ScriptedUi otherUi;
            MessageManager otherMessages{otherUi};
            Database other{otherMessages, data.path()};
            other.engine().setLockWait(5000);
            level = test::addBookmark(other, address, "C");
            written = true;
        });
        run();
        writer.join();
        return level;
    };
    for (const char* path : {"/a/index.html", "/b/index.html", "/empty", "/named", "/slow.html"}) {
        add(local.url(path));
    }
    int commits = 0;
    sqlite3* ours = db.engine().connection().handle();
    sqlite3_commit_hook(
        ours,
        [](void* count) {
            ++*static_cast<int*>(count);
            return 0;
        },
        &commits);
    ui.answers = {ButtonNo}; // no query
    DownloadSummary summary;
    EXPECT_EQ(writtenMeanwhile([&] { summary = runBatch("", target.path()); },
                               "http://127.0.0.1:1/other.html"),
              kLevelDone)
        << "the other program's write waited for the slow page";
    sqlite3_commit_hook(ours, nullptr, nullptr);
    EXPECT_EQ(summary.saved, 5);
    EXPECT_LE(commits, 3) << "a group for the quick pages, not a commit each";
    EXPECT_EQ(
        test::storedBookmark(db, local.url("/slow.html")).text(BookmarkField::OriginalFilename),
        target.file("slow.html"));

    // The program shows a run of one page in a window of its own.
    DownloadBatch single{db, ui, today, log()};
    single.setRunner([](PageDownload& download) { download.run(); });
    EXPECT_EQ(writtenMeanwhile(
                  [&] {
                      summary = single.run(currentBookmarkFilter(local.url("/slow.html")), [&] {
                          return std::optional<std::string>{target.path()};
                      });
                  },
                  "http://127.0.0.1:1/third.html"),
              kLevelDone);
    EXPECT_EQ(summary.saved, 1);
}

// Pages of a run arrive side by side, no more of them at once on one host
// than the limit; each is still named in location order and logged.
TEST_F(PageDownloadTest, ABatchDownloadsSideBySideWithinThePerHostLimit)
{
    std::atomic<int> underWay = 0;
    std::atomic<int> most = 0;
    local.server.Get(R"(/slow/(\d+)/page.html)", [&](const httplib::Request& request,
                                                     httplib::Response& response) {
        const int now = ++underWay;
        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        --underWay;
        response.set_content("slow " + request.matches[1].str(), "text/html");
    });
    constexpr int kPages = 12;
    for (int i = 0; i < kPages; ++i) {
        add(local.url("/slow/" + std::to_string(10 + i) + "/page.html"));
    }
    DownloadBatch batch{db, ui, today, log()};
    batch.setAskForQuery(false);
    batch.setJobs(8, 3);
    const DownloadSummary summary =
        batch.run("", [this] { return std::optional<std::string>{target.path()}; });
    EXPECT_EQ(summary.saved, kPages);
    EXPECT_EQ(most, 3) << "three at once on the one host, never more";
    EXPECT_TRUE(summary.logError.empty()) << summary.logError;
    for (int i = 0; i < kPages; ++i) {
        const std::string address = local.url("/slow/" + std::to_string(10 + i) + "/page.html");
        const std::string name = i == 0 ? "page.html" : "page (" + std::to_string(i + 1) + ").html";
        EXPECT_EQ(target.read(name), "slow " + std::to_string(10 + i)) << "location order";
        EXPECT_EQ(logged(address), downloadLogKey(target.file(name)) + onToday);
        EXPECT_EQ(test::storedBookmark(db, address).text(BookmarkField::OriginalFilename),
                  target.file(name));
    }
}

TEST_F(PageDownloadTest, CancelEndsEveryPageUnderWayAtOnceAndKeepsNone)
{
    std::atomic<int> arrived = 0;
    local.server.Get(R"(/hold/(\d+).html)",
                     [&](const httplib::Request&, httplib::Response& response) {
                         ++arrived;
                         for (int i = 0; i < 3000 && !stopServing; ++i) {
                             std::this_thread::sleep_for(std::chrono::milliseconds(10));
                         }
                         response.set_content("late", "text/html");
                     });
    for (int i = 0; i < 6; ++i) {
        add(local.url("/hold/" + std::to_string(i) + ".html"));
    }
    std::chrono::steady_clock::time_point cancelled;
    ui.whilePolled = [&] {
        if (arrived >= 3 && !ui.cancelAfterFirstStep) {
            ui.cancelAfterFirstStep = true;
            cancelled = std::chrono::steady_clock::now();
        }
    };
    DownloadBatch batch{db, ui, today, log()};
    batch.setAskForQuery(false);
    const DownloadSummary summary =
        batch.run("", [this] { return std::optional<std::string>{target.path()}; });
    EXPECT_TRUE(summary.cancelled);
    ASSERT_TRUE(ui.cancelAfterFirstStep) << "the pages never began";
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(2));
    EXPECT_EQ(summary.saved, 0);
    EXPECT_TRUE(std::filesystem::is_empty(target.path())) << "no page, no hidden file";
    EXPECT_EQ(logged(local.url("/hold/0.html")), "");
}

} // namespace
} // namespace tessaly

namespace tessaly {
namespace {

// Pages saved while their log could not be written: a later run might take
// their names, and the account says so rather than seem whole.
TEST(DownloadAccount, SaysWhenTheLogCouldNotBeWritten)
{
    DownloadSummary summary;
    summary.visited = 2;
    summary.saved = 2;
    const DownloadTally tally;
    EXPECT_EQ(downloadAccount(summary, tally).find("log"), std::string::npos);
    summary.logError = "/data/DOWNLOAD.LOG: No space left on device";
    EXPECT_NE(downloadAccount(summary, tally)
                  .find("\nThe download log could not be written: /data/DOWNLOAD.LOG: No space "
                        "left on device"),
              std::string::npos);
}

} // namespace
} // namespace tessaly
