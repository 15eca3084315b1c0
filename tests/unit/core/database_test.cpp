#include "core/database.h"
#include "core/file_version.h"
#include "core/sqlite.h"
#include "core/tables.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tessaly {
namespace {

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        MessageManager::clearContext();
    }

    Record bookmark(std::string_view location, std::string_view category = {})
    {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Category, category);
        return r;
    }

    void addBookmark(std::string_view location, std::string_view category)
    {
        Record r = bookmark(location, category);
        ASSERT_EQ(db.bookmarks().insert(r), kLevelDone);
    }

    void addCategory(std::string_view name)
    {
        Record r{categoryTable()};
        r.setText(CategoryField::Category, name);
        ASSERT_EQ(db.categories().insert(r), kLevelDone);
    }

    void addKeyword(std::string_view location, std::string_view keyword)
    {
        Record r{keywordTable()};
        r.setText(KeywordField::Location, location);
        r.setText(KeywordField::Keyword, keyword);
        ASSERT_EQ(db.keywords().insert(r), kLevelDone);
    }

    void addDetail(std::string_view location, std::string_view label)
    {
        Record r{detailTable()};
        r.setText(DetailField::Location, location);
        r.setText(DetailField::DataLabel, label);
        ASSERT_EQ(db.details().insert(r), kLevelDone);
    }

    void addHtml(std::string_view category, std::string_view type)
    {
        Record r{catHtmlTable()};
        r.setText(CatHtmlField::Category, category);
        r.setText(CatHtmlField::TypeOfHTML, type);
        r.setText(CatHtmlField::HTMLtoAdd, "<hr>");
        ASSERT_EQ(db.catHtml().insert(r), kLevelDone);
    }

    // Every row of a file as "field0|field1" (texts) in record order.
    std::vector<std::string> rows(FileManager& file, int second = 1)
    {
        std::vector<std::string> out;
        Record r{file.table()};
        file.file().setRecordOrder();
        while (file.file().next(r).ok()) {
            const std::string other =
                file.table().isText(second) ? r.text(second) : std::to_string(r.number(second));
            out.push_back(r.text(0) + "|" + other);
        }
        return out;
    }

    void openAll()
    {
        ASSERT_EQ(db.categoryRelations().open(), kLevelDone);
        ASSERT_EQ(db.bookmarkRelations().open(), kLevelDone);
    }

    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
};

