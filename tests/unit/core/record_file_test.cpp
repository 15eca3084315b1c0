#include "core/engine.h"
#include "core/file_version.h"
#include "core/record_file.h"
#include "core/tables.h"
#include "framework/expression.h"

#include "temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tessaly {
namespace {

constexpr int kByLocation = static_cast<int>(BookmarkKey::Location);
constexpr int kByRating = static_cast<int>(BookmarkKey::Rating);
constexpr int kByCategory = static_cast<int>(BookmarkKey::Category);

Record bookmark(std::string_view location, std::string_view description = {},
                std::string_view category = {}, int rating = 0)
{
    Record r{bookmarkTable()};
    r.setText(BookmarkField::Location, location);
    r.setText(BookmarkField::Description, description);
    r.setText(BookmarkField::Category, category);
    r.setNumber(BookmarkField::Rating, rating);
    return r;
}

// Runs SQL straight on a container file, as another tool would.
void rawSql(const std::string& path, const std::string& statements)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &error);
    const std::string message = error != nullptr ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

class RecordFileTest : public ::testing::Test {
protected:
    void SetUp() override { FileVersionLayer::instance().registerDatabaseFiles(); }

    // Opens the bookmark file, creating it on first use.
    void openBookmarks()
    {
        EngineStatus status = bookmarks.open();
        if (status.code == kFileNotFound) {
            ASSERT_TRUE(bookmarks.create().ok()) << bookmarks.status().text;
            status = bookmarks.open();
        }
        ASSERT_TRUE(status.ok()) << status.text;
    }

    std::vector<std::string> scan(RecordFile& file, bool forward = true)
    {
        std::vector<std::string> seen;
        Record r{file.table()};
        while ((forward ? file.next(r) : file.previous(r)).ok()) {
            seen.push_back(r.text(0));
        }
        EXPECT_EQ(file.status().code, kNoMoreRecords);
        return seen;
    }

    test::TempFolder folder;
    Engine engine{folder.path()};
    RecordFile bookmarks{engine, bookmarkTable()};
};

TEST_F(RecordFileTest, AMissingTableIsNotFoundUntilCreatedInItsContainer)
{
    EXPECT_EQ(bookmarks.open().code, kFileNotFound);
    ASSERT_TRUE(bookmarks.create().ok());
    ASSERT_TRUE(bookmarks.open().ok());
    EXPECT_EQ(bookmarks.open().code, kAlreadyOpen);
    EXPECT_EQ(bookmarks.records(), 0);

    RecordFile categories{engine, categoryTable()};
    EXPECT_EQ(categories.open().code, kFileNotFound);
    EXPECT_TRUE(folder.read("URL_C.tps").empty());
    ASSERT_TRUE(categories.create().ok());
    ASSERT_TRUE(categories.open().ok());
    EXPECT_FALSE(folder.read("URLDATA.tps").empty());
    EXPECT_FALSE(folder.read("URL_C.tps").empty());
    EXPECT_TRUE(folder.read("URL_H.tps").empty()) << "made only when first opened";
}

TEST_F(RecordFileTest, LocationIsUniqueWithoutRegardToUnicodeLetterCase)
{
    openBookmarks();
    Record first = bookmark("http://Café.example/", "first");
    ASSERT_TRUE(bookmarks.add(first).ok());
    EXPECT_GT(first.position, 0);
    Record again = bookmark("HTTP://CAFÉ.EXAMPLE/", "second");
    EXPECT_EQ(bookmarks.add(again).code, kDuplicateKey);
    EXPECT_EQ(bookmarks.records(), 1);

    Record found{bookmarkTable()};
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark("http://cafÉ.EXAMPLE/"), found).ok());
    EXPECT_EQ(found.text(BookmarkField::Description), "first");
    EXPECT_EQ(bookmarks.get(kByLocation, bookmark("http://other/"), found).code, kRecordNotFound);
}

