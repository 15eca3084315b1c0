#include "core/file_version.h"
#include "core/line_file.h"
#include "core/services.h"
#include "core/tables.h"
#include "framework/ini_file.h"
#include "framework/line_writer.h"
#include "platform/data_folder.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {
namespace {

TEST(Services, StartAndShutDownInOrderCreatingTheFilesOnAFirstRun)
{
    test::TempFolder folder;
    test::ScriptedUi ui;
    Services services{ui, folder.path()};
    services.start();
    EXPECT_EQ(services.helpFile(), "TESSLY.HLP");
    EXPECT_EQ(services.theme(), "") << "no Theme setting on a first run";
    EXPECT_FALSE(folder.read("URLDATA.tps").empty()) << "Configuration was opened to read Theme";
    EXPECT_EQ(services.database().configuration().users(), 0) << "and closed again";
    services.positions().setValue("Main", "Width", "800");
    services.shutdown();
    EXPECT_EQ(
        services.steps(),
        (std::vector<std::string>{
            "help file TESSLY.HLP", "message manager", "window-position store POSITION.INI",
            "file and relation managers", "file-version registrations", "registry accessor, silent",
            "theme", "window-position store closed", "registry accessor disposed",
            "file and relation managers killed", "message manager disposed"}));
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(folder.read("POSITION.INI"),
              "[Main]\nWidth=800\n\n[__Dont_Touch_Me__]\nSectors=1\nSector1=Main\n");
}

TEST(Services, ThemeIsReadFromTheConfiguration)
{
    test::TempFolder folder;
    test::ScriptedUi ui;
    {
        Services first{ui, folder.path()};
        first.start();
        FileManager& configuration = first.database().configuration();
        ASSERT_EQ(configuration.use(), kLevelDone);
        Record theme{configurationTable()};
        theme.setText(ConfigurationField::DataType, "Theme");
        theme.setText(ConfigurationField::DataValue, "Ocean");
        ASSERT_EQ(configuration.insert(theme), kLevelDone);
        configuration.close();
    }
    Services second{ui, folder.path()};
    second.start();
    EXPECT_EQ(second.theme(), "Ocean");
}

TEST(Services, ThemeIsReadThroughGetSettingWithItsWinIniFallback)
{
    test::TempFolder folder;
    test::ScriptedUi ui;
    folder.write("WIN.INI", "[Settings]\nTheme=Harbour\n");
    Services services{ui, folder.path()};
    services.start();
    EXPECT_EQ(services.theme(), "Harbour");
    EXPECT_EQ(services.settings().theme, "Harbour");
    FileManager& configuration = services.database().configuration();
    ASSERT_EQ(configuration.use(), kLevelDone);
    EXPECT_EQ(readSetting(configuration, "Theme"), "Harbour") << "kept as the setting's record";
    configuration.close();
    EXPECT_TRUE(ui.shown.empty());
}

// Every file the program makes in its folder is the user's alone, even under
// a umask that lets others read: the databases hold the site passwords.
TEST(Services, TheDataFolderAndEveryFileInItAreTheUsersAlone)
{
    test::TempFolder parent;
    const std::string data = parent.file("shared/tessaly");
    ASSERT_EQ(::mkdir(parent.file("shared").c_str(), 0755), 0);
    const mode_t oldMask = ::umask(022);
    char* before = ::getcwd(nullptr, 0);
    const auto modeOf = [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777U : 01U;
    };
    const DataFolderChoice fresh = enterDataFolder(data);
    ASSERT_TRUE(fresh.error.empty()) << fresh.error;
    EXPECT_EQ(modeOf(data), 0700U);
    ASSERT_EQ(::chdir(before), 0);
    // Left readable by others by an earlier version.
    parent.write("shared/tessaly/POSITION.INI", "[Main]\nX=1\n");
    ::chmod(parent.file("shared/tessaly/POSITION.INI").c_str(), 0644);
    ::umask(022);
    ASSERT_TRUE(enterDataFolder(data).error.empty());
    EXPECT_EQ(modeOf(data + "/POSITION.INI"), 0600U) << "an existing file of ours is closed too";
    {
        test::ScriptedUi ui;
        Services services{ui, "."};
        services.start();
        FileManager& categories = services.database().categories();
        ASSERT_EQ(categories.use(), kLevelDone);
        categories.close();
        FileManager& configuration = services.database().configuration();
        ASSERT_EQ(configuration.use(), kLevelDone);
        ASSERT_TRUE(configuration.file().stream().ok());
        services.settingsStore().put("Theme", "Harbour");
        EXPECT_EQ(modeOf(data + "/URLDATA.tps-journal"), 0600U) << "the journal of a write group";
        ASSERT_TRUE(configuration.file().flush().ok());
        configuration.close();
        ASSERT_TRUE(writeIniValue("TESSLY.INI", "Settings", "BodyInFrame", "2"));
        LineWriter log;
        ASSERT_TRUE(log.open("DOWNLOAD.LOG").ok());
        log.writeLine("a line");
        ASSERT_TRUE(log.close().ok());
        services.shutdown();
    }
    ASSERT_EQ(::chdir(before), 0);
    std::free(before);
    ::umask(oldMask);

    std::vector<std::string> seen;
    DIR* folder = ::opendir(data.c_str());
    ASSERT_NE(folder, nullptr);
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            seen.push_back(name);
            EXPECT_EQ(modeOf(data + "/" + name), 0600U) << name;
        }
    }
    ::closedir(folder);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"DOWNLOAD.LOG", "POSITION.INI", "TESSLY.INI",
                                              "URLDATA.tps", "URL_C.tps", "URL_H.tps"}));
}

