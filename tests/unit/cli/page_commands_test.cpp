#include "cli_test_support.h"
#include "local_server.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

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

    tessaly::test::LocalServer local;
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
    EXPECT_TRUE(out.ends_with("Saved 1 of 2 bookmarks (2 in the file) into " + into +
                              ": 0 marked failed, 1 not saved\n"))
        << out;
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
