#include "cli_test_support.h"

#include "core/services.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessaly::cli {
namespace {

using test::CommandsTest;
using test::runProgram;

constexpr std::string_view kSitePassword = "hunter2";

// A database guarded by a password, as the Options window leaves it, with
// one bookmark that has a site password.
class SecureTest : public CommandsTest {
protected:
    void SetUp() override
    {
        CommandsTest::SetUp();
        Record bookmark{bookmarkTable()};
        bookmark.setText(BookmarkField::Location, "http://bank.example/");
        bookmark.setText(BookmarkField::Password, kSitePassword);
        store(bookmark);
        tessaly::test::ScriptedUi ui;
        Services services{ui, folder.path(), folder.path()};
        services.start();
        Settings settings = services.settings();
        settings.secure = 1;
        settings.password = "Open Sesame";
        services.settingsStore().save(settings);
        services.shutdown();
        ASSERT_TRUE(ui.shown.empty()) << ui.last().text;
    }

    std::string passwordFile(const std::string& content) const
    {
        const std::string path = folder.write("password.txt", content);
        EXPECT_EQ(::chmod(path.c_str(), 0600), 0);
        return path;
    }
};

TEST_F(SecureTest, APasswordFileOpensTheDatabaseWhenItMatches)
{
    // Letter case, trailing blanks and a DOS line end do not matter.
    ASSERT_EQ(run({"--password-file", passwordFile("OPEN SESAME  \r\nsecond line\n"), "list"}),
              kExitOk)
        << err;
    EXPECT_NE(out.find("http://bank.example/"), std::string::npos);

    EXPECT_EQ(run({"--password-file", passwordFile("open says me\n"), "list"}), kExitFailure);
    EXPECT_EQ(err, "tessaly-cli: wrong password\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(run({"--password-file", passwordFile(""), "add", "http://x/"}), kExitFailure);
    EXPECT_EQ(err, "tessaly-cli: wrong password\n");

    const std::string missing = folder.file("no-such-file");
    EXPECT_EQ(run({"--password-file", missing, "keywords"}), kExitFailure);
    EXPECT_EQ(err, "tessaly-cli: cannot read the password file " + missing +
                       ": No such file or directory\n");
}

TEST_F(SecureTest, APasswordFileOthersCanReadIsUsedWithAWarning)
{
    const std::string path = passwordFile("open sesame\n");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_EQ(run({"--password-file", path, "list"}), kExitOk) << err;
    EXPECT_EQ(err, "tessaly-cli: warning: the password file " + path +
                       " can be read by others (mode 0644); make it private: chmod 600 " + path +
                       "\n");
    EXPECT_NE(out.find("http://bank.example/"), std::string::npos);
}

TEST_F(SecureTest, APasswordFileIsFoundWhereTheCommandWasGivenAndSaysWhyItCannotBeRead)
{
    // A relative name means the folder the command was given in, not the
    // data folder it works in.
    tessaly::test::TempFolder here;
    here.write("pw", "OPEN SESAME\n");
    char* before = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir(here.path().c_str()), 0);
    const int code = run({"--password-file", "pw", "list"});
    ASSERT_EQ(::chdir(before), 0);
    std::free(before);
    EXPECT_EQ(code, kExitOk) << err;

    EXPECT_EQ(run({"--password-file", here.path(), "list"}), kExitFailure);
    EXPECT_EQ(err,
              "tessaly-cli: cannot read the password file " + here.path() + ": Is a directory\n");
    const std::string hostile = here.path() + "/no\x1b[31m";
    EXPECT_EQ(run({"--password-file", hostile, "list"}), kExitFailure);
    EXPECT_NE(err.find("no\\x1b[31m"), std::string::npos) << err;
    EXPECT_EQ(err.find('\x1b'), std::string::npos) << "no escape sequence reaches the terminal";
}

TEST_F(SecureTest, WithoutATerminalOrAFileTheCommandIsRefused)
{
    const auto run = runProgram({"--data", folder.path(), "list"}); // a session of its own
    EXPECT_EQ(run.code, kExitFailure);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tessaly-cli: the bookmark database is guarded by a password, and there "
                       "is no terminal to ask for it; give it with --password-file FILE\n");
}

// What a person at a terminal sees: the prompt, no echo of what is typed.
struct TerminalRun {
    int code = -1;
    std::string screen;
};

TerminalRun runAtTerminal(const std::vector<std::string>& arguments, const std::string& typed)
{
    TerminalRun result;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        return result;
    }
    const std::string slave = ::ptsname(master);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        const int fd = ::open(slave.c_str(), O_RDWR); // becomes the controlling terminal
        if (fd < 0) {
            ::_exit(126);
        }
        ::dup2(fd, 0);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        test::execProgram(arguments);
    }
    bool sent = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, 100) > 0) {
            char buffer[512];
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got <= 0) {
                break; // the program has gone and closed the terminal
            }
            result.screen.append(buffer, static_cast<std::size_t>(got));
        }
        if (!sent && result.screen.find("Password for Tessaly 2000: ") != std::string::npos) {
            // Give the program the moment it needs to switch echo off.
            ::usleep(200 * 1000);
            sent =
                ::write(master, typed.data(), typed.size()) == static_cast<ssize_t>(typed.size());
        }
    }
    ::close(master);
    int status = 0;
    ::waitpid(child, &status, 0);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST_F(SecureTest, TheTerminalIsAskedWithoutEcho)
{
    TerminalRun run = runAtTerminal({"--data", folder.path(), "list"}, "open sesame\n");
    EXPECT_EQ(run.code, kExitOk) << run.screen;
    EXPECT_TRUE(run.screen.starts_with("Password for Tessaly 2000: ")) << run.screen;
    EXPECT_EQ(run.screen.find("sesame"), std::string::npos) << "echoed: " << run.screen;
    EXPECT_NE(run.screen.find("http://bank.example/"), std::string::npos) << run.screen;

    run = runAtTerminal({"--data", folder.path(), "list"}, "guess\n");
    EXPECT_EQ(run.code, kExitFailure);
    EXPECT_NE(run.screen.find("tessaly-cli: wrong password"), std::string::npos) << run.screen;
    EXPECT_EQ(run.screen.find("http://bank.example/"), std::string::npos) << run.screen;
}

TEST_F(CommandsTest, SitePasswordsAreListedOnlyWhenAskedFor)
{
    Record bookmark{bookmarkTable()};
    bookmark.setText(BookmarkField::Location, "http://bank.example/");
    bookmark.setText(BookmarkField::Password, kSitePassword);
    store(bookmark);
    constexpr std::size_t kPasswordColumn = 12;
    for (const std::string format : {"tsv", "csv"}) {
        ASSERT_EQ(run({"list", "--format", format}), kExitOk) << err;
        EXPECT_EQ(out.find(kSitePassword), std::string::npos) << out;
        ASSERT_EQ(run({"list", "--format", format, "--show-passwords"}), kExitOk) << err;
        std::string row = out.substr(out.find('\n') + 1);
        const char separator = format == "tsv" ? '\t' : ',';
        for (std::size_t i = 0; i < kPasswordColumn; ++i) {
            row.erase(0, row.find(separator) + 1);
        }
        EXPECT_TRUE(row.starts_with(std::string{kSitePassword} + separator)) << out;
    }
}

} // namespace
} // namespace tessaly::cli
