#include "core/record_file.h"

#include "core/file_version.h"
#include "framework/expression.h"
#include "framework/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

constexpr std::string_view kLayoutTable = "_TessalyLayout";

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string{"."} : path.substr(0, slash + 1);
}

// Write access to a container needs the file and, for the rollback
// journal, its folder.
bool canWrite(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && ::access(path.c_str(), W_OK) != 0) {
        return false;
    }
    return ::access(folderOf(path).c_str(), W_OK) == 0;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        out += parts[i];
    }
    return out;
}

} // namespace

// Where a scan stands: the order it reads in, where it started, and the
// statement that streams the rows.
struct RecordFile::Cursor {
    int key = -1;
    std::optional<Record> anchor; // set(key, values)
    std::optional<Record> last;   // the record read last
    bool forward = true;
    bool active = false; // statement streams in `forward` direction
    sql::Statement statement;
};

RecordFile::RecordFile(Engine& engine, const TableDef& table)
    : engine_(engine), table_(table), cursor_(std::make_unique<Cursor>())
{}

RecordFile::~RecordFile()
{
    close();
}

std::string RecordFile::containerName() const
{
    return table_.container.empty() ? container_ : std::string{table_.container};
}

std::string RecordFile::qualifiedName() const
{
    return sql::quoteName(schema_) + "." + sql::quoteName(table_.table);
}

EngineStatus RecordFile::finish(EngineStatus status)
{
    status_ = status;
    return status;
}

EngineStatus RecordFile::requireOpen()
{
    return open_ ? EngineStatus{} : EngineStatus::error(kFileNotOpen);
}

EngineStatus RecordFile::requireWritable()
{
    if (!open_) {
        return EngineStatus::error(kFileNotOpen);
    }
    return readOnly_ ? EngineStatus::error(kAccessDenied) : EngineStatus{};
}

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

