// The sync's own tables in URLDATA, and the one transaction that makes
// Tessaly's side of a sync together with the state it leaves.
#include "sync/sync_store.h"

#include "core/database.h"
#include "core/tables.h"
#include "framework/text.h"

#include <sys/stat.h>

#include <set>

namespace tessaly {

namespace {

// Per synced bookmark: its id in the file, folder path, title and address
// as the file held them after the sync, and the location of the bookmark
// it is linked to in Tessaly; per file, the ETag it had.
constexpr std::string_view kCreateTables =
    "CREATE TABLE IF NOT EXISTS {s}.SyncState(Target TEXT NOT NULL, ServerId TEXT NOT NULL, "
    "FolderPath TEXT NOT NULL, Title TEXT NOT NULL, Address TEXT NOT NULL, Linked TEXT, "
    "PRIMARY KEY(Target, ServerId));"
    "CREATE TABLE IF NOT EXISTS {s}.SyncFiles(Target TEXT PRIMARY KEY, ETag TEXT NOT NULL);";

// The tables as the first syncs made them had no links; their rows read
// with none (NULL) until the next commit writes them.
constexpr std::string_view kAddLinks = "ALTER TABLE {s}.SyncState ADD COLUMN Linked TEXT";

std::string withSchema(std::string_view sql, const std::string& schema)
{
    std::string out;
    const std::string quoted = sql::quoteName(schema);
    std::size_t from = 0;
    for (std::size_t at = sql.find("{s}"); at != std::string_view::npos;
         at = sql.find("{s}", from)) {
        out.append(sql.substr(from, at - from));
        out += quoted;
        from = at + 3;
    }
    out.append(sql.substr(from));
    return out;
}

std::string describeStatus(const EngineStatus& status)
{
    std::string words = engineErrorText(status.code);
    if (!status.text.empty()) {
        words += " (" + status.text + ")";
    }
    return words;
}

// Opens the bookmark file (and with it the database); the schema of
// URLDATA, or blank with `error` set.
std::string openBookmarks(Database& database, std::string& error)
{
    if (database.bookmarks().use() != kLevelDone) {
        error = "The bookmark file cannot be opened.";
        return {};
    }
    return database.bookmarks().file().schema();
}

bool hasLinks(sql::Connection& db, const std::string& schema)
{
    sql::Statement query{db, "SELECT count(*) FROM pragma_table_info('SyncState', ?) WHERE "
                             "name = 'Linked'"};
    query.bind(1, schema);
    EngineStatus status;
    return query.step(status) && query.integer(0) == 1;
}

bool tablesExist(sql::Connection& db, const std::string& schema)
{
    sql::Statement query{db, "SELECT count(*) FROM " + sql::quoteName(schema) +
                                 ".sqlite_master WHERE type='table' AND name IN "
                                 "('SyncState', 'SyncFiles')"};
    EngineStatus status;
    return query.step(status) && query.integer(0) == 2;
}

// Finds a stored bookmark by its address for a change.
bool fetchBookmark(Database& database, std::string_view address, Record& record)
{
    record.clear();
    record.setText(BookmarkField::Location, address);
    return database.bookmarks()
        .file()
        .get(static_cast<int>(BookmarkKey::Location), record, record)
        .ok();
}

class Committer {
public:
    Committer(Database& database, const SyncPlan& plan) : db_(database), plan_(plan) {}

    bool run(const std::string& schema, std::string_view etag, std::string& error)
    {
        if (database().categories().use() != kLevelDone) {
            error = "The category file cannot be opened.";
            return false;
        }
        const bool done = transaction(schema, etag, error);
        database().categories().close();
        return done;
    }

private:
    Database& database() { return db_; }

