// The three-way merge of a sync against a file held in memory the way the
// server holds it: the plan changes nothing, the commit makes Tessaly's side.
#include "core/file_version.h"
#include "core/tables.h"
#include "sync/bookmark_sync.h"

#include "scripted_ui.h"
#include "stored_bookmark.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <functional>
#include <initializer_list>

namespace tessaly {
namespace {

using test::storedBookmark;

// Written the way the browsers' sync extension writes the file.
const std::string kBrowsers = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE xbel PUBLIC "+//IDN python.org//DTD XML Bookmark Exchange Language 1.0//EN//XML" "http://pyxml.sourceforge.net/topics/dtds/xbel.dtd">
<xbel version="1.0">
<!--- highestId :9: for Floccus bookmark sync browser extension -->
<folder id="1"><title>Bookmarks bar</title><bookmark href="https://a.example/" id="2"><title>Site A</title></bookmark><folder id="3"><title>Work</title><bookmark href="https://b.example/" id="4"><title>Site B</title><info><metadata owner="other"/></info></bookmark></folder></folder><folder id="5"><title>Other</title><bookmark href="https://c.example/" id="6"><title>Site C</title></bookmark></folder>
</xbel>)";

class BookmarkSyncTest : public ::testing::Test {
protected:
    void SetUp() override { FileVersionLayer::instance().registerDatabaseFiles(); }

    // One sync: the plan, the write of the file when it asks for one, and
    // the commit. `commit` false stops after the write, as a kill would.
    // What a sync would do (--dry-run): the plan alone, nothing written.
    SyncPlan dryRun()
    {
        SyncPlan plan;
        std::string error;
        const ServerFile file{!server.empty(), server, etag, fileTime};
        EXPECT_TRUE(planSync(db, "test", file, {fileTime, tessalyTime}, plan, error)) << error;
        return plan;
    }

    SyncPlan sync(bool commit = true)
    {
        SyncPlan plan;
        std::string error;
        const ServerFile file{!server.empty(), server, etag, fileTime};
        EXPECT_TRUE(planSync(db, "test", file, {fileTime, tessalyTime}, plan, error)) << error;
        if (plan.writeFile) {
            server = plan.newFile;
            etag = "\"" + std::to_string(++writes) + "\"";
        }
        if (commit) {
            EXPECT_TRUE(commitSync(db, plan, etag, error)) << error;
        }
        return plan;
    }

    void add(std::string_view location, std::string_view description, std::string_view category)
    {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Description, description);
        r.setText(BookmarkField::Category, category);
        r.setText(BookmarkField::Comments, "my own note");
        r.setNumber(BookmarkField::Rating, 7);
        ASSERT_EQ(db.addBookmarkWithCategory(r), 0);
    }

    void edit(std::string_view location, const std::function<void(Record&)>& change)
    {
        db.bookmarks().use();
        db.bookmarkRelations().open();
        Record before{bookmarkTable()};
        before.setText(BookmarkField::Location, location);
        ASSERT_EQ(db.bookmarks().fetch(static_cast<int>(BookmarkKey::Location), before), 0);
        Record after = before;
        if (change) {
            change(after);
            EXPECT_EQ(db.bookmarkRelations().update(before, after), 0);
        } else {
            EXPECT_EQ(db.bookmarkRelations().remove(before), 0);
        }
        db.bookmarkRelations().close();
        db.bookmarks().close();
    }

    // "description|category" of a stored bookmark, "-" when there is none.
    std::string stored(std::string_view location)
    {
        const Record r = storedBookmark(db, location);
        return r.position == 0
                   ? "-"
                   : r.text(BookmarkField::Description) + "|" + r.text(BookmarkField::Category);
    }

    // A file as another program makes it anew: one folder "News" holding
    // `bookmarks` (address, title), numbered from the start.
    static std::string
    newsFile(std::initializer_list<std::pair<std::string_view, std::string_view>> bookmarks)
    {
        XbelDocument made = XbelDocument::empty();
        const int news = made.addFolder("News");
        for (const auto& [href, title] : bookmarks) {
            made.addBookmark(news, href, title);
        }
        return made.serialize();
    }