TEST_F(DatabaseTest, AFirstRunCreatesEachFileWithoutAWord)
{
    ASSERT_EQ(db.configuration().open(), kLevelDone);
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(db.configuration().name(), "Configuration [Configuration]");
    EXPECT_EQ(db.bookmarks().name(), "TESSLY");
    EXPECT_FALSE(folder.read("URLDATA.tps").empty());
    openAll();
    EXPECT_FALSE(folder.read("URL_C.tps").empty());
    EXPECT_FALSE(folder.read("URL_H.tps").empty());
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(DatabaseTest, AWriteGroupMayUseTheCategoryFilesForTheFirstTime)
{
    // An import groups its bookmarks and adds categories as it goes: the
    // category files are first used inside the group, in an empty folder.
    ASSERT_EQ(db.bookmarks().use(), kLevelDone);
    ASSERT_TRUE(db.bookmarks().file().stream().ok());
    ASSERT_EQ(db.categories().use(), kLevelDone);
    ASSERT_EQ(db.catHtml().use(), kLevelDone);
    addCategory("Imported");
    addHtml("Imported", "Before");
    addBookmark("http://one/", "Imported");
    ASSERT_EQ(db.bookmarks().endGroup(), kLevelDone);
    EXPECT_TRUE(ui.shown.empty()) << ui.last().text;
    EXPECT_EQ(rows(db.categories()).size(), 1U);
    EXPECT_EQ(rows(db.catHtml()).size(), 1U);
    EXPECT_EQ(rows(db.bookmarks()), std::vector<std::string>{"http://one/|"});
}

TEST_F(DatabaseTest, KeywordAndDetailRowsAreNumberedWithinTheirLocation)
{
    openAll();
    addKeyword("http://a/", "one");
    addKeyword("http://a/", "two");
    addKeyword("http://b/", "other");
    addKeyword("HTTP://A/", "three");
    EXPECT_EQ(rows(db.keywords()), (std::vector<std::string>{"http://a/|1", "http://a/|2",
                                                             "http://b/|1", "HTTP://A/|3"}));
    // After rows 1, 2 and 5 the next one gets 6.
    Record five{keywordTable()};
    five.setText(KeywordField::Location, "http://c/");
    for (const int sequence : {1, 2, 5}) {
        five.setNumber(KeywordField::Sequence, sequence);
        ASSERT_TRUE(db.keywords().file().add(five).ok());
    }
    addKeyword("http://c/", "next");
    addDetail("http://c/", "Validated");
    EXPECT_EQ(rows(db.keywords()).back(), "http://c/|6");
    EXPECT_EQ(rows(db.details()).back(), "http://c/|1");
}

TEST_F(DatabaseTest, ADuplicateLocationRaisesMessage13NamingTheKey)
{
    openAll();
    addBookmark("http://a/", "News");
    Record again = bookmark("HTTP://A/");
    EXPECT_EQ(db.bookmarks().insert(again), kLevelNotify);
    EXPECT_EQ(ui.last().title, "Duplicate Key Error");
    // The standard message first, then which bookmark holds the address.
    EXPECT_EQ(ui.last().text,
              "Adding this TESSLY record creates a duplicate entry for the key: Site Location\n"
              "The address is stored already in the category \"News\".");
}

TEST_F(DatabaseTest, AChangeOntoAStoredKeyNamesTheKeyItBreaks)
{
    openAll();
    addCategory("News");
    addCategory("Sport");
    addBookmark("http://a/", "News");
    addBookmark("http://b/", "News");
    // A message about another file first, so a stale name would show.
    MessageManager::setMessage("Categories");

    Record a = bookmark("http://a/");
    ASSERT_EQ(db.bookmarks().fetch(0, a), kLevelDone);
    Record moved = a;
    moved.setText(BookmarkField::Location, "HTTP://B/");
    EXPECT_EQ(db.bookmarkRelations().update(a, moved), kLevelNotify);
    EXPECT_EQ(ui.last().text,
              "Adding this TESSLY record creates a duplicate entry for the key: Site Location\n"
              "The address is stored already in the category \"News\".");

    Record news{categoryTable()};
    news.setText(CategoryField::Category, "News");
    ASSERT_EQ(db.categories().fetch(0, news), kLevelDone);
    Record renamed = news;
    renamed.setText(CategoryField::Category, "SPORT");
    EXPECT_EQ(db.categoryRelations().update(news, renamed), kLevelNotify);
    EXPECT_EQ(ui.last().title, "Duplicate Key Error");
    EXPECT_EQ(ui.last().text,
              "Adding this Categories record creates a duplicate entry for the key: Category");
    EXPECT_EQ(rows(db.bookmarks()), (std::vector<std::string>{"http://a/|", "http://b/|"}));
}

TEST_F(DatabaseTest, WritersAddingTheSameNewCategoryAtOnceAllSucceed)
{
    openAll();
    db.closeAll();
    constexpr int kWriters = 8;
    constexpr int kEach = 12;
    std::atomic<int> failed{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            test::ScriptedUi own;
            MessageManager ownMessages{own};
            Database writer{ownMessages, folder.path()};
            // This is about the race for the category, not about how long a
            // writer waits for the lock on a busy machine.
            writer.engine().setLockWait(60000);
            for (int i = 0; i < kEach; ++i) {
                Record r = bookmark("http://w" + std::to_string(w) + "/" + std::to_string(i),
                                    "Topic" + std::to_string(i));
                if (writer.addBookmarkWithCategory(r) != kLevelDone) {
                    ++failed;
                }
            }
        });
    }
    for (std::thread& t : writers) {
        t.join();
    }
    EXPECT_EQ(failed.load(), 0);
    openAll();
    EXPECT_EQ(rows(db.bookmarks()).size(), static_cast<std::size_t>(kWriters * kEach));
    EXPECT_EQ(rows(db.categories()).size(), static_cast<std::size_t>(kEach));
}

TEST_F(DatabaseTest, ACategoryAddedForARefusedBookmarkDoesNotStay)
{
    openAll();
    addBookmark("http://a/", "");
    Record twin = bookmark("HTTP://A/", "Fresh");
    EXPECT_EQ(db.addBookmarkWithCategory(twin), kLevelNotify);
    EXPECT_EQ(ui.last().title, "Duplicate Key Error");
    EXPECT_FALSE(db.categoryExists("Fresh"));
    Record other = bookmark("http://b/", "fresh");
    EXPECT_EQ(db.addBookmarkWithCategory(other), kLevelDone);
    Record again = bookmark("http://c/", "FRESH");
    EXPECT_EQ(db.addBookmarkWithCategory(again), kLevelDone);
    EXPECT_EQ(rows(db.categories()), std::vector<std::string>{"fresh|0"});
}