TEST_F(RecordFileTest, ALocationIsKeptWholeToItsWidthAndALongerOneIsRefused)
{
    openBookmarks();
    // Two addresses that agree on their first 255 characters are two.
    const std::string common = "http://" + std::string(270, 'a');
    Record one = bookmark(common + "/one");
    Record two = bookmark(common + "/two");
    ASSERT_TRUE(bookmarks.add(one).ok());
    ASSERT_TRUE(bookmarks.add(two).ok());
    Record found{bookmarkTable()};
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark(common + "/TWO"), found).ok());
    EXPECT_EQ(found.text(BookmarkField::Location), common + "/two");

    // The widest address, in characters of more than one byte, is kept.
    const std::string widest = "http://" + [] {
        std::string s;
        for (int i = 7; i < kAddressWidth; ++i) {
            s += "é";
        }
        return s;
    }();
    Record wide = bookmark(widest);
    EXPECT_FALSE(wide.wasCut(BookmarkField::Location));
    ASSERT_TRUE(bookmarks.add(wide).ok());
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark(widest), found).ok());
    EXPECT_EQ(found.text(BookmarkField::Location), widest);

    // One character more is refused, by add and by put alike, never cut.
    Record longer = bookmark(widest + "x", "too long");
    EXPECT_TRUE(longer.wasCut(BookmarkField::Location));
    const EngineStatus refused = bookmarks.add(longer);
    EXPECT_EQ(refused.code, kOperatingSystemError);
    EXPECT_NE(refused.systemText.find("URL:Location is longer than 65536 characters"),
              std::string::npos)
        << refused.systemText;
    found.setText(BookmarkField::MovedTo, widest + "/moved");
    EXPECT_FALSE(bookmarks.put(found).ok());
    EXPECT_EQ(bookmarks.records(), 3);
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark(widest), found).ok());
    EXPECT_EQ(found.text(BookmarkField::MovedTo), "");

    // The keyword rows of such a bookmark find it by its whole address.
    RecordFile keywords{engine, keywordTable()};
    ASSERT_TRUE(keywords.create().ok());
    ASSERT_TRUE(keywords.open().ok());
    for (const std::string& location : {common + "/one", common + "/two"}) {
        Record row{keywordTable()};
        row.setText(KeywordField::Location, location);
        row.setText(KeywordField::Keyword, location.substr(location.size() - 3));
        ASSERT_TRUE(keywords.add(row).ok());
    }
    Record key{keywordTable()};
    key.setText(KeywordField::Location, common + "/two");
    keywords.setEqual(0, key, 1);
    Record row{keywordTable()};
    ASSERT_TRUE(keywords.next(row).ok());
    EXPECT_EQ(row.text(KeywordField::Keyword), "two");
}

TEST(RecordCuts, ARecordTellsWhichFieldsItCut)
{
    Record r{bookmarkTable()};
    r.setText(BookmarkField::Description, std::string(255, 'd') + "   ");
    r.setText(BookmarkField::Keyword, "twenty-one characters");
    r.setText(BookmarkField::Category, std::string(49, 'c') + "€€");
    EXPECT_FALSE(r.wasCut(BookmarkField::Description)) << "trailing blanks are no loss";
    EXPECT_EQ(r.cutFields(), (std::vector<int>{static_cast<int>(BookmarkField::Category),
                                               static_cast<int>(BookmarkField::Keyword)}));
    EXPECT_EQ(r.text(BookmarkField::Category), std::string(49, 'c') + "€");
    r.setText(BookmarkField::Keyword, "short");
    EXPECT_EQ(r.cutFields(), std::vector<int>{static_cast<int>(BookmarkField::Category)});
    r.clear();
    EXPECT_TRUE(r.cutFields().empty());
}

