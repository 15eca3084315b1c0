#include "framework/ini_file.h"

#include "temp_folder.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessaly {
namespace {

TEST(IniFile, KeysWithPunctuationRoundTripAndNamesIgnoreCase)
{
    test::TempFolder folder;
    const std::string path = folder.file("POSITION.INI");
    ASSERT_TRUE(writeIniValue(path, "BrowseTESSLY", "SRCF?Browse:1", "1L(2)|M~Description~"));
    ASSERT_TRUE(writeIniValue(path, "Export", "Export::Rating", "5"));
    ASSERT_TRUE(writeIniValue(path, "Import", "Import:Category:Assignment", "Folder"));

    EXPECT_EQ(readIniValue(path, "browsetessly", "srcf?browse:1"), "1L(2)|M~Description~");
    EXPECT_EQ(readIniValue(path, "EXPORT", "export::rating"), "5");
    EXPECT_EQ(readIniValue(path, "Import", "Import:Category:Assignment"), "Folder");
    EXPECT_EQ(readIniValue(path, "Import", "Missing", "fallback"), "fallback");
    EXPECT_EQ(readIniValue(folder.file("none.ini"), "A", "B", "x"), "x");

    // Rewriting a key in another letter case keeps one line, in place.
    ASSERT_TRUE(writeIniValue(path, "BROWSETESSLY", "srcf?BROWSE:1", "new"));
    EXPECT_EQ(readIniValue(path, "BrowseTESSLY", "SRCF?Browse:1"), "new");
    EXPECT_EQ(folder.read("POSITION.INI"),
              "[BrowseTESSLY]\nSRCF?Browse:1=new\n\n[Export]\nExport::Rating=5\n\n"
              "[Import]\nImport:Category:Assignment=Folder\n");
}

TEST(IniFile, KeepsLinesItDoesNotKnowAndItsLineEnds)
{
    IniFile ini;
    ini.parse("; written by hand\r\n[Settings]\r\nBodyInFrame = 2 \r\n# note\r\n\r\n"
              "[Other]\r\nx=1\r\n");
    EXPECT_EQ(ini.value("settings", "bodyinframe"), "2");
    ini.setValue("Settings", "Theme", "Blue");
    ini.setValue("New", "k", "v");
    EXPECT_EQ(ini.text(), "; written by hand\r\n[Settings]\r\nBodyInFrame = 2 \r\n# note\r\n"
                          "Theme=Blue\r\n\r\n[Other]\r\nx=1\r\n\r\n[New]\r\nk=v\r\n");
    EXPECT_EQ(ini.keys("SETTINGS"), (std::vector<std::string>{"BodyInFrame", "Theme"}));
    EXPECT_EQ(ini.sections(), (std::vector<std::string>{"Settings", "Other", "New"}));

    ini.removeKey("settings", "THEME");
    ini.removeSection("other");
    EXPECT_FALSE(ini.value("Settings", "Theme"));
    EXPECT_FALSE(ini.value("Other", "x"));
    EXPECT_EQ(ini.value("Settings", "BodyInFrame"), "2");
}

TEST(IniFile, StrayCarriageReturnsDoNotChangeTheLineEnds)
{
    // Found by fuzzing: a lone "\r" at the end of an LF file used to come
    // back as "\r\n" and turn the whole file into CRLF on the next rewrite.
    IniFile ini;
    ini.parse("[A]\nk=1\r\r");
    EXPECT_EQ(ini.text(), "[A]\nk=1\n");
    EXPECT_EQ(ini.value("A", "k"), "1");
}

TEST(IniFile, FirstSectionAndKeyOfANameWin)
{
    IniFile ini;
    ini.parse("[A]\nk=1\nK=2\n[a]\nk=3\n");
    EXPECT_EQ(ini.value("A", "k"), "1");
    ini.setValue("a", "K", "9");
    EXPECT_EQ(ini.text(), "[A]\nk=9\nK=2\n[a]\nk=3\n");
}

TEST(IniFile, ReadsShortcutFiles)
{
    IniFile ini;
    ini.parse("[DEFAULT]\r\nBASEURL=http://example.com/\r\n[InternetShortcut]\r\n"
              "URL=http://example.com/a?b=c&d=e\r\nIconIndex=0\r\n");
    EXPECT_EQ(ini.value("InternetShortcut", "URL"), "http://example.com/a?b=c&d=e")
        << "only the first '=' separates key from value";
}

TEST(IniFile, AReadOnlyFolderLeavesTheOldFileWhole)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    test::TempFolder folder;
    const std::string path = folder.file("TESSLY.INI");
    ASSERT_TRUE(writeIniValue(path, "Settings", "Theme", "Blue"));
    ASSERT_EQ(::chmod(folder.path().c_str(), 0500), 0);
    std::string error;
    EXPECT_FALSE(writeIniValue(path, "Settings", "Theme", "Red", &error));
    EXPECT_EQ(error, "Permission denied");
    EXPECT_EQ(readIniValue(path, "Settings", "Theme"), "Blue");
}

TEST(IniFile, AFullDiskLeavesTheOldFileWhole)
{
    // A file-size limit makes the write fail the way a full disk does, even
    // for root; it runs in a child so the limit does not outlive the test.
    test::TempFolder folder;
    const std::string path = folder.file("TESSLY.INI");
    ASSERT_TRUE(writeIniValue(path, "Settings", "Theme", "Blue"));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{512, 512};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool written =
            writeIniValue(path, "Settings", "Theme", std::string(4096, 'r'), &error);
        std::_Exit(!written && error == "File too large" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write must fail and say why";
    EXPECT_EQ(folder.read("TESSLY.INI"), "[Settings]\nTheme=Blue\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator{}),
              1)
        << "the temporary file is removed";
}

TEST(IniFile, ACrashDuringWritesNeverLeavesAHalfWrittenFile)
{
    // A child process rewrites a large file as fast as it can and is killed
    // at a random moment; whatever is on disk afterwards must be one whole
    // version of the file.
    test::TempFolder folder;
    const std::string path = folder.file("POSITION.INI");
    const std::string big(20000, 'x');
    ASSERT_TRUE(writeIniValue(path, "Main", "Value", big));
    for (int round = 0; round < 5; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                writeIniValue(path, "Main", "Value",
                              std::string(20000, static_cast<char>('a' + i % 26)));
            }
        }
        ::usleep(static_cast<useconds_t>(2000 + round * 3000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string value = readIniValue(path, "Main", "Value");
        ASSERT_EQ(value.size(), 20000U);
        EXPECT_EQ(value.find_first_not_of(value[0]), std::string::npos);
        EXPECT_EQ(folder.read("POSITION.INI"), "[Main]\nValue=" + value + "\n");
    }
}

TEST(IniFile, AFolderInPlaceOfTheFileIsAnError)
{
    test::TempFolder folder;
    ASSERT_EQ(::mkdir(folder.file("odd.ini").c_str(), 0700), 0);
    IniFile ini;
    std::string error;
    EXPECT_FALSE(ini.load(folder.file("odd.ini"), &error));
    EXPECT_EQ(error, "Is a directory");
    EXPECT_FALSE(writeIniValue(folder.file("odd.ini"), "A", "b", "c", &error));
}

TEST(IniFile, LeavesNoTemporaryFilesBehind)
{
    test::TempFolder folder;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(writeIniValue(folder.file("a.ini"), "S", "k" + std::to_string(i), "v"));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator{}),
              1);
}

} // namespace
} // namespace tessaly
