#include "bookmarks/bookmark_form.h"
#include "bookmarks/categories.h"
#include "core/file_version.h"
#include "core/tables.h"
#include "import/category_guess.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

namespace tessaly {
namespace {

TEST(CategoryGuess, TheLongestWordThatIsNotLittle)
{
    EXPECT_EQ(guessCategory("The Online Weather"), "Weather");
    EXPECT_EQ(guessCategory("FTP site of the MIT"), "Site");
    EXPECT_EQ(guessCategory("The"), "The");
    EXPECT_EQ(guessCategory("2000"), "");
    EXPECT_EQ(guessCategory(""), "");
    EXPECT_EQ(guessCategory("how: WHERE and WHEN"), "And") << "all little: the shortest";
    EXPECT_EQ(guessCategory("how-to"), "To");
    EXPECT_EQ(guessCategory("Supercalifragilisticexpialidocious"), "Supercalifragilistic");
    EXPECT_EQ(guessCategory("Öffentliche Bücher"), "Öffentliche");
    EXPECT_EQ(guessCategory("red blue"), "Blue") << "equal lengths: the first met";
}

TEST(WizardKeyword, FromTheScheme)
{
    EXPECT_EQ(keywordFromLocation("ftp://ftp.example.org/pub"), "ftp");
    EXPECT_EQ(keywordFromLocation("mailto:me@example.org"), "mailto:");
    EXPECT_EQ(keywordFromLocation("www.example.org"), "?");
}

class BookmarkFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        Record news{categoryTable()};
        news.setText(CategoryField::Category, "News");
        ASSERT_EQ(saveCategory(db, Record{categoryTable()}, news), kLevelDone);
        ASSERT_EQ(db.bookmarkRelations().open(), kLevelDone);
    }

    Record bookmark(std::string_view location)
    {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Category, "News");
        return r;
    }

    void addRows(std::string_view location, std::string_view word)
    {
        Record k{keywordTable()};
        k.setText(KeywordField::Location, location);
        k.setText(KeywordField::Keyword, word);
        ASSERT_EQ(db.keywords().insert(k), kLevelDone);
        Record d{detailTable()};
        d.setText(DetailField::Location, location);
        d.setText(DetailField::DataLabel, word);
        ASSERT_EQ(db.details().insert(d), kLevelDone);
    }

    std::vector<std::string> keywordLocations()
    {
        std::vector<std::string> out;
        Record r{keywordTable()};
        db.keywords().file().set(0);
        while (db.keywords().file().next(r).ok()) {
            out.push_back(r.text(KeywordField::Location) + "|" + r.text(KeywordField::Keyword));
        }
        return out;
    }

    Record stored(std::string_view location)
    {
        Record r = bookmark(location);
        db.bookmarks().tryFetch(0, r);
        return r;
    }

    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
};

TEST_F(BookmarkFormTest, OnlyTheBookmarksOwnRowsMoveWithIt)
{
    Record a = bookmark("http://a/");
    Record b = bookmark("http://b/");
    ASSERT_EQ(saveBookmark(db, Record{bookmarkTable()}, a, {}), kLevelDone);
    ASSERT_EQ(saveBookmark(db, Record{bookmarkTable()}, b, {}), kLevelDone);
    addRows("http://a/", "ka");
    addRows("http://b/", "kb");
    addRows("http://x/", "orphan");

    // A becomes C: A's rows go with it; B's and the orphans stay put, even
    // though the form saw their locations on the way.
    Record original = stored("http://a/");
    Record changed = original;
    changed.setText(BookmarkField::Location, "http://c/");
    ASSERT_EQ(saveBookmark(db, original, changed), kLevelDone);
    EXPECT_EQ(keywordLocations(),
              (std::vector<std::string>{"http://b/|kb", "http://c/|ka", "http://x/|orphan"}));

    // A new bookmark takes no one's rows.
    Record d = bookmark("http://d/");
    ASSERT_EQ(saveBookmark(db, Record{bookmarkTable()}, d), kLevelDone);
    EXPECT_EQ(keywordLocations(),
              (std::vector<std::string>{"http://b/|kb", "http://c/|ka", "http://x/|orphan"}));
    Record detail{detailTable()};
    db.details().file().set(0);
    std::vector<std::string> details;
    while (db.details().file().next(detail).ok()) {
        details.push_back(detail.text(DetailField::Location));
    }
    EXPECT_EQ(details, (std::vector<std::string>{"http://b/", "http://c/", "http://x/"}));
}

