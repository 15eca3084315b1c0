// The maintenance actions of "Repair Files" on real files of a data folder:
// other processes holding them, a process killed inside a transaction, a
// damaged page, and Cancel in the middle of a long build.
#include "core/database.h"
#include "core/maintenance.h"
#include "core/tables.h"
#include "damaged_file.h"
#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tessaly {
namespace {

using test::ScriptedUi;
using test::TempFolder;

// The progress window of the tests: records what it is shown and presses
// Cancel when `cancelWhen` says so.
struct RecordingObserver final : MaintenanceObserver {
    std::vector<MaintenanceProgress> shown;
    std::function<bool(const MaintenanceProgress&)> cancelWhen;
    bool cancel = false;

    void show(const MaintenanceProgress& progress) override
    {
        shown.push_back(progress);
        if (cancelWhen && cancelWhen(progress)) {
            cancel = true;
        }
    }
    bool cancelRequested() override { return cancel; }
    void clearCancel() override { cancel = false; }
    bool saw(const std::string& action) const
    {
        return std::any_of(shown.begin(), shown.end(),
                           [&](const auto& p) { return p.action == action; });
    }
};

// Runs SQL on a file with a stock SQLite connection: none of our functions
// or collations, as any SQLite tool would open it.
std::string stock(const std::string& path, const std::string& sql)
{
    return test::stockQuery(path, sql);
}

class MaintenanceTest : public ::testing::Test {
protected:
    TempFolder folder;
    ScriptedUi ui;
    RecordingObserver observer;

    std::string file(const std::string& name) const { return folder.file(name); }

    // Bookmarks with a keyword each and a few categories, as the program
    // stores them; the site information makes the bookmarks span pages.
    void store(int bookmarks, int infoSize = 300)
    {
        ScriptedUi quiet;
        MessageManager messages{quiet};
        Database db{messages, folder.path()};
        ASSERT_EQ(db.bookmarks().use(), kLevelDone);
        ASSERT_EQ(db.keywords().use(), kLevelDone);
        ASSERT_EQ(db.details().use(), kLevelDone);
        ASSERT_EQ(db.categories().use(), kLevelDone);
        ASSERT_EQ(db.catHtml().use(), kLevelDone);
        db.engine().begin();
        for (int i = 0; i < 5; ++i) {
            Record category{categoryTable()};
            category.setText(CategoryField::Category, "Category " + std::to_string(i));
            ASSERT_EQ(db.categories().insert(category), kLevelDone);
            Record html{catHtmlTable()};
            html.setText(CatHtmlField::Category, "Category " + std::to_string(i));
            html.setText(CatHtmlField::TypeOfHTML, "Before Category");
            ASSERT_EQ(db.catHtml().insert(html), kLevelDone);
        }
        for (int i = 0; i < bookmarks; ++i) {
            Record r{bookmarkTable()};
            const std::string location = "http://site" + std::to_string(i) + ".example/";
            r.setText(BookmarkField::Location, location);
            r.setText(BookmarkField::Description, "Site " + std::to_string(i));
            r.setText(BookmarkField::Category, "Category " + std::to_string(i % 5));
            r.setText(BookmarkField::SiteInfo, std::string(static_cast<std::size_t>(infoSize),
                                                           static_cast<char>('a' + i % 26)));
            ASSERT_EQ(db.bookmarks().insert(r), kLevelDone);
            Record keyword{keywordTable()};
            keyword.setText(KeywordField::Location, location);
            keyword.setText(KeywordField::Keyword, "k" + std::to_string(i));
            ASSERT_EQ(db.keywords().insert(keyword), kLevelDone);
        }
        ASSERT_TRUE(db.engine().commit().ok());
        db.closeAll();
    }

    Maintenance maintenance()
    {
        Maintenance m{ui, folder.path(), {}};
        m.setObserver(&observer);
        m.setLockWait(100);
        m.setClock([] { return std::time_t{1700000000}; });
        return m;
    }

    static MaintenanceEntry& entry(std::vector<MaintenanceEntry>& entries, std::string_view label)
    {
        return *std::find_if(entries.begin(), entries.end(),
                             [&](const auto& e) { return e.label == label; });
    }
    static int index(const std::vector<MaintenanceEntry>& entries, std::string_view label)
    {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].label == label) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
};

