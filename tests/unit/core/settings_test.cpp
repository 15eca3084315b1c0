#include "core/file_version.h"
#include "core/hot_keys.h"
#include "core/services.h"
#include "core/tables.h"
#include "platform/registry.h"

#include "environment_variable.h"
#include "scripted_ui.h"
#include "temp_folder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <utility>

namespace tessaly {
namespace {

TEST(HotKeys, ParseLikeTheOriginalTable)
{
    EXPECT_EQ(parseHotKey("WinU"), kHotKeyWin | 'U');
    EXPECT_EQ(parseHotKey("WinU"), parseHotKey("*U"));
    EXPECT_EQ(parseHotKey("WinG"), kHotKeyWin | 'G');
    EXPECT_EQ(parseHotKey("CtrlShiftF10"), kHotKeyCtrl | kHotKeyShift | 121);
    EXPECT_EQ(parseHotKey("ctrl-shift-f10"), parseHotKey("^+F10"));
    EXPECT_EQ(parseHotKey("ShiftKeyDel"), kHotKeyShift | 46);
    EXPECT_EQ(parseHotKey("%Pad5"), kHotKeyAlt | 101);
    EXPECT_EQ(parseHotKey("Backspace"), 8);
    EXPECT_EQ(parseHotKey("MouseCenter2"), 7);
    EXPECT_EQ(parseHotKey("NoSuchKey"), 0);
    EXPECT_EQ(parseHotKey(""), 0);
    EXPECT_EQ(parseHotKey("ShiftShiftA"), kHotKeyShift | 'A') << "a modifier twice is itself";
    EXPECT_EQ(keyNameTable().size(), 92U);
}

struct FakeRegistrar final : HotKeyRegistrar {
    std::vector<std::uint16_t> taken; // keys another program holds
    std::vector<std::pair<int, std::uint16_t>> grabbed;
    bool grab(int id, std::uint16_t code) override
    {
        if (std::find(taken.begin(), taken.end(), code) != taken.end()) {
            return false;
        }
        grabbed.emplace_back(id, code);
        return true;
    }
    void release(int id, std::uint16_t code) override
    {
        std::erase(grabbed, std::pair<int, std::uint16_t>{id, code});
    }
};

TEST(HotKeys, AKeyAnotherProgramHoldsFailsSilentlyAndTheOtherWorks)
{
    FakeRegistrar registrar;
    registrar.taken = {parseHotKey("WinU")};
    HotKeys keys{registrar};
    keys.add("WinU");
    keys.add("WinG");
    keys.add("*G");      // the same code again
    keys.add("Nothing"); // parses to 0
    EXPECT_TRUE(registrar.grabbed.empty()) << "nothing is grabbed before enabling";
    keys.enable();
    ASSERT_EQ(keys.keys().size(), 2U);
    EXPECT_EQ(keys.failed(), (std::vector<HotKey>{{parseHotKey("WinU"), "WinU"}}));
    EXPECT_EQ(registrar.grabbed,
              (std::vector<std::pair<int, std::uint16_t>>{{2, parseHotKey("WinG")}}));

    keys.pressed(2);
    keys.pressed(7, "stray");
    EXPECT_EQ(keys.takePending(), (HotKey{parseHotKey("WinG"), "WinG"}));
    EXPECT_EQ(keys.takePending(), (HotKey{0, "stray"}));
    EXPECT_FALSE(keys.takePending());
    keys.disable();
    EXPECT_TRUE(registrar.grabbed.empty());
}

TEST(Registry, WineUserRegValuesMatchTrimmedAndWithoutCase)
{
    const std::string reg =
        "WINE REGISTRY Version 2\n"
        ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
        "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] "
        "1700000000\n#time=1d9\n"
        "\"AppData\"=\"C:\\\\users\\\\me\\\\AppData\\\\Roaming\"\n"
        "\"  favorites \"=\"C:\\\\users\\\\me\\\\Favorites   \"\n\n"
        "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\User Shell Folders] "
        "1700000000\n"
        "\"Favorites\"=str(2):\"%USERPROFILE%\\\\Favorites\"\n"
        "\"Count\"=dword:00000001\n";
    EXPECT_EQ(readWineRegistryValue(reg, kShellFolders, "Favorites"), "C:\\users\\me\\Favorites");
    EXPECT_EQ(readWineRegistryValue(reg, kUserShellFolders, "FAVORITES"),
              "%USERPROFILE%\\Favorites")
        << "environment references are not expanded";
    EXPECT_FALSE(readWineRegistryValue(reg, kUserShellFolders, "Count"));
    EXPECT_FALSE(readWineRegistryValue(reg, "Software\\Nothing", "Favorites"));

    test::TempFolder prefix;
    prefix.write("user.reg", reg);
    ::mkdir(prefix.file("drive_c").c_str(), 0700);
    const RegistryAccessor registry{true, prefix.path()};
    EXPECT_EQ(registry.read(kShellFolders, "Favorites", "x"), "C:\\users\\me\\Favorites");
    EXPECT_EQ(registry.read(kShellFolders, "Missing", "x"), "x");
    EXPECT_EQ(registry.mapPath("C:\\users\\me\\Favorites"),
              prefix.file("drive_c/users/me/Favorites"));
    EXPECT_EQ(registry.mapPath("D:\\other"), "D:\\other");
    EXPECT_EQ(RegistryAccessor(true, prefix.file("none")).mapPath("C:\\x"), "C:\\x");
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { services.start(); }

    test::TempFolder folder;
    test::TempFolder prefix; // an empty Wine prefix: no registry at all
    test::ScriptedUi ui;
    Services services{ui, folder.path(), prefix.path()};
};

TEST_F(SettingsTest, DefaultsWithNoRecordsAndARecordForANonBlankFallback)
{
    Settings settings;
    services.settingsStore().load(settings);
    EXPECT_EQ(settings.startupBrowse, "Location");
    EXPECT_EQ(settings.doubleClickAction, "");
    EXPECT_EQ(settings.noTray, 0);
    EXPECT_EQ(settings.secure, 0);
    EXPECT_EQ(settings.password, "");
    EXPECT_EQ(settings.favoritesPath, ""); // no Wine prefix: no Favorites folder
    EXPECT_TRUE(ui.shown.empty());

    FileManager& configuration = services.database().configuration();
    ASSERT_EQ(configuration.use(), kLevelDone);
    EXPECT_EQ(readSetting(configuration, "StartupBrowse"), "Location") << "stored on first read";
    Record probe{configurationTable()};
    probe.setText(ConfigurationField::DataType, "Password");
    EXPECT_EQ(configuration.tryFetch(0, probe), kLevelNotify) << "a blank fallback stores nothing";
    configuration.close();
}

TEST_F(SettingsTest, WinIniAnswersForSettingsWithoutRecords)
{
    folder.write("WIN.INI", "[Settings]\nDoubleClickAction=Start URL\n");
    EXPECT_EQ(services.settingsStore().get("DoubleClickAction", ""), "Start URL");
    folder.write("WIN.INI", "");
    EXPECT_EQ(services.settingsStore().get("DoubleClickAction", ""), "Start URL")
        << "the fallback became a record";
}

TEST_F(SettingsTest, OptionsWritesComeBackOnTheNextLoad)
{
    Settings settings;
    services.settingsStore().load(settings);
    settings.doubleClickAction = "Start URL";
    settings.noTray = 1;
    settings.secure = 1;
    settings.password = "Sesame"; // given in clear, stored as its hash
    settings.startupBrowse = "Category";
    settings.favoritesPath = "/home/me/Favorites";
    settings.linkTestJobs = 12;
    settings.linkTestsPerHost = 3;
    services.settingsStore().save(settings);

    Settings reread;
    services.settingsStore().load(reread);
    EXPECT_EQ(reread.doubleClickAction, "Start URL");
    EXPECT_EQ(reread.noTray, 1);
    EXPECT_EQ(reread.secure, 1);
    EXPECT_TRUE(isPasswordHash(reread.password)) << reread.password;
    EXPECT_TRUE(passwordMatches("sesame", reread.password));
    EXPECT_EQ(reread.startupBrowse, "Category");
    EXPECT_EQ(reread.favoritesPath, "/home/me/Favorites");
    EXPECT_EQ(reread.linkTestJobs, 12);
    EXPECT_EQ(reread.linkTestsPerHost, 3);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(SettingsTest, LinkTestCountsAreHeldToWhatABatchCanRun)
{
    const auto loadWith = [&](const char* jobs, const char* perHost) {
        services.settingsStore().put("LinkTestJobs", jobs);
        services.settingsStore().put("LinkTestsPerHost", perHost);
        Settings settings;
        services.settingsStore().load(settings);
        return std::pair{settings.linkTestJobs, settings.linkTestsPerHost};
    };
    EXPECT_EQ(loadWith("0", "0"), std::pair(1, 1)) << "no test at all would never end a run";
    EXPECT_EQ(loadWith("many", "-3"), std::pair(1, 1));
    EXPECT_EQ(loadWith("100000", "8"), std::pair(kMostLinkTestJobs, 8));
    EXPECT_EQ(loadWith("6", "10"), std::pair(6, 6)) << "one site cannot have more than all";

    Settings defaults;
    EXPECT_EQ(defaults.linkTestJobs, kDefaultLinkTestJobs);
    EXPECT_EQ(defaults.linkTestsPerHost, kDefaultLinkTestsPerHost);
}

TEST_F(SettingsTest, TheFavoritesFolderComesFromTheRegistryInTwoSteps)
{
    prefix.write("user.reg", "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\"
                             "Shell Folders]\n\"Favorites\"=\"C:\\\\users\\\\me\\\\Favorites\"\n");
    EXPECT_EQ(services.settingsStore().registryFavorites(), "C:\\users\\me\\Favorites");
    ::mkdir(prefix.file("drive_c").c_str(), 0700);
    Settings settings;
    services.settingsStore().load(settings);
    EXPECT_EQ(settings.favoritesPath, prefix.file("drive_c/users/me/Favorites"));
}

TEST_F(SettingsTest, ReadAndWriteErrorsShowTheirBoxesAndGoOn)
{
    FileManager& configuration = services.database().configuration();
    configuration.setAccessMode(kAccessReadOnly);
    ASSERT_EQ(configuration.use(), kLevelDone);
    services.settingsStore().put("Theme", "Dark");
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.last().title, "Error!");
    EXPECT_EQ(ui.last().text, "Error writing configuration information.  Code Theme" +
                                  std::string(35, ' ') + " - Access Denied");

    // A table that vanished under the open file fails the read.
    ASSERT_TRUE(services.database().engine().connection().execute("DROP TABLE Configuration").ok());
    EXPECT_EQ(services.settingsStore().get("Theme", "fallback"), "");
    ASSERT_EQ(ui.shown.size(), 2U);
    EXPECT_TRUE(ui.last().text.starts_with("Error retrieving configuration information code Theme" +
                                           std::string(35, ' ') + " - "))
        << ui.last().text;
    configuration.close();
}

TEST(Password, CaseAndTrailingBlanksDoNotCountButLeadingBlanksDo)
{
    EXPECT_TRUE(passwordMatches("sesame", "Sesame"));
    EXPECT_TRUE(passwordMatches("SESAME   ", "Sesame"));
    EXPECT_FALSE(passwordMatches(" Sesame", "Sesame"));
    Settings settings;
    settings.secure = 1;
    EXPECT_FALSE(passwordRequired(settings)) << "Secure with an empty password asks nothing";
    settings.password = "   ";
    EXPECT_FALSE(passwordRequired(settings));
    settings.password = "x";
    EXPECT_TRUE(passwordRequired(settings));
    settings.secure = 0;
    EXPECT_FALSE(passwordRequired(settings));
}

using test::EnvironmentVariable;

// user.reg as Wine writes it for the user "me": both Favorites values, the
// second expanded, each key with its time stamps.
std::string wineUserReg(const std::string& userShellFavorites, const std::string& volatileKey)
{
    return "WINE REGISTRY Version 2\n"
           ";; All keys relative to \\\\User\\\\S-1-5-21-1953236147-3562105624-2513413358-1000\n"
           "\n"
           "#arch=win64\n"
           "\n"
           "[Environment] 1700000000\n"
           "#time=1da1b2c3d4e5f60\n"
           "\"TEMP\"=str(2):\"%USERPROFILE%\\\\AppData\\\\Local\\\\Temp\"\n"
           "\"TMP\"=str(2):\"%USERPROFILE%\\\\AppData\\\\Local\\\\Temp\"\n"
           "\n"
           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] "
           "1700000000\n"
           "#time=1da1b2c3d4e5f60\n"
           "\"AppData\"=\"C:\\\\users\\\\me\\\\AppData\\\\Roaming\"\n"
           "\"Favorites\"=\"C:\\\\users\\\\me\\\\Favorites\"\n"
           "\"Personal\"=\"C:\\\\users\\\\me\\\\Documents\"\n"
           "\n"
           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\User Shell Folders] "
           "1700000000\n"
           "#time=1da1b2c3d4e5f60\n"
           "\"AppData\"=str(2):\"%USERPROFILE%\\\\AppData\\\\Roaming\"\n"
           "\"Favorites\"=str(2):\"" +
           userShellFavorites +
           "\"\n"
           "\"Personal\"=str(2):\"%USERPROFILE%\\\\Documents\"\n"
           "\n" +
           volatileKey;
}

