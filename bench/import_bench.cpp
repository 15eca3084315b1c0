// Importing a 100,000-bookmark file as Firefox exports it (nested folders, an
// icon as data on every link's line, tags): tessaly-cli import, a process of
// its own, against the sqlite3 program's .import of the same rows into the
// same tables and keys (goal: at most 1.5 times its time, and 150 MiB),
// against raw SQLite inserting the same rows (no reading at all: the limit
// of storing them), and against buku importing the same file in the same run
// when it is installed. Everything is written under scratchBase(), on disk.
#include "child_process.h"
#include "core/database.h"
#include "core/file_version.h"
#include "core/sqlite.h"
#include "core/tables.h"
#include "framework/text.h"
#include "quiet_ui.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace tessaly;
using namespace tessaly::bench;
using Clock = std::chrono::steady_clock;

constexpr int kFolders = 250;
constexpr int kSubFolders = 2;
constexpr int kLinksPerFolder = 200;
constexpr int kBookmarks = kFolders * kSubFolders * kLinksPerFolder;
constexpr double kGoalRatio = 1.5;
constexpr double kGoalMiB = 150.0;

std::string location(int n)
{
    return "https://site" + std::to_string(n % 5000) + ".example/page/" + std::to_string(n) +
           "?q=" + std::to_string(n);
}

std::string description(int n)
{
    return "Page " + std::to_string(n) + " of site " + std::to_string(n % 5000) + " & more";
}

std::string subFolder(int f, int s)
{
    return "Sub " + std::to_string(f) + "." + std::to_string(s);
}

void writeFile(const std::string& path)
{
    std::string icon = "data:image/png;base64,";
    for (int i = 0; i < 12; ++i) {
        icon += "iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAYAAAAf8/9h";
    }
    std::ofstream out{path, std::ios::binary};
    out << "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" "
           "CONTENT=\"text/html; charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks "
           "Menu</H1>\n\n<DL><p>\n";
    int n = 0;
    for (int f = 0; f < kFolders; ++f) {
        out << "    <DT><H3 ADD_DATE=\"1700000000\">Folder " << f << "</H3>\n    <DL><p>\n";
        for (int s = 0; s < kSubFolders; ++s) {
            out << "        <DT><H3 ADD_DATE=\"1700000000\">" << subFolder(f, s)
                << "</H3>\n        <DL><p>\n";
            for (int i = 0; i < kLinksPerFolder; ++i, ++n) {
                std::string title = description(n);
                title.replace(title.find('&'), 1, "&amp;");
                out << "            <DT><A HREF=\"" << location(n)
                    << "\" ADD_DATE=\"1700000000\" LAST_MODIFIED=\"1700000000\" ICON=\"" << icon
                    << "\" TAGS=\"tag" << n % 50 << "\">" << title << "</A>\n";
            }
            out << "        </DL><p>\n";
        }
        out << "    </DL><p>\n";
    }
    out << "</DL>\n";
}

// An INSERT of every stored column of `table`: the fields, then the folded
// copies its case-insensitive keys keep.
sql::Statement insertInto(sql::Connection& raw, const TableDef& table, const std::string& name)
{
    std::string columns;
    std::string marks;
    for (int field = 0; field < table.fieldCount(); ++field) {
        columns += (field > 0 ? "," : "") + std::string{table.column(field)};
        marks += field > 0 ? ",?" : "?";
    }
    for (int field = 0; field < table.fieldCount(); ++field) {
        if (table.isFolded(field)) {
            columns += "," + table.foldedColumn(field);
            marks += ",?";
        }
    }
    return sql::Statement{raw, "INSERT INTO " + name + "(" + columns + ") VALUES(" + marks + ")"};
}

void insertRow(sql::Statement& insert, const Record& record)
{
    const TableDef& table = record.table();
    int index = 1;
    for (int field = 0; field < table.fieldCount(); ++field) {
        if (table.isText(field)) {
            insert.bind(index++, record.text(field));
        } else {
            insert.bind(index++, record.number(field));
        }
    }
    for (int field = 0; field < table.fieldCount(); ++field) {
        if (table.isFolded(field)) {
            insert.bind(index++, text::foldKey(record.text(field)));
        }
    }
    EngineStatus status = insert.run();
    if (!status.ok()) {
        std::printf("raw insert failed: %s\n", status.text.c_str());
        std::exit(1);
    }
}

// Makes the tables and keys of the program, empty, in `folder`.
void makeTables(const std::string& folder)
{
    bench::QuietUi ui;
    MessageManager messages{ui};
    Database shape{messages, folder};
    shape.categoryRelations().open();
    shape.bookmarkRelations().open();
    shape.closeAll();
}

// The rows the import stores for bookmark `n`, as the fields of `b` and `k`.
void fillRows(int n, const std::string& category, Record& b, Record& k)
{
    b.setText(BookmarkField::Location, location(n));
    b.setText(BookmarkField::Description, description(n));
    b.setText(BookmarkField::Category, category);
    b.setText(BookmarkField::Keyword, "Page");
    b.setText(BookmarkField::OriginalFilename, "/tmp/bookmarks.html");
    k.setText(KeywordField::Location, location(n));
    k.setNumber(KeywordField::Sequence, 1);
    k.setText(KeywordField::Keyword, "tag" + std::to_string(n % 50));
}