TEST(MaintenanceEntries, NineFilesSortedByDescriptionWithTheOwnerOnTheUrldataTables)
{
    const std::vector<MaintenanceEntry> entries = maintenanceEntries();
    std::vector<std::string> labels;
    for (const MaintenanceEntry& e : entries) {
        labels.push_back(e.label);
        EXPECT_FALSE(e.tagged);
        EXPECT_EQ(e.records, "?");
        EXPECT_EQ(e.owner.empty(),
                  e.label != "TESSLY" && e.label != "URLDetails" && e.label != "URLKeywords");
    }
    EXPECT_EQ(labels,
              (std::vector<std::string>{"ASCIIfile", "Output", "CatHTML", "Categories", "DOSFile",
                                        "ImportTESSLY", "TESSLY", "URLDetails", "URLKeywords"}));
    EXPECT_EQ(entries[0].description, "ASCII file for import and export");
    EXPECT_EQ(entries[4].description, "DOS File for Import");
    EXPECT_EQ(entries[6].owner, "Sealmark 1993-1998 Quill Brandoner");
}

TEST_F(MaintenanceTest, InfoCountsEveryFileAndNamesWhatItCannotOpen)
{
    store(12);
    folder.write("bookmark.htm", "one\ntwo\nthree\n");
    std::filesystem::remove(file("URL_H.tps")); // made again when first used
    auto entries = maintenanceEntries();
    for (auto& e : entries) {
        e.tagged = true;
    }
    Maintenance m{ui, folder.path(), {"bookmark.htm", ""}};
    const MaintenanceSummary summary = m.run(MaintenanceAction::Info, entries, -1);
    const std::string urldata = std::filesystem::canonical(folder.path()).string() + "/URLDATA.tps";
    EXPECT_EQ(entry(entries, "TESSLY").records, "12");
    EXPECT_EQ(entry(entries, "TESSLY").information, urldata + "\\!Locations");
    EXPECT_EQ(entry(entries, "URLKeywords").records, "12");
    EXPECT_EQ(entry(entries, "Categories").records, "5");
    EXPECT_EQ(entry(entries, "ASCIIfile").records, "3");
    EXPECT_EQ(entry(entries, "Output").records, "?");
    EXPECT_EQ(entry(entries, "Output").information, "No file named");
    EXPECT_EQ(entry(entries, "CatHTML").records, "?");
    EXPECT_EQ(entry(entries, "CatHTML").information, "Not made yet");
    EXPECT_EQ(entry(entries, "ImportTESSLY").records, "?") << "an HTML page is no database";
    EXPECT_EQ(summary.failed, 1) << "the HTML page";
    EXPECT_EQ(summary.skipped, 2) << "Output has no file, CatHTML none yet";
    EXPECT_TRUE(ui.shown.empty()) << "Info reports in the list, not in boxes";
}

