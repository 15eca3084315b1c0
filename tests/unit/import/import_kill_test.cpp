// An import killed at any moment leaves a sound database holding every
// bookmark stored before it, and importing the file again finishes the work.
#include "core/sqlite.h"

#include "import_test_support.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace tessaly {
namespace {

using test::ImportTest;

std::string bookmarkFile(const std::string& prefix, int count)
{
    std::string file = "<DL><p>\n";
    for (int i = 0; i < count; ++i) {
        if (i % 100 == 0) {
            file += "<DT><H3>Folder " + std::to_string(i / 100) + "</H3>\n<DL><p>\n";
        }
        file += "<DT><A HREF=\"http://" + prefix + std::to_string(i) +
                ".example/\" TAGS=\"t\">Site " + std::to_string(i) + "</A>\n";
        if (i % 100 == 99) {
            file += "</DL><p>\n";
        }
    }
    return file + "</DL>\n";
}

std::int64_t single(Database& db, const std::string& sql)
{
    sql::Statement statement{db.engine().connection(), sql};
    EngineStatus status;
    return statement.step(status) ? statement.integer(0) : -1;
}

TEST_F(ImportTest, AnImportKilledAtAnyMomentLosesNothingStoredBefore)
{
    import(ImportType::Netscape, sources.write("before.html", bookmarkFile("before", 50)));
    db.closeAll();
    const std::string big = sources.write("big.html", bookmarkFile("site", 20000));
    for (const int delayMs : {40, 250, 700}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            test::ScriptedUi quiet;
            MessageManager childMessages{quiet};
            Database childDb{childMessages, folder.path()};
            runImport(childDb, quiet,
                      {ImportType::Netscape, big, CategoryAssignment::Guess, {}, {}}, {}, false);
            std::_Exit(0);
        }
        ::usleep(static_cast<useconds_t>(delayMs) * 1000);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        ASSERT_EQ(db.categoryRelations().open(), kLevelDone);
        ASSERT_EQ(db.bookmarkRelations().open(), kLevelDone);
        EXPECT_EQ(single(db, "SELECT count(*) FROM main.Locations WHERE Location LIKE "
                             "'http://before%'"),
                  50);
        EXPECT_EQ(single(db, "SELECT count(*) FROM main.URLKeywords k WHERE NOT EXISTS (SELECT 1 "
                             "FROM main.Locations l WHERE l.Location_nocase = k.Location_nocase)"),
                  0)
            << "a bookmark and its keyword rows arrive together";
        sql::Statement check{db.engine().connection(), "PRAGMA integrity_check"};
        EngineStatus checked;
        ASSERT_TRUE(check.step(checked));
        EXPECT_EQ(check.text(0), "ok");
        db.closeAll();
    }
    const ImportSummary rest = import(ImportType::Netscape, big);
    EXPECT_EQ(rest.imported + rest.alreadyStored, 20000);
    EXPECT_EQ(bookmarks().size(), 20050U);
}

} // namespace
} // namespace tessaly
