#include "cli_test_support.h"
#include "local_server.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <thread>

namespace tessaly::cli {
namespace {

class PageCommandsTest : public test::CommandsTest {
protected:
    void SetUp() override
    {
        test::CommandsTest::SetUp();
        local.server.Get("/news", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<title>News</title><meta name=\"keywords\" content=\"a, b\">"
                                 "<body>Stories of the day",
                                 "text/html");
        });
        local.server.Get("/tiny", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("ok", "text/html");
        });
    }

    // What the page of the killed download does; set before the server
    // stops, kept until it has.
    std::atomic<bool> halfway = false;
    std::atomic<bool> stopServing = false;
    std::atomic<int> version = 1;
    tessaly::test::LocalServer local;
    struct StopServing {
        std::atomic<bool>& flag;
        ~StopServing() { flag = true; }
    } stopServingFirst{stopServing};
};

TEST_F(PageCommandsTest, AnalyzeFillsEachWebBookmarkFromItsPage)
{
    ASSERT_EQ(run({"add", local.url("/news"), "--category", "A"}), kExitOk);
    ASSERT_EQ(run({"add", local.url("/tiny"), "--category", "B"}), kExitOk);
    ASSERT_EQ(run({"add", "ftp://files.example/"}), kExitOk);

    ASSERT_EQ(run({"analyze", "--jobs", "2"}), kExitOk) << err;
    EXPECT_EQ(out, "pass\t80\t" + local.url("/news") + "\nfail\t2\t" + local.url("/tiny") +
                       "\nAnalysed 2 of 3 bookmarks visited (3 in the file): 1 passed, 1 failed\n"
                       "Skipped 1: 1 not a web address (ftp, file, mailto and other schemes).\n");
    ASSERT_EQ(run({"keywords"}), kExitOk);
    EXPECT_NE(out.find(local.url("/news") + "\t1\ta\n"), std::string::npos) << out;
    ASSERT_EQ(run({"list", "--query", "URL:Category = 'A'"}), kExitOk);
    EXPECT_NE(out.find(local.url("/news") + "\tNews\tA\t"), std::string::npos) << out;
    EXPECT_NE(out.find("Stories of the day"), std::string::npos) << out;

    ASSERT_EQ(run({"analyze", "--query", "URL:Category = 'B'"}), kExitOk) << err;
    EXPECT_NE(out.find("Analysed 1 of 1 bookmark visited (3 in the file)"), std::string::npos)
        << out;
    EXPECT_EQ(run({"analyze", "--jobs", "0"}), kExitUsage);
    EXPECT_TRUE(err.starts_with("tessaly-cli analyze: --jobs takes")) << err;
}

TEST_F(PageCommandsTest, DownloadSavesIntoAFolderItMakes)
{
    ASSERT_EQ(run({"add", local.url("/news")}), kExitOk);
    ASSERT_EQ(run({"add", "http://127.0.0.1:1/gone.html"}), kExitOk);
    test::TempFolder parent;
    const std::string into = parent.file("pages/today");
    ASSERT_EQ(run({"download", "--folder", into}), kExitOk) << err;
    EXPECT_TRUE(out.starts_with("missed\t")) << out;
    EXPECT_NE(out.find("\nsaved\t" + into + "/news\t" + local.url("/news") + "\n"),
              std::string::npos)
        << out;
    // The summary, then why a page was not saved.
    EXPECT_NE(out.find("\nSaved 1 of 2 bookmarks (2 in the file) into " + into +
                       ": 0 marked failed, 1 not saved\nNot saved 1: 1 Failed to connect to "
                       "127.0.0.1 port 1 "),
              std::string::npos)
        << out;
    EXPECT_TRUE(out.ends_with(": Couldn't connect to server.\n")) << out;
    EXPECT_EQ(parent.read("pages/today/news").substr(0, 19), "<title>News</title>");
    EXPECT_NE(folder.read("DOWNLOAD.LOG").find("[Download]"), std::string::npos);
    ASSERT_EQ(run({"list"}), kExitOk);
    EXPECT_NE(out.find(into + "/news"), std::string::npos) << "the bookmark names its file";

    EXPECT_EQ(run({"download"}), kExitUsage);
    EXPECT_EQ(run({"download", "--folder", into, "extra"}), kExitUsage);
    parent.write("file", "");
    EXPECT_EQ(run({"download", "--folder", parent.file("file")}), kExitFailure);
    EXPECT_TRUE(err.starts_with("tessaly-cli download: the folder ")) << err;
}

