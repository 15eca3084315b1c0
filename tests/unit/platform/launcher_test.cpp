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
    std::string startsProgram; // start() succeeds for this program only
    std::string folderSeen;

    int open(const std::string& target, const std::string& parameters) override
    {
        opens.emplace_back(target, parameters);
        char* cwd = ::getcwd(nullptr, 0);
        folderSeen = cwd;
        std::free(cwd);
        return target == opensProgram ? kOpenedOk : kOpenNoAssociation;
    }
    bool start(const std::string& program) override
    {
        starts.push_back(program);
        return program == startsProgram;
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

// An executable file at `name` (folders made as needed) inside `folder`.
std::string program(const test::TempFolder& folder, const std::string& name)
{
    const std::string path = folder.file(name);
    for (auto slash = path.find('/', folder.path().size() + 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    }
    folder.write(name, "#!/bin/sh\nexit 0\n");
    ::chmod(path.c_str(), 0700);
    return path;
}

TEST(Launcher, AProgramPathIsSplitFromItsArguments)
{
    test::TempFolder folder;
    const std::string browser = program(folder, "Web Browser/browse");
    FakeOpener opener;
    opener.opensProgram = browser;
    test::ScriptedUi ui;
    EXPECT_TRUE(launch("\"" + browser + "\"  --new-window  http://x/", "", opener, ui));
    ASSERT_EQ(opener.opens.size(), 2U);
    EXPECT_EQ(opener.opens[1],
              (std::pair<std::string, std::string>{browser, "--new-window  http://x/"}));

    // Unquoted with blanks: walked back from the right, trying only the
    // prefixes that are programs.
    const std::string run = program(folder, "my app/run");
    opener.opens.clear();
    opener.opensProgram = run;
    EXPECT_TRUE(launch(run + " --flag value", "", opener, ui));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {run + " --flag value", ""},
        {run, "--flag value"},
    };
    EXPECT_EQ(opener.opens, expected);
    EXPECT_TRUE(ui.shown.empty());
}

TEST(Launcher, BookmarkTextNeverNamesAProgramToRun)
{
    // Descriptions and site information come from pages and imports: a
    // command in them must reach the desktop opener as text, nothing more.
    test::TempFolder folder;
    const std::string relative = program(folder, "tool");
    FakeOpener opener;
    test::ScriptedUi ui;
    for (const std::string text : {"touch ~/owned", "rm -r /tmp/x", "nonsense", "tool",
                                   "\"sh\" -c 'touch owned'", "/no/such/program arg"}) {
        opener.opens.clear();
        opener.starts.clear();
        EXPECT_FALSE(launch(text, folder.path(), opener, ui)) << text;
        EXPECT_EQ(opener.opens, (std::vector<std::pair<std::string, std::string>>{{text, ""}}))
            << text;
        EXPECT_TRUE(opener.starts.empty()) << text;
        EXPECT_EQ(ui.last().title, "Error Code 31");
        EXPECT_EQ(ui.last().text, "Could not start " + text + ".");
        EXPECT_EQ(ui.last().buttons, ButtonOk);
    }

    // A program given by its path starts alone when nothing opens it.
    opener.startsProgram = relative;
    EXPECT_TRUE(launch(relative, "", opener, ui));
    EXPECT_EQ(opener.starts, (std::vector<std::string>{relative}));
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

TEST(DesktopOpener, UsesTheConfiguredOpenerAndStartsOnlyProgramsGivenByPath)
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

    // Not an address: the opener refuses; a program named by its path
    // starts with its arguments, one named by PATH does not.
    const std::string marker = folder.file("touched");
    EXPECT_FALSE(launch("touch " + marker, "", opener, ui));
    EXPECT_TRUE(launch("/usr/bin/touch " + marker, "", opener, ui));
    for (int i = 0; i < 200 && ::access(marker.c_str(), F_OK) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(::access(marker.c_str(), F_OK), 0);
    ::unlink(marker.c_str());
    DesktopOpener direct;
    EXPECT_EQ(direct.open("touch", marker), kOpenFileNotFound);
    EXPECT_FALSE(direct.start("touch"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(::access(marker.c_str(), F_OK), 0);

    EXPECT_FALSE(launch("no-such-program-anywhere", "", opener, ui));
    EXPECT_EQ(ui.last().text, "Could not start no-such-program-anywhere.");
    ::unsetenv("TESSALY_OPENER");
    EXPECT_EQ(splitCommandLine("\"a b\" c  \"\"  d"),
              (std::vector<std::string>{"a b", "c", "", "d"}));
}

} // namespace
} // namespace tessaly
