// The database files are plain SQLite files: a connection that knows nothing
// of this program reads, queries and checks them, while the program's own
// keys keep ignoring letter case.
#include "core/database.h"
#include "core/engine.h"
#include "core/file_version.h"
#include "core/record_file.h"
#include "core/tables.h"
#include "framework/utf8.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tessaly {
namespace {

constexpr int kByLocation = static_cast<int>(BookmarkKey::Location);

// A connection of a stock SQLite tool: no collation or function of ours.
class StockConnection {
public:
    explicit StockConnection(const std::string& path)
    {
        EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                  nullptr),
                  SQLITE_OK);
    }
    ~StockConnection() { sqlite3_close(db_); }
    StockConnection(const StockConnection&) = delete;
    StockConnection& operator=(const StockConnection&) = delete;

    // The first column of every row, or "error: ..." when SQLite refuses.
    std::vector<std::string> column(const std::string& sql)
    {
        std::vector<std::string> out;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            return {std::string{"error: "} + sqlite3_errmsg(db_)};
        }
        int rc = 0;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            out.emplace_back(text != nullptr ? text : "");
        }
        if (rc != SQLITE_DONE) {
            out.push_back(std::string{"error: "} + sqlite3_errmsg(db_));
        }
        sqlite3_finalize(stmt);
        return out;
    }

    void run(const std::string& sql)
    {
        char* error = nullptr;
        const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
        EXPECT_EQ(rc, SQLITE_OK) << (error != nullptr ? error : "");
        sqlite3_free(error);
    }

    sqlite3* handle() { return db_; }

private:
    sqlite3* db_ = nullptr;
};

Record bookmark(std::string_view location, std::string_view category = {})
{
    Record r{bookmarkTable()};
    r.setText(BookmarkField::Location, location);
    r.setText(BookmarkField::Category, category);
    return r;
}

class PlainSqliteTest : public ::testing::Test {
protected:
    void SetUp() override { FileVersionLayer::instance().registerDatabaseFiles(); }

    test::TempFolder folder;
};

TEST_F(PlainSqliteTest, EveryFileIsReadQueriedAndCheckedByAStockConnection)
{
    {
        test::ScriptedUi ui;
        MessageManager messages{ui};
        Database db{messages, folder.path()};
        ASSERT_EQ(db.categoryRelations().open(), kLevelDone);
        ASSERT_EQ(db.bookmarkRelations().open(), kLevelDone);
        Record category{categoryTable()};
        category.setText(CategoryField::Category, "Éditions");
        ASSERT_EQ(db.categories().insert(category), kLevelDone);
        Record html{catHtmlTable()};
        html.setText(CatHtmlField::Category, "Éditions");
        html.setText(CatHtmlField::TypeOfHTML, "Before");
        ASSERT_EQ(db.catHtml().insert(html), kLevelDone);
        for (const char* location : {"http://zeta/", "http://_under/", "http://Été/"}) {
            Record r = bookmark(location, "Éditions");
            ASSERT_EQ(db.bookmarks().insert(r), kLevelDone);
            Record keyword{keywordTable()};
            keyword.setText(KeywordField::Location, location);
            keyword.setText(KeywordField::Keyword, "k");
            ASSERT_EQ(db.keywords().insert(keyword), kLevelDone);
        }
        Record same = bookmark("HTTP://ÉTÉ/", "Éditions");
        EXPECT_EQ(db.bookmarks().insert(same), kLevelNotify) << "letter case still ignored";
    }
    const std::vector<std::pair<std::string, std::string>> files = {{"URLDATA.tps", "Locations"},
                                                                    {"URLDATA.tps", "URLKeywords"},
                                                                    {"URL_C.tps", "Categories"},
                                                                    {"URL_H.tps", "CatHTML"}};
    for (const auto& [file, table] : files) {
        StockConnection stock{folder.file(file)};
        EXPECT_EQ(stock.column("PRAGMA integrity_check"), std::vector<std::string>{"ok"}) << file;
        const auto count = stock.column("SELECT count(*) FROM " + table);
        ASSERT_EQ(count.size(), 1U) << file;
        EXPECT_NE(count[0].rfind("error", 0), 0U) << file << ": " << count[0];
    }
    StockConnection stock{folder.file("URLDATA.tps")};
    // The folded copies order as the program's key does: "_" after "Z", É as é.
    EXPECT_EQ(stock.column("SELECT Location FROM Locations ORDER BY Location_nocase"),
              (std::vector<std::string>{"http://zeta/", "http://_under/", "http://Été/"}));
    EXPECT_EQ(stock.column("SELECT count(*) FROM Locations WHERE Location_nocase = 'HTTP://ÉTÉ/'"),
              std::vector<std::string>{"1"});
}