TEST_F(RecordFileTest, RatingOrderListsTheHighestFirstThenByDescriptionAndLocation)
{
    openBookmarks();
    for (Record r : {bookmark("http://c/", "Beta", "X", 5), bookmark("http://a/", "alpha", "X", 5),
                     bookmark("http://z/", "Zed", "X", 9), bookmark("http://b/", "Beta", "X", 5),
                     bookmark("http://n/", "none", "X", 0)}) {
        ASSERT_TRUE(bookmarks.add(r).ok());
    }
    bookmarks.set(kByRating);
    // Case-sensitive key: "Beta" < "alpha" by character code.
    EXPECT_EQ(scan(bookmarks), (std::vector<std::string>{"http://z/", "http://b/", "http://c/",
                                                         "http://a/", "http://n/"}));
    bookmarks.set(kByRating);
    EXPECT_EQ(scan(bookmarks, false),
              (std::vector<std::string>{"http://n/", "http://a/", "http://c/", "http://b/",
                                        "http://z/"}));
}

TEST_F(RecordFileTest, ScansTurnAroundAndStartAtAKeyValue)
{
    openBookmarks();
    for (const char* location : {"http://d/", "http://b/", "http://a/", "http://c/"}) {
        Record r = bookmark(location);
        ASSERT_TRUE(bookmarks.add(r).ok());
    }
    Record r{bookmarkTable()};
    bookmarks.set(kByLocation);
    ASSERT_TRUE(bookmarks.next(r).ok());
    ASSERT_TRUE(bookmarks.next(r).ok());
    ASSERT_TRUE(bookmarks.next(r).ok());
    EXPECT_EQ(r.text(BookmarkField::Location), "http://c/");
    ASSERT_TRUE(bookmarks.previous(r).ok());
    EXPECT_EQ(r.text(BookmarkField::Location), "http://b/");
    ASSERT_TRUE(bookmarks.next(r).ok());
    EXPECT_EQ(r.text(BookmarkField::Location), "http://c/");

    bookmarks.set(kByLocation, bookmark("HTTP://B"));
    EXPECT_EQ(scan(bookmarks), (std::vector<std::string>{"http://b/", "http://c/", "http://d/"}));
    bookmarks.setRecordOrder();
    EXPECT_EQ(scan(bookmarks),
              (std::vector<std::string>{"http://d/", "http://b/", "http://a/", "http://c/"}));
}

TEST_F(RecordFileTest, AnEqualScanReadsOnlyItsRangeBothWays)
{
    openBookmarks();
    for (const auto& [location, category] :
         std::vector<std::pair<const char*, const char*>>{{"http://3/", "News"},
                                                          {"http://1/", "Art"},
                                                          {"http://2/", "News"},
                                                          {"http://4/", "Newsletters"},
                                                          {"http://6/", "news"},
                                                          {"http://5/", "News"}}) {
        Record r = bookmark(location, location, category);
        ASSERT_TRUE(bookmarks.add(r).ok());
    }
    // The category order compares exactly: "news" is another range, and
    // "Newsletters", which sorts right after the range, stays out.
    bookmarks.setEqual(kByCategory, bookmark("", "", "News"), 1);
    EXPECT_EQ(scan(bookmarks), (std::vector<std::string>{"http://2/", "http://3/", "http://5/"}));
    bookmarks.setEqual(kByCategory, bookmark("", "", "News"), 1);
    Record r{bookmarkTable()};
    ASSERT_TRUE(bookmarks.next(r).ok());
    ASSERT_TRUE(bookmarks.next(r).ok());
    EXPECT_EQ(r.text(BookmarkField::Location), "http://3/");
    EXPECT_EQ(scan(bookmarks, false), (std::vector<std::string>{"http://2/"}));
    bookmarks.setEqual(kByCategory, bookmark("", "", "Music"), 1);
    EXPECT_EQ(scan(bookmarks), std::vector<std::string>{});
    // A plain scan after it reads everything again.
    bookmarks.set(kByCategory);
    EXPECT_EQ(scan(bookmarks).size(), 6U);
}

