// Bad files and interrupted work: nothing stored may be lost, and every
// failure must say what went wrong.
#include "core/database.h"
#include "core/file_version.h"
#include "core/sqlite.h"
#include "core/tables.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessaly {
namespace {

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        MessageManager::clearContext();
    }

    // Fills the folder with `count` bookmarks in category `category`, each
    // with one keyword and one detail row.
    void fill(const std::string& path, int count, std::string_view category = "A")
    {
        test::ScriptedUi ui;
        MessageManager messages{ui};
        Database db{messages, path};
        ASSERT_EQ(db.categoryRelations().open(), kLevelDone);
        Record cat{categoryTable()};
        cat.setText(CategoryField::Category, category);
        db.categories().insert(cat);
        db.bookmarks().file().stream();
        for (int i = 0; i < count; ++i) {
            const std::string location = "http://site" + std::to_string(i) + ".example/";
            Record b{bookmarkTable()};
            b.setText(BookmarkField::Location, location);
            b.setText(BookmarkField::Category, category);
            ASSERT_EQ(db.bookmarks().insert(b), kLevelDone);
            Record k{keywordTable()};
            k.setText(KeywordField::Location, location);
            k.setText(KeywordField::Keyword, "kw");
            ASSERT_EQ(db.keywords().insert(k), kLevelDone);
            Record d{detailTable()};
            d.setText(DetailField::Location, location);
            ASSERT_EQ(db.details().insert(d), kLevelDone);
        }
        db.bookmarks().file().flush();
        ASSERT_TRUE(ui.shown.empty());
    }

    // A single number from SQL run through the engine (with its collation).
    static std::int64_t query(Engine& engine, const std::string& sql)
    {
        sql::Statement statement{engine.connection(), sql};
        EngineStatus status;
        return statement.step(status) ? statement.integer(0) : -1;
    }

    // Opens the folder afresh and checks that the files are sound: the
    // integrity check passes and no keyword or detail row is an orphan.
    void expectSound(const std::string& path)
    {
        test::ScriptedUi ui;
        MessageManager messages{ui};
        Database db{messages, path};
        ASSERT_EQ(db.categoryRelations().open(), kLevelDone);
        Engine& engine = db.engine();
        sql::Statement check{engine.connection(), "PRAGMA integrity_check"};
        EngineStatus status;
        ASSERT_TRUE(check.step(status));
        EXPECT_EQ(check.text(0), "ok");
        for (const char* table : {"URLKeywords", "URLDetails"}) {
            EXPECT_EQ(query(engine, std::string{"SELECT count(*) FROM main."} + table +
                                        " r WHERE NOT EXISTS (SELECT 1 FROM main.Locations l "
                                        "WHERE l.Location_nocase = r.Location_nocase)"),
                      0)
                << table;
        }
    }

    static std::int64_t count(const std::string& path, const std::string& sql)
    {
        test::ScriptedUi ui;
        MessageManager messages{ui};
        Database db{messages, path};
        db.categoryRelations().open();
        return query(db.engine(), sql);
    }

    // Runs `work` in a child process and kills it after `delayMs`.
    template <typename Work> static void killDuring(int delayMs, Work work)
    {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            work();
            std::_Exit(0);
        }
        ::usleep(static_cast<useconds_t>(delayMs) * 1000);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
    }

    test::TempFolder folder;
};

TEST_F(FaultTest, AKilledGroupedWriteLeavesTheStateBeforeIt)
{
    fill(folder.path(), 100);
    for (const int delay : {30, 120, 400}) {
        killDuring(delay, [&] {
            test::ScriptedUi ui;
            MessageManager messages{ui};
            Database db{messages, folder.path()};
            db.bookmarkRelations().open();
            db.bookmarks().file().stream();
            for (int i = 0; i < 1000000; ++i) {
                Record b{bookmarkTable()};
                b.setText(BookmarkField::Location, "http://new" + std::to_string(i) + "/");
                db.bookmarks().insert(b);
                Record k{keywordTable()};
                k.setText(KeywordField::Location, "http://new" + std::to_string(i) + "/");
                db.keywords().insert(k);
            }
            db.bookmarks().file().flush();
        });
        expectSound(folder.path());
        EXPECT_EQ(count(folder.path(), "SELECT count(*) FROM main.Locations"), 100);
        EXPECT_EQ(count(folder.path(), "SELECT count(*) FROM main.URLKeywords"), 100);
    }
}