TEST_F(PlainSqliteTest, FilesKeyedByTheEarlierCollationAreConvertedWithEveryRow)
{
    // How the program used to lay the bookmark table out: no folded copies,
    // an index that names a collation only this program knew.
    {
        StockConnection old{folder.file("URLDATA.tps")};
        sqlite3_create_collation(old.handle(), "TESSALY_NOCASE", SQLITE_UTF8, nullptr,
                                 [](void*, int la, const void* a, int lb, const void* b) {
                                     return sqlite3_strnicmp(static_cast<const char*>(a),
                                                             static_cast<const char*>(b),
                                                             std::min(la, lb) + 1);
                                 });
        std::string columns;
        for (int field = 0; field < bookmarkTable().fieldCount(); ++field) {
            columns += (field > 0 ? ", " : "") + std::string{bookmarkTable().column(field)} +
                       (bookmarkTable().isText(field) ? " TEXT NOT NULL DEFAULT ''"
                                                      : " INTEGER NOT NULL DEFAULT 0");
        }
        old.run("CREATE TABLE Locations(" + columns +
                ");"
                "CREATE TABLE _TessalyLayout(TableName TEXT PRIMARY KEY, Version INTEGER NOT "
                "NULL, Owner TEXT NOT NULL DEFAULT '');"
                "INSERT INTO _TessalyLayout VALUES('Locations', 10, '');"
                "CREATE UNIQUE INDEX Locations_K_LOCATION ON Locations(Location COLLATE "
                "TESSALY_NOCASE);"
                "INSERT INTO Locations(Location, Description, Rating) VALUES"
                "('http://a/', 'A', 4), ('http://Café/', 'Coffee', 2), ('http://b/', '', 0);");
        EXPECT_EQ(
            StockConnection{folder.file("URLDATA.tps")}.column("PRAGMA integrity_check")[0].rfind(
                "error: no such collation", 0),
            0U)
            << "the fault being mended: a stock tool could not check such a file";
    }
    Engine engine{folder.path()};
    RecordFile bookmarks{engine, bookmarkTable()};
    ASSERT_TRUE(bookmarks.open().ok()) << bookmarks.status().text;
    EXPECT_EQ(bookmarks.records(), 3);
    Record r{bookmarkTable()};
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark("HTTP://CAFÉ/"), r).ok());
    EXPECT_EQ(r.text(BookmarkField::Description), "Coffee");
    Record twin = bookmark("http://A/");
    EXPECT_EQ(bookmarks.add(twin).code, kDuplicateKey);
    bookmarks.close();
    engine.close();
    StockConnection stock{folder.file("URLDATA.tps")};
    EXPECT_EQ(stock.column("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    EXPECT_EQ(stock.column("SELECT Description FROM Locations ORDER BY Location_nocase"),
              (std::vector<std::string>{"A", "", "Coffee"}));
}

TEST_F(PlainSqliteTest, ARebuildMendsTheFoldedCopiesOfRowsAnotherToolWrote)
{
    Engine engine{folder.path()};
    RecordFile bookmarks{engine, bookmarkTable()};
    ASSERT_TRUE(bookmarks.create().ok());
    ASSERT_TRUE(bookmarks.open().ok());
    bookmarks.close();
    engine.close();
    StockConnection{folder.file("URLDATA.tps")}.run(
        "INSERT INTO Locations(Location, Description) VALUES('http://Written/', 'by hand')");
    ASSERT_TRUE(bookmarks.open().ok());
    Record r{bookmarkTable()};
    EXPECT_FALSE(bookmarks.get(kByLocation, bookmark("http://written/"), r).ok());
    bookmarks.close();
    ASSERT_TRUE(bookmarks.build().ok()) << bookmarks.status().text;
    ASSERT_TRUE(bookmarks.open().ok());
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark("http://written/"), r).ok());
    EXPECT_EQ(r.text(BookmarkField::Description), "by hand");
}

TEST_F(PlainSqliteTest, BytesThatAreNotUtf8AreStoredAsWindows1252AndNeverCollide)
{
    Engine engine{folder.path()};
    RecordFile bookmarks{engine, bookmarkTable()};
    ASSERT_TRUE(bookmarks.create().ok());
    ASSERT_TRUE(bookmarks.open().ok());
    Record e = bookmark("http://caf\xE9/");
    Record egrave = bookmark("http://caf\xE8/");
    Record euro = bookmark("http://price\x80/");
    ASSERT_TRUE(bookmarks.add(e).ok());
    ASSERT_TRUE(bookmarks.add(egrave).ok()) << "two different addresses are never duplicates";
    ASSERT_TRUE(bookmarks.add(euro).ok());
    Record r{bookmarkTable()};
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark("http://caf\xE8/"), r).ok());
    EXPECT_EQ(r.text(BookmarkField::Location), "http://cafè/");
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark("HTTP://CAFÉ/"), r).ok());
    EXPECT_EQ(r.text(BookmarkField::Location), "http://café/");
    ASSERT_TRUE(bookmarks.get(kByLocation, bookmark("http://price€/"), r).ok());
    bookmarks.setRecordOrder();
    while (bookmarks.next(r).ok()) {
        EXPECT_TRUE(utf8::isValid(r.text(BookmarkField::Location))) << r.text(0);
    }
}

} // namespace
} // namespace tessaly