TEST_F(DatabaseTest, TheCategoryOfABookmarkMustBeStored)
{
    openAll();
    addCategory("News");
    const int category = static_cast<int>(BookmarkField::Category);
    EXPECT_EQ(db.bookmarks().validateField(category, bookmark("http://a/", "news")), kLevelDone);
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(db.bookmarks().validateRecord(bookmark("http://a/", "Sport")), kLevelNotify);
    EXPECT_EQ(ui.last().title, "Field contents error");
    EXPECT_EQ(ui.last().text, "The value of Category must be found in the Categories file.\n"
                              "Choose one with Browse, or make a new one there.");
}

TEST_F(DatabaseTest, RenamingACategoryReachesItsBookmarksAndHtml)
{
    openAll();
    addCategory("News");
    addBookmark("http://a/", "News");
    addBookmark("http://b/", "News");
    addBookmark("http://c/", "news"); // the bookmark link keeps letter case
    addBookmark("http://d/", "Sport");
    addHtml("NEWS", "Before Category");
    Record category{categoryTable()};
    category.setText(CategoryField::Category, "News");
    ASSERT_EQ(db.categories().fetch(0, category), kLevelDone);
    Record renamed = category;
    renamed.setText(CategoryField::Category, "Headlines");
    ASSERT_EQ(db.categoryRelations().update(category, renamed), kLevelDone);

    EXPECT_EQ(rows(db.bookmarks(), 2),
              (std::vector<std::string>{"http://a/|Headlines", "http://b/|Headlines",
                                        "http://c/|news", "http://d/|Sport"}));
    EXPECT_EQ(rows(db.catHtml()), (std::vector<std::string>{"Headlines|Before Category"}));
    EXPECT_EQ(rows(db.categories(), 0), (std::vector<std::string>{"Headlines|Headlines"}));
}

TEST_F(DatabaseTest, DeletingACategoryTakesItsBookmarksWithTheirKeywordsAndDetails)
{
    openAll();
    addCategory("News");
    addCategory("Sport");
    addBookmark("http://a/", "News");
    addBookmark("http://b/", "Sport");
    addKeyword("HTTP://A/", "gone");
    addKeyword("http://b/", "kept");
    addDetail("http://a/", "gone");
    addDetail("http://b/", "kept");
    addHtml("news", "After Category");
    addHtml("Sport", "After Category");
    Record category{categoryTable()};
    category.setText(CategoryField::Category, "News");
    ASSERT_EQ(db.categories().fetch(0, category), kLevelDone);
    ASSERT_EQ(db.categoryRelations().remove(category), kLevelDone);

    EXPECT_EQ(rows(db.categories(), 0), (std::vector<std::string>{"Sport|Sport"}));
    EXPECT_EQ(rows(db.bookmarks(), 2), (std::vector<std::string>{"http://b/|Sport"}));
    EXPECT_EQ(rows(db.keywords(), 2), (std::vector<std::string>{"http://b/|kept"}));
    EXPECT_EQ(rows(db.details(), 2), (std::vector<std::string>{"http://b/|kept"}));
    EXPECT_EQ(rows(db.catHtml()), (std::vector<std::string>{"Sport|After Category"}));
}

TEST_F(DatabaseTest, ChangingALocationMovesItsKeywordsAndDetails)
{
    openAll();
    addBookmark("http://old/", "News");
    addKeyword("http://OLD/", "k");
    addDetail("http://old/", "d");
    addDetail("http://other/", "x");
    Record original = bookmark("http://old/");
    ASSERT_EQ(db.bookmarks().fetch(0, original), kLevelDone);
    Record moved = original;
    moved.setText(BookmarkField::Location, "http://new/");
    ASSERT_EQ(db.bookmarkRelations().update(original, moved), kLevelDone);
    EXPECT_EQ(rows(db.keywords(), 2), (std::vector<std::string>{"http://new/|k"}));
    EXPECT_EQ(rows(db.details(), 2),
              (std::vector<std::string>{"http://new/|d", "http://other/|x"}));

    // Deleting the bookmark takes its rows along.
    ASSERT_EQ(db.bookmarkRelations().remove(moved), kLevelDone);
    EXPECT_TRUE(rows(db.keywords()).empty());
    EXPECT_EQ(rows(db.details(), 2), (std::vector<std::string>{"http://other/|x"}));
}