// A CSV line of every stored column of `record`, in the table's order.
void csvRow(std::ofstream& out, const Record& record)
{
    const TableDef& table = record.table();
    const auto quoted = [&](const std::string& value) {
        out << '"';
        for (const char c : value) {
            out << (c == '"' ? "\"\"" : std::string(1, c));
        }
        out << '"';
    };
    for (int field = 0; field < table.fieldCount(); ++field) {
        out << (field > 0 ? "," : "");
        if (table.isText(field)) {
            quoted(record.text(field));
        } else {
            out << record.number(field);
        }
    }
    for (int field = 0; field < table.fieldCount(); ++field) {
        if (table.isFolded(field)) {
            out << ',';
            quoted(text::foldKey(record.text(field)));
        }
    }
    out << '\n';
}

// The peer: the sqlite3 program's .import of the rows the import stores (the
// bookmarks into Locations with its six keys, their tags into URLKeywords)
// into the tables the program makes, in a process of its own. Its CSV files
// are written before the clock starts.
Run sqliteImport(const std::string& folder)
{
    makeTables(folder);
    {
        std::ofstream bookmarks{folder + "/bookmarks.csv", std::ios::binary};
        std::ofstream keywords{folder + "/keywords.csv", std::ios::binary};
        Record b{bookmarkTable()};
        Record k{keywordTable()};
        int n = 0;
        for (int f = 0; f < kFolders; ++f) {
            for (int s = 0; s < kSubFolders; ++s) {
                for (int i = 0; i < kLinksPerFolder; ++i, ++n) {
                    fillRows(n, subFolder(f, s), b, k);
                    csvRow(bookmarks, b);
                    csvRow(keywords, k);
                }
            }
        }
    }
    return runProgram({"sqlite3", folder + "/URLDATA.tps", "-cmd", ".mode csv",
                       ".import " + folder + "/bookmarks.csv Locations",
                       ".import " + folder + "/keywords.csv URLKeywords"});
}

// The same rows stored straight through SQLite in one transaction, into the
// tables and keys the program makes: the limit of storing them.
double rawInserts(const std::string& folder)
{
    makeTables(folder);
    sql::Connection raw;
    raw.open(folder + "/URLDATA.tps", false, false);
    raw.execute("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; ATTACH '" + folder +
                "/URL_C.tps' AS c");
    const auto start = Clock::now();
    raw.execute("BEGIN");
    sql::Statement category = insertInto(raw, categoryTable(), "c.Categories");
    sql::Statement bookmark = insertInto(raw, bookmarkTable(), "Locations");
    sql::Statement keyword = insertInto(raw, keywordTable(), "URLKeywords");
    Record c{categoryTable()};
    Record b{bookmarkTable()};
    Record k{keywordTable()};
    int n = 0;
    for (int f = 0; f < kFolders; ++f) {
        for (int s = 0; s < kSubFolders; ++s) {
            c.setText(CategoryField::Category, subFolder(f, s));
            insertRow(category, c);
            for (int i = 0; i < kLinksPerFolder; ++i, ++n) {
                fillRows(n, subFolder(f, s), b, k);
                insertRow(bookmark, b);
                insertRow(keyword, k);
            }
        }
    }
    raw.execute("COMMIT");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const std::string cli = argc > 1 ? argv[1] : TESSALY_CLI_PATH;
    ScratchFolder files;
    const std::string source = files.path + "/bookmarks.html";
    writeFile(source);
    const double megabytes =
        static_cast<double>(std::filesystem::file_size(source)) / (1024.0 * 1024.0);

    ScratchFolder data;
    const Run ours = runProgram({cli, "--data", data.path, "import", "netscape", source});
    if (ours.status != 0) {
        std::printf("tessaly-cli import failed with status %d\n", ours.status);
        return 1;
    }
    ScratchFolder rawData;
    const double raw = rawInserts(rawData.path);

    std::printf("scratch folder %s: %s\n", scratchBase().c_str(),
                fileSystemType(scratchBase()).c_str());
    std::printf("import of %d bookmarks (%.0f MB file)   seconds     MiB   ratio\n", kBookmarks,
                megabytes);
    std::printf("%-38s %7.2f %7.1f\n", "tessaly-cli import", ours.seconds, ours.mib);
    if (std::system("command -v sqlite3 >/dev/null 2>&1") == 0) {
        ScratchFolder peerData;
        const Run peer = sqliteImport(peerData.path);
        std::printf("%-38s %7.2f %7.1f %7.2f  (ours / sqlite3; goal <= %.1f)\n",
                    "sqlite3 .import, same rows and keys", peer.seconds, peer.mib,
                    ours.seconds / peer.seconds, kGoalRatio);
    } else {
        std::printf("sqlite3 is not installed: the import's peer is left out\n");
    }
    std::printf("%-38s %7s %7.1f %7.2f  (ours / goal; <= 1 meets it)\n", "goal: 150 MiB", "",
                kGoalMiB, ours.mib / kGoalMiB);
    std::printf("%-38s %7.2f %7s %7.2f  (ours / raw)\n", "raw SQLite inserts of the same rows", raw,
                "", ours.seconds / raw);
    if (std::system("command -v buku >/dev/null 2>&1") == 0) {
        ScratchFolder home;
        const Run buku = runProgram({"buku", "--nostdin", "--tacit", "-i", source},
                                    {"HOME=" + home.path, "XDG_DATA_HOME=" + home.path + "/share"});
        std::printf("%-38s %7.2f %7.1f %7.2f  (buku / ours)\n", "buku -i, same file", buku.seconds,
                    buku.mib, buku.seconds / ours.seconds);
    } else {
        std::printf("buku is not installed: its figure is left out\n");
    }
    return 0;
}