TEST_F(PageCommandsTest, ThePagesNeverGoIntoTheDataFolder)
{
    // A page named after the database would replace it.
    local.server.Get("/db", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Content-Disposition", "attachment; filename=\"URLDATA.tps\"");
        response.set_content("<title>not a database</title>", "text/html");
    });
    ASSERT_EQ(run({"add", local.url("/db")}), kExitOk);
    EXPECT_EQ(run({"download", "--folder", folder.path()}), kExitFailure);
    EXPECT_NE(err.find("Pages cannot be saved in the program's data folder"), std::string::npos)
        << err;
    ASSERT_EQ(run({"list"}), kExitOk) << err;
    EXPECT_NE(out.find(local.url("/db")), std::string::npos);
}

// The files in a folder of pages, hidden ones apart.
std::vector<std::string> shownFiles(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator{folder}) {
        if (!entry.path().filename().string().starts_with('.')) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

bool hiddenFileOfAtLeast(const std::string& folder, std::uintmax_t size)
{
    for (const auto& entry : std::filesystem::directory_iterator{folder}) {
        if (entry.path().filename().string().starts_with('.') && entry.is_regular_file() &&
            entry.file_size() >= size) {
            return true;
        }
    }
    return false;
}

TEST_F(PageCommandsTest, AKilledDownloadKeepsTheEarlierCopyAndLeavesNoHalfPage)
{
    local.server.Get("/page.html", [this](const httplib::Request&, httplib::Response& response) {
        if (!halfway) {
            response.set_content("whole page " + std::to_string(version), "text/html");
            return;
        }
        response.set_chunked_content_provider(
            "text/html", [this](std::size_t offset, httplib::DataSink& sink) {
                if (offset == 0) {
                    return sink.write(std::string(64 * 1024, 'h').data(), 64 * 1024);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                return !stopServing.load();
            });
    });
    test::TempFolder into;
    ASSERT_EQ(run({"add", local.url("/page.html")}), kExitOk);
    ASSERT_EQ(run({"download", "--folder", into.path()}), kExitOk) << err;
    ASSERT_EQ(into.read("page.html"), "whole page 1");

    halfway = true;
    const pid_t child = ::fork();
    if (child == 0) {
        test::execProgram({"--data", folder.path(), "download", "--folder", into.path()});
    }
    ASSERT_GT(child, 0);
    for (int i = 0; i < 1000 && !hiddenFileOfAtLeast(into.path(), 64 * 1024); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const bool arriving = hiddenFileOfAtLeast(into.path(), 64 * 1024);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(arriving) << "the second download never began";
    EXPECT_EQ(into.read("page.html"), "whole page 1");
    EXPECT_EQ(shownFiles(into.path()), std::vector<std::string>{"page.html"});
    EXPECT_NE(folder.read("DOWNLOAD.LOG").find(into.file("page.html")), std::string::npos);

    // The next run replaces the page of its own address and tidies what
    // the killed one left.
    halfway = false;
    version = 2;
    ASSERT_EQ(run({"download", "--folder", into.path()}), kExitOk) << err;
    EXPECT_EQ(into.read("page.html"), "whole page 2");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator{into.path()},
                            std::filesystem::directory_iterator{}),
              1);
}

TEST_F(PageCommandsTest, DownloadStopsAtTheSizeTheSettingsAllow)
{
    local.server.Get("/endless", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider(
            "text/html", [](std::size_t offset, httplib::DataSink& sink) {
                const std::string block(64 * 1024, 'e');
                return offset < (std::size_t{64} << 20) && sink.write(block.data(), block.size());
            });
    });
    folder.write("WIN.INI", "[Settings]\nDownloadMostMB=1\n");
    ASSERT_EQ(run({"add", local.url("/endless")}), kExitOk);
    test::TempFolder into;
    ASSERT_EQ(run({"download", "--folder", into.path()}), kExitOk) << err;
    EXPECT_TRUE(out.starts_with("stopped\tThe page went past 1048576 bytes, the most a download "
                                "may take\t" +
                                local.url("/endless") + "\n"))
        << out;
    EXPECT_NE(out.find(": 1 marked failed, 1 not saved\n"), std::string::npos) << out;
    EXPECT_TRUE(std::filesystem::is_empty(into.path()));
    ASSERT_EQ(run({"list", "--query", "URL:Validated = 2"}), kExitOk) << err;
    EXPECT_NE(out.find(local.url("/endless")), std::string::npos) << "marked failed";
}

TEST_F(PageCommandsTest, DownloadIntoAReadOnlyFolderIsAnError)
{
    test::TempFolder mountPoint;
    if (::geteuid() != 0 ||
        ::mount("tessaly-test", mountPoint.path().c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a read-only file system here";
    }
    ASSERT_EQ(run({"add", local.url("/news")}), kExitOk);
    const int code = run({"download", "--folder", mountPoint.path()});
    ::umount(mountPoint.path().c_str());
    EXPECT_EQ(code, kExitFailure);
    EXPECT_EQ(err, "tessaly-cli download: the folder " + mountPoint.path() +
                       " cannot be written to: Read-only file system\n");
    EXPECT_EQ(out, "");
}

} // namespace
} // namespace tessaly::cli