TEST_F(RecordFileTest, FiltersPassOverRecordsThatDoNotMatch)
{
    openBookmarks();
    for (Record r : {bookmark("http://a/", "a", "News", 3), bookmark("http://b/", "b", "Misc", 8),
                     bookmark("http://c/", "c", "news", 9)}) {
        ASSERT_TRUE(bookmarks.add(r).ok());
    }
    const SchemaResolver resolver{bookmarkSchema()};
    bookmarks.setFilter(std::make_shared<const Expression>(
        Expression::compile("UPPER(URL:Category) = 'NEWS'", resolver)));
    bookmarks.set(kByLocation);
    EXPECT_EQ(scan(bookmarks), (std::vector<std::string>{"http://a/", "http://c/"}));
    EXPECT_EQ(bookmarks.records(), 3) << "the count ignores the filter";
}

TEST_F(RecordFileTest, AScanOfChosenFieldsLeavesTheOthersBlankAndKeepsItsPlace)
{
    openBookmarks();
    for (Record r :
         {bookmark("http://a/", "Alpha", "News", 3), bookmark("http://b/", "Beta", "News", 8),
          bookmark("http://c/", "Gamma", "Misc", 9)}) {
        r.setText(BookmarkField::SiteInfo, "about " + r.text(BookmarkField::Location));
        ASSERT_TRUE(bookmarks.add(r).ok());
    }
    bookmarks.setFields({static_cast<int>(BookmarkField::SiteInfo)});
    bookmarks.set(kByCategory);
    // A record that held other values gets them blanked, not kept.
    Record r = bookmark("http://stale/", "stale", "stale", 7);
    ASSERT_TRUE(bookmarks.next(r).ok());
    EXPECT_EQ(r.text(BookmarkField::SiteInfo), "about http://c/");
    EXPECT_EQ(r.text(BookmarkField::Category), "Misc") << "the key's fields are read";
    EXPECT_EQ(r.text(BookmarkField::Description), "Gamma");
    EXPECT_EQ(r.text(BookmarkField::Location), "");
    EXPECT_EQ(r.number(BookmarkField::Rating), 0);
    ASSERT_TRUE(bookmarks.next(r).ok());
    ASSERT_TRUE(bookmarks.next(r).ok());
    EXPECT_EQ(r.text(BookmarkField::SiteInfo), "about http://b/");
    // Turning round resumes from the place kept, both ways.
    ASSERT_TRUE(bookmarks.previous(r).ok());
    EXPECT_EQ(r.text(BookmarkField::SiteInfo), "about http://a/");
    ASSERT_TRUE(bookmarks.next(r).ok());
    EXPECT_EQ(r.text(BookmarkField::SiteInfo), "about http://b/");
    EXPECT_EQ(bookmarks.next(r).code, kNoMoreRecords);

    // A filter may test any field: every field is read while it is set.
    const SchemaResolver resolver{bookmarkSchema()};
    bookmarks.setFilter(
        std::make_shared<const Expression>(Expression::compile("URL:Rating > 5", resolver)));
    bookmarks.set(kByLocation);
    EXPECT_EQ(scan(bookmarks), (std::vector<std::string>{"http://b/", "http://c/"}));
    bookmarks.setFilter(nullptr);

    // No fields chosen: every field again.
    bookmarks.setFields({});
    bookmarks.set(kByLocation);
    ASSERT_TRUE(bookmarks.next(r).ok());
    EXPECT_EQ(r.text(BookmarkField::Location), "http://a/");
    EXPECT_EQ(r.number(BookmarkField::Rating), 3);
    EXPECT_EQ(r.text(BookmarkField::SiteInfo), "about http://a/");
}

TEST_F(RecordFileTest, PutRewritesAndRemoveDeletesTheRecordRead)
{
    openBookmarks();
    Record r = bookmark("http://a/", "old");
    ASSERT_TRUE(bookmarks.add(r).ok());
    Record read{bookmarkTable()};
    ASSERT_TRUE(bookmarks.get(kByLocation, r, read).ok());
    read.setText(BookmarkField::Description, "new");
    read.setNumber(BookmarkField::Rating, 150);
    ASSERT_TRUE(bookmarks.put(read).ok());
    ASSERT_TRUE(bookmarks.get(kByLocation, r, read).ok());
    EXPECT_EQ(read.text(BookmarkField::Description), "new");
    EXPECT_EQ(read.number(BookmarkField::Rating), 99) << "a two-digit decimal";
    ASSERT_TRUE(bookmarks.remove(read).ok());
    EXPECT_EQ(bookmarks.remove(read).code, kRecordNotFound);
    EXPECT_EQ(bookmarks.records(), 0);
}

