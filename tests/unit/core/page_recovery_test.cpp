// Repair of files damaged at the page level: the first page, a root, an
// interior or a leaf page overwritten, the file cut short, ranges zeroed,
// rows left on the free list. Each case knows how many rows are still whole
// on disk and requires the repair to bring back every one of them.
#include "core/database.h"
#include "core/maintenance.h"
#include "core/tables.h"
#include "damaged_file.h"
#include "page_reader_checks.h"
#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>

namespace tessaly {
namespace {

using test::overwrite;
using test::overwritePage;
using test::ScriptedUi;
using test::stockQuery;
using test::TablePage;
using test::tablePages;
using test::TempFolder;

constexpr int kBookmarks = 400;
const std::vector<std::string> kTables = {"Locations", "URLKeywords", "URLDetails"};

void execute(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << (error != nullptr ? error : "");
    }
    sqlite3_free(error);
    sqlite3_close(db);
}

// A data folder whose URLDATA holds bookmarks with a keyword and a detail
// each, stored by the program on small pages so that every table has
// several levels of b-tree; with `longEvery` some bookmarks carry site
// information that runs onto overflow pages.
void store(const std::string& folder, int longEvery)
{
    {
        ScriptedUi quiet;
        MessageManager messages{quiet};
        Database db{messages, folder};
        ASSERT_EQ(db.bookmarks().use(), kLevelDone);
        ASSERT_EQ(db.keywords().use(), kLevelDone);
        ASSERT_EQ(db.details().use(), kLevelDone);
        db.engine().begin();
        for (int i = 0; i < kBookmarks; ++i) {
            const std::string location = "http://site" + std::to_string(i) + ".example/";
            Record r{bookmarkTable()};
            r.setText(BookmarkField::Location, location);
            r.setText(BookmarkField::Description, "Site " + std::to_string(i));
            r.setNumber(BookmarkField::Rating, i % 10);
            const bool isLong = longEvery > 0 && i % longEvery == 0;
            r.setText(BookmarkField::SiteInfo, std::string(isLong ? 1900 : 200, 'a' + i % 26));
            ASSERT_EQ(db.bookmarks().insert(r), kLevelDone);
            Record keyword{keywordTable()};
            keyword.setText(KeywordField::Location, location);
            keyword.setText(KeywordField::Keyword, "k" + std::to_string(i));
            ASSERT_EQ(db.keywords().insert(keyword), kLevelDone);
            Record detail{detailTable()};
            detail.setText(DetailField::Location, location);
            detail.setText(DetailField::DataLabel, "Label");
            detail.setText(DetailField::DataValue, "Value " + std::to_string(i));
            ASSERT_EQ(db.details().insert(detail), kLevelDone);
        }
        ASSERT_TRUE(db.engine().commit().ok());
        db.closeAll();
    }
    execute(folder + "/URLDATA.tps", "PRAGMA page_size=1024; VACUUM;");
}

// What a repair left behind.
struct Repaired {
    MaintenanceSummary summary;
    std::vector<MessageRequest> shown;
    std::map<std::string, int> rows; // per table, in the repaired file
    std::string integrity;
    std::string unplaced; // the listed rows not placed, if any
};

class PageRecoveryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        plain_ = new TempFolder;
        store(plain_->path(), 0);
        spilling_ = new TempFolder;
        store(spilling_->path(), 7);
    }
    static void TearDownTestSuite()
    {
        delete plain_;
        delete spilling_;
    }

    TempFolder folder;

    std::string urldata() const { return folder.file("URLDATA.tps"); }

    // Starts from a copy of a stored folder's URLDATA.
    void copyFrom(const TempFolder& stored)
    {
        std::filesystem::copy_file(stored.file("URLDATA.tps"), urldata(),
                                   std::filesystem::copy_options::overwrite_existing);
    }

    Repaired fix(MaintenanceObserver* observer = nullptr)
    {
        Repaired result;
        ScriptedUi ui;
        ui.answers = {ButtonYes};
        Maintenance m{ui, folder.path(), {}};
        m.setObserver(observer);
        m.setLockWait(100);
        m.setClock([] { return std::time_t{1700000000}; });
        auto entries = maintenanceEntries();
        const auto tessly = std::find_if(entries.begin(), entries.end(),
                                         [](const auto& e) { return e.label == "TESSLY"; });
        result.summary =
            m.run(MaintenanceAction::Fix, entries, static_cast<int>(tessly - entries.begin()));
        result.shown = ui.shown;
        for (const std::string& table : kTables) {
            const std::string count = stockQuery(urldata(), "SELECT count(*) FROM " + table);
            result.rows[table] = count.starts_with("error") ? -1 : std::stoi(count);
        }
        result.integrity = stockQuery(urldata(), "PRAGMA integrity_check");
        for (const auto& item : std::filesystem::directory_iterator{folder.path()}) {
            if (item.path().filename().string().ends_with("-unplaced.txt")) {
                std::ifstream in{item.path()};
                result.unplaced.assign(std::istreambuf_iterator<char>{in}, {});
            }
        }
        return result;
    }

    static std::string boxes(const Repaired& repaired)
    {
        std::string text;
        for (const auto& s : repaired.shown) {
            text += s.title + ": " + s.text + "\n";
        }
        return text;
    }

    static TempFolder* plain_;
    static TempFolder* spilling_;
};