    // The file's bookmark of an address: "title|folder path".
    std::string inFile(std::string_view href)
    {
        std::string error;
        const auto document = XbelDocument::parse(server, error);
        EXPECT_TRUE(document) << error;
        for (std::size_t i = 0; document && i < document->items().size(); ++i) {
            const auto& item = document->items()[i];
            if (!item.folder && item.href == href) {
                std::string path;
                for (const std::string& title : document->folderPath(static_cast<int>(i))) {
                    path += "/" + title;
                }
                return item.title + "|" + path;
            }
        }
        return "-";
    }

    void replaceInFile(std::string_view from, std::string_view to)
    {
        const std::size_t at = server.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        server.replace(at, from.size(), to);
        etag = "\"other\"";
    }

    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    std::string server = kBrowsers;
    std::string etag = "\"0\"";
    int writes = 0;
    std::int64_t fileTime = 1000;
    std::int64_t tessalyTime = 500;
};

TEST_F(BookmarkSyncTest, FirstSyncBringsEachSideTheOthersBookmarks)
{
    add("https://mine.example/", "Mine", "Reading");
    add("https://work.example/", "Work thing", "Work");
    const SyncPlan plan = sync();
    EXPECT_EQ(stored("https://a.example/"), "Site A|Bookmarks bar");
    EXPECT_EQ(stored("https://b.example/"), "Site B|Work");
    EXPECT_EQ(stored("https://c.example/"), "Site C|Other");
    // Into the first folder of the category's name, else a new one at the top.
    EXPECT_EQ(inFile("https://work.example/"), "Work thing|/Bookmarks bar/Work");
    EXPECT_EQ(inFile("https://mine.example/"), "Mine|/Reading");
    EXPECT_EQ(plan.account.addedToTessaly, 3);
    EXPECT_EQ(plan.account.addedToFile, 2);
    EXPECT_TRUE(server.starts_with(std::string{XbelDocument::kDeclaration} + "\n<!DOCTYPE xbel"));
    EXPECT_NE(server.find("<!--- highestId :12: for Floccus bookmark sync browser extension -->"),
              std::string::npos);
    EXPECT_NE(server.find("<info><metadata owner=\"other\"/></info>"), std::string::npos);
    EXPECT_EQ(describeAccount(plan.account),
              "File: 2 added, 0 changed, 0 deleted. Tessaly: 3 added, 0 changed, 0 deleted. "
              "Conflicts: 0.\n");

    // Nothing changed since: nothing is written on either side.
    const std::string before = server;
    const SyncPlan again = sync();
    EXPECT_FALSE(again.writeFile);
    EXPECT_TRUE(again.nothingToCommit);
    EXPECT_EQ(describePlan(again), "Nothing would change on either side.\n");
    EXPECT_EQ(server, before);
}

TEST_F(BookmarkSyncTest, ChangesOnEachSideReachTheOther)
{
    add("https://mine.example/", "Mine", "Reading");
    sync();
    // In the file: a title, an address and a folder; in Tessaly: a title and
    // a category.
    replaceInFile("<title>Site A</title>", "<title>Site A, renamed</title>");
    replaceInFile("https://c.example/", "https://c2.example/");
    replaceInFile("https://mine.example/", "https://mine2.example/");
    edit("https://b.example/", [](Record& r) { r.setText(BookmarkField::Category, "Other"); });
    edit("https://mine.example/",
         [](Record& r) { r.setText(BookmarkField::Description, "Mine & yours"); });
    const SyncPlan plan = sync();
    EXPECT_EQ(stored("https://a.example/"), "Site A, renamed|Bookmarks bar");
    EXPECT_EQ(stored("https://c.example/"), "-");
    EXPECT_EQ(stored("https://c2.example/"), "Site C|Other");
    EXPECT_EQ(inFile("https://b.example/"), "Site B|/Other");
    // The address from the file and the title from Tessaly: both made.
    EXPECT_EQ(stored("https://mine2.example/"), "Mine & yours|Reading");
    EXPECT_EQ(inFile("https://mine2.example/"), "Mine & yours|/Reading");
    EXPECT_EQ(plan.account.changedInTessaly, 3);
    EXPECT_EQ(plan.account.changedInFile, 2);
    EXPECT_TRUE(plan.account.conflicts.empty());
    // What the file has no place for stays in Tessaly.
    const Record kept = storedBookmark(db, "https://mine2.example/");
    EXPECT_EQ(kept.text(BookmarkField::Comments), "my own note");
    // The moved bookmark keeps its id and what the file held of it.
    EXPECT_NE(server.find("<bookmark href=\"https://b.example/\" id=\"4\"><title>Site "
                          "B</title><info><metadata owner=\"other\"/></info></bookmark>"),
              std::string::npos);
    EXPECT_EQ(describePlan(plan).substr(0, 52),
              "Tessaly: change title of \"Site A, renamed\" <https://");
}