TEST(Services, FileVersionAnnouncementsAreMadeOnceInTheirOrder)
{
    FileVersionLayer& layer = FileVersionLayer::instance();
    layer.registerDatabaseFiles();
    layer.registerDatabaseFiles();
    EXPECT_EQ(
        layer.calls(),
        (std::vector<std::string>{
            "ds_AddDriver(Tps)", "ds_IgnoreDriver(AllFiles, 1)", "ds_UsingFile(HTM, CatHTML, 2)",
            "ds_UsingFile(CAT, Categories, 2)", "ds_UsingFile(CF, Configuration, 2)",
            "ds_UsingFile(ILoc, ImportTESSLY, 0)", "ds_UsingFile(UDT, URLDetails, 2)",
            "ds_UsingFile(UDK, URLKeywords, 2)", "ds_UsingFile(URL, TESSLY, 11)",
            "ds_AlternateFileName(URLDATA\\!Locations, URL_L)"}));
}

TEST(PositionStore, KeepsItsBookkeepingAcrossRuns)
{
    test::TempFolder folder;
    const std::string path = folder.file("POSITION.INI");
    {
        PositionStore store{path};
        store.setValue("Main", "X", "10");
        store.setValue("BrowseTESSLY", "SRCF?Browse:1", "layout");
        store.setValue("main", "Y", "20");
        ASSERT_TRUE(store.close());
    }
    PositionStore again{path};
    EXPECT_EQ(again.sectors(), (std::vector<std::string>{"Main", "BrowseTESSLY"}));
    EXPECT_EQ(again.value("MAIN", "y"), "20");
    EXPECT_EQ(again.value("Main", "Missing", "d"), "d");
}

TEST(LineFiles, LinesOfAtMost1024CharactersAndBlocksOf1024Bytes)
{
    test::TempFolder folder;
    const std::string longLine(1500, 'x');
    folder.write("in.txt", "first\r\n\nthird\n" + longLine + "\nlast");
    LineFile lines;
    ASSERT_TRUE(lines.open(folder.file("in.txt")).ok());
    std::vector<std::string> read;
    std::string line;
    while (lines.next(line).ok()) {
        read.push_back(line);
    }
    EXPECT_EQ(read, (std::vector<std::string>{"first", "", "third", std::string(1024, 'x'),
                                              std::string(476, 'x'), "last"}));
    EXPECT_EQ(lines.next(line).code, kNoMoreRecords);
    EXPECT_EQ(LineFile{}.open(folder.file("missing.txt")).code, kFileNotFound);

    folder.write("raw.bin", std::string(2500, 'b'));
    BlockFile blocks;
    ASSERT_TRUE(blocks.open(folder.file("raw.bin")).ok());
    std::string block;
    std::vector<std::size_t> sizes;
    while (blocks.next(block).ok()) {
        sizes.push_back(block.size());
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{1024, 1024, 452}));
}

} // namespace
} // namespace tessaly
