#include "cli_test_support.h"

#include "apache_dav_server.h"

#include <filesystem>
#include <fstream>

namespace tessaly::cli::test {
namespace {

class SyncCommandTest : public CommandsTest {
protected:
    void SetUp() override
    {
        CommandsTest::SetUp();
        if (!apache.running()) {
            GTEST_SKIP() << apache.skipReason();
        }
        passwordFile = private_.write("password", "secret\n");
    }

    TempFolder served;
    tessaly::test::ApacheDavServer apache{served.path()};
    TempFolder private_;
    std::string passwordFile;
};

TEST_F(SyncCommandTest, RemembersTheServerButNeverThePassword)
{
    // The password file after the command is the server's, not the
    // program's access password.
    ASSERT_EQ(run({"sync", "--url", apache.folderUrl(), "--user", "sync", "--password-file",
                   passwordFile, "--dry-run"}),
              kExitOk)
        << err;
    EXPECT_EQ(out, "Would synchronise bookmarks.xbel at " + apache.folderUrl() +
                       " as sync\nThe file would be made, holding no bookmarks.\n");
    EXPECT_FALSE(apache.exists("bookmarks.xbel"));

    ASSERT_EQ(run({"add", "https://mine.example/", "--description", "Mine"}), kExitOk) << err;
    ASSERT_EQ(run({"sync", "--url", apache.folderUrl(), "--user", "sync", "--password-file",
                   passwordFile}),
              kExitOk)
        << err;
    EXPECT_EQ(out, "Synchronising bookmarks.xbel at " + apache.folderUrl() +
                       " as sync\nFile: 1 added, 0 changed, 0 deleted. Tessaly: 0 added, 0 "
                       "changed, 0 deleted. Conflicts: 0.\n");
    EXPECT_NE(apache.readFile("bookmarks.xbel").find("https://mine.example/"), std::string::npos);

    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        std::ifstream in{entry.path(), std::ios::binary};
        const std::string bytes{std::istreambuf_iterator<char>{in}, {}};
        EXPECT_EQ(bytes.find("secret"), std::string::npos) << entry.path();
    }

    // Remembered: the next sync needs only the password.
    ASSERT_EQ(run({"sync", "--password-file", passwordFile}), kExitOk) << err;
    EXPECT_EQ(out, "Synchronising bookmarks.xbel at " + apache.folderUrl() +
                       " as sync\nFile: 0 added, 0 changed, 0 deleted. Tessaly: 0 added, 0 "
                       "changed, 0 deleted. Conflicts: 0.\n");

    ASSERT_EQ(run({"sync", "--password-file", private_.write("wrong", "nope\n")}), kExitFailure);
    EXPECT_EQ(err, "tessaly-cli sync: The server refused the user name or password (401)\n");
}

TEST_F(SyncCommandTest, NeedsAnAddressTheFirstTimeAndOneFileOfItsFolder)
{
    EXPECT_EQ(run({"sync", "--password-file", passwordFile}), kExitUsage);
    EXPECT_EQ(err.rfind("tessaly-cli sync: no server address: give --url the first time", 0), 0u)
        << err;
    // The folder itself, its parent, or a name the address would read as
    // a query or a fragment: refused before any request, also in a dry run.
    const std::string server = "http://127.0.0.1:1/dav/";
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--url", server, "--file", ".."},
          std::vector<std::string>{"--url", server, "--file", "."},
          std::vector<std::string>{"--url", server, "--file", "a\nb.xbel"},
          std::vector<std::string>{"--url", server + "?x=1", "--file", "b.xbel"},
          std::vector<std::string>{"--url", server + "#top", "--dry-run"}}) {
        std::vector<std::string> arguments{"sync", "--password-file", passwordFile};
        arguments.insert(arguments.end(), wrong.begin(), wrong.end());
        EXPECT_EQ(run(arguments), kExitUsage) << wrong[1] << " " << wrong[2];
        EXPECT_TRUE(err.find("Give the name of a file in the folder") != std::string::npos ||
                    err.find("may hold no") != std::string::npos)
            << err;
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("TESSLY.INI")));
}

TEST_F(SyncCommandTest, AFileDeletedOnTheServerDeletesNothingHere)
{
    ASSERT_EQ(run({"add", "https://mine.example/", "--description", "Mine"}), kExitOk) << err;
    ASSERT_EQ(run({"sync", "--url", apache.folderUrl(), "--user", "sync", "--password-file",
                   passwordFile}),
              kExitOk)
        << err;
    std::filesystem::remove(apache.diskPath("bookmarks.xbel"));

    ASSERT_EQ(run({"sync", "--password-file", passwordFile, "--dry-run"}), kExitOk) << err;
    EXPECT_NE(out.find("File: add \"Mine\" <https://mine.example/>\nThe file is not on the "
                       "server: it would be made anew"),
              std::string::npos)
        << out;
    ASSERT_EQ(run({"sync", "--password-file", passwordFile}), kExitOk) << err;
    EXPECT_NE(out.find("File: 1 added, 0 changed, 0 deleted. Tessaly: 0 added, 0 changed, 0 "
                       "deleted. Conflicts: 0.\nThe file was not on the server: it was made anew"),
              std::string::npos)
        << out;
    EXPECT_NE(apache.readFile("bookmarks.xbel").find("https://mine.example/"), std::string::npos);
    ASSERT_EQ(run({"list"}), kExitOk) << err;
    EXPECT_NE(out.find("https://mine.example/"), std::string::npos) << out;
}

TEST_F(SyncCommandTest, ADryRunRemembersNothing)
{
    ASSERT_EQ(run({"sync", "--url", apache.folderUrl(), "--user", "sync", "--password-file",
                   passwordFile}),
              kExitOk)
        << err;
    ASSERT_EQ(run({"sync", "--url", apache.folderUrl() + "elsewhere/", "--file", "other.xbel",
                   "--password-file", passwordFile, "--dry-run"}),
              kExitOk)
        << err;
    EXPECT_FALSE(apache.exists("other.xbel"));
    // The plain sync still goes to the server and file remembered before.
    ASSERT_EQ(run({"sync", "--password-file", passwordFile}), kExitOk) << err;
    EXPECT_EQ(out.rfind("Synchronising bookmarks.xbel at " + apache.folderUrl() + " as sync\n", 0),
              0u)
        << out;
}

} // namespace
} // namespace tessaly::cli::test
