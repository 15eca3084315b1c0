#include "import/old_database_import.h"

#include "core/sqlite.h"
#include "core/tables.h"
#include "core/warnings.h"
#include "framework/text.h"
#include "import/import_file.h"
#include "import/import_sink.h"
#include "import/markup.h"

#include <sys/stat.h>

namespace tessaly {

namespace {

constexpr int kWarnCannotOpen = 30;
constexpr std::string_view kOldFileName = "ImportTESSLY";

// The table of the old entries: ImportTESSLY, else the one table of
// bookmarks a file of the earlier version holds, whatever its name.
std::string oldTable(sql::Connection& db, EngineStatus& status)
{
    sql::Statement tables{db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT "
                              "LIKE 'sqlite_%' AND name <> '_TessalyLayout' ORDER BY name = "
                              "'ImportTESSLY' DESC, name = 'Locations' DESC, name"};
    if (!tables.valid()) {
        status = tables.prepareStatus();
        return {};
    }
    return tables.step(status) ? std::string{tables.text(0)} : std::string{};
}

// The column of `table` named `name` in any letter case, quoted, or a
// blank of the field's type when the old table has none.
std::string columnOrBlank(sql::Connection& db, const std::string& table, std::string_view name,
                          bool number)
{
    sql::Statement info{db, "PRAGMA table_info(" + sql::quoteName(table) + ")"};
    EngineStatus status;
    while (info.step(status)) {
        if (text::equalNoCase(info.text(1), name)) {
            return sql::quoteName(info.text(1));
        }
    }
    return number ? "0" : "''";
}

// The file-open warning, which lets the program go on.
void reportOpenError(UiPort& ui, const std::string& path, const EngineStatus& status)
{
    Warnings warnings{ui};
    warnings.setEngineError(status);
    warnings.warn(kWarnCannotOpen, std::string{kOldFileName} + " [" + path + "]");
}

} // namespace

bool isOldDatabaseName(std::string_view path)
{
    return markup::findNoCase(path, "URL_L.TPS") != std::string_view::npos;
}

ImportSummary importOldDatabase(Database& database, UiPort& ui, const std::string& path)
{
    ImportSummary summary;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        EngineStatus missing = EngineStatus::error(kFileNotFound);
        if (::stat(path.c_str(), &info) == 0) {
            // A folder, a named pipe or a device: say which, never read it.
            missing = EngineStatus::systemError(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
            missing.text = notASource(path);
            if (!S_ISDIR(info.st_mode)) {
                missing.systemText = "Not a regular file (a named pipe or a device)";
            }
        }
        summary.sourceError = path + ": " + missing.text;
        reportOpenError(ui, path, missing);
        return summary;
    }
    sql::Connection old;
    EngineStatus status = old.open(path, false, true);
    std::string table;
    if (status.ok()) {
        table = oldTable(old, status);
        if (status.ok() && table.empty()) {
            status = EngineStatus::error(kFileNotFound);
            status.text += " - no table of bookmarks";
        }
    }
    // A table without addresses is some other program's file.
    if (status.ok() && columnOrBlank(old, table, "Location", false) == "''") {
        status = EngineStatus::error(kFileNotFound);
        status.text += " - no table of bookmarks";
    }
    std::string select;
    if (status.ok()) {
        select = "SELECT " + columnOrBlank(old, table, "Location", false) + ", " +
                 columnOrBlank(old, table, "Description", false) + ", " +
                 columnOrBlank(old, table, "Category", false) + ", " +
                 columnOrBlank(old, table, "Rating", true) + ", " +
                 columnOrBlank(old, table, "Keyword", false) + " FROM " + sql::quoteName(table) +
                 " ORDER BY rowid";
    }
    sql::Statement entries;
    if (status.ok()) {
        entries = sql::Statement{old, select};
        status = entries.prepareStatus();
    }
    std::int64_t total = 0;
    if (status.ok()) {
        sql::Statement count{old, "SELECT count(*) FROM " + sql::quoteName(table)};
        total = count.step(status) ? count.integer(0) : 0;
    }
    if (!status.ok()) {
        summary.sourceError = path + ": " + status.text;
        reportOpenError(ui, path, status);
        return summary;
    }
    // What the old entry says is kept: its category as it was (none made)
    // and its own keyword.
    ImportRequest request{ImportType::Netscape, path, CategoryAssignment::None, {}, {}};
    ImportSink sink{database, ui, request};
    if (!sink.begin({})) {
        summary.failed = true;
        return summary;
    }
    // The old fields' widths are those of the old file; the new, wider
    // fields take them as they are.
    Record entry{importTable()};
    std::int64_t seen = 0;
    while (entries.step(status)) {
        if (!sink.keepGoing(total > 0 ? static_cast<double>(seen++) / static_cast<double>(total)
                                      : 1.0)) {
            break;
        }
        entry.clear();
        entry.setText(ImportField::Location, entries.text(0));
        entry.setText(ImportField::Description, entries.text(1));
        entry.setText(ImportField::Category, entries.text(2));
        entry.setNumber(ImportField::Rating, entries.integer(3));
        entry.setText(ImportField::Keyword, entries.text(4));
        if (text::trim(entry.text(ImportField::Location)).empty()) {
            continue;
        }
        Record bookmark{bookmarkTable()};
        // From the file itself: an address too long to keep is then known as
        // one and passed over, never stored cut.
        bookmark.setText(BookmarkField::Location, entries.text(0));
        bookmark.setText(BookmarkField::Description, entry.text(ImportField::Description));
        bookmark.setNumber(BookmarkField::Rating, entry.number(ImportField::Rating));
        bookmark.setText(BookmarkField::Keyword, entry.text(ImportField::Keyword));
        if (sink.add(bookmark, entry.text(ImportField::Category), {}, false) == AddResult::Failed) {
            break;
        }
    }
    if (!status.ok() && !sink.failed()) {
        // A damaged old file: what was read is kept, and the user told.
        summary.sourceError = path + ": " + status.text;
        reportOpenError(ui, path, status);
    }
    return sink.summarize(summary);
}

} // namespace tessaly