TEST_F(BookmarkSyncTest, DeletionsReachTheOtherSideUnlessChangedThere)
{
    sync();
    replaceInFile(
        R"(<folder id="5"><title>Other</title><bookmark href="https://c.example/" id="6"><title>Site C</title></bookmark></folder>)",
        R"(<folder id="5"><title>Other</title></folder>)");
    edit("https://a.example/", nullptr);
    const SyncPlan plan = sync();
    EXPECT_EQ(stored("https://c.example/"), "-");
    EXPECT_EQ(inFile("https://a.example/"), "-");
    EXPECT_EQ(plan.account.deletedFromTessaly, 1);
    EXPECT_EQ(plan.account.deletedFromFile, 1);

    // Deleted in Tessaly while renamed in the file: the change comes back.
    replaceInFile("<title>Site B</title>", "<title>Site B again</title>");
    edit("https://b.example/", nullptr);
    const SyncPlan back = sync();
    EXPECT_EQ(stored("https://b.example/"), "Site B again|Work");
    ASSERT_EQ(back.account.conflicts.size(), 1U);
    EXPECT_EQ(describeAccount(back.account).substr(describeAccount(back.account).find('\n') + 1),
              "Conflict: \"Site B again\" <https://b.example/>: deleted in Tessaly, changed in "
              "the file; the change was kept.\n");
}

TEST_F(BookmarkSyncTest, ChangedOnBothSidesTheLaterChangeWins)
{
    sync();
    replaceInFile("<title>Site A</title>", "<title>From the browser</title>");
    edit("https://a.example/",
         [](Record& r) { r.setText(BookmarkField::Description, "From Tessaly"); });
    fileTime = 3000;
    tessalyTime = 2000;
    const SyncPlan plan = sync();
    EXPECT_EQ(stored("https://a.example/"), "From the browser|Bookmarks bar");
    ASSERT_EQ(plan.account.conflicts.size(), 1U);
    EXPECT_EQ(plan.account.conflicts[0].winner, SyncSide::File);

    replaceInFile("<title>From the browser</title>", "<title>Browser again</title>");
    edit("https://a.example/", [](Record& r) { r.setText(BookmarkField::Description, "Mine"); });
    tessalyTime = 4000;
    const SyncPlan later = sync();
    EXPECT_EQ(inFile("https://a.example/"), "Mine|/Bookmarks bar");
    EXPECT_EQ(describeAccount(later.account),
              "File: 0 added, 1 changed, 0 deleted. Tessaly: 0 added, 0 changed, 0 deleted. "
              "Conflicts: 1.\nConflict: \"Mine\" <https://a.example/>: title changed on both "
              "sides; Tessaly's change, made last, won.\n");
}

TEST_F(BookmarkSyncTest, KillBetweenTheWriteAndTheCommitIsHealedByTheNextSync)
{
    add("https://mine.example/", "Mine", "Reading");
    sync();
    replaceInFile("<title>Site C</title>", "<title>Site C, renamed</title>");
    edit("https://mine.example/",
         [](Record& r) { r.setText(BookmarkField::Description, "Mine, renamed"); });
    add("https://new.example/", "New", "Work");
    edit("https://a.example/", nullptr);
    const SyncPlan killed = sync(false);
    ASSERT_TRUE(killed.writeFile);
    EXPECT_EQ(stored("https://c.example/"), "Site C|Other"); // the commit never happened

    tessalyTime = 9000; // whichever side counts as later, nothing conflicts
    const SyncPlan healed = sync();
    EXPECT_TRUE(healed.account.conflicts.empty());
    EXPECT_FALSE(healed.writeFile);
    EXPECT_EQ(stored("https://c.example/"), "Site C, renamed|Other");
    EXPECT_EQ(inFile("https://new.example/"), "New|/Bookmarks bar/Work");
    EXPECT_EQ(inFile("https://mine.example/"), "Mine, renamed|/Reading");
    EXPECT_EQ(inFile("https://a.example/"), "-");
    EXPECT_TRUE(sync().nothingToCommit);
}