TempFolder* PageRecoveryTest::plain_ = nullptr;
TempFolder* PageRecoveryTest::spilling_ = nullptr;

TEST_F(PageRecoveryTest, ALostRootInteriorOrFirstPageLosesNoRow)
{
    struct Case {
        std::string what;
        std::function<long(const std::string&)> page;
    };
    const auto root = [](const std::string& table) {
        return [table](const std::string& path) {
            return tablePages(path, table).front().number;
        };
    };
    const std::vector<Case> cases = {
        {"the bookmarks' root", root("Locations")},
        {"an interior page of the bookmarks",
         [](const std::string& path) {
             const auto pages = tablePages(path, "Locations");
             const auto interior = std::find_if(pages.begin() + 1, pages.end(),
                                                [](const auto& p) { return p.kind == "internal"; });
             return interior == pages.end() ? 0L : interior->number;
         }},
        {"the keywords' root", root("URLKeywords")},
        {"the details' root", root("URLDetails")},
        {"the first page",
         [](const std::string&) {
             return 1L;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        copyFrom(*spilling_);
        const long page = c.page(urldata());
        ASSERT_GT(page, 0);
        overwritePage(urldata(), page);
        const Repaired repaired = fix();
        SCOPED_TRACE(boxes(repaired));
        EXPECT_EQ(repaired.summary.done, 1);
        EXPECT_EQ(repaired.integrity, "ok");
        for (const std::string& table : kTables) {
            EXPECT_EQ(repaired.rows.at(table), kBookmarks) << table;
        }
        ASSERT_EQ(repaired.shown.size(), 2U);
        for (const std::string& table : kTables) {
            EXPECT_NE(repaired.shown[1].text.find(" " + table + ": 400 found, 400 kept."),
                      std::string::npos);
        }
        EXPECT_EQ(stockQuery(urldata(), "SELECT count(*) FROM sqlite_master WHERE type='index' "
                                        "AND tbl_name='Locations'"),
                  "6");
        // Rows spilling onto overflow pages come back whole.
        EXPECT_EQ(stockQuery(urldata(), "SELECT count(*) FROM Locations WHERE length(SiteInfo) = "
                                        "1900 AND Location_nocase = upper(Location)"),
                  std::to_string((kBookmarks + 6) / 7));
    }
}

TEST_F(PageRecoveryTest, ALostLeafLosesOnlyItsOwnRows)
{
    for (const std::string& damaged : kTables) {
        SCOPED_TRACE(damaged);
        copyFrom(*spilling_);
        const auto pages = tablePages(urldata(), damaged);
        std::vector<TablePage> leaves;
        std::copy_if(pages.begin(), pages.end(), std::back_inserter(leaves),
                     [](const auto& p) { return p.kind == "leaf"; });
        ASSERT_GT(leaves.size(), 3U);
        const TablePage leaf = leaves[leaves.size() / 2];
        overwritePage(urldata(), leaf.number);
        const Repaired repaired = fix();
        SCOPED_TRACE(boxes(repaired));
        EXPECT_EQ(repaired.integrity, "ok");
        for (const std::string& table : kTables) {
            EXPECT_EQ(repaired.rows.at(table), kBookmarks - (table == damaged ? leaf.cells : 0))
                << table;
        }
    }
}

TEST_F(PageRecoveryTest, ACutOrZeroedFileGivesBackEveryRowOutsideTheDamage)
{
    struct Case {
        std::string what;
        double from;
        double to; // 1 cuts the file at `from`
    };
    const std::vector<Case> cases = {
        {"cut at 30 %", 0.3, 1},
        {"cut at 60 %", 0.6, 1},
        {"cut at 90 %", 0.9, 1},
        {"zeroed from 20 % to 27 %", 0.2, 0.27},
        {"zeroed 4 KiB at 55 %", 0.55, 0.55},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        copyFrom(*plain_);
        const auto size = static_cast<std::int64_t>(std::filesystem::file_size(urldata()));
        const long pageSize = test::pageSizeOf(urldata());
        std::map<std::string, std::vector<TablePage>> pages;
        for (const std::string& table : kTables) {
            pages[table] = tablePages(urldata(), table);
        }
        // Off page boundaries on purpose: pages are split by the damage.
        const auto from = static_cast<std::int64_t>(static_cast<double>(size) * c.from) + 333;
        std::int64_t to = size;
        if (c.to >= 1) {
            std::filesystem::resize_file(urldata(), static_cast<std::uintmax_t>(from));
        } else {
            to = c.to > c.from ? static_cast<std::int64_t>(static_cast<double>(size) * c.to)
                               : from + 4096;
            overwrite(urldata(), from, std::string(static_cast<std::size_t>(to - from), '\0'));
        }
        const Repaired repaired = fix();
        SCOPED_TRACE(boxes(repaired));
        EXPECT_EQ(repaired.summary.done, 1);
        EXPECT_EQ(repaired.integrity, "ok");
        for (const std::string& table : kTables) {
            const int intact = test::rowsOutside(pages[table], pageSize, from, to);
            EXPECT_GE(repaired.rows.at(table), intact) << table;
            EXPECT_LE(repaired.rows.at(table), kBookmarks) << table;
        }
    }
}

TEST_F(PageRecoveryTest, AFileOfRandomBytesIsRefusedAndLeftAsItWas)
{
    std::mt19937 random{26};
    std::string junk(64 * 1024, '\0');
    std::generate(junk.begin(), junk.end(), [&] { return static_cast<char>(random()); });
    folder.write("URLDATA.tps", junk);
    const Repaired repaired = fix();
    EXPECT_EQ(repaired.summary.failed, 1);
    ASSERT_EQ(repaired.shown.size(), 2U);
    EXPECT_EQ(repaired.shown[1].text, "URLDATA.tps is not a database file of this program, so it "
                                      "cannot be repaired. The file was not changed.");
    EXPECT_EQ(folder.read("URLDATA.tps"), junk);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator{folder.path()}, {}), 1);
}