TEST_F(RecordFileTest, StreamedWritesCommitTogether)
{
    openBookmarks();
    ASSERT_TRUE(bookmarks.stream().ok());
    for (int i = 0; i < 1000; ++i) {
        Record r = bookmark("http://site" + std::to_string(i) + "/");
        ASSERT_TRUE(bookmarks.add(r).ok());
    }
    ASSERT_TRUE(bookmarks.flush().ok());
    EXPECT_EQ(bookmarks.records(), 1000);
}

TEST_F(RecordFileTest, MissingKeysAreReportedAndRebuilt)
{
    openBookmarks();
    Record r = bookmark("http://a/");
    ASSERT_TRUE(bookmarks.add(r).ok());
    bookmarks.close();
    engine.close();
    rawSql(folder.file("URLDATA.tps"), "DROP INDEX Locations_K_RATING");
    EXPECT_EQ(bookmarks.open().code, kKeyFileInvalid);
    ASSERT_TRUE(bookmarks.build().ok());
    ASSERT_TRUE(bookmarks.open().ok());
    EXPECT_EQ(bookmarks.records(), 1);
}

TEST_F(RecordFileTest, AnOlderLayoutIsConvertedKeepingEveryRow)
{
    // Layout 9 of the bookmark table had no Custom3 field.
    std::string columns;
    for (int field = 0; field < bookmarkTable().fieldCount() - 1; ++field) {
        columns += (field > 0 ? ", " : "") + std::string{bookmarkTable().column(field)} +
                   (bookmarkTable().isText(field) ? " TEXT" : " INTEGER");
    }
    rawSql(
        folder.file("URLDATA.tps"),
        "CREATE TABLE Locations(" + columns +
            ");"
            "CREATE TABLE _TessalyLayout(TableName TEXT PRIMARY KEY, Version INTEGER, Owner TEXT);"
            "INSERT INTO _TessalyLayout VALUES('Locations', 9, '');"
            "INSERT INTO Locations(Location, Description, Rating, Custom2) "
            "VALUES('http://a/', 'A', 4, 'two'), ('http://b/', NULL, 2, 'x');");
    ASSERT_TRUE(bookmarks.open().ok()) << bookmarks.status().text;
    EXPECT_EQ(bookmarks.records(), 2);
    Record r{bookmarkTable()};
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark("http://a/"), r).ok());
    EXPECT_EQ(r.text(BookmarkField::Custom2), "two");
    EXPECT_EQ(r.text(BookmarkField::Custom3), "");
    EXPECT_EQ(r.number(BookmarkField::Rating), 4);
    bookmarks.close();
    engine.close();
    sqlite3* db = nullptr;
    sqlite3_open(folder.file("URLDATA.tps").c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT Version, Owner FROM _TessalyLayout WHERE TableName='Locations'",
                       -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), bookmarkTable().layoutVersion);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)),
                 "Sealmark 1993-1998 Quill Brandoner");
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

