// Creating record files, checking and upgrading their stored layout, and
// rebuilding and compacting them.
#include "core/file_version.h"
#include "core/record_file.h"
#include "core/record_file_sql.h"
#include "framework/text.h"
#include "framework/version.h"

#include <algorithm>
#include <sys/stat.h>

namespace tessaly {

using namespace detail;

std::vector<std::string> RecordFile::storedColumns(const std::string& schema,
                                                   const std::string& tableName)
{
    std::vector<std::string> columns;
    sql::Statement info{engine_.connection(), "PRAGMA " + sql::quoteName(schema) + ".table_info(" +
                                                  sql::quoteName(tableName) + ")"};
    EngineStatus status;
    while (info.step(status)) {
        columns.emplace_back(info.text(1));
    }
    return columns;
}

EngineStatus RecordFile::create()
{
    const std::string container = containerName();
    if (container.empty()) {
        return finish(EngineStatus::error(kFileNotFound));
    }
    std::string schema;
    EngineStatus status = engine_.attach(container, true, false, schema);
    if (!status.ok()) {
        return finish(status);
    }
    schema_ = schema;
    status = engine_.begin();
    if (!status.ok()) {
        return finish(status);
    }
    status = createTable(std::string{table_.table});
    if (status.ok()) {
        status = createKeys();
    }
    if (!status.ok()) {
        engine_.rollback();
        return finish(status);
    }
    return finish(engine_.commit());
}

EngineStatus RecordFile::refreshFolded()
{
    // Rows written by another tool may carry no folded copies or stale ones;
    // a rebuild of the keys makes them right again.
    std::vector<std::string> assignments;
    for (int field = 0; field < table_.fieldCount(); ++field) {
        if (table_.isFolded(field)) {
            assignments.push_back(sql::quoteName(table_.foldedColumn(field)) + " = " +
                                  std::string{sql::kFoldFunction} + "(" +
                                  sql::quoteName(table_.column(field)) + ")");
        }
    }
    if (assignments.empty()) {
        return {};
    }
    return engine_.connection().execute("UPDATE " + qualifiedName() + " SET " +
                                        joined(assignments, ", "));
}

EngineStatus RecordFile::createTable(const std::string& tableName)
{
    std::vector<std::string> columns;
    for (int field = 0; field < table_.fieldCount(); ++field) {
        columns.push_back(
            sql::quoteName(table_.column(field)) +
            (table_.isText(field) ? " TEXT NOT NULL DEFAULT ''" : " INTEGER NOT NULL DEFAULT 0"));
    }
    for (int field = 0; field < table_.fieldCount(); ++field) {
        if (table_.isFolded(field)) {
            columns.push_back(sql::quoteName(table_.foldedColumn(field)) +
                              " TEXT NOT NULL DEFAULT ''");
        }
    }
    const std::string schema = sql::quoteName(schema_);
    EngineStatus status = engine_.connection().execute(
        "CREATE TABLE IF NOT EXISTS " + schema + "." + sql::quoteName(tableName) + "(" +
        joined(columns, ", ") + ");" + "CREATE TABLE IF NOT EXISTS " + schema + "." +
        sql::quoteName(kLayoutTable) +
        "(TableName TEXT PRIMARY KEY, Version INTEGER NOT NULL, Owner TEXT NOT NULL DEFAULT '')");
    if (!status.ok()) {
        return status;
    }
    sql::Statement layout{engine_.connection(), "INSERT OR REPLACE INTO " + schema + "." +
                                                    sql::quoteName(kLayoutTable) +
                                                    " VALUES(?, ?, ?)"};
    layout.bind(1, table_.table);
    layout.bind(2, std::int64_t{table_.layoutVersion});
    layout.bind(3, table_.owned ? kOwnerName : std::string_view{});
    return layout.run();
}

EngineStatus RecordFile::createKey(const KeyDef& key)
{
    return engine_.connection().execute(
        std::string{"CREATE "} + (key.unique ? "UNIQUE " : "") + "INDEX IF NOT EXISTS " +
        sql::quoteName(schema_) + "." + sql::quoteName(indexName(table_, key)) + " ON " +
        sql::quoteName(table_.table) + "(" + keyColumns(table_, key, true) + ")");
}

EngineStatus RecordFile::createKeys()
{
    for (const KeyDef& key : table_.keys) {
        if (EngineStatus status = createKey(key); !status.ok()) {
            return status;
        }
    }
    return {};
}

bool RecordFile::keysComplete()
{
    sql::Statement indexes{engine_.connection(),
                           "SELECT name FROM " + sql::quoteName(schema_) +
                               ".sqlite_master WHERE type='index' AND tbl_name=?"};
    indexes.bind(1, table_.table);
    std::vector<std::string> names;
    EngineStatus status;
    while (indexes.step(status)) {
        names.emplace_back(indexes.text(0));
    }
    for (const KeyDef& key : table_.keys) {
        if (std::find(names.begin(), names.end(), indexName(table_, key)) == names.end()) {
            return false;
        }
    }
    return status.ok();
}

EngineStatus RecordFile::checkLayout()
{
    const std::string schema = sql::quoteName(schema_);
    const std::string table{table_.table};
    int stored = -1;
    sql::Statement version{engine_.connection(), "SELECT Version FROM " + schema + "." +
                                                     sql::quoteName(kLayoutTable) +
                                                     " WHERE TableName=?"};
    if (version.valid()) {
        version.bind(1, table_.table);
        EngineStatus status;
        if (version.step(status)) {
            stored = static_cast<int>(version.integer(0));
        } else if (!status.ok()) {
            return status;
        }
    }
    if (stored > table_.layoutVersion) {
        // The bare number leaves the user guessing; the remedy is the newer
        // program, not a repair.
        EngineStatus status = EngineStatus::error(kInvalidRecordDeclaration);
        status.text += " - the file was written by a newer version of ";
        status.text += kProductName;
        return status;
    }
    const std::vector<std::string> declared = storedColumnNames(table_);
    const std::vector<std::string> columns = storedColumns(schema_, table);
    if (columns.empty()) {
        return EngineStatus::error(kInvalidRecordDeclaration);
    }
    if (columns == declared && stored == table_.layoutVersion) {
        return {};
    }
    if (readOnly_) {
        if (columns == declared) {
            // The right columns, only unrecorded or recorded by an earlier
            // version whose layout differed in widths alone: readable as it is.
            return {};
        }
        return EngineStatus::error(kAccessDenied); // an upgrade must write
    }
    version = {};
    if (columns == declared && stored < 0) {
        return createTable(table); // records the layout it already has
    }
    return convertFrom(schema + "." + sql::quoteName(table), columns);
}

EngineStatus RecordFile::convertFrom(const std::string& sourceQualified,
                                     std::vector<std::string> columns)
{
    const std::string schema = sql::quoteName(schema_);
    const std::string table{table_.table};
    const std::string converting = table + "__converting";
    const bool inPlace = sourceQualified == schema + "." + sql::quoteName(table);
    std::vector<std::string> targets;
    std::vector<std::string> sources;
    for (int field = 0; field < table_.fieldCount(); ++field) {
        const std::string_view name = table_.column(field);
        for (const std::string& column : columns) {
            if (text::equalNoCase(column, name)) {
                const std::string source = "coalesce(" + sql::quoteName(column) +
                                           (table_.isText(field) ? ", '')" : ", 0)");
                targets.push_back(sql::quoteName(name));
                sources.push_back(source);
                if (table_.isFolded(field)) {
                    targets.push_back(sql::quoteName(table_.foldedColumn(field)));
                    sources.push_back(std::string{sql::kFoldFunction} + "(" + source + ")");
                }
            }
        }
    }
    EngineStatus status = engine_.begin();
    if (!status.ok()) {
        return status;
    }
    const std::string target = inPlace ? converting : table;
    status = engine_.connection().execute("DROP TABLE IF EXISTS " + schema + "." +
                                          sql::quoteName(converting));
    if (status.ok()) {
        status = createTable(target);
    }
    if (status.ok() && !targets.empty()) {
        status = engine_.connection().execute(
            "INSERT INTO " + schema + "." + sql::quoteName(target) + "(" + joined(targets, ", ") +
            ") SELECT " + joined(sources, ", ") + " FROM " + sourceQualified);
    }
    if (status.ok() && inPlace) {
        status = engine_.connection().execute("DROP TABLE " + sourceQualified + "; ALTER TABLE " +
                                              schema + "." + sql::quoteName(converting) +
                                              " RENAME TO " + sql::quoteName(table));
    }
    if (status.ok()) {
        status = createTable(table); // records the layout version
    }
    if (status.ok()) {
        status = createKeys();
    }
    if (!status.ok()) {
        engine_.rollback();
        return status;
    }
    return engine_.commit();
}

EngineStatus RecordFile::migrateAlternate()
{
    const std::string alternate = FileVersionLayer::instance().alternateFor(table_);
    if (alternate.empty() || schema_ != "main" || readOnly_) {
        return EngineStatus::error(kFileNotFound);
    }
    const std::string path = engine_.containerPath(alternate);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return EngineStatus::error(kFileNotFound);
    }
    std::string alternateSchema;
    EngineStatus status = engine_.attach(alternate, false, true, alternateSchema);
    if (!status.ok()) {
        return status;
    }
    // The earlier file holds one table of bookmarks, whatever its name.
    sql::Statement tables{engine_.connection(),
                          "SELECT name FROM " + sql::quoteName(alternateSchema) +
                              ".sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' "
                              "AND name <> '" +
                              std::string{kLayoutTable} + "' ORDER BY name = 'Locations' DESC"};
    if (!tables.step(status)) {
        return status.ok() ? EngineStatus::error(kFileNotFound) : status;
    }
    const std::string source{tables.text(0)};
    tables = {};
    const std::vector<std::string> columns = storedColumns(alternateSchema, source);
    return convertFrom(sql::quoteName(alternateSchema) + "." + sql::quoteName(source), columns);
}

