#include "core/sqlite.h"
#include "import/browser_profiles.h"

#include "import_test_support.h"

#include <filesystem>

namespace tessaly {
namespace {

using test::ImportTest;

TEST_F(ImportTest, CsvFieldsAreReadAsTheExportWritesThem)
{
    const std::string csv =
        "\"Category\",\"Location\",\"Description\",\"Site Info\",Rating\n"
        "\"News\",\"http://a.example/\",\"All \"\"quoted\"\", news\",\"Line one\n"
        "line two\",7\n"
        "\"Sport\",\"http://b.example/\",\"Three fields\"\n"
        "\"Sport\",\"http://c.example/\",\"Rated\",15\n"
        "\"\",\"http://d.example/\",\"No category\",\"\",3\n"
        "no quotes here, http://e.example/\n"
        "\"#\",\"#anchor\",\"Skipped\"\n";
    const ImportSummary summary = import(ImportType::Csv, sources.write("list.csv", csv));
    EXPECT_EQ(summary.imported, 5) << "the heading line is no bookmark";
    const Record a = stored("http://a.example/");
    EXPECT_EQ(a.text(BookmarkField::Description), "All \"quoted\", news");
    EXPECT_EQ(a.text(BookmarkField::SiteInfo), "Line one\nline two");
    EXPECT_EQ(a.number(BookmarkField::Rating), 7);
    EXPECT_EQ(a.text(BookmarkField::Category), "News");
    EXPECT_EQ(stored("http://b.example/").text(BookmarkField::SiteInfo), "");
    EXPECT_EQ(stored("http://c.example/").number(BookmarkField::Rating), 15)
        << "a bare number after three fields is the rating, all of it";
    EXPECT_EQ(stored("http://d.example/").text(BookmarkField::Category), "New");
    EXPECT_EQ(stored("http://e.example/").text(BookmarkField::Category), "no quotes here")
        << "a row without quotes is a row all the same";
    EXPECT_EQ(stored("Location").position, 0);
    EXPECT_EQ(summary.skipped.at(SkipReason::NoAddress), 1);
}

TEST_F(ImportTest, TextGivesEveryAddressWithTheRestOfItsLine)
{
    const std::string text = "See http://one.example/path, then \"ftp://two.example/f\" too\n"
                             "<a href=\"http://three.example/\">Three</a>\n"
                             "nothing here\n"
                             "news://group.example and gopher://old.example\n"
                             "secure https://secure.example/ and HTTP://UP.example/ http://\n";
    const ImportSummary summary = import(ImportType::Ascii, sources.write("notes.txt", text));
    EXPECT_EQ(summary.imported, 7) << "https:// and schemes in capitals too; a scheme alone no";
    EXPECT_EQ(stored("https://secure.example/").text(BookmarkField::Description),
              "and HTTP://UP.example/ http://");
    EXPECT_EQ(stored("http://one.example/path").text(BookmarkField::Description),
              "then \"ftp://two.example/f\" too");
    EXPECT_EQ(stored("ftp://two.example/f").text(BookmarkField::Description), "too");
    EXPECT_EQ(stored("http://three.example/").text(BookmarkField::Description), "Three</a>");
    EXPECT_EQ(stored("news://group.example").text(BookmarkField::Category), "New");
    EXPECT_NE(stored("gopher://old.example").position, 0);
}

class FavoritesImportTest : public ImportTest {
protected:
    void SetUp() override
    {
        ImportTest::SetUp();
        favorites = sources.path() + "/Favorites";
        std::filesystem::create_directories(favorites + "/News/Daily");
        std::filesystem::create_directories(favorites + "/A folder of a long name/Deeper/Deepest");
        std::filesystem::create_directories(favorites + "/.hidden");
    }