TEST_F(PageRecoveryTest, CancelInTheMiddleOfTheRecoveryLeavesTheFileAsItWas)
{
    // Cancel is pressed once the recovery shows it has come some way.
    struct Observer final : MaintenanceObserver {
        std::vector<int> percents;
        void show(const MaintenanceProgress& progress) override
        {
            if (progress.action == "Recovering Rows") {
                percents.push_back(progress.percent);
            }
        }
        bool cancelRequested() override
        {
            return std::any_of(percents.begin(), percents.end(),
                               [](int p) { return p > 30 && p < 90; });
        }
    } observer;
    copyFrom(*plain_);
    overwritePage(urldata(), 1);
    const std::string before = folder.read("URLDATA.tps");
    const Repaired repaired = fix(&observer);
    EXPECT_EQ(repaired.summary.cancelled, 1);
    EXPECT_EQ(folder.read("URLDATA.tps"), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator{folder.path()}, {}), 1)
        << "no kept copy, no work folder";
}

TEST_F(PageRecoveryTest, AFileStoringItsTextAsUtf16IsRefusedRatherThanGarbled)
{
    execute(urldata(), "PRAGMA encoding='UTF-16le'; CREATE TABLE Locations(Location TEXT); "
                       "INSERT INTO Locations VALUES('http://a.example/'); CREATE TABLE Other(x);");
    overwritePage(urldata(), tablePages(urldata(), "Other").front().number);
    const std::string before = folder.read("URLDATA.tps");
    const Repaired repaired = fix();
    EXPECT_EQ(repaired.summary.failed, 1);
    ASSERT_EQ(repaired.shown.size(), 2U);
    EXPECT_EQ(repaired.shown[1].text,
              "URLDATA.tps is damaged and its text is stored as UTF-16, which a repair of this "
              "program does not read. The file was not changed.");
    EXPECT_EQ(folder.read("URLDATA.tps"), before);
}

