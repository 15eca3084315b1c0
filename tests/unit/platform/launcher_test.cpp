#include "platform/launcher.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tessaly {
namespace {

// Opens only what it is told to, and records every call.
struct FakeOpener final : Opener {
    std::vector<std::pair<std::string, std::string>> opens;
    std::vector<std::string> starts;
    std::string opensProgram;  // open() succeeds for this target only
    std::string startsProgram; // start() succeeds for this command line only
    std::string folderSeen;

    int open(const std::string& target, const std::string& parameters) override
    {
        opens.emplace_back(target, parameters);
        char* cwd = ::getcwd(nullptr, 0);
        folderSeen = cwd;
        std::free(cwd);
        return target == opensProgram ? kOpenedOk : kOpenNoAssociation;
    }
    bool start(const std::string& commandLine) override
    {
        starts.push_back(commandLine);
        return commandLine == startsProgram;
    }
};

TEST(Launcher, AnAddressTheShellOpensTakesOneCall)
{
    FakeOpener opener;
    opener.opensProgram = "http://example.com/";
    test::ScriptedUi ui;
    EXPECT_TRUE(launch("http://example.com/   ", "", opener, ui));
    ASSERT_EQ(opener.opens.size(), 1U);
    EXPECT_EQ(opener.opens[0], (std::pair<std::string, std::string>{"http://example.com/", ""}));
    EXPECT_TRUE(ui.shown.empty());
}

TEST(Launcher, AQuotedProgramPathIsSplitFromItsArguments)
{
    FakeOpener opener;
    opener.opensProgram = "/opt/Web Browser/browse";
    test::ScriptedUi ui;
    EXPECT_TRUE(launch("\"/opt/Web Browser/browse\"  --new-window  http://x/", "", opener, ui));
    ASSERT_EQ(opener.opens.size(), 2U);
    EXPECT_EQ(opener.opens[1], (std::pair<std::string, std::string>{"/opt/Web Browser/browse",
                                                                    "--new-window  http://x/"}));
}

TEST(Launcher, AnUnquotedPathWithBlanksIsFoundWalkingBack)
{
    FakeOpener opener;
    opener.opensProgram = "/opt/my app/run";
    test::ScriptedUi ui;
    EXPECT_TRUE(launch("/opt/my app/run --flag value", "", opener, ui));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"/opt/my app/run --flag value", ""},
        {"/opt/my", "app/run --flag value"},
        {"/opt/my app/run --flag", "value"},
        {"/opt/my app/run", "--flag value"},
    };
    EXPECT_EQ(opener.opens, expected) << "the rightmost blank that works ends the walk";
}

TEST(Launcher, OneWordNobodyOpensEndsWithCouldNotStart)
{
    FakeOpener opener;
    test::ScriptedUi ui;
    EXPECT_FALSE(launch("nonsense", "", opener, ui));
    EXPECT_EQ(opener.starts, (std::vector<std::string>{"nonsense"}))
        << "the command line is tried last";
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.last().title, "Error Code 31");
    EXPECT_EQ(ui.last().text, "Could not start nonsense.");
    EXPECT_EQ(ui.last().buttons, ButtonOk);

    opener.startsProgram = "tool";
    EXPECT_TRUE(launch("tool", "", opener, ui));
}

TEST(Launcher, TheWorkingFolderHoldsOnlyDuringTheCall)
{
    test::TempFolder folder;
    char* before = ::getcwd(nullptr, 0);
    FakeOpener opener;
    test::ScriptedUi ui;
    launch("x", "", opener, ui);
    EXPECT_EQ(opener.folderSeen, before) << "an empty working folder changes nothing";
    launch("x", folder.path(), opener, ui);
    EXPECT_EQ(opener.folderSeen, folder.path());
    char* after = ::getcwd(nullptr, 0);
    EXPECT_STREQ(after, before) << "restored, after a failure too";
    std::free(before);
    std::free(after);
}

TEST(DesktopOpener, UsesTheConfiguredOpenerAndStartsRealPrograms)
{
    test::TempFolder folder;
    const std::string script =
        folder.write("opener.sh", "#!/bin/sh\n"
                                  "printf '%s\\n' \"$@\" >> \"$(dirname \"$0\")/opened\"\n"
                                  "case \"$1\" in http*) exit 0;; *) exit 3;; esac\n");
    ::chmod(script.c_str(), 0700);
    ::setenv("TESSALY_OPENER", script.c_str(), 1);
    DesktopOpener opener;
    test::ScriptedUi ui;
    EXPECT_TRUE(launch("http://example.com/page", "", opener, ui));
    EXPECT_EQ(folder.read("opened"), "http://example.com/page\n");

    // Not an address: the opener refuses, and the program on PATH starts.
    const std::string marker = folder.file("touched");
    EXPECT_TRUE(launch("touch " + marker, "", opener, ui));
    for (int i = 0; i < 200 && ::access(marker.c_str(), F_OK) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(::access(marker.c_str(), F_OK), 0);

    EXPECT_FALSE(launch("no-such-program-anywhere", "", opener, ui));
    EXPECT_EQ(ui.last().text, "Could not start no-such-program-anywhere.");
    ::unsetenv("TESSALY_OPENER");
    EXPECT_EQ(splitCommandLine("\"a b\" c  \"\"  d"),
              (std::vector<std::string>{"a b", "c", "", "d"}));
}

} // namespace
} // namespace tessaly