EngineStatus RecordFile::build(const std::function<bool(int key)>& beforeKey)
{
    if (schema_.empty()) {
        const std::string container = containerName();
        EngineStatus status = engine_.attach(container, false, false, schema_);
        if (!status.ok()) {
            return finish(status);
        }
    }
    EngineStatus status = engine_.begin();
    if (!status.ok()) {
        return finish(status);
    }
    resetStatements();
    // The folded copies first: every key that ignores letter case is built
    // from them.
    status = refreshFolded();
    const std::string schema = sql::quoteName(schema_);
    for (std::size_t key = 0; status.ok() && key < table_.keys.size(); ++key) {
        if (beforeKey && !beforeKey(static_cast<int>(key))) {
            status = EngineStatus::error(kOperatingSystemError);
            status.systemText = "the build was cancelled; the keys are as they were";
            break;
        }
        const KeyDef& def = table_.keys[key];
        status = engine_.connection().execute("DROP INDEX IF EXISTS " + schema + "." +
                                              sql::quoteName(indexName(table_, def)));
        if (status.ok()) {
            status = createKey(def);
        }
    }
    if (!status.ok()) {
        engine_.rollback();
        return finish(status);
    }
    return finish(engine_.commit());
}

EngineStatus RecordFile::pack()
{
    if (EngineStatus status = requireWritable(); !status.ok()) {
        return finish(status);
    }
    if (engine_.transactionDepth() > 0) {
        return finish(EngineStatus::error(kFileLocked));
    }
    resetStatements();
    return finish(engine_.connection().execute("VACUUM " + sql::quoteName(schema_)));
}

} // namespace tessaly
