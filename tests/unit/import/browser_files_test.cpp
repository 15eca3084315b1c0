// Files written by the real browsers (tests/data/browsers, made by
// scripts/make-browser-fixtures.sh): what a user brings from Firefox and
// Chromium must arrive whole, once, with its folders.
#include "environment_variable.h"
#include "import_test_support.h"
#include "stale_temporary.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tessaly {
namespace {

using test::ImportTest;

const std::string kBrowserFiles = TESSALY_BROWSER_FILES;
const std::string kFirefoxExport = kBrowserFiles + "/firefox/bookmarks.html";
const std::string kFirefoxProfile = kBrowserFiles + "/firefox";
const std::string kChromiumProfile = kBrowserFiles + "/chromium";

const std::string kNews = "https://news.example/front?a=1&b=2";

std::string readFile(const std::string& path)
{
    std::ifstream in{path, std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

std::vector<std::string> sorted(std::vector<std::string> rows)
{
    std::sort(rows.begin(), rows.end());
    return rows;
}

// "location|title|category" of every bookmark the Firefox profile holds: the
// four a new profile starts with and the ones the script added. `menu` is
// the category of the bookmarks straight in the Bookmarks Menu.
std::vector<std::string> firefoxBookmarks(const std::string& menu)
{
    return sorted({
        "https://after-separator.example/|After the separator|" + menu,
        "https://cafe.example/|Café & Crème|" + menu,
        "https://daily.example/|Daily 東京 Новости|Daily",
        "https://news.example/after|After Daily|News",
        kNews + "|Front <page> \"live\"|News",
        "https://other.example/|O'Brien's page|Other Bookmarks",
        "https://support.mozilla.org/kb/customize-firefox-controls-buttons-and-toolbars?utm_"
        "source=firefox-browser&utm_medium=default-bookmarks&utm_campaign=customize|Customize "
        "Firefox|Mozilla Firefox",
        "https://support.mozilla.org/products/firefox|Get Help|Mozilla Firefox",
        "https://toolbar.example/|Toolbar link|Bookmarks Toolbar",
        "https://tools.example/x|Tool ½ price|Tools",
        "https://untitled.example/path|https://untitled.example/path|" + menu,
        "https://www.mozilla.org/about/|About Us|Mozilla Firefox",
        "https://www.mozilla.org/contribute/|Get Involved|Mozilla Firefox",
        "javascript:void(document.title='a'&&'b')|Bookmarklet 'retitle'|" + menu,
    });
}

// "location|title" of every bookmark stored in `database`.
std::vector<std::string> addressesAndTitles(Database& database)
{
    std::vector<std::string> out;
    FileManager& file = database.bookmarks();
    file.use();
    Record r{bookmarkTable()};
    file.file().set(static_cast<int>(BookmarkKey::Location));
    while (file.file().next(r).ok()) {
        out.push_back(r.text(BookmarkField::Location) + "|" + r.text(BookmarkField::Description));
    }
    file.close();
    return sorted(out);
}

class BrowserFilesTest : public ImportTest {
protected:
    std::vector<std::string> newsKeywords() { return keywords(kNews); }

    // Everything the import of Firefox's export must have stored.
    void expectFirefoxExportStored()
    {
        // The export puts the menu's own bookmarks under its <H1>, which is
        // no folder: they get "New", as links before any folder do.
        EXPECT_EQ(sorted(bookmarks()), firefoxBookmarks("New"));
        EXPECT_EQ(sorted(categories()),
                  (std::vector<std::string>{"Bookmarks Toolbar", "Daily", "Mozilla Firefox", "New",
                                            "News", "Other Bookmarks", "Tools"}));
        EXPECT_EQ(newsKeywords(), (std::vector<std::string>{"daily", "world", "nw"}))
            << "the tags, then the word typed in the address bar";
        EXPECT_TRUE(keywords("https://daily.example/").empty());
    }
};

TEST_F(BrowserFilesTest, FirefoxExportArrivesOnceWithFoldersTagsAndKeyword)
{
    // The icon makes the line of "Café & Crème" several kilobytes long
    // before its title: the title must still be read.
    std::istringstream lines{readFile(kFirefoxExport)};
    std::string line;
    std::size_t iconLine = 0;
    while (std::getline(lines, line)) {
        if (line.find("https://cafe.example/") != std::string::npos) {
            iconLine = line.size();
        }
    }
    ASSERT_GT(iconLine, 4096U) << "the export should carry the icon on the link's line";

    const ImportSummary first = import(ImportType::Netscape, kFirefoxExport);
    EXPECT_FALSE(first.failed);
    EXPECT_EQ(first.imported, 14);
    EXPECT_EQ(first.alreadyStored, 0);
    expectFirefoxExportStored();
    EXPECT_EQ(ui.last().text, "14 URL(s) imported.");

    const ImportSummary second = import(ImportType::Netscape, kFirefoxExport);
    EXPECT_EQ(second.imported, 0);
    EXPECT_EQ(second.alreadyStored, 14);
    EXPECT_EQ(bookmarks().size(), 14U);
    EXPECT_EQ(newsKeywords().size(), 3U) << "a second import adds no keyword rows";
}

TEST_F(BrowserFilesTest, FirefoxExportWithCrLfLineEndsReadsTheSame)
{
    std::string crlf;
    for (const char c : readFile(kFirefoxExport)) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    const ImportSummary summary =
        import(ImportType::Netscape, sources.write("bookmarks.html", crlf));
    EXPECT_EQ(summary.imported, 14);
    expectFirefoxExportStored();
    for (const std::string& row : bookmarks()) {
        EXPECT_EQ(row.find('\r'), std::string::npos) << row;
    }
}

TEST_F(BrowserFilesTest, FirefoxProfileArrivesOnceWithRootNamesTagsAndLastVisit)
{
    const std::string places = kFirefoxProfile + "/places.sqlite";
    const std::string before = readFile(places);
    const ImportSummary first = import(ImportType::Firefox, kFirefoxProfile);
    EXPECT_TRUE(first.sourceError.empty()) << first.sourceError;
    EXPECT_EQ(first.imported, 14);
    EXPECT_EQ(sorted(bookmarks()), firefoxBookmarks("Bookmarks Menu"));
    EXPECT_EQ(sorted(categories()),
              (std::vector<std::string>{"Bookmarks Menu", "Bookmarks Toolbar", "Daily",
                                        "Mozilla Firefox", "News", "Other Bookmarks", "Tools"}));
    EXPECT_EQ(newsKeywords(), (std::vector<std::string>{"daily", "world", "nw"}));
    EXPECT_TRUE(keywords("https://cafe.example/").empty());
    EXPECT_EQ(stored("https://toolbar.example/").number(BookmarkField::LastVisit),
              dates::dayNumber(2024, 3, 5));
    EXPECT_EQ(stored("https://cafe.example/").number(BookmarkField::LastVisit), 0);
    EXPECT_EQ(stored(kNews).text(BookmarkField::OriginalFilename), places);

    const ImportSummary second = import(ImportType::Firefox, places);
    EXPECT_EQ(second.imported, 0);
    EXPECT_EQ(second.alreadyStored, 14);
    EXPECT_EQ(bookmarks().size(), 14U);
    EXPECT_EQ(newsKeywords().size(), 3U);
    EXPECT_EQ(readFile(places), before) << "the profile is read, never written";
}

TEST_F(BrowserFilesTest, AKilledImportsPrivateCopyGoesAtTheNextProfileImport)
{
    const test::TempFolder temporaries;
    const test::EnvironmentVariable tmpdir{"TMPDIR", temporaries.path().c_str()};
    const std::string stale = temporaries.file(
        "tessaly-import-" + std::to_string(tessaly::test::endedProcess()) + "-Ab12Cd");
    const std::string running =
        temporaries.file("tessaly-import-" + std::to_string(::getppid()) + "-Ef34Gh");
    for (const std::string& copy : {stale, running}) {
        ASSERT_TRUE(std::filesystem::create_directory(copy));
        std::ofstream(copy + "/places.sqlite") << "a copy";
        ASSERT_TRUE(tessaly::test::makeHourOld(copy));
    }
    EXPECT_EQ(import(ImportType::Firefox, kFirefoxProfile).imported, 14);
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(running)) << "another import may still be reading it";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temporaries.path()),
                            std::filesystem::directory_iterator{}),
              1)
        << "this import's own copy is gone too";
}

