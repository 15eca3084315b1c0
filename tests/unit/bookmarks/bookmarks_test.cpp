#include "bookmarks/dropped_shortcut.h"
#include "bookmarks/list_actions.h"
#include "bookmarks/list_layout.h"
#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tessaly {
namespace {

struct RecordingOpener final : Opener {
    std::vector<std::string> opened;
    bool succeed = true;
    int open(const std::string& target, const std::string& parameters) override
    {
        opened.push_back(parameters.empty() ? target : target + " | " + parameters);
        return succeed ? kOpenedOk : kOpenNoAssociation;
    }
    bool start(const std::string& /*program*/) override { return false; }
};

class ListActionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        ASSERT_EQ(db.bookmarks().use(), kLevelDone);
        bookmark.setText(BookmarkField::Location, "http://news.example/");
        bookmark.setText(BookmarkField::Description, "Daily News   ");
        bookmark.setText(BookmarkField::Category, "News");
        bookmark.setText(BookmarkField::Keyword, "Paper");
        bookmark.setNumber(BookmarkField::Rating, 7);
        bookmark.setText(BookmarkField::SiteInfo, "/usr/share/doc/readme.txt");
        ASSERT_EQ(db.bookmarks().insert(bookmark), kLevelDone);
    }

    std::int32_t lastVisit()
    {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, "http://news.example/");
        db.bookmarks().fetch(0, r);
        return static_cast<std::int32_t>(r.number(BookmarkField::LastVisit));
    }

    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    Record bookmark{bookmarkTable()};
    RecordingOpener opener;
    bool started = false;
    const LaunchStarter launcher = [this](const std::string& target) {
        started = launch(target, {}, opener, ui);
    };
    const std::int32_t today = dates::dayNumber(2026, 12, 7);
};

TEST_F(ListActionsTest, CopyTextPerChoice)
{
    EXPECT_EQ(actionText("URL", bookmark), "http://news.example/");
    EXPECT_EQ(actionText("Description", bookmark), "Daily News");
    EXPECT_EQ(actionText("Category", bookmark), "News");
    EXPECT_EQ(actionText("Keyword", bookmark), "Paper");
    EXPECT_EQ(actionText("Rating", bookmark), "7");
    EXPECT_EQ(actionText("Site Information", bookmark), "/usr/share/doc/readme.txt");
    EXPECT_EQ(actionText("URL", Record{bookmarkTable()}), "") << "an empty list copies nothing";
}

TEST_F(ListActionsTest, LaunchingTheUrlRecordsTheVisitEvenWhenItFails)
{
    EXPECT_TRUE(launchAction("URL", bookmark, db.bookmarks(), today, launcher, ui));
    EXPECT_TRUE(started);
    EXPECT_EQ(opener.opened, (std::vector<std::string>{"http://news.example/"}));
    EXPECT_EQ(lastVisit(), today);

    opener.succeed = false;
    EXPECT_TRUE(launchAction("URL", bookmark, db.bookmarks(), today + 1, launcher, ui));
    EXPECT_FALSE(started);
    EXPECT_EQ(ui.last().text, "Could not start http://news.example/.");
    EXPECT_EQ(lastVisit(), today + 1);
}

TEST_F(ListActionsTest, LaunchingOtherFieldsRecordsNoVisit)
{
    EXPECT_TRUE(launchAction("Site Information", bookmark, db.bookmarks(), today, launcher, ui));
    EXPECT_TRUE(launchAction("Description", bookmark, db.bookmarks(), today, launcher, ui));
    EXPECT_EQ(opener.opened, (std::vector<std::string>{"/usr/share/doc/readme.txt", "Daily News"}));
    EXPECT_EQ(lastVisit(), 0);
}

TEST_F(ListActionsTest, CategoryKeywordAndRatingCannotBeLaunched)
{
    for (const char* choice : {"Category", "Keyword", "Rating"}) {
        EXPECT_FALSE(launchAction(choice, bookmark, db.bookmarks(), today, launcher, ui));
        EXPECT_EQ(ui.last().title, "Error");
        EXPECT_EQ(ui.last().text, std::string{"No program associated with "} + choice + ".");
    }
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_EQ(lastVisit(), 0);
}

class DroppedShortcutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        ::mkdir(folder.file("Favorites").c_str(), 0700);
        ::mkdir(folder.file("Favorites/News").c_str(), 0700);
        ::mkdir(folder.file("elsewhere").c_str(), 0700);
    }

    std::string shortcut(const std::string& name, const std::string& url)
    {
        return folder.write(name, "[InternetShortcut]\r\nURL=" + url + "\r\nIconIndex=0\r\n");
    }

    test::TempFolder folder;
    test::TempFolder data;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, data.path()};
};

TEST_F(DroppedShortcutTest, TheFolderBelowFavoritesIsTheCategory)
{
    const std::string favorites = folder.file("Favorites");
    DroppedShortcut s =
        readDroppedShortcut(shortcut("Favorites/News/Daily.url", "http://daily/"), favorites);
    EXPECT_EQ(s.location, "http://daily/");
    EXPECT_EQ(s.category, "News");
    EXPECT_EQ(s.description, "Daily.url");

    s = readDroppedShortcut(shortcut("Favorites/Daily.url", "http://daily/"), favorites);
    EXPECT_EQ(s.category, "Internet Explorer");
    EXPECT_EQ(s.description, "Daily.url");

    const std::string outside = shortcut("elsewhere/Other.URL", "http://other/");
    s = readDroppedShortcut(outside, favorites);
    const std::string relative = outside.substr(1);
    EXPECT_EQ(s.category, relative.substr(0, relative.find('/'))) << "the first component";
    EXPECT_EQ(s.description, relative.substr(relative.find('/') + 1));
}

TEST_F(DroppedShortcutTest, OnlyShortcutsWithATargetCount)
{
    EXPECT_TRUE(
        readDroppedShortcut(folder.write("notes.txt", "[InternetShortcut]\nURL=http://x/\n"), "")
            .location.empty());
    EXPECT_TRUE(readDroppedShortcut(shortcut("Empty.url", ""), "").location.empty());
    EXPECT_FALSE(addDroppedShortcut({}, db));
}

TEST_F(DroppedShortcutTest, AddsTheCategoryAndTheBookmarkOnceAndSilently)
{
    const DroppedShortcut s{"http://daily/", "Daily.url", "News"};
    EXPECT_TRUE(addDroppedShortcut(s, db));
    EXPECT_FALSE(addDroppedShortcut(s, db)) << "a stored location is not added again";
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_TRUE(db.categoryExists("News"));
    ASSERT_EQ(db.bookmarks().use(), kLevelDone);
    EXPECT_EQ(db.bookmarks().file().records(), 1);
}

TEST(ListLayout, ASavedLayoutHoldsOnlyAgainstTheSameBuiltInFormat)
{
    EXPECT_EQ(chooseLayout("v2", std::nullopt, std::nullopt).apply, "v2");
    EXPECT_TRUE(chooseLayout("v2", std::nullopt, std::nullopt).recordOriginal);
    const LayoutChoice kept = chooseLayout("v2", std::string{"v2"}, std::string{"mine"});
    EXPECT_EQ(kept.apply, "mine");
    EXPECT_FALSE(kept.recordOriginal);
    const LayoutChoice stale = chooseLayout("v3", std::string{"v2"}, std::string{"mine"});
    EXPECT_EQ(stale.apply, "v3");
    EXPECT_TRUE(stale.recordOriginal);
    EXPECT_EQ(chooseLayout("v2", std::string{"v2"}, std::nullopt).apply, "v2");
}

} // namespace
} // namespace tessaly