TEST_F(PageRecoveryTest, RowsOnTheFreeListStayDeletedAndTheLiveCopyOfARowWins)
{
    // Deleted rows whose pages went to the free list untouched.
    copyFrom(*plain_);
    execute(urldata(), "PRAGMA secure_delete=0; CREATE TABLE Spare AS SELECT * FROM Locations; "
                       "UPDATE Spare SET Location = 'http://deleted' || rowid || '/', "
                       "rowid = rowid + 100000; DROP TABLE Spare;");
    ASSERT_NE(stockQuery(urldata(), "PRAGMA freelist_count"), "0");
    overwritePage(urldata(), tablePages(urldata(), "Locations").front().number);
    Repaired repaired = fix();
    SCOPED_TRACE(boxes(repaired));
    EXPECT_EQ(repaired.rows.at("Locations"), kBookmarks);
    EXPECT_EQ(stockQuery(urldata(), "SELECT count(*) FROM Locations WHERE Location LIKE "
                                    "'http://deleted%'"),
              "0");

    // An older copy of a leaf left on a page no b-tree points to: with the
    // first page lost nothing tells it is stale but the live b-tree's
    // interior pages, which still lead to the newer copy.
    std::filesystem::remove_all(folder.path());
    std::filesystem::create_directories(folder.path());
    copyFrom(*plain_);
    const long pageSize = test::pageSizeOf(urldata());
    const auto leaves = tablePages(urldata(), "Locations");
    const long leaf = std::find_if(leaves.begin(), leaves.end(), [](const auto& p) {
                          return p.kind == "leaf";
                      })->number;
    std::string old(static_cast<std::size_t>(pageSize), '\0');
    {
        std::ifstream in{urldata(), std::ios::binary};
        in.seekg((leaf - 1) * pageSize);
        in.read(old.data(), pageSize);
    }
    const auto appendOld = [&] {
        overwrite(urldata(), static_cast<std::int64_t>(std::filesystem::file_size(urldata())), old);
    };
    // An exact copy is the same row, found once.
    appendOld();
    overwritePage(urldata(), 1);
    repaired = fix();
    EXPECT_EQ(repaired.rows.at("Locations"), kBookmarks);
    ASSERT_EQ(repaired.shown.size(), 2U);
    EXPECT_NE(repaired.shown[1].text.find("Locations: 400 found, 400 kept."), std::string::npos)
        << repaired.shown[1].text;

    std::filesystem::remove_all(folder.path());
    std::filesystem::create_directories(folder.path());
    copyFrom(*plain_);
    execute(urldata(), "UPDATE Locations SET Rating = 77");
    appendOld();
    overwritePage(urldata(), 1);
    repaired = fix();
    EXPECT_EQ(repaired.rows.at("Locations"), kBookmarks);
    EXPECT_EQ(stockQuery(urldata(), "SELECT count(*) FROM Locations WHERE Rating = 77"),
              std::to_string(kBookmarks));
    EXPECT_NE(repaired.unplaced.find("another copy of a row kept"), std::string::npos);
}