TEST_F(RecordFileTest, AFileOfTheLayoutThatCutAddressesIsReadAndThenConverted)
{
    // The layout before whole addresses had the same columns; only its
    // recorded version tells a program that cut at 255 characters.
    openBookmarks();
    Record r = bookmark("http://old.example/", "Old");
    ASSERT_TRUE(bookmarks.add(r).ok());
    RecordFile keywords{engine, keywordTable()};
    ASSERT_TRUE(keywords.create().ok());
    ASSERT_TRUE(keywords.open().ok());
    Record row{keywordTable()};
    row.setText(KeywordField::Location, "http://old.example/");
    row.setText(KeywordField::Keyword, "kept");
    ASSERT_TRUE(keywords.add(row).ok());
    keywords.close();
    bookmarks.close();
    engine.close();
    rawSql(folder.file("URLDATA.tps"),
           "UPDATE _TessalyLayout SET Version = 10 WHERE TableName = 'Locations';"
           "UPDATE _TessalyLayout SET Version = 1 WHERE TableName = 'URLKeywords'");
    const auto versions = [&] {
        std::vector<int> found;
        sqlite3* db = nullptr;
        sqlite3_open(folder.file("URLDATA.tps").c_str(), &db);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT Version FROM _TessalyLayout ORDER BY TableName", -1, &stmt,
                           nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            found.push_back(sqlite3_column_int(stmt, 0));
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return found;
    };

    // Read-only, it is read as it stands.
    ASSERT_TRUE(bookmarks.open(kAccessReadOnly).ok()) << bookmarks.status().text;
    EXPECT_EQ(bookmarks.records(), 1);
    bookmarks.close();
    engine.close();
    EXPECT_EQ(versions(), (std::vector<int>{10, 1}));

    // Opened to write, it is converted with every row kept, and a long
    // address then goes in whole.
    ASSERT_TRUE(bookmarks.open().ok()) << bookmarks.status().text;
    ASSERT_TRUE(keywords.open().ok()) << keywords.status().text;
    Record found{bookmarkTable()};
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark("http://old.example/"), found).ok());
    EXPECT_EQ(found.text(BookmarkField::Description), "Old");
    EXPECT_EQ(keywords.records(), 1);
    const std::string longer = "http://old.example/" + std::string(300, 'l');
    Record wide = bookmark(longer);
    ASSERT_TRUE(bookmarks.add(wide).ok());
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark(longer), found).ok());
    EXPECT_EQ(found.text(BookmarkField::Location), longer);
    keywords.close();
    bookmarks.close();
    engine.close();
    EXPECT_EQ(versions(),
              (std::vector<int>{bookmarkTable().layoutVersion, keywordTable().layoutVersion}));
    EXPECT_EQ(bookmarkTable().layoutVersion, 11);
}

TEST_F(RecordFileTest, BookmarksAreFoundUnderTheirEarlierName)
{
    rawSql(folder.file("URL_L.tps"),
           "CREATE TABLE Bookmarks(Location TEXT, Description TEXT, Category TEXT);"
           "INSERT INTO Bookmarks VALUES('http://old/', 'Old one', 'Archive');");
    ASSERT_TRUE(bookmarks.open().ok()) << bookmarks.status().text;
    Record r{bookmarkTable()};
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark("http://old/"), r).ok());
    EXPECT_EQ(r.text(BookmarkField::Category), "Archive");
}

TEST_F(RecordFileTest, AFileThatIsNoDatabaseIsRefusedAndLeftAlone)
{
    const std::string junk(4096, 'J');
    folder.write("URLDATA.tps", junk);
    const EngineStatus status = bookmarks.open();
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.code, kInvalidRecordDeclaration) << status.text;
    EXPECT_FALSE(bookmarks.create().ok());
    EXPECT_EQ(folder.read("URLDATA.tps"), junk);
}

TEST_F(RecordFileTest, ALayoutFromANewerProgramIsRefused)
{
    openBookmarks();
    bookmarks.close();
    engine.close();
    rawSql(folder.file("URLDATA.tps"), "UPDATE _TessalyLayout SET Version = 12");
    EXPECT_EQ(bookmarks.open().code, kInvalidRecordDeclaration);
}

TEST_F(RecordFileTest, DriverCommands)
{
    openBookmarks();
    for (const char* command : {"QUICKSCAN=on", "QUICKSCAN=off", "Recover=10", "FULLBUILD=on",
                                "RECOVER=1", "RECOVER=0", "IGNORESTATUS=ON", "HELD"}) {
        EXPECT_TRUE(bookmarks.send(command).ok()) << command;
    }
    EXPECT_FALSE(bookmarks.send("EXPLODE=1").ok());
}

} // namespace
} // namespace tessaly