TEST_F(SettingsTest, WineFavoritesReferencesAreExpandedIntoThePrefix)
{
    ::mkdir(prefix.file("drive_c").c_str(), 0700);
    const EnvironmentVariable user{"USER", "someone"};
    const auto favorites = [&](const std::string& reg) {
        prefix.write("user.reg", reg);
        return services.settingsStore().registryFavorites();
    };

    const std::string volatileMe = "[Volatile Environment] 1700000000\n"
                                   "#time=1da1b2c3d4e5f60\n"
                                   "\"USERNAME\"=\"me\"\n"
                                   "\"USERPROFILE\"=\"C:\\\\users\\\\me\"\n";
    EXPECT_EQ(favorites(wineUserReg("%USERPROFILE%\\\\Favorites", volatileMe)),
              "C:\\users\\me\\Favorites")
        << "the user's own environment values come first";
    EXPECT_EQ(favorites(wineUserReg("%USERPROFILE%\\\\Favorites", "")),
              "C:\\users\\someone\\Favorites")
        << "without them, Wine's profile folder of the login name";
    EXPECT_EQ(favorites(wineUserReg("%userprofile%\\\\Favorites", "")),
              "C:\\users\\someone\\Favorites");
    EXPECT_EQ(favorites(wineUserReg("%TEMP%\\\\..\\\\Favs of %USERNAME%", volatileMe)),
              "C:\\users\\me\\AppData\\Local\\Temp\\..\\Favs of me")
        << "values that refer to others";
    EXPECT_EQ(favorites(wineUserReg("%ONEDRIVE%\\\\Favorites", volatileMe)),
              "C:\\users\\me\\Favorites")
        << "a reference to nothing known gives the expanded value of Shell Folders";
    EXPECT_EQ(favorites(wineUserReg("D:\\\\Shared\\\\Favorites", "")), "D:\\Shared\\Favorites");
    EXPECT_EQ(favorites(wineUserReg("%USERPROFILE%\\\\Favorites",
                                    "[Volatile Environment] 1700000000\n"
                                    "\"USERPROFILE\"=\"C:\\\\users\\\\Ren\\x00e9e\"\n")),
              "C:\\users\\Ren\xc3\xa9"
              "e\\Favorites")
        << "Wine writes letters beyond ASCII as UTF-16 units in hex";

    // What the first start stores: a folder inside the prefix, no reference.
    prefix.write("user.reg", wineUserReg("%USERPROFILE%\\\\Favorites", volatileMe));
    Settings settings;
    services.settingsStore().load(settings);
    EXPECT_EQ(settings.favoritesPath, prefix.file("drive_c/users/me/Favorites"));
    FileManager& configuration = services.database().configuration();
    ASSERT_EQ(configuration.use(), kLevelDone);
    EXPECT_EQ(readSetting(configuration, "FavoritesPath"),
              prefix.file("drive_c/users/me/Favorites"));
    configuration.close();
}