    bool transaction(const std::string& schema, std::string_view etag, std::string& error)
    {
        Engine& engine = db_.engine();
        // A first sync writes as much as an import does: the indexes being
        // built want the import's page cache.
        engine.setBatchWrites(true);
        const struct UsualCache {
            Engine& engine;
            ~UsualCache() { engine.setBatchWrites(false); }
        } usualCache{engine};
        if (const EngineStatus begun = engine.begin(); !begun.ok()) {
            error = "The sync could not begin writing: " + describeStatus(begun);
            return false;
        }
        bool done = engine.connection().execute(withSchema(kCreateTables, schema)).ok();
        if (done && !hasLinks(engine.connection(), schema)) {
            done = engine.connection().execute(withSchema(kAddLinks, schema)).ok();
        }
        for (std::size_t i = 0; done && i < plan_.tessalyChanges.size(); ++i) {
            done = apply(plan_.tessalyChanges[i]);
        }
        done = done && storeState(schema, etag);
        if (!done) {
            engine.rollback();
            error = "The sync's changes could not be written to the bookmarks; nothing was "
                    "changed.";
            return false;
        }
        if (const EngineStatus committed = engine.commit(); !committed.ok()) {
            error = "The sync's changes could not be written to the bookmarks: " +
                    describeStatus(committed);
            return false;
        }
        engine.noteWrite();
        return true;
    }

    bool category(const std::string& name)
    {
        if (name.empty() || known_.contains(text::foldKey(name)) || db_.categoryExists(name)) {
            return true;
        }
        Record added{categoryTable()};
        added.setText(CategoryField::Category, name);
        known_.insert(text::foldKey(name));
        return db_.categories().insert(added) == kLevelDone;
    }

    bool apply(const TessalyChange& change)
    {
        Record record{bookmarkTable()};
        if (change.kind == SyncChange::Kind::Added) {
            db_.bookmarks().prime(record);
            record.setText(BookmarkField::Location, change.address);
            record.setText(BookmarkField::Description, change.description);
            record.setText(BookmarkField::Category, change.category);
            return category(change.category) && db_.bookmarks().insert(record) == kLevelDone;
        }
        // Gone already (another program deleted it meanwhile): nothing to do.
        if (!fetchBookmark(db_, change.oldAddress, record)) {
            return true;
        }
        if (change.kind == SyncChange::Kind::Deleted) {
            return db_.bookmarkRelations().remove(record) == kLevelDone;
        }
        // Only the three fields the file has; the rest of the bookmark
        // (rating, keywords, link-test results...) stays as it is.
        Record changed = record;
        changed.setText(BookmarkField::Location, change.address);
        changed.setText(BookmarkField::Description, change.description);
        changed.setText(BookmarkField::Category, change.category);
        return category(change.category) &&
               db_.bookmarkRelations().update(record, changed) == kLevelDone;
    }

    bool storeState(const std::string& schema, std::string_view etag)
    {
        sql::Connection& db = db_.engine().connection();
        const std::string table = sql::quoteName(schema);
        sql::Statement clear{db, "DELETE FROM " + table + ".SyncState WHERE Target = ?"};
        clear.bind(1, plan_.target);
        if (!clear.run().ok()) {
            return false;
        }
        sql::Statement insert{db, "INSERT OR REPLACE INTO " + table +
                                      ".SyncState(Target, ServerId, FolderPath, Title, Address, "
                                      "Linked) VALUES (?, ?, ?, ?, ?, ?)"};
        for (const SyncStateRow& row : plan_.newState) {
            insert.bind(1, plan_.target);
            insert.bind(2, row.serverId);
            insert.bind(3, row.folderPath);
            insert.bind(4, row.title);
            insert.bind(5, row.address);
            insert.bind(6, row.linked.value_or(std::string{}));
            if (!insert.run().ok()) {
                return false;
            }
            insert.reset();
        }
        sql::Statement file{db, "INSERT OR REPLACE INTO " + table + ".SyncFiles VALUES (?, ?)"};
        file.bind(1, plan_.target);
        file.bind(2, etag);
        return file.run().ok();
    }