TEST_F(FaultTest, AKilledCascadeLeavesTheOldStateOrTheNew)
{
    fill(folder.path(), 3000);
    for (const int delay : {40, 90, 200, 350}) {
        killDuring(delay, [&] {
            test::ScriptedUi ui;
            MessageManager messages{ui};
            Database db{messages, folder.path()};
            db.categoryRelations().open();
            for (int round = 0;; ++round) {
                Record category{categoryTable()};
                category.setText(CategoryField::Category, round % 2 == 0 ? "A" : "B");
                if (db.categories().tryFetch(0, category) != kLevelDone) {
                    category.setText(CategoryField::Category, round % 2 == 0 ? "B" : "A");
                    db.categories().tryFetch(0, category);
                }
                Record renamed = category;
                renamed.setText(CategoryField::Category, category.text(0) == "A" ? "B" : "A");
                db.categoryRelations().update(category, renamed);
            }
        });
        expectSound(folder.path());
        const auto inA =
            count(folder.path(), "SELECT count(*) FROM main.Locations WHERE Category='A'");
        const auto inB =
            count(folder.path(), "SELECT count(*) FROM main.Locations WHERE Category='B'");
        EXPECT_TRUE((inA == 3000 && inB == 0) || (inA == 0 && inB == 3000)) << inA << " " << inB;
        const auto categories = count(folder.path(), "SELECT count(*) FROM c1.Categories");
        EXPECT_EQ(categories, 1);
    }
    // A delete cascade killed half-way removes everything or nothing.
    killDuring(60, [&] {
        test::ScriptedUi ui;
        MessageManager messages{ui};
        Database db{messages, folder.path()};
        db.categoryRelations().open();
        Record category{categoryTable()};
        db.categories().file().set(0);
        if (db.categories().file().next(category).ok()) {
            db.categoryRelations().remove(category);
        }
    });
    expectSound(folder.path());
    const auto left = count(folder.path(), "SELECT count(*) FROM main.Locations");
    EXPECT_TRUE(left == 3000 || left == 0) << left;
}

TEST_F(FaultTest, ATruncatedDatabaseEndsCleanlyWithoutBeingTouched)
{
    fill(folder.path(), 2000);
    const std::string whole = folder.read("URLDATA.tps");
    const std::string half = whole.substr(0, whole.size() / 2);
    folder.write("URLDATA.tps", half);
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    try {
        db.bookmarks().open();
        Record r{bookmarkTable()};
        db.bookmarks().file().set(0);
        while (db.bookmarks().file().next(r).ok()) {
        }
        EXPECT_NE(db.bookmarks().file().status().code, kNoMoreRecords)
            << "a scan of a truncated file must report the damage";
    } catch (const test::HaltRequested&) {
        ASSERT_FALSE(ui.shown.empty());
        EXPECT_TRUE(ui.last().text.ends_with("Press OK to end this application"));
    }
    db.closeAll();
    EXPECT_EQ(folder.read("URLDATA.tps").size(), half.size());
}