TEST_F(SettingsTest, ThePasswordIsStoredAsASaltedHashAndAClearOneIsConverted)
{
    // As an earlier version stored it.
    services.settingsStore().put("Secure", "1");
    services.settingsStore().put("Password", "Open Sesame");
    Settings settings;
    services.settingsStore().load(settings);
    EXPECT_TRUE(isPasswordHash(settings.password)) << settings.password;
    FileManager& configuration = services.database().configuration();
    ASSERT_EQ(configuration.use(), kLevelDone);
    const std::string stored = readSetting(configuration, "Password");
    configuration.close();
    EXPECT_EQ(stored, settings.password) << "the clear text is gone from the file";
    EXPECT_EQ(stored.find("Sesame"), std::string::npos);
    EXPECT_TRUE(stored.starts_with("pbkdf2-sha256$")) << stored;
    EXPECT_TRUE(passwordRequired(settings));
    EXPECT_TRUE(passwordMatches("open sesame  ", stored)) << "case and trailing blanks as before";
    EXPECT_FALSE(passwordMatches(" Open Sesame", stored));
    EXPECT_FALSE(passwordMatches("Open Sesam", stored));
    EXPECT_FALSE(passwordMatches("", stored));
    EXPECT_FALSE(passwordMatches(stored, stored)) << "the hash itself is no password";

    Settings again;
    services.settingsStore().load(again);
    EXPECT_EQ(again.password, stored) << "a hash is not hashed again";
    EXPECT_TRUE(ui.shown.empty());
}

