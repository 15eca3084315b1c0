#include "core/sqlite.h"
#include "import/old_database_import.h"

#include "import_test_support.h"

namespace tessaly {
namespace {

using test::ImportTest;

class OldDatabaseTest : public ImportTest {
protected:
    // An earlier version's database as the README describes it.
    std::string oldDatabase(const std::string& name, const std::string& rows,
                            const std::string& table = "ImportTESSLY")
    {
        const std::string path = sources.path() + "/" + name;
        sql::Connection old;
        EXPECT_TRUE(old.open(path, true, false).ok());
        const EngineStatus made = old.execute(
            "CREATE TABLE " + table +
            "(Location TEXT, Description TEXT, Category TEXT, Rating INTEGER, Keyword TEXT, "
            "SiteInfo TEXT);" +
            rows);
        EXPECT_TRUE(made.ok()) << made.text << " " << made.systemText;
        return path;
    }
};

TEST(OldDatabaseName, OnlyTheEarlierVersionsFileIsTaken)
{
    EXPECT_TRUE(isOldDatabaseName("c:\\old\\url_l.tps"));
    EXPECT_TRUE(isOldDatabaseName("/home/me/URL_L.TPS"));
    EXPECT_FALSE(isOldDatabaseName("/home/me/URL_X.TPS"));
    EXPECT_FALSE(isOldDatabaseName("bookmarks.html"));
}

TEST_F(OldDatabaseTest, EntriesArriveWithTheirFiveFieldsOnce)
{
    const std::string description(100, 'd');
    const std::string category(30, 'C');
    const std::string path =
        oldDatabase("url_l.tps", "INSERT INTO ImportTESSLY VALUES('http://one.example/', '" +
                                     description + "', '" + category +
                                     "', 7, 'KEYWORD10X', 'not copied'),"
                                     "('http://two.example/', 'Two', 'Old Cat', 0, NULL, NULL),"
                                     "('', 'no address', 'x', 1, 'k', ''),"
                                     "('HTTP://ONE.EXAMPLE/', 'again', 'x', 1, 'k', '');");
    const ImportSummary summary = importOldDatabase(db, ui, path);
    EXPECT_EQ(summary.imported, 2);
    EXPECT_EQ(summary.alreadyStored, 1);
    const Record one = stored("http://one.example/");
    EXPECT_EQ(one.text(BookmarkField::Description), description);
    EXPECT_EQ(one.text(BookmarkField::Category), category);
    EXPECT_EQ(one.text(BookmarkField::Keyword), "KEYWORD10X") << "its own keyword, not a guess";
    EXPECT_EQ(one.number(BookmarkField::Rating), 7);
    EXPECT_EQ(one.text(BookmarkField::SiteInfo), "");
    EXPECT_TRUE(categories().empty()) << "no category is made";
    EXPECT_TRUE(ui.shown.empty());

    EXPECT_EQ(importOldDatabase(db, ui, path).imported, 0) << "a second run adds nothing";
    EXPECT_EQ(bookmarks().size(), 2U);
}

TEST_F(OldDatabaseTest, TheEarlierVersionsOwnTableNameAndMissingColumnsAreRead)
{
    const std::string path = sources.path() + "/URL_L.TPS";
    {
        sql::Connection old;
        ASSERT_TRUE(old.open(path, true, false).ok());
        ASSERT_TRUE(old.execute("CREATE TABLE Bookmarks(LOCATION TEXT, description TEXT);"
                                "INSERT INTO Bookmarks VALUES('http://three.example/', 'Three');")
                        .ok());
    }
    EXPECT_EQ(importOldDatabase(db, ui, path).imported, 1);
    EXPECT_EQ(stored("http://three.example/").text(BookmarkField::Description), "Three");
}

TEST_F(OldDatabaseTest, AFileThatIsNoDatabaseIsReportedAndLeftAlone)
{
    const std::string junk(8192, 'J');
    const std::string path = sources.write("URL_L.TPS", junk);
    const ImportSummary summary = importOldDatabase(db, ui, path);
    EXPECT_EQ(summary.imported, 0);
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_EQ(ui.last().title, "File Access Error");
    EXPECT_NE(ui.last().text.find(path), std::string::npos) << ui.last().text;
    EXPECT_EQ(sources.read("URL_L.TPS"), junk);

    ui.shown.clear();
    importOldDatabase(db, ui, sources.path() + "/missing/URL_L.TPS");
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_EQ(ui.last().title, "File Access Error");
    const std::string empty = oldDatabase("empty_url_l.tps", "", "Unrelated");
    EXPECT_EQ(importOldDatabase(db, ui, empty).imported, 0);

    // Another program's SQLite file: said, not passed over as empty.
    ui.shown.clear();
    const std::string foreign = sources.path() + "/foreign_URL_L.TPS";
    {
        sql::Connection other;
        ASSERT_TRUE(other.open(foreign, true, false).ok());
        ASSERT_TRUE(other.execute("CREATE TABLE Foo(a); INSERT INTO Foo VALUES(1)").ok());
    }
    const ImportSummary summary2 = importOldDatabase(db, ui, foreign);
    EXPECT_FALSE(summary2.sourceError.empty());
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_EQ(ui.last().title, "File Access Error");
}

} // namespace
} // namespace tessaly