EngineStatus RecordFile::open(int accessMode)
{
    if (open_) {
        return finish(EngineStatus::error(kAlreadyOpen));
    }
    const std::string container = containerName();
    if (container.empty()) {
        return finish(EngineStatus::error(kFileNotFound));
    }
    const bool readOnly = (accessMode & 0x0F) == 0;
    const std::string path = engine_.containerPath(container);
    if (!readOnly && !canWrite(path)) {
        return finish(EngineStatus::error(kAccessDenied));
    }
    EngineStatus status = engine_.attach(container, false, readOnly, schema_);
    if (!status.ok()) {
        return finish(status);
    }
    readOnly_ = readOnly;
    sql::Statement exists{engine_.connection(), "SELECT count(*) FROM " + sql::quoteName(schema_) +
                                                    ".sqlite_master WHERE type='table' AND name=?"};
    exists.bind(1, table_.table);
    if (!exists.step(status)) {
        return finish(status.ok() ? EngineStatus::error(kFileNotFound) : status);
    }
    if (exists.integer(0) == 0) {
        exists.reset();
        status = migrateAlternate();
        if (!status.ok()) {
            return finish(status);
        }
    }
    exists.reset();
    status = checkLayout();
    if (!status.ok()) {
        return finish(status);
    }
    if (!keysComplete()) {
        return finish(EngineStatus::error(kKeyFileInvalid));
    }
    open_ = true;
    *cursor_ = Cursor{};
    return finish({});
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

EngineStatus RecordFile::close()
{
    if (!open_) {
        return finish(EngineStatus::error(kFileNotOpen));
    }
    if (streaming_) {
        flush();
    }
    *cursor_ = Cursor{};
    insert_ = {};
    update_ = {};
    delete_ = {};
    open_ = false;
    return finish({});
}

EngineStatus RecordFile::createTable(const std::string& tableName)
{
    std::vector<std::string> columns;
    for (int field = 0; field < table_.fieldCount(); ++field) {
        columns.push_back(
            sql::quoteName(table_.column(field)) +
            (table_.isText(field) ? " TEXT NOT NULL DEFAULT ''" : " INTEGER NOT NULL DEFAULT 0"));
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

namespace {

std::string keyColumns(const TableDef& table, const KeyDef& key, bool forward)
{
    std::vector<std::string> parts;
    for (const KeyComponent& component : key.components) {
        std::string part = sql::quoteName(table.column(component.field));
        if (key.noCase && table.isText(component.field)) {
            part += " COLLATE " + std::string{sql::kNoCase};
        }
        if (component.descending == forward) {
            part += " DESC";
        }
        parts.push_back(std::move(part));
    }
    return joined(parts, ", ");
}

std::string indexName(const TableDef& table, const KeyDef& key)
{
    return std::string{table.table} + "_" + std::string{key.name};
}

// The column of a key component as it compares in that key.
std::string componentExpression(const TableDef& table, const KeyDef& key, int field)
{
    std::string expression = sql::quoteName(table.column(field));
    if (key.noCase && table.isText(field)) {
        expression += " COLLATE " + std::string{sql::kNoCase};
    }
    return expression;
}

} // namespace

EngineStatus RecordFile::createKeys()
{
    const std::string schema = sql::quoteName(schema_);
    for (const KeyDef& key : table_.keys) {
        EngineStatus status = engine_.connection().execute(
            std::string{"CREATE "} + (key.unique ? "UNIQUE " : "") + "INDEX IF NOT EXISTS " +
            schema + "." + sql::quoteName(indexName(table_, key)) + " ON " +
            sql::quoteName(table_.table) + "(" + keyColumns(table_, key, true) + ")");
        if (!status.ok()) {
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
        return EngineStatus::error(kInvalidRecordDeclaration); // written by a newer program
    }
    std::vector<std::string> declared;
    for (int field = 0; field < table_.fieldCount(); ++field) {
        declared.emplace_back(table_.column(field));
    }
    const std::vector<std::string> columns = storedColumns(schema_, table);
    if (columns.empty()) {
        return EngineStatus::error(kInvalidRecordDeclaration);
    }
    if (columns == declared && stored == table_.layoutVersion) {
        return {};
    }
    if (readOnly_) {
        if (columns == declared && stored < 0) {
            return {}; // the right layout, only unrecorded
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
                targets.push_back(sql::quoteName(name));
                sources.push_back("coalesce(" + sql::quoteName(column) +
                                  (table_.isText(field) ? ", '')" : ", 0)"));
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

std::string RecordFile::selectList() const
{
    std::string list = "SELECT rowid";
    for (int field = 0; field < table_.fieldCount(); ++field) {
        list += ", " + sql::quoteName(table_.column(field));
    }
    return list + " FROM " + qualifiedName();
}

void RecordFile::readRow(sql::Statement& statement, Record& out) const
{
    out.position = statement.integer(0);
    for (int field = 0; field < table_.fieldCount(); ++field) {
        if (table_.isText(field)) {
            out.setText(field, statement.text(field + 1));
        } else {
            out.setNumber(field, statement.integer(field + 1));
        }
    }
}

void RecordFile::bindField(sql::Statement& statement, int index, const Record& record,
                           int field) const
{
    if (table_.isText(field)) {
        statement.bind(index, record.text(field));
    } else {
        statement.bind(index, record.number(field));
    }
}

EngineStatus RecordFile::get(int key, const Record& values, Record& out)
{
    if (EngineStatus status = requireOpen(); !status.ok()) {
        return finish(status);
    }
    if (key < 0 || static_cast<std::size_t>(key) >= table_.keys.size()) {
        return finish(EngineStatus::error(kRecordNotFound));
    }
    const KeyDef& def = table_.keys[static_cast<std::size_t>(key)];
    std::vector<std::string> conditions;
    for (const KeyComponent& component : def.components) {
        conditions.push_back(componentExpression(table_, def, component.field) + " = ?");
    }
    sql::Statement query{engine_.connection(), selectList() + " WHERE " +
                                                   joined(conditions, " AND ") + " ORDER BY " +
                                                   keyColumns(table_, def, true) + " LIMIT 1"};
    int index = 1;
    for (const KeyComponent& component : def.components) {
        bindField(query, index++, values, component.field);
    }
    EngineStatus status;
    if (!query.step(status)) {
        return finish(status.ok() ? EngineStatus::error(kRecordNotFound) : status);
    }
    readRow(query, out);
    return finish({});
}

EngineStatus RecordFile::set(int key)
{
    *cursor_ = Cursor{};
    cursor_->key = key >= 0 && static_cast<std::size_t>(key) < table_.keys.size() ? key : -1;
    return finish(requireOpen());
}

EngineStatus RecordFile::set(int key, const Record& values)
{
    set(key);
    if (cursor_->key >= 0) {
        cursor_->anchor = values;
    }
    return status_;
}

EngineStatus RecordFile::setRecordOrder()
{
    return set(-1);
}

EngineStatus RecordFile::next(Record& out)
{
    return step(out, true);
}

EngineStatus RecordFile::previous(Record& out)
{
    return step(out, false);
}

EngineStatus RecordFile::step(Record& out, bool forward)
{
    if (EngineStatus status = requireOpen(); !status.ok()) {
        return finish(status);
    }
    Cursor& c = *cursor_;
    if (!c.active || c.forward != forward) {
        // Start streaming in this direction from where the scan stands: after
        // the record read last, else at the key value set, else at the start.
        const KeyDef* key = c.key >= 0 ? &table_.keys[static_cast<std::size_t>(c.key)] : nullptr;
        const Record* from = c.last ? &*c.last : (c.anchor ? &*c.anchor : nullptr);
        const bool strict = c.last.has_value();
        std::vector<std::string> terms;
        std::vector<int> binds; // field numbers; -1 for the position
        const std::size_t count = key != nullptr ? key->components.size() : 0;
        for (std::size_t i = 0; from != nullptr && i <= count; ++i) {
            std::vector<std::string> parts;
            for (std::size_t j = 0; j < i; ++j) {
                const int field = key->components[j].field;
                parts.push_back(componentExpression(table_, *key, field) + " = ?");
                binds.push_back(field);
            }
            if (i < count) {
                const KeyComponent& component = key->components[i];
                const bool greater = forward != component.descending;
                parts.push_back(componentExpression(table_, *key, component.field) +
                                (greater ? " > ?" : " < ?"));
                binds.push_back(component.field);
            } else if (strict) {
                parts.push_back(forward ? "rowid > ?" : "rowid < ?");
                binds.push_back(-1);
            } else if (i == 0) {
                break;
            }
            terms.push_back("(" + joined(parts, " AND ") + ")");
        }
        std::string query = selectList();
        if (!terms.empty()) {
            query += " WHERE " + joined(terms, " OR ");
        }
        query += " ORDER BY ";
        if (key != nullptr) {
            query += keyColumns(table_, *key, forward) + ", ";
        }
        query += forward ? "rowid" : "rowid DESC";
        c.statement = sql::Statement{engine_.connection(), query};
        for (std::size_t i = 0; i < binds.size(); ++i) {
            const int index = static_cast<int>(i) + 1;
            if (binds[i] < 0) {
                c.statement.bind(index, from->position);
            } else {
                bindField(c.statement, index, *from, binds[i]);
            }
        }
        c.forward = forward;
        c.active = true;
    }
    EngineStatus status;
    while (c.statement.step(status)) {
        readRow(c.statement, out);
        c.last = out;
        if (!filter_ || filter_->matches(out)) {
            return finish({});
        }
    }
    c.statement = {}; // releases the read lock of a finished scan
    c.active = false;
    return finish(status.ok() ? EngineStatus::error(kNoMoreRecords) : status);
}

std::int64_t RecordFile::records()
{
    if (!open_) {
        finish(EngineStatus::error(kFileNotOpen));
        return 0;
    }
    sql::Statement count{engine_.connection(), "SELECT count(*) FROM " + qualifiedName()};
    EngineStatus status;
    const std::int64_t result = count.step(status) ? count.integer(0) : 0;
    finish(status);
    return result;
}

std::int64_t RecordFile::highestNumber(int key, const Record& record)
{
    if (!open_ || key < 0 || static_cast<std::size_t>(key) >= table_.keys.size()) {
        return 0;
    }
    const KeyDef& def = table_.keys[static_cast<std::size_t>(key)];
    if (def.autoNumber < 0) {
        return 0;
    }
    std::vector<std::string> conditions;
    for (int c = 0; c < def.autoNumber; ++c) {
        const int field = def.components[static_cast<std::size_t>(c)].field;
        conditions.push_back(componentExpression(table_, def, field) + " = ?");
    }
    const int numbered = def.components[static_cast<std::size_t>(def.autoNumber)].field;
    std::string query =
        "SELECT max(" + sql::quoteName(table_.column(numbered)) + ") FROM " + qualifiedName();
    if (!conditions.empty()) {
        query += " WHERE " + joined(conditions, " AND ");
    }
    sql::Statement highest{engine_.connection(), query};
    for (int c = 0; c < def.autoNumber; ++c) {
        bindField(highest, c + 1, record, def.components[static_cast<std::size_t>(c)].field);
    }
    EngineStatus status;
    const std::int64_t result = highest.step(status) ? highest.integer(0) : 0;
    finish(status);
    return result;
}

EngineStatus RecordFile::add(Record& record)
{
    if (EngineStatus status = requireWritable(); !status.ok()) {
        return finish(status);
    }
    if (!insert_.valid()) {
        std::vector<std::string> columns;
        std::vector<std::string> marks;
        for (int field = 0; field < table_.fieldCount(); ++field) {
            columns.push_back(sql::quoteName(table_.column(field)));
            marks.emplace_back("?");
        }
        insert_ = sql::Statement{engine_.connection(), "INSERT INTO " + qualifiedName() + "(" +
                                                           joined(columns, ", ") + ") VALUES(" +
                                                           joined(marks, ", ") + ")"};
    }
    for (int field = 0; field < table_.fieldCount(); ++field) {
        bindField(insert_, field + 1, record, field);
    }
    EngineStatus status = insert_.run();
    if (status.ok()) {
        record.position = engine_.connection().lastInsertRowid();
        engine_.noteWrite();
    }
    return finish(status);
}

EngineStatus RecordFile::put(const Record& record)
{
    if (EngineStatus status = requireWritable(); !status.ok()) {
        return finish(status);
    }
    if (!update_.valid()) {
        std::vector<std::string> assignments;
        for (int field = 0; field < table_.fieldCount(); ++field) {
            assignments.push_back(sql::quoteName(table_.column(field)) + " = ?");
        }
        update_ = sql::Statement{engine_.connection(), "UPDATE " + qualifiedName() + " SET " +
                                                           joined(assignments, ", ") +
                                                           " WHERE rowid = ?"};
    }
    for (int field = 0; field < table_.fieldCount(); ++field) {
        bindField(update_, field + 1, record, field);
    }
    update_.bind(table_.fieldCount() + 1, record.position);
    EngineStatus status = update_.run();
    if (status.ok() && engine_.connection().changes() == 0) {
        status = EngineStatus::error(kRecordNotFound);
    }
    if (status.ok()) {
        engine_.noteWrite();
    }
    return finish(status);
}

EngineStatus RecordFile::remove(const Record& record)
{
    if (EngineStatus status = requireWritable(); !status.ok()) {
        return finish(status);
    }
    if (!delete_.valid()) {
        delete_ = sql::Statement{engine_.connection(),
                                 "DELETE FROM " + qualifiedName() + " WHERE rowid = ?"};
    }
    delete_.bind(1, record.position);
    EngineStatus status = delete_.run();
    if (status.ok() && engine_.connection().changes() == 0) {
        status = EngineStatus::error(kRecordNotFound);
    }
    if (status.ok()) {
        engine_.noteWrite();
    }
    return finish(status);
}

EngineStatus RecordFile::stream()
{
    if (EngineStatus status = requireOpen(); !status.ok() || streaming_) {
        return finish(status);
    }
    EngineStatus status = engine_.begin();
    streaming_ = status.ok();
    return finish(status);
}

EngineStatus RecordFile::flush()
{
    if (!streaming_) {
        return finish({});
    }
    streaming_ = false;
    return finish(engine_.commit());
}

EngineStatus RecordFile::build()
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
    const std::string schema = sql::quoteName(schema_);
    for (const KeyDef& key : table_.keys) {
        status = engine_.connection().execute("DROP INDEX IF EXISTS " + schema + "." +
                                              sql::quoteName(indexName(table_, key)));
        if (!status.ok()) {
            break;
        }
    }
    if (status.ok()) {
        status = createKeys();
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
    *cursor_ = Cursor{};
    insert_ = {};
    update_ = {};
    delete_ = {};
    return finish(engine_.connection().execute("VACUUM " + sql::quoteName(schema_)));
}

EngineStatus RecordFile::send(std::string_view command)
{
    const std::string upper = text::upper(text::trim(command));
    const auto equals = upper.find('=');
    const std::string name = upper.substr(0, equals);
    const std::string value =
        equals == std::string::npos ? std::string{} : upper.substr(equals + 1);
    if (name == "RECOVER" && !value.empty() && value != "0" && value != "1") {
        // Wait that long for a lock a failed process may still hold.
        engine_.setLockWait(std::max(0, std::atoi(value.c_str())) * 1000);
        return finish({});
    }
    // Read-ahead, full rebuilds, status checks and held-record queries need
    // nothing of SQLite: its scans stream, builds are always full, and a
    // failed process's locks end with the process.
    if (name == "QUICKSCAN" || name == "FULLBUILD" || name == "RECOVER" || name == "IGNORESTATUS" ||
        name == "HELD") {
        return finish({});
    }
    EngineStatus status = EngineStatus::error(kOperatingSystemError);
    status.systemText = "Unknown driver command " + std::string{command};
    return finish(status);
}

} // namespace tessaly