TEST(Password, HashesAreSaltedWholeAndHardToForge)
{
    const std::string longest(32, 'W'); // the Options entry's width
    const std::string first = hashPassword(longest);
    const std::string second = hashPassword(longest);
    EXPECT_NE(first, second) << "a fresh salt each time";
    EXPECT_TRUE(passwordMatches(std::string(32, 'w'), first));
    EXPECT_TRUE(passwordMatches(longest, second));
    EXPECT_LE(first.size(), 255U) << "fits the Configuration value whole";
    EXPECT_EQ(hashPassword("   "), "") << "a blank password stays blank";

    // A doctored hash is no hash: compared as clear text, it lets nothing in.
    std::string doctored = first;
    doctored.replace(doctored.find('$') + 1, 6, "999999999");
    EXPECT_FALSE(isPasswordHash(doctored));
    EXPECT_FALSE(passwordMatches(longest, doctored));
    EXPECT_FALSE(isPasswordHash("pbkdf2-sha256$1000$zz$00"));
    std::string flipped = first;
    flipped.back() = flipped.back() == '0' ? '1' : '0';
    EXPECT_FALSE(passwordMatches(longest, flipped));
}

TEST_F(SettingsTest, AGroupThatCannotBeStoredKeepsNoneAndSaysSo)
{
    Settings settings;
    services.settingsStore().load(settings);
    // A second program reading the file holds the lock the commit needs.
    sqlite3* reader = nullptr;
    ASSERT_EQ(
        sqlite3_open_v2(folder.file("URLDATA.tps").c_str(), &reader, SQLITE_OPEN_READONLY, nullptr),
        SQLITE_OK);
    sqlite3_stmt* scan = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(reader, "SELECT name FROM sqlite_master", -1, &scan, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(scan), SQLITE_ROW);

    Settings changed = settings;
    changed.startupBrowse = "Category";
    changed.noTray = 1;
    EXPECT_FALSE(services.settingsStore().save(changed));
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.last().title, "Error!");
    EXPECT_TRUE(ui.last().text.starts_with("Error writing configuration information.  Code "))
        << ui.last().text;
    sqlite3_finalize(scan);
    sqlite3_close(reader);

    Settings reread;
    services.settingsStore().load(reread);
    EXPECT_EQ(reread.startupBrowse, "Location");
    EXPECT_EQ(reread.noTray, 0);
    EXPECT_TRUE(services.settingsStore().save(changed))
        << "the same values once the reader is done";
    services.settingsStore().load(reread);
    EXPECT_EQ(reread.startupBrowse, "Category");
}

} // namespace
} // namespace tessaly