TEST_F(BookmarkSyncTest, AnAddressTwiceInTheFileIsStoredOnceAndNeverBlocksTheCommit)
{
    // Browsers keep one address in several folders; Tessaly keeps it once.
    replaceInFile(R"(<title>Site C</title></bookmark>)",
                  R"(<title>Site C</title></bookmark><bookmark href="https://new.example/" id="7">)"
                  R"(<title>New</title></bookmark><bookmark href="https://NEW.example/" id="8">)"
                  R"(<title>New again</title></bookmark>)");
    const SyncPlan first = sync();
    EXPECT_EQ(first.account.addedToTessaly, 4);
    EXPECT_EQ(stored("https://new.example/"), "New|Other");
    EXPECT_TRUE(sync().nothingToCommit);

    // An address changed in the file to one another bookmark has: Tessaly
    // keeps its own address, says so, and the sync still completes.
    replaceInFile("https://a.example/", "https://b.example/");
    replaceInFile("<title>Site A</title>", "<title>Site A2</title>");
    const SyncPlan taken = sync();
    EXPECT_EQ(stored("https://a.example/"), "Site A2|Bookmarks bar");
    EXPECT_EQ(stored("https://b.example/"), "Site B|Work");
    ASSERT_EQ(taken.account.conflicts.size(), 1U);
    EXPECT_EQ(taken.account.conflicts[0].what, "address (another bookmark has it)");
}

TEST_F(BookmarkSyncTest, NoFileOnTheServerIsMadeAndDamagedOneChangesNothing)
{
    add("https://mine.example/", "Mine", "");
    server.clear();
    sync();
    EXPECT_EQ(inFile("https://mine.example/"), "Mine|");

    server = "<xbel><folder>";
    SyncPlan plan;
    std::string error;
    EXPECT_FALSE(planSync(db, "test", {true, server, "x", 0}, {}, plan, error));
    EXPECT_EQ(error.substr(0, 21), "The file is damaged: ");
    EXPECT_EQ(stored("https://mine.example/"), "Mine|");
}

} // namespace
} // namespace tessaly