TEST_F(MaintenanceTest, BuildWithNothingTaggedRebuildsTheHighlightedFileKeyByKey)
{
    store(30);
    stock(file("URLDATA.tps"), "DROP INDEX \"Locations_K_RATING\"");
    stock(file("URL_C.tps"), "DROP INDEX \"Categories_K_CATEGORY\"");
    auto entries = maintenanceEntries();
    Maintenance m = maintenance();
    const MaintenanceSummary summary =
        m.run(MaintenanceAction::Build, entries, index(entries, "TESSLY"));
    EXPECT_EQ(summary.done, 1);
    EXPECT_TRUE(observer.saw("Building File"));
    for (const char* key :
         {"Key : URL:K_LOCATION", "Key : URL:K_DESCRIPTION", "Key : URL:K_CATEGORY",
          "Key : URL:K_CATEGORYLOCATION", "Key : URL:K_RATING", "Key : URL:K_KEYWORD"}) {
        EXPECT_TRUE(observer.saw(key)) << key;
    }
    EXPECT_EQ(observer.shown.front().currentFile, "TESSLY");
    EXPECT_EQ(entry(entries, "TESSLY").records, "30");
    EXPECT_EQ(stock(file("URLDATA.tps"),
                    "SELECT count(*) FROM sqlite_master WHERE name='Locations_K_RATING'"),
              "1");
    EXPECT_EQ(stock(file("URL_C.tps"),
                    "SELECT count(*) FROM sqlite_master WHERE name='Categories_K_CATEGORY'"),
              "0")
        << "only the highlighted file is built";
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(MaintenanceTest, TagAllThenPackPacksEveryFileCountingDownAndSkipsMissingOnes)
{
    store(400, 1500);
    stock(file("URLDATA.tps"), "DELETE FROM Locations WHERE rowid % 2 = 0");
    const auto before = std::filesystem::file_size(file("URLDATA.tps"));
    auto entries = maintenanceEntries();
    for (auto& e : entries) {
        e.tagged = true;
    }
    Maintenance m = maintenance();
    const MaintenanceSummary summary = m.run(MaintenanceAction::Pack, entries, -1);
    EXPECT_LT(std::filesystem::file_size(file("URLDATA.tps")), before * 3 / 4);
    EXPECT_EQ(summary.done, 5) << "TESSLY, URLKeywords, URLDetails, Categories, CatHTML";
    EXPECT_EQ(summary.skipped, 4) << "the files named at open time have no name here";
    EXPECT_TRUE(ui.shown.empty()) << "missing files are skipped silently";
    std::vector<int> left;
    std::vector<std::string> files;
    for (const MaintenanceProgress& p : observer.shown) {
        if (files.empty() || files.back() != p.currentFile) {
            files.push_back(p.currentFile);
            left.push_back(p.filesLeft);
        }
    }
    EXPECT_EQ(files,
              (std::vector<std::string>{"ASCIIfile", "Output", "CatHTML", "Categories", "DOSFile",
                                        "ImportTESSLY", "TESSLY", "URLDetails", "URLKeywords"}));
    EXPECT_EQ(left, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(observer.shown.back().filesLeft, 0);
    EXPECT_EQ(stock(file("URLDATA.tps"), "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(stock(file("URLDATA.tps"), "SELECT count(*) FROM Locations"), "200");
}

// A second process that reads URLDATA and keeps its read lock until it is
// told to go.
class LockHolder final {
public:
    explicit LockHolder(const std::string& path)
    {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            sqlite3* db = nullptr;
            sqlite3_open(path.c_str(), &db);
            sqlite3_exec(db, "BEGIN; SELECT count(*) FROM Locations;", nullptr, nullptr, nullptr);
            [[maybe_unused]] const auto written = ::write(ready[1], "r", 1);
            ::pause();
            std::_Exit(0);
        }
        ::close(ready[1]);
        char c = 0;
        EXPECT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
    }
    ~LockHolder()
    {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

private:
    pid_t pid_ = -1;
};

TEST_F(MaintenanceTest, AFileAnotherProcessHoldsGivesTheAccessErrorAndTheOthersAreStillDone)
{
    store(20);
    for (const MaintenanceAction action : {MaintenanceAction::Build, MaintenanceAction::Pack,
                                           MaintenanceAction::Release, MaintenanceAction::Fix}) {
        ui.shown.clear();
        // CatHTML and Categories come first in the list; then the question.
        ui.answers = {ButtonOk, ButtonOk, ButtonYes};
        LockHolder holder{file("URLDATA.tps")};
        auto entries = maintenanceEntries();
        entry(entries, "TESSLY").tagged = true;
        entry(entries, "Categories").tagged = true;
        entry(entries, "CatHTML").tagged = true;
        Maintenance m = maintenance();
        const MaintenanceSummary summary = m.run(action, entries, -1);
        SCOPED_TRACE(std::string{actionName(action)});
        std::string boxes;
        for (const auto& s : ui.shown) {
            boxes += s.title + ": " + s.text + "\n";
        }
        SCOPED_TRACE(boxes);
        EXPECT_EQ(summary.failed, 1);
        EXPECT_EQ(summary.done, 2);
        const auto error = std::find_if(ui.shown.begin(), ui.shown.end(), [](const auto& s) {
            return s.title == "File Access Error";
        });
        ASSERT_NE(error, ui.shown.end());
        EXPECT_TRUE(error->text.starts_with(
            "This option requires exclusive file access.\nPlease ensure no other users are in "
            "the system. \nAn error occured trying to open the file : Error File Is Locked"))
            << error->text;
    }
    EXPECT_EQ(stock(file("URLDATA.tps"), "SELECT count(*) FROM Locations"), "20");
}

TEST_F(MaintenanceTest, ReleaseUndoesTheChangeOfAProcessKilledInsideItsTransaction)
{
    store(10);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        sqlite3* db = nullptr;
        sqlite3_open(file("URL_C.tps").c_str(), &db);
        // A tiny cache makes SQLite write changed pages into the file before
        // the commit: only the journal can undo them.
        sqlite3_exec(db,
                     "PRAGMA cache_size=1; BEGIN; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                     "SELECT i+1 FROM n WHERE i < 3000) INSERT INTO Categories(Category, "
                     "Category_nocase) SELECT 'held ' || i, 'held ' || i FROM n;",
                     nullptr, nullptr, nullptr);
        [[maybe_unused]] const auto written = ::write(ready[1], "r", 1);
        ::pause();
        std::_Exit(0);
    }
    ::close(ready[1]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(std::filesystem::exists(file("URL_C.tps-journal")));

    auto entries = maintenanceEntries();
    Maintenance m = maintenance();
    const MaintenanceSummary summary =
        m.run(MaintenanceAction::Release, entries, index(entries, "Categories"));
    EXPECT_EQ(summary.done, 1);
    EXPECT_EQ(entry(entries, "Categories").records, "5");
    EXPECT_EQ(entry(entries, "Categories").information,
              "Released: the unfinished change of a program that ended abnormally was undone");
    EXPECT_TRUE(observer.saw("Releasing Records"));
    EXPECT_FALSE(std::filesystem::exists(file("URL_C.tps-journal")));
    EXPECT_EQ(stock(file("URL_C.tps"), "PRAGMA integrity_check"), "ok");

    // Nothing is held any more.
    Maintenance again = maintenance();
    again.run(MaintenanceAction::Release, entries, index(entries, "Categories"));
    EXPECT_EQ(entry(entries, "Categories").information, "No held records");
}

// Overwrites one leaf page of a table in the middle of the file, as a bad
// disk block would; returns how many rows it held.
int damageMiddleLeaf(const std::string& path, const std::string& table)
{
    const std::string pages = stock(path, "SELECT pageno || ' ' || ncell FROM dbstat WHERE name='" +
                                              table + "' AND pagetype='leaf' ORDER BY pageno");
    std::vector<std::pair<long, int>> leaves;
    std::istringstream lines{pages};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields{line};
        long page = 0;
        int cells = 0;
        fields >> page >> cells;
        leaves.emplace_back(page, cells);
    }
    if (leaves.size() < 3) {
        ADD_FAILURE() << "too few pages in " << table << ": " << pages;
        return 0;
    }
    const auto [page, cells] = leaves[leaves.size() / 2];
    const long pageSize = std::stol(stock(path, "PRAGMA page_size"));
    std::fstream f{path, std::ios::in | std::ios::out | std::ios::binary};
    f.seekp((page - 1) * pageSize);
    const std::string junk(static_cast<std::size_t>(pageSize), '\x5A');
    f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    return cells;
}

TEST_F(MaintenanceTest, RepairRecoversEveryRowOfTheOtherPagesAndKeepsTheDamagedFile)
{
    store(300);
    const int lost = damageMiddleLeaf(file("URLDATA.tps"), "Locations");
    ASSERT_GT(lost, 0);
    std::ifstream in{file("URLDATA.tps"), std::ios::binary};
    const std::string damagedBytes{std::istreambuf_iterator<char>{in}, {}};
    in.close();

    ui.answers = {ButtonYes};
    auto entries = maintenanceEntries();
    Maintenance m = maintenance();
    const MaintenanceSummary summary =
        m.run(MaintenanceAction::Fix, entries, index(entries, "TESSLY"));
    ASSERT_EQ(ui.shown.size(), 2U);
    EXPECT_EQ(ui.shown[0].title, "Warning");
    EXPECT_EQ(ui.shown[0].text,
              "This is a multi-table TPS file. You can try using Fix, but the results are not "
              "guarenteed and could damage your file further.  Do you want to continue ? ");
    EXPECT_EQ(ui.shown[0].buttons, ButtonYes | ButtonNo);
    EXPECT_EQ(summary.done, 1);
    ASSERT_EQ(summary.replaced.size(), 1U);

    const std::string recovered = std::to_string(300 - lost + 300 /*keywords*/);
    EXPECT_EQ(ui.shown[1].title, "Repair");
    EXPECT_TRUE(ui.shown[1].text.starts_with("URLDATA.tps was damaged. " + recovered +
                                             " rows were recovered into a fresh file and its "
                                             "keys were rebuilt."))
        << ui.shown[1].text;
    EXPECT_NE(ui.shown[1].text.find("The damaged file is kept as URLDATA.damaged-"),
              std::string::npos);

    // A stock SQLite finds the fresh file sound, with every row of the
    // other pages and all keys.
    EXPECT_EQ(stock(file("URLDATA.tps"), "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(stock(file("URLDATA.tps"), "SELECT count(*) FROM Locations"),
              std::to_string(300 - lost));
    EXPECT_EQ(stock(file("URLDATA.tps"), "SELECT count(*) FROM URLKeywords"), "300");
    EXPECT_EQ(stock(file("URLDATA.tps"), "SELECT count(*) FROM sqlite_master WHERE type='index' "
                                         "AND tbl_name='Locations'"),
              "6");
    EXPECT_EQ(entry(entries, "TESSLY").records, std::to_string(300 - lost));

    // The damaged file is beside it, byte for byte as it was.
    std::string kept;
    for (const auto& item : std::filesystem::directory_iterator{folder.path()}) {
        if (item.path().filename().string().starts_with("URLDATA.damaged-")) {
            kept = item.path().string();
        }
    }
    ASSERT_FALSE(kept.empty());
    EXPECT_TRUE(kept.ends_with(".tps"));
    std::ifstream keptIn{kept, std::ios::binary};
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>{keptIn}, {}), damagedBytes);
    for (const auto& item : std::filesystem::directory_iterator{folder.path()}) {
        EXPECT_FALSE(item.path().filename().string().starts_with(".tessaly-repair"))
            << "the work folder is gone";
    }

    // The program opens the repaired file as its own.
    ScriptedUi quiet;
    MessageManager messages{quiet};
    Database db{messages, folder.path()};
    ASSERT_EQ(db.bookmarks().use(), kLevelDone);
    Record r{bookmarkTable()};
    r.setText(BookmarkField::Location, "HTTP://SITE0.EXAMPLE/");
    EXPECT_EQ(db.bookmarks().tryFetch(0, r), kLevelDone) << "the folded key finds it";
    db.closeAll();
}

TEST_F(MaintenanceTest, RepairAnsweredNoOrOfASoundFileChangesNothing)
{
    store(20);
    const auto before = std::filesystem::last_write_time(file("URLDATA.tps"));
    ui.answers = {ButtonNo};
    auto entries = maintenanceEntries();
    Maintenance m = maintenance();
    MaintenanceSummary summary = m.run(MaintenanceAction::Fix, entries, index(entries, "TESSLY"));
    EXPECT_EQ(summary.skipped, 1);
    ASSERT_EQ(ui.shown.size(), 1U);

    ui.shown.clear();
    summary = m.run(MaintenanceAction::Fix, entries, index(entries, "Categories"));
    EXPECT_EQ(summary.done, 1);
    ASSERT_EQ(ui.shown.size(), 1U) << "a file of its own asks nothing";
    EXPECT_EQ(ui.shown[0].text, "No damage was found in URL_C.tps. Nothing was changed.");
    EXPECT_EQ(std::filesystem::last_write_time(file("URLDATA.tps")), before);
    EXPECT_EQ(summary.replaced.size(), 0U);
}

TEST_F(MaintenanceTest, CancelStopsALongBuildAndTheNextFileIsStillBuilt)
{
    store(20000, 40);
    stock(file("URL_C.tps"), "DROP INDEX \"Categories_K_CATEGORY\"");
    observer.cancelWhen = [](const MaintenanceProgress& p) {
        return p.action == "Key : URL:K_DESCRIPTION";
    };
    auto entries = maintenanceEntries();
    entry(entries, "TESSLY").tagged = true;
    entry(entries, "Categories").tagged = true;
    Maintenance m = maintenance();
    const MaintenanceSummary summary = m.run(MaintenanceAction::Build, entries, -1);
    EXPECT_EQ(summary.cancelled, 1);
    EXPECT_EQ(summary.done, 1);
    EXPECT_FALSE(observer.saw("Key : URL:K_CATEGORY")) << "the build stopped at its next report";
    EXPECT_TRUE(observer.saw("Key : CAT:K_CATEGORY")) << "Cancel ends only the current file";
    EXPECT_EQ(stock(file("URL_C.tps"),
                    "SELECT count(*) FROM sqlite_master WHERE name='Categories_K_CATEGORY'"),
              "1");
    EXPECT_EQ(stock(file("URLDATA.tps"), "SELECT count(*) FROM sqlite_master WHERE type='index' "
                                         "AND tbl_name='Locations'"),
              "6")
        << "a cancelled build leaves the keys as they were";
    EXPECT_EQ(stock(file("URLDATA.tps"), "PRAGMA integrity_check"), "ok");
}

} // namespace
} // namespace tessaly