TEST_F(BookmarkFormTest, ARefusedSaveMovesNoRows)
{
    Record a = bookmark("http://a/");
    Record b = bookmark("http://b/");
    ASSERT_EQ(saveBookmark(db, Record{bookmarkTable()}, a, {}), kLevelDone);
    ASSERT_EQ(saveBookmark(db, Record{bookmarkTable()}, b, {}), kLevelDone);
    addRows("http://x/", "orphan-to-be");
    Record original = stored("http://a/");
    Record changed = original;
    changed.setText(BookmarkField::Location, "HTTP://B/");
    EXPECT_EQ(saveBookmark(db, original, changed), kLevelNotify);
    EXPECT_EQ(ui.last().title, "Duplicate Key Error");
    EXPECT_EQ(keywordLocations(), (std::vector<std::string>{"http://x/|orphan-to-be"}));
}

TEST_F(BookmarkFormTest, ASaveWhoseCommitFailsIsReportedAndLeavesNothingBehind)
{
    Record a = bookmark("http://a/");
    ASSERT_EQ(saveBookmark(db, Record{bookmarkTable()}, a, {}), kLevelDone);
    addRows("http://a/", "ka");
    // Another program reading the database holds its shared lock past the
    // lock wait, so the commit cannot take the file.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(folder.file("URLDATA.tps").c_str(), &reader), SQLITE_OK);
    sqlite3_stmt* scan = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(reader, "SELECT Location FROM Locations", -1, &scan, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(scan), SQLITE_ROW);

    Record fresh = bookmark("http://new/");
    const int added = saveBookmark(db, Record{bookmarkTable()}, fresh, {});
    EXPECT_EQ(ui.last().title, "Record Insert Error");
    Record original = stored("http://a/");
    Record changed = original;
    changed.setText(BookmarkField::Location, "http://moved/");
    const int updated = saveBookmark(db, original, changed, [] { return 0; });
    EXPECT_EQ(ui.last().title, "Record was not updated");
    EXPECT_NE(ui.last().text.find("locked"), std::string::npos) << ui.last().text;

    sqlite3_finalize(scan);
    sqlite3_close(reader);
    EXPECT_NE(added, kLevelDone);
    EXPECT_NE(updated, kLevelDone);
    EXPECT_EQ(stored("http://new/").position, 0);
    EXPECT_NE(stored("http://a/").position, 0);
    EXPECT_EQ(stored("http://moved/").position, 0);
    EXPECT_EQ(keywordLocations(), (std::vector<std::string>{"http://a/|ka"}));
}

TEST_F(BookmarkFormTest, TheCategoryMustBeStoredInAnyLetterCase)
{
    Record r = bookmark("http://a/");
    r.setText(BookmarkField::Category, "NEWS");
    EXPECT_EQ(saveBookmark(db, Record{bookmarkTable()}, r, {}), kLevelDone);
    EXPECT_EQ(stored("http://a/").text(BookmarkField::Category), "NEWS") << "kept as typed";
    Record unknown = bookmark("http://b/");
    unknown.setText(BookmarkField::Category, "Nowhere");
    EXPECT_EQ(saveBookmark(db, Record{bookmarkTable()}, unknown, {}), kLevelNotify);
    EXPECT_EQ(ui.last().text, "The value of Category must be found in the Categories file.\n"
                              "Choose one with Browse, or make a new one there.");
    EXPECT_EQ(stored("http://b/").position, 0);
}

TEST_F(BookmarkFormTest, DeletingAsksAboutTheShortcutFirst)
{
    const std::string shortcut = folder.write("Daily.url", "[InternetShortcut]\nURL=http://a/\n");
    Record r = bookmark("http://a/");
    r.setText(BookmarkField::OriginalFilename, shortcut);
    ASSERT_EQ(saveBookmark(db, Record{bookmarkTable()}, r, {}), kLevelDone);
    addRows("http://a/", "k");
    ui.answers = {ButtonYes, ButtonNo};
    EXPECT_EQ(deleteBookmark(db, stored("http://a/")), kLevelCancel);
    ASSERT_EQ(ui.shown.size(), 2U);
    EXPECT_EQ(ui.shown[0].title, "Remove Link");
    EXPECT_EQ(ui.shown[0].text, "Delete original MSIE shortcut?\n\n" + shortcut);
    EXPECT_EQ(ui.shown[1].title, "Confirm Delete");
    EXPECT_NE(::access(shortcut.c_str(), F_OK), 0) << "the shortcut goes even if the record stays";
    EXPECT_NE(stored("http://a/").position, 0);

    ui.answers = {ButtonYes};
    EXPECT_EQ(deleteBookmark(db, stored("http://a/")), kLevelDone);
    EXPECT_EQ(ui.shown.size(), 3U) << "no shortcut question once the file is gone";
    EXPECT_EQ(stored("http://a/").position, 0);
    EXPECT_TRUE(keywordLocations().empty());
}

} // namespace
} // namespace tessaly