TEST_F(DatabaseTest, AFailedCascadeChangesNothing)
{
    openAll();
    addBookmark("http://a/", "News");
    addBookmark("http://b/", "News");
    addKeyword("http://a/", "k");
    Record original = bookmark("http://a/");
    ASSERT_EQ(db.bookmarks().fetch(0, original), kLevelDone);
    Record clash = original;
    clash.setText(BookmarkField::Location, "http://B/");
    EXPECT_EQ(db.bookmarkRelations().update(original, clash), kLevelNotify);
    EXPECT_EQ(ui.last().title, "Duplicate Key Error");
    EXPECT_EQ(rows(db.keywords(), 2), (std::vector<std::string>{"http://a/|k"}))
        << "the moved keyword went back with the refused bookmark";
}

TEST_F(DatabaseTest, BrokenKeysAreRebuiltAfterTheInvalidKeyNotice)
{
    openAll();
    addBookmark("http://a/", "News");
    db.closeAll();
    sqlite3* raw = nullptr;
    sqlite3_open(folder.file("URLDATA.tps").c_str(), &raw);
    sqlite3_exec(raw, "DROP INDEX Locations_K_KEYWORD", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    ASSERT_EQ(db.bookmarks().open(), kLevelDone);
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.last().title, "Invalid Key");
    EXPECT_EQ(ui.last().text, "TESSLY key file is invalid. Key must be rebuilt.");
    EXPECT_EQ(db.bookmarks().file().records(), 1);
}

TEST_F(DatabaseTest, AFileThatCannotBeOpenedEndsTheProgramAndIsLeftAlone)
{
    const std::string junk = "this is not a database, it is a letter to the editor";
    folder.write("URL_C.tps", junk);
    EXPECT_THROW(db.categories().open(), test::HaltRequested);
    EXPECT_EQ(ui.last().title, "File Access Error");
    EXPECT_TRUE(ui.last().text.starts_with("File (Categories) could not be opened.  Error: "))
        << ui.last().text;
    EXPECT_TRUE(ui.last().text.ends_with(".  Press OK to end this application"));
    EXPECT_EQ(folder.read("URL_C.tps"), junk);
}

// Another program that holds a file longer than we wait is no reason to end
// the program: the user is told and may try again, and the longer wait of
// the opening does not stay for every later statement.
TEST_F(DatabaseTest, AFileAnotherProgramHoldsGivesANoticeNotTheEnd)
{
    ASSERT_EQ(db.categories().open(), kLevelDone);
    db.closeAll();
    sqlite3* other = nullptr;
    sqlite3_open(folder.file("URL_C.tps").c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(db.categories().use(), kLevelNotify);
    EXPECT_EQ(ui.last().title, "File Access Error");
    EXPECT_TRUE(ui.last().text.ends_with(
        "\nAnother program is writing to the file. Try again when it has finished."))
        << ui.last().text;
    EXPECT_EQ(db.categories().file().engine().lockWait(), 1000);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(db.categories().use(), kLevelDone);
}

TEST(LockWait, AWaitThatRanOutIsNotStartedAgainByTheNextStatement)
{
    test::TempFolder folder;
    const std::string path = folder.file("held.db");
    sql::Connection ours;
    ASSERT_TRUE(ours.open(path, true, false).ok());
    ours.setBusyTimeout(300);
    sqlite3* other = nullptr;
    sqlite3_open(path.c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    using Clock = std::chrono::steady_clock;
    const auto waited = [&] {
        const auto start = Clock::now();
        EXPECT_FALSE(ours.execute("BEGIN IMMEDIATE").ok());
        return Clock::now() - start;
    };
    EXPECT_GE(waited(), std::chrono::milliseconds(300));
    EXPECT_LT(waited(), std::chrono::milliseconds(150)); // the same wait, already over
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_GE(waited(), std::chrono::milliseconds(300)); // a later one waits afresh
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(ours.execute("BEGIN IMMEDIATE; COMMIT").ok());
}

} // namespace
} // namespace tessaly