namespace tessaly {
namespace {

TEST_F(BookmarkSyncTest, AFileGoneFromTheServerIsMadeAnewAndDeletesNothing)
{
    add("https://mine.example/", "Mine", "Reading");
    sync();
    server.clear(); // someone deleted the file on the server
    const SyncPlan dry = dryRun();
    EXPECT_EQ(dry.account.deletedFromTessaly, 0);
    EXPECT_NE(describePlan(dry).find("The file is not on the server: it would be made anew from "
                                     "Tessaly's bookmarks; nothing would be deleted in Tessaly.\n"),
              std::string::npos)
        << describePlan(dry);

    const SyncPlan plan = sync();
    EXPECT_EQ(describeAccount(plan.account),
              "File: 4 added, 0 changed, 0 deleted. Tessaly: 0 added, 0 changed, 0 deleted. "
              "Conflicts: 0.\nThe file was not on the server: it was made anew from Tessaly's "
              "bookmarks; nothing was deleted in Tessaly.\n");
    EXPECT_EQ(stored("https://a.example/"), "Site A|Bookmarks bar");
    EXPECT_EQ(stored("https://mine.example/"), "Mine|Reading");
    EXPECT_EQ(inFile("https://a.example/"), "Site A|/Bookmarks bar");
    EXPECT_EQ(inFile("https://mine.example/"), "Mine|/Reading");
    // The state of the old file was replaced: the new one is in step.
    EXPECT_TRUE(sync().nothingToCommit);
}

TEST_F(BookmarkSyncTest, AFileEmptiedInTheBrowsersSaysWhatItDeleted)
{
    sync();
    server = XbelDocument::empty().serialize();
    const SyncPlan plan = sync();
    EXPECT_EQ(stored("https://a.example/"), "-");
    EXPECT_EQ(describeAccount(plan.account),
              "File: 0 added, 0 changed, 0 deleted. Tessaly: 0 added, 0 changed, 3 deleted. "
              "Conflicts: 0.\nDeleted in Tessaly: \"Site A\" <https://a.example/>\n"
              "Deleted in Tessaly: \"Site B\" <https://b.example/>\n"
              "Deleted in Tessaly: \"Site C\" <https://c.example/>\n");
}

// Made anew elsewhere, then given our bookmarks back by another Tessaly:
// it holds our addresses under new ids, one of ours now naming another
// bookmark. Matching by those ids would overwrite and drop ours.
TEST_F(BookmarkSyncTest, AFileWhoseIdsWereGivenAnewIsSyncedAsAtAFirstSync)
{
    server.clear();
    add("https://a.example/1", "A one", "News");
    add("https://a.example/2", "A two", "News");
    sync();
    server = newsFile({{"https://c.example/1", "C one"},
                       {"https://a.example/1", "A one"},
                       {"https://a.example/2", "A two"}});
    etag = "\"renumbered\"";
    const SyncPlan plan = sync();
    EXPECT_TRUE(plan.account.otherFile);
    EXPECT_EQ(stored("https://a.example/1"), "A one|News");
    EXPECT_EQ(stored("https://a.example/2"), "A two|News");
    EXPECT_EQ(stored("https://c.example/1"), "C one|News");
    EXPECT_EQ(inFile("https://a.example/1"), "A one|/News");
    EXPECT_EQ(inFile("https://a.example/2"), "A two|/News");
    EXPECT_TRUE(sync().nothingToCommit);
}

// The file was deleted on the server and another Tessaly made it anew: its
// ids start again, so its bookmark has the id this side's state holds for
// ours. It is another file, not a change of ours: both bookmarks are kept.
TEST_F(BookmarkSyncTest, AFileMadeAnewByAnotherProgramIsSyncedAsAtAFirstSync)
{
    server.clear();
    add("https://a.example/mine", "Mine", "News");
    sync();
    ASSERT_EQ(server, newsFile({{"https://a.example/mine", "Mine"}}));
    server = newsFile({{"https://b.example/theirs", "Theirs"}});
    etag = "\"theirs\"";

    const SyncPlan dry = dryRun();
    EXPECT_NE(describePlan(dry).find("so it is another file: it would be synchronised as at a "
                                     "first sync; nothing would be deleted in Tessaly.\n"),
              std::string::npos)
        << describePlan(dry);
    const SyncPlan plan = sync();
    EXPECT_EQ(describeAccount(plan.account),
              "File: 1 added, 0 changed, 0 deleted. Tessaly: 1 added, 0 changed, 0 deleted. "
              "Conflicts: 0.\nThe file on the server is not the one synchronised last time (it "
              "holds none of its bookmarks, or numbers them anew), so it is another file: it was "
              "synchronised as at a first sync; nothing was deleted in Tessaly.\n");
    EXPECT_EQ(stored("https://a.example/mine"), "Mine|News");
    EXPECT_EQ(stored("https://b.example/theirs"), "Theirs|News");
    EXPECT_EQ(inFile("https://a.example/mine"), "Mine|/News");
    EXPECT_EQ(inFile("https://b.example/theirs"), "Theirs|/News");
    EXPECT_TRUE(sync().nothingToCommit);

    // A browser deletes one and writes the other's address in other
    // letters: the same file, and what it lost is deleted here.
    std::string error;
    auto browsers = XbelDocument::parse(server, error);
    ASSERT_TRUE(browsers) << error;
    for (std::size_t i = 0; i < browsers->items().size(); ++i) {
        const int item = static_cast<int>(i);
        if (browsers->items()[i].href == "https://b.example/theirs") {
            browsers->remove(item);
        } else if (!browsers->items()[i].folder) {
            browsers->setHref(item, "HTTPS://A.EXAMPLE/mine");
        }
    }
    server = browsers->serialize();
    etag = "\"kept one\"";
    const SyncPlan kept = sync();
    EXPECT_FALSE(kept.account.otherFile);
    EXPECT_EQ(kept.account.deletedFromTessaly, 1);
    EXPECT_EQ(stored("https://b.example/theirs"), "-");
}

// The bookmark database keys addresses without regard to letter case, so
// the file's http://h/Page and http://h/page are one bookmark in Tessaly.
class SyncOfAnAddressHeldAlreadyTest : public BookmarkSyncTest {
protected:
    void SetUp() override
    {
        BookmarkSyncTest::SetUp();
        replaceInFile(R"(<title>Site C</title></bookmark>)",
                      R"(<title>Site C</title></bookmark><bookmark href="http://h/Page" id="7">)"
                      R"(<title>Upper</title></bookmark><bookmark href="http://h/page" id="8">)"
                      R"(<title>Lower</title></bookmark>)");
    }
};

TEST_F(SyncOfAnAddressHeldAlreadyTest, IsNamedAndNeverDeletedForTheOther)
{
    replaceInFile(R"(<title>Lower</title></bookmark>)",
                  R"(<title>Lower</title></bookmark><bookmark href="https://a.example/" )"
                  R"(id="9"><title>A again</title></bookmark>)");
    const SyncPlan first = sync();
    EXPECT_EQ(first.account.addedToTessaly, 4);
    EXPECT_EQ(describeAccount(first.account),
              "File: 0 added, 0 changed, 0 deleted. Tessaly: 4 added, 0 changed, 0 deleted. "
              "Conflicts: 0.\nNot stored in Tessaly, their address being held already: 2.\n"
              "  \"Lower\" <http://h/page>\n  \"A again\" <https://a.example/>\n");

    edit("http://h/Page", nullptr);
    edit("https://a.example/", nullptr);
    const SyncPlan deleted = sync();
    EXPECT_EQ(deleted.account.deletedFromFile, 2);
    EXPECT_NE(server.find("http://h/page"), std::string::npos);
    EXPECT_EQ(server.find("http://h/Page"), std::string::npos);
    EXPECT_EQ(inFile("https://a.example/"), "A again|/Other");
    // What stays in the file stays out of Tessaly, and is not named again.
    EXPECT_EQ(stored("http://h/page"), "-");
    EXPECT_EQ(describeAccount(sync().account),
              "File: 0 added, 0 changed, 0 deleted. Tessaly: 0 added, 0 changed, 0 deleted. "
              "Conflicts: 0.\n");
}

// A state left before links were recorded: deleting the one bookmark
// Tessaly kept deletes neither of the file's, as it cannot tell which.
TEST_F(SyncOfAnAddressHeldAlreadyTest, InAStateWithoutLinksNoBookmarkOfTheFileIsDeletedForAnother)
{
    sync();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open((folder.path() + "/URLDATA.tps").c_str(), &raw), SQLITE_OK);
    EXPECT_EQ(
        sqlite3_exec(raw, "ALTER TABLE SyncState DROP COLUMN Linked", nullptr, nullptr, nullptr),
        SQLITE_OK)
        << sqlite3_errmsg(raw);
    sqlite3_close(raw);