TEST_F(PageRecoveryTest, ARowThatFitsNoTableIsListedBesideTheDamagedFile)
{
    copyFrom(*plain_);
    execute(urldata(), "INSERT INTO Locations(Location, Rating) VALUES('http://odd.example/', "
                       "'high')");
    overwritePage(urldata(), tablePages(urldata(), "Locations").front().number);
    const Repaired repaired = fix();
    SCOPED_TRACE(boxes(repaired));
    EXPECT_EQ(repaired.rows.at("Locations"), kBookmarks);
    ASSERT_EQ(repaired.shown.size(), 2U);
    EXPECT_NE(repaired.shown[1].text.find(
                  "1 row fits none of its tables. The rows not placed are listed in "
                  "URLDATA.damaged-"),
              std::string::npos);
    const auto line = repaired.unplaced.find("http://odd.example/");
    ASSERT_NE(line, std::string::npos) << repaired.unplaced;
    EXPECT_NE(repaired.unplaced.rfind("fits no table of the file", line), std::string::npos);
}

TEST_F(PageRecoveryTest, ThePageReaderTakesAnyBytesWithinBounds)
{
    std::ifstream in{plain_->file("URLDATA.tps"), std::ios::binary};
    const std::string sound{std::istreambuf_iterator<char>{in}, {}};
    std::mt19937 random{2026};
    const auto byte = [&] {
        return static_cast<char>(random());
    };
    for (int round = 0; round < 150; ++round) {
        std::string bytes = sound;
        // Bytes changed where the structure is (page starts, the header)
        // and anywhere; now and then the file cut at a random length.
        for (int edit = 0; edit < 1 + round % 40; ++edit) {
            const std::size_t page = random() % (bytes.size() / 1024);
            const std::size_t at =
                round % 2 == 0 ? page * 1024 + random() % 16 : random() % bytes.size();
            bytes[at] = byte();
        }
        if (round % 5 == 0) {
            bytes.resize(random() % bytes.size());
        }
        test::checkPageReader(bytes);
    }
    // A header that claims the largest pages over a short file, and a
    // page whose cells all point at one spot.
    std::string header = sound.substr(0, 4096);
    header[16] = 0;
    header[17] = 1;
    test::checkPageReader(header);
    std::string crowded(1024, '\0');
    crowded[0] = 0x0D;
    crowded[3] = 0x01;
    crowded[4] = static_cast<char>(0xF8);
    for (std::size_t at = 8; at + 1 < crowded.size(); at += 2) {
        crowded[at] = 0x03;
        crowded[at + 1] = static_cast<char>(0xF0);
    }
    test::checkPageReader(sound.substr(0, 1024) + crowded);
    // A cell that claims a payload of almost 2^64 bytes.
    std::string boastful(1024, '\0');
    boastful[0] = 0x0D;
    boastful[4] = 0x01;
    boastful[8] = 0x01;
    boastful[9] = 0x00;
    std::fill_n(boastful.begin() + 256, 9, '\xFF');
    boastful[265] = 0x01;
    test::checkPageReader(sound.substr(0, 1024) + boastful);
    test::checkPageReader({});
}

TEST(PageFileSource, AFailingReadIsAnErrorNotAShortFile)
{
    // A folder opens and has a size, but reading it fails as a dying disk
    // would: the reader must say so rather than report fewer bytes.
    const TempFolder folder;
    pages::FileSource source{folder.path()};
    ASSERT_TRUE(source.isOpen());
    std::array<unsigned char, 16> bytes{};
    EXPECT_EQ(source.read(0, bytes.size(), bytes.data()), 0u);
    EXPECT_EQ(source.error(), EISDIR);
}

} // namespace
} // namespace tessaly