    Database& db_;
    const SyncPlan& plan_;
    std::set<std::string> known_; // folded names of categories added
};

} // namespace

bool readSyncState(Database& database, std::string_view target, std::vector<SyncStateRow>& rows,
                   std::string& etag, std::string& error)
{
    rows.clear();
    etag.clear();
    const std::string schema = openBookmarks(database, error);
    if (schema.empty()) {
        return false;
    }
    sql::Connection& db = database.engine().connection();
    bool done = true;
    if (tablesExist(db, schema)) {
        const std::string table = sql::quoteName(schema);
        // In the order written, which is the file's: of several rows of one
        // address without links, the first is the one Tessaly took.
        const std::string linked = hasLinks(db, schema) ? "Linked" : "NULL";
        sql::Statement state{db, "SELECT ServerId, FolderPath, Title, Address, " + linked +
                                     " FROM " + table +
                                     ".SyncState WHERE Target = ? ORDER BY rowid"};
        state.bind(1, target);
        EngineStatus status;
        while (state.step(status)) {
            rows.push_back(
                {std::string{state.text(0)}, std::string{state.text(1)}, std::string{state.text(2)},
                 std::string{state.text(3)},
                 state.isNull(4) ? std::nullopt : std::optional<std::string>{state.text(4)}});
        }
        sql::Statement file{db, "SELECT ETag FROM " + table + ".SyncFiles WHERE Target = ?"};
        file.bind(1, target);
        if (status.ok() && file.step(status)) {
            etag = file.text(0);
        }
        if (!status.ok()) {
            error = "The state of the last sync cannot be read: " + describeStatus(status);
            done = false;
        }
    }
    database.bookmarks().close();
    return done;
}

bool readStoredBookmarks(Database& database, std::vector<StoredBookmark>& bookmarks,
                         std::string& error)
{
    bookmarks.clear();
    if (openBookmarks(database, error).empty()) {
        return false;
    }
    const TableDef& table = bookmarkTable();
    const auto column = [&](BookmarkField field) {
        return sql::quoteName(table.column(static_cast<int>(field)));
    };
    sql::Statement query{database.engine().connection(),
                         "SELECT " + column(BookmarkField::Location) + ", " +
                             column(BookmarkField::Description) + ", " +
                             column(BookmarkField::Category) + " FROM " +
                             database.bookmarks().file().qualifiedName()};
    EngineStatus status;
    while (query.step(status)) {
        bookmarks.push_back(
            {std::string{query.text(0)}, std::string{query.text(1)}, std::string{query.text(2)}});
    }
    database.bookmarks().close();
    if (!status.ok()) {
        error = "The bookmarks cannot be read: " + describeStatus(status);
        return false;
    }
    return true;
}

bool commitSync(Database& database, const SyncPlan& plan, std::string_view newEtag,
                std::string& error)
{
    if (plan.nothingToCommit && newEtag == plan.readEtag) {
        return true;
    }
    const std::string schema = openBookmarks(database, error);
    if (schema.empty()) {
        return false;
    }
    if (database.bookmarkRelations().open() != kLevelDone) {
        database.bookmarks().close();
        error = "The bookmark files cannot be opened.";
        return false;
    }
    const bool done = Committer{database, plan}.run(schema, newEtag, error);
    database.bookmarkRelations().close();
    database.bookmarks().close();
    return done;
}

std::optional<std::string> lastSyncEtag(Database& database, std::string_view target)
{
    std::vector<SyncStateRow> rows;
    std::string etag;
    std::string error;
    if (!readSyncState(database, target, rows, etag, error) || (rows.empty() && etag.empty())) {
        return std::nullopt;
    }
    return etag;
}

std::int64_t databaseModified(Database& database)
{
    std::int64_t newest = 0;
    const std::string path = database.engine().containerPath("URLDATA");
    for (const std::string& file : {path, path + "-wal", path + "-journal"}) {
        struct stat info {};
        if (::stat(file.c_str(), &info) == 0) {
            newest = std::max<std::int64_t>(newest, info.st_mtim.tv_sec);
        }
    }
    return newest;
}

} // namespace tessaly