    void shortcut(const std::string& path, const std::string& content)
    {
        sources.write("Favorites/" + path, content);
    }
};

TEST_F(FavoritesImportTest, ShortcutsBecomeBookmarksWithTheirFoldersAsCategories)
{
    shortcut("Top.url", "[InternetShortcut]\r\nURL=http://top.example/\r\n");
    shortcut("News/Daily/Paper.URL", "[DEFAULT]\nBASEURL=http://base.example/\n"
                                     "[internetshortcut]\nurl=http://paper.example/\n");
    shortcut("A folder of a long name/Deeper/Deepest/Far.url",
             "[InternetShortcut]\nURL=http://far.example/\n");
    shortcut("News/readme.txt", "not a shortcut");
    shortcut("News/Empty.url", "[InternetShortcut]\n");
    // Saved by a Windows editor: UTF-16LE with its byte order mark.
    std::string wide = "\xFF\xFE";
    for (const char c : std::string{"[InternetShortcut]\r\nURL=http://wide.example/\r\n"}) {
        wide += c;
        wide += '\0';
    }
    shortcut("Wide.url", wide);
    const ImportSummary summary = import(ImportType::Favorites, {});
    EXPECT_EQ(summary.imported, 4);
    EXPECT_EQ(ui.last().title, "Complete");
    EXPECT_EQ(ui.last().text, "4 bookmark(s) imported.");
    EXPECT_EQ(stored("http://wide.example/").text(BookmarkField::Description), "Wide");
    const Record top = stored("http://top.example/");
    EXPECT_EQ(top.text(BookmarkField::Category), "Internet Explorer");
    EXPECT_EQ(top.text(BookmarkField::Description), "Top");
    EXPECT_EQ(top.text(BookmarkField::OriginalFilename), favorites + "/Top.url");
    const Record paper = stored("http://paper.example/");
    EXPECT_EQ(paper.text(BookmarkField::Category), "News: Daily");
    EXPECT_EQ(paper.text(BookmarkField::Description), "Paper");
    EXPECT_EQ(stored("http://far.example/").text(BookmarkField::Category),
              "A folder of a long name: Deeper")
        << "folders are added while the category is shorter than 25 characters";
    EXPECT_EQ(categories(), (std::vector<std::string>{"A folder of a long name: Deeper",
                                                      "Internet Explorer", "News: Daily"}));
}

TEST_F(FavoritesImportTest, NoneGivesNoCategoryAndAMissingFolderNone)
{
    shortcut("News/One.url", "[InternetShortcut]\nURL=http://one.example/\n");
    import(ImportType::Favorites, {}, CategoryAssignment::None);
    EXPECT_EQ(stored("http://one.example/").text(BookmarkField::Category), "");
    EXPECT_TRUE(categories().empty()) << "no category of an empty name is made";

    favorites = sources.path() + "/nowhere";
    const ImportSummary none = import(ImportType::Favorites, {});
    EXPECT_EQ(none.imported, 0);
    EXPECT_EQ(ui.last().text, "0 bookmark(s) imported.")
        << "a Favorites folder of the settings that is not there imports nothing";
    const ImportSummary named = import(ImportType::Favorites, sources.path() + "/nowhere");
    EXPECT_NE(named.sourceError.find("nowhere: No such file or directory"), std::string::npos)
        << "a folder the user names must be there";
}

TEST_F(ImportTest, AChromiumProfileGivesItsFoldersAndRoots)
{
    const std::string json = R"({
      "checksum": "0", "version": 1,
      "roots": {
        "bookmark_bar": {"children": [
            {"type": "url", "name": "On the bar", "url": "https://bar.example/",
             "date_last_used": "13345000000000000"},
            {"type": "folder", "name": "Work", "children": [
                {"type": "url", "name": "", "url": "https://work.example/"}]}],
          "name": "Bookmarks bar", "type": "folder"},
        "other": {"children": [{"type": "url", "name": "Other one", "url": "https://other.example/"}],
          "name": "Other bookmarks", "type": "folder"},
        "synced": {"children": [], "name": "Mobile bookmarks", "type": "folder"}
      }})";
    std::filesystem::create_directories(sources.path() + "/Default");
    sources.write("Default/Bookmarks", json);
    const ImportSummary summary = import(ImportType::Chromium, sources.path() + "/Default");
    EXPECT_EQ(summary.imported, 3);
    EXPECT_EQ(bookmarks(), (std::vector<std::string>{
                               "https://bar.example/|On the bar|Bookmarks bar",
                               "https://other.example/|Other one|Other bookmarks",
                               "https://work.example/|https://work.example/|Work",
                           }));
    EXPECT_EQ(stored("https://bar.example/").number(BookmarkField::LastVisit),
              dates::dayNumber(2023, 11, 21));
    sources.write("Default/Bookmarks", "{\"roots\": [1, 2");
    EXPECT_NE(import(ImportType::Chromium, sources.path() + "/Default")
                  .sourceError.find("not a Chromium bookmark file"),
              std::string::npos);
}