TEST_F(BrowserFilesTest, FirefoxExportAndProfileAgreeOnAddressesAndTitles)
{
    import(ImportType::Netscape, kFirefoxExport);

    test::TempFolder otherFolder;
    test::ScriptedUi otherUi;
    MessageManager otherMessages{otherUi};
    Database other{otherMessages, otherFolder.path()};
    ImportRequest request;
    request.type = ImportType::Firefox;
    request.source = kFirefoxProfile;
    EXPECT_EQ(runImport(other, otherUi, request, {}, false).imported, 14);
    EXPECT_EQ(addressesAndTitles(db), addressesAndTitles(other));
    EXPECT_EQ(addressesAndTitles(db).size(), 14U);
}

TEST_F(BrowserFilesTest, ChromiumFileArrivesOnceWithFoldersAndRootNames)
{
    const std::string file = kChromiumProfile + "/Bookmarks";
    ASSERT_NE(readFile(file).find("\"checksum\""), std::string::npos)
        << "the file should be as Chromium rewrote it";
    const ImportSummary first = import(ImportType::Chromium, kChromiumProfile);
    EXPECT_TRUE(first.sourceError.empty()) << first.sourceError;
    EXPECT_EQ(first.imported, 8);
    EXPECT_EQ(sorted(bookmarks()),
              sorted({
                  "https://cafe.example/|Café & Crème|Bookmarks bar",
                  "https://daily.example/|Daily 東京 Новости|Daily",
                  "https://news.example/after|After Daily|News",
                  kNews + "|Front <page> \"live\"|News",
                  "https://other.example/|O'Brien's page|Other bookmarks",
                  "https://tools.example/x|Tool ½ price|Mobile bookmarks",
                  "https://untitled.example/path|https://untitled.example/path|Bookmarks bar",
                  "javascript:void(document.title='a'&&'b')|Bookmarklet 'retitle'|Bookmarks bar",
              }));
    EXPECT_EQ(sorted(categories()),
              (std::vector<std::string>{"Bookmarks bar", "Daily", "Mobile bookmarks", "News",
                                        "Other bookmarks"}));
    EXPECT_EQ(stored("https://news.example/after").number(BookmarkField::LastVisit),
              dates::dayNumber(2024, 3, 9));
    EXPECT_EQ(stored(kNews).number(BookmarkField::LastVisit), 0) << "\"0\" is never used";
    EXPECT_EQ(stored(kNews).text(BookmarkField::OriginalFilename), file);
    EXPECT_TRUE(keywords(kNews).empty());

    const ImportSummary second = import(ImportType::Chromium, file);
    EXPECT_EQ(second.imported, 0);
    EXPECT_EQ(second.alreadyStored, 8);
    EXPECT_EQ(bookmarks().size(), 8U);
}

} // namespace
} // namespace tessaly