    edit("http://h/Page", nullptr);
    edit("https://a.example/", nullptr);
    const SyncPlan plan = sync();
    EXPECT_EQ(plan.account.deletedFromFile, 1);
    EXPECT_EQ(inFile("https://a.example/"), "-");
    EXPECT_EQ(inFile("http://h/Page"), "Upper|/Other");
    EXPECT_EQ(inFile("http://h/page"), "Lower|/Other");
    // The links are recorded again, and nothing more comes of them.
    EXPECT_TRUE(sync().nothingToCommit);
}

TEST_F(BookmarkSyncTest, ASyncWithNothingChangedWritesNothingWhateverTheTextHeld)
{
    // Characters the file cannot hold, blanks around the title, no title.
    add("https://u\x02rl.example/", "Con\x02trol",
        "Fold\x03"
        "er");
    add("https://blank.example/", "", "");
    add("https://spaced.example/", "  Spaced", "");
    const SyncPlan first = sync();
    EXPECT_EQ(first.account.addedToFile, 3);
    const std::string written = server;
    const SyncPlan again = sync();
    EXPECT_EQ(describePlan(again), "Nothing would change on either side.\n");
    EXPECT_TRUE(again.nothingToCommit);
    EXPECT_EQ(server, written);
    EXPECT_EQ(stored("https://u\x02rl.example/"), "Con\x02trol|Fold\x03"
                                                  "er");

    // A change made in the file after all reaches Tessaly as before.
    replaceInFile("<title>Control</title>", "<title>Controlled</title>");
    const SyncPlan changed = sync();
    EXPECT_EQ(changed.account.changedInTessaly, 1);
    EXPECT_EQ(stored("https://u\x02rl.example/"), "Controlled|Fold\x03"
                                                  "er");
    EXPECT_TRUE(sync().nothingToCommit);
}

} // namespace
} // namespace tessaly