TEST_F(ImportTest, AFirefoxProfileGivesFoldersTagsKeywordsAndVisits)
{
    std::filesystem::create_directories(sources.path() + "/profile");
    const std::string places = sources.path() + "/profile/places.sqlite";
    {
        sql::Connection placesDb;
        ASSERT_TRUE(placesDb.open(places, true, false).ok());
        ASSERT_TRUE(
            placesDb
                .execute(
                    "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title "
                    "LONGVARCHAR, last_visit_date INTEGER);"
                    "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER, "
                    "parent INTEGER, position INTEGER, title LONGVARCHAR, guid TEXT);"
                    "CREATE TABLE moz_keywords (id INTEGER PRIMARY KEY, keyword TEXT, place_id "
                    "INTEGER);"
                    "INSERT INTO moz_bookmarks VALUES (1, 2, NULL, 0, 0, '', 'root________'),"
                    "(2, 2, NULL, 1, 0, 'menu', 'menu________'),"
                    "(3, 2, NULL, 1, 1, 'toolbar', 'toolbar_____'),"
                    "(4, 2, NULL, 1, 2, 'tags', 'tags________'),"
                    "(5, 2, NULL, 1, 3, 'unfiled', 'unfiled_____'),"
                    "(6, 2, NULL, 2, 0, 'Recipes', 'f1'),"
                    "(10, 1, 100, 3, 0, 'Toolbar site', 'b1'),"
                    "(11, 1, 101, 6, 0, 'Soup', 'b2'),"
                    "(12, 1, 102, 5, 0, NULL, 'b3'),"
                    "(13, 1, 103, 2, 1, 'Smart', 'b4'),"
                    "(20, 2, NULL, 4, 0, 'food', 't1'),"
                    "(21, 1, 101, 20, 0, NULL, 't2');"
                    "INSERT INTO moz_places VALUES (100, 'https://toolbar.example/', 'x', "
                    "1700000000000000),"
                    "(101, 'https://soup.example/', 'y', NULL),"
                    "(102, 'https://untitled.example/', NULL, NULL),"
                    "(103, 'place:sort=8', NULL, NULL);"
                    "INSERT INTO moz_keywords VALUES (1, 'soup', 101);")
                .ok());
    }
    const ImportSummary summary = import(ImportType::Firefox, sources.path() + "/profile");
    EXPECT_EQ(summary.imported, 3) << summary.sourceError;
    EXPECT_EQ(bookmarks(),
              (std::vector<std::string>{
                  "https://soup.example/|Soup|Recipes",
                  "https://toolbar.example/|Toolbar site|Bookmarks Toolbar",
                  "https://untitled.example/|https://untitled.example/|Other Bookmarks",
              }));
    EXPECT_EQ(keywords("https://soup.example/"), (std::vector<std::string>{"food", "soup"}));
    EXPECT_EQ(stored("https://toolbar.example/").number(BookmarkField::LastVisit),
              dates::dayNumber(2023, 11, 14));
    EXPECT_NE(import(ImportType::Firefox, sources.path()).sourceError.find("no Firefox"),
              std::string::npos);
}

TEST(BrowserProfiles, FoundWhereTheBrowsersKeepThem)
{
    test::TempFolder home;
    std::filesystem::create_directories(home.path() + "/.mozilla/firefox/abc.default-release");
    home.write(".mozilla/firefox/profiles.ini",
               "[Profile0]\nName=default-release\nIsRelative=1\nPath=abc.default-release\n");
    home.write(".mozilla/firefox/abc.default-release/places.sqlite", "x");
    std::filesystem::create_directories(home.path() + "/.config/chromium/Default");
    std::filesystem::create_directories(home.path() + "/.config/chromium/Profile 1");
    std::filesystem::create_directories(home.path() + "/.config/google-chrome/Default");
    home.write(".config/chromium/Default/Bookmarks", "{}");
    home.write(".config/chromium/Profile 1/Bookmarks", "{}");
    const std::vector<BrowserProfile> profiles = findBrowserProfiles(home.path());
    ASSERT_EQ(profiles.size(), 3U);
    EXPECT_EQ(profiles[0].browser, "Firefox");
    EXPECT_EQ(profiles[0].name, "abc.default-release");
    EXPECT_EQ(profiles[1].path, home.path() + "/.config/chromium/Default/Bookmarks");
    EXPECT_EQ(profiles[2].name, "Profile 1");
}

} // namespace
} // namespace tessaly