TEST_F(FaultTest, RandomBytesAsADatabaseNeverCrashAndAreNeverOverwritten)
{
    std::mt19937 random{99};
    fill(folder.path(), 20);
    const std::string valid = folder.read("URLDATA.tps");
    for (int round = 0; round < 150; ++round) {
        std::string bytes;
        if (round % 2 == 0) {
            bytes.resize(random() % 8192);
            for (char& c : bytes) {
                c = static_cast<char>(random());
            }
        } else {
            bytes = valid; // a real file with a few bytes changed
            for (int i = 0; i < 8; ++i) {
                bytes[random() % bytes.size()] = static_cast<char>(random());
            }
        }
        test::TempFolder scratch;
        scratch.write("URLDATA.tps", bytes);
        Engine engine{scratch.path()};
        RecordFile bookmarks{engine, bookmarkTable()};
        const EngineStatus status = bookmarks.open(kAccessReadOnly);
        if (status.ok()) {
            Record r{bookmarkTable()};
            bookmarks.set(0);
            while (bookmarks.next(r).ok()) {
            }
        }
        bookmarks.close();
        engine.close();
        EXPECT_EQ(scratch.read("URLDATA.tps"), bytes) << "round " << round;
    }
}

// Runs `body` in a child process whose data folder is a small tmpfs of its
// own (root, in a private mount namespace) and returns its exit code; -1
// when this machine cannot give a process its own mounts.
template <typename Body> int inPrivateMount(const std::string& path, const char* options, Body body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", path.c_str(), "tmpfs", 0, options) != 0) {
            std::_Exit(99);
        }
        std::_Exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 98;
    return code == 99 ? -1 : code;
}

TEST_F(FaultTest, AFullDiskFailsTheWriteWithTheSystemsWordsAndKeepsWhatWasStored)
{
    const int code = inPrivateMount(folder.path(), "size=160k", [&]() -> int {
        test::ScriptedUi ui;
        MessageManager messages{ui};
        Database db{messages, folder.path()};
        if (db.bookmarkRelations().open() != kLevelDone) {
            return 10;
        }
        int stored = 0;
        for (int i = 0; i < 100000; ++i) {
            Record b{bookmarkTable()};
            b.setText(BookmarkField::Location, "http://site" + std::to_string(i) + "/");
            b.setText(BookmarkField::SiteInfo, std::string(1500, 'i'));
            if (db.bookmarks().insert(b) != kLevelDone) {
                break;
            }
            ++stored;
        }
        if (stored == 100000 || ui.shown.empty()) {
            return 11; // the disk never filled, or nobody was told
        }
        if (ui.last().title != "Record Insert Error" ||
            ui.last().text.find("No space left on device (28)") == std::string::npos) {
            std::fprintf(stderr, "%s: %s\n", ui.last().title.c_str(), ui.last().text.c_str());
            return 12;
        }
        db.closeAll();
        Database again{messages, folder.path()};
        if (again.bookmarks().open() != kLevelDone) {
            return 13;
        }
        return again.bookmarks().file().records() == stored ? 0 : 14;
    });
    if (code < 0) {
        GTEST_SKIP() << "no private mounts here";
    }
    EXPECT_EQ(code, 0);
}

TEST_F(FaultTest, AReadOnlyFolderOpensForReadingAfterTheAccessDeniedNotice)
{
    fill(folder.path(), 10);
    const std::string saved = folder.read("URLDATA.tps");
    const int code = inPrivateMount(folder.path(), "size=4m", [&]() -> int {
        {
            std::ofstream copy(folder.file("URLDATA.tps"), std::ios::binary);
            copy << saved;
        }
        if (::mount(nullptr, folder.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) !=
            0) {
            return 20;
        }
        test::ScriptedUi ui;
        MessageManager messages{ui};
        Database db{messages, folder.path()};
        if (db.bookmarks().open() != kLevelDone || ui.shown.size() != 1 ||
            ui.last().title != "Access Denied" ||
            ui.last().text != "Could not get write access to TESSLY so trying read-only.") {
            return 21;
        }
        if (db.bookmarks().file().records() != 10) {
            return 22;
        }
        Record b{bookmarkTable()};
        b.setText(BookmarkField::Location, "http://new/");
        if (db.bookmarks().insert(b) == kLevelDone || ui.last().title != "Record Insert Error") {
            return 23;
        }
        return 0;
    });
    if (code < 0) {
        GTEST_SKIP() << "no private mounts here";
    }
    EXPECT_EQ(code, 0);
}

} // namespace
} // namespace tessaly
