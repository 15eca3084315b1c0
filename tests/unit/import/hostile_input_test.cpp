// Sources made to hurt: each import ends soon, in bounded memory, and says
// what it could not take. The times asked for are many times what the
// work takes, and far below what it took when it grew with the square.
#include "core/sqlite.h"
#include "import/old_database_import.h"

#include "import_test_support.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

namespace tessaly {
namespace {

namespace fs = std::filesystem;
using test::ImportTest;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST_F(ImportTest, ABookmarkWithAHundredThousandTagsTakesLinearTime)
{
    std::string tags;
    for (int i = 0; i < 100000; ++i) {
        tags += (i == 0 ? "t" : ",t") + std::to_string(i);
    }
    const std::string file = sources.write(
        "tags.html", "<DL><p>\n<DT><A HREF=\"http://tags.example/\" TAGS=\"" + tags + "\">T</A>\n");
    const auto start = Clock::now();
    EXPECT_EQ(import(ImportType::Netscape, file).imported, 1);
    EXPECT_LT(secondsSince(start), 20.0);
    EXPECT_EQ(keywords("http://tags.example/").size(), 100000U);
}

TEST_F(ImportTest, ALongLineOfLinksWithoutTheirEndsIsReadOnce)
{
    std::string line;
    while (line.size() < (std::size_t{4} << 20U)) {
        line += "a href";
    }
    const auto start = Clock::now();
    EXPECT_EQ(import(ImportType::Ascii, sources.write("hrefs.txt", line)).imported, 0);
    EXPECT_LT(secondsSince(start), 10.0);
}

TEST_F(ImportTest, APageWithoutAnyTagEndTakesEachAddressOnceAndWhole)
{
    // One line of unclosed links, lines of them, and more than the carry
    // holds.
    std::string line;
    std::string lines;
    std::string many;
    while (line.size() < 60000) {
        line += "<a href=http://x.co";
        lines += "<a href=\"http://y.co\" text on and on\n";
    }
    while (many.size() < (std::size_t{3} << 20U)) {
        many += "<a href=\"http://z.co\" text on and on\n";
    }
    import(ImportType::Html, sources.write("line.html", line));
    import(ImportType::Html, sources.write("lines.html", lines));
    import(ImportType::Html, sources.write("many.html", many));
    EXPECT_EQ(bookmarks(), (std::vector<std::string>{"http://x.co|http://x.co|New - C",
                                                     "http://y.co|http://y.co|New - C",
                                                     "http://z.co|http://z.co|New - C"}));
}

TEST_F(ImportTest, ALinkWithALongTagIsRead)
{
    const std::string page = "<html><body><a href=\"http://long.example/\" title=\"" +
                             std::string(20000, 't') + "\">Long</a> and more\n</body></html>\n";
    EXPECT_EQ(import(ImportType::Html, sources.write("long.html", page)).imported, 1);
    EXPECT_EQ(stored("http://long.example/").text(BookmarkField::Description), "Long");
}

TEST_F(ImportTest, PipesAndDevicesAreRefusedForWhatTheyAre)
{
    const std::string pipe = sources.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const ImportType type : {ImportType::Chromium, ImportType::Csv, ImportType::Netscape}) {
        const ImportSummary summary = import(type, pipe, CategoryAssignment::Guess, {}, false);
        EXPECT_NE(summary.sourceError.find("is not a regular file"), std::string::npos)
            << summary.sourceError;
    }
    for (const std::string& old : {pipe, std::string{"/dev/zero"}}) {
        const std::string named = sources.path() + "/URL_L.TPS";
        fs::remove(named);
        fs::create_symlink(old, named);
        const ImportSummary summary = importOldDatabase(db, ui, named);
        EXPECT_NE(summary.sourceError.find("is not a regular file"), std::string::npos)
            << summary.sourceError;
        EXPECT_NE(ui.last().text.find("Not a regular file (a named pipe or a device)"),
                  std::string::npos)
            << ui.last().text;
    }
}

// A profile whose places.sqlite is made by `sql`.
std::string makeProfile(test::TempFolder& sources, std::string_view sql)
{
    fs::create_directories(sources.path() + "/profile");
    sql::Connection places;
    EXPECT_TRUE(places.open(sources.path() + "/profile/places.sqlite", true, false).ok());
    EXPECT_TRUE(places.execute(sql).ok());
    return sources.path() + "/profile";
}

TEST_F(ImportTest, ABookmarkTableThatNeverEndsIsGivenUpAndItsCopyRemoved)
{
    const std::string profile = makeProfile(
        sources,
        "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url TEXT, title TEXT, "
        "last_visit_date INTEGER);"
        "CREATE VIEW moz_bookmarks AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
        "FROM n) SELECT i AS id, 1 AS type, i AS fk, 0 AS parent, i AS position, 'x' AS title, "
        "'g' AS guid FROM n;");
    test::TempFolder temporary;
    const char* before = std::getenv("TMPDIR");
    const std::string kept = before != nullptr ? before : "";
    ::setenv("TMPDIR", temporary.path().c_str(), 1);
    ImportRequest request{ImportType::Firefox, profile, CategoryAssignment::Guess, {}, {}};
    request.browserReadSeconds = 1;
    const auto start = Clock::now();
    const ImportSummary summary = runImport(db, ui, request, {}, false);
    before != nullptr ? ::setenv("TMPDIR", kept.c_str(), 1) : ::unsetenv("TMPDIR");
    EXPECT_LT(secondsSince(start), 30.0);
    EXPECT_NE(summary.sourceError.find("its bookmarks do not end"), std::string::npos)
        << summary.sourceError;
    EXPECT_TRUE(fs::is_empty(temporary.path())) << "the private copy is removed";
}

TEST_F(ImportTest, ADamagedProfileSaysHowManyBookmarksItGaveBeforeTheDamage)
{
    std::string sql =
        "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url TEXT, title TEXT, "
        "last_visit_date INTEGER);"
        "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk "
        "INTEGER, parent INTEGER, position INTEGER, title TEXT, guid TEXT);"
        "CREATE INDEX moz_bookmarks_parentindex ON moz_bookmarks (parent, position);"
        "INSERT INTO moz_bookmarks VALUES (1, 2, NULL, 0, 0, 'menu', 'menu________');";
    for (int i = 1; i <= 200; ++i) {
        const std::string n = std::to_string(i);
        sql += "INSERT INTO moz_places VALUES (" + n + ", 'http://p" + n + ".example/" +
               std::string(300, 'x') + "', NULL, NULL);";
        sql += "INSERT INTO moz_bookmarks VALUES (" + std::to_string(i + 1) + ", 1, " + n +
               ", 1, " + n + ", 'B', 'b" + n + "');";
    }
    const std::string profile = makeProfile(sources, sql);
    // Garbage over the last leaf of the addresses: the bookmarks before it
    // read, the ones on it do not.
    std::int64_t page = 0;
    std::int64_t pageSize = 0;
    {
        sql::Connection places;
        ASSERT_TRUE(places.open(profile + "/places.sqlite", false, true).ok());
        sql::Statement last{places, "SELECT max(pageno) FROM dbstat WHERE name = 'moz_places'"};
        EngineStatus status;
        ASSERT_TRUE(last.step(status)) << status.text;
        page = last.integer(0);
        sql::Statement size{places, "PRAGMA page_size"};
        ASSERT_TRUE(size.step(status));
        pageSize = size.integer(0);
    }
    {
        std::FILE* file = std::fopen((profile + "/places.sqlite").c_str(), "r+b");
        ASSERT_NE(file, nullptr);
        std::fseek(file, static_cast<long>((page - 1) * pageSize), SEEK_SET);
        const std::string garbage(static_cast<std::size_t>(pageSize), '\xA5');
        std::fwrite(garbage.data(), 1, garbage.size(), file);
        std::fclose(file);
    }
    const ImportSummary summary = import(ImportType::Firefox, profile);
    EXPECT_TRUE(summary.damaged) << summary.sourceError;
    EXPECT_GT(summary.imported, 0);
    EXPECT_LT(summary.imported, 200);
    EXPECT_EQ(static_cast<int>(bookmarks().size()), summary.imported);
    EXPECT_EQ(ui.last().title, "Import Error");
    EXPECT_NE(
        ui.last().text.find(std::to_string(summary.imported) + " URL(s) were imported before it."),
        std::string::npos)
        << ui.last().text;
}

} // namespace
} // namespace tessaly
