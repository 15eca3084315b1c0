#include "core/record_file.h"

#include "core/record_file_sql.h"
#include "framework/expression.h"
#include "framework/picture.h"
#include "framework/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace tessaly {

using namespace detail;

// Where a scan stands: the order it reads in, where it started, and the
// statement that streams the rows.
struct RecordFile::Cursor {
    int key = -1;
    std::optional<Record> anchor; // set(key, values); setEqual's values
    std::optional<Record> last;   // the record read last
    std::size_t equal = 0;        // leading key components held equal to the anchor's
    bool forward = true;
    bool active = false;                      // statement streams in `forward` direction
    sql::Statement* statement = nullptr;      // one of the file's prepared scans
    const std::vector<int>* fields = nullptr; // what that statement reads
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

EngineStatus RecordFile::requireWhole(const Record& record)
{
    // A cut address is another address: the row would answer for a bookmark
    // it is not, so it is not written at all.
    for (const int field : record.cutFields()) {
        const FieldDef& def = table_.schema->fields()[static_cast<std::size_t>(field)];
        if (def.whole) {
            EngineStatus status = EngineStatus::systemError(EOVERFLOW);
            status.systemText = std::string{def.label} + " is longer than " +
                                std::to_string(def.size) + " characters and is not stored cut";
            return status;
        }
    }
    return {};
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
    endScan();
    *cursor_ = Cursor{};
    return finish({});
}

void RecordFile::endScan()
{
    if (cursor_->statement != nullptr) {
        cursor_->statement->reset(); // releases the read lock of the scan
        cursor_->statement = nullptr;
    }
    cursor_->active = false;
}

void RecordFile::resetStatements()
{
    endScan();
    *cursor_ = Cursor{};
    scans_.clear();
    fetch_.clear();
    highest_.clear();
    fetchAt_ = {};
    insert_ = {};
    update_ = {};
    delete_ = {};
}

EngineStatus RecordFile::close()
{
    if (!open_) {
        return finish(EngineStatus::error(kFileNotOpen));
    }
    if (streaming_) {
        flush();
    }
    resetStatements();
    open_ = false;
    return finish({});
}

// The place a scan resumes from after a turn or a pause: the key's fields
// and the position of the record read last. Copying those alone, not the
// whole record, keeps a long scan from copying every field of every row.
void RecordFile::keepPlace(const Record& read)
{
    Cursor& c = *cursor_;
    if (!c.last) {
        c.last.emplace(table_);
    }
    c.last->position = read.position;
    if (c.key < 0) {
        return;
    }
    const bool sameTable = &read.table() == &c.last->table();
    for (const KeyComponent& component : table_.keys[static_cast<std::size_t>(c.key)].components) {
        if (sameTable) {
            c.last->copyField(component.field, read);
        } else if (table_.isText(component.field)) {
            c.last->setText(component.field, read.text(component.field));
        } else {
            c.last->setNumber(component.field, read.number(component.field));
        }
    }
}

EngineStatus RecordFile::getAt(std::int64_t position, Record& out)
{
    if (EngineStatus status = requireOpen(); !status.ok()) {
        return finish(status);
    }
    if (!fetchAt_.valid()) {
        fetchAt_ = sql::Statement{engine_.connection(), selectList() + " WHERE rowid = ?"};
    }
    fetchAt_.bind(1, position);
    EngineStatus status;
    if (!fetchAt_.step(status)) {
        fetchAt_.reset();
        return finish(status.ok() ? EngineStatus::error(kRecordNotFound) : status);
    }
    readRow(fetchAt_, out);
    fetchAt_.reset();
    return finish({});
}

EngineStatus RecordFile::positions(int key, std::vector<std::int64_t>& out)
{
    out.clear();
    if (EngineStatus status = requireOpen(); !status.ok()) {
        return finish(status);
    }
    std::string query = "SELECT rowid FROM " + qualifiedName() + " ORDER BY ";
    if (key >= 0 && static_cast<std::size_t>(key) < table_.keys.size()) {
        query += keyColumns(table_, table_.keys[static_cast<std::size_t>(key)], true) + ", ";
    }
    query += "rowid";
    sql::Statement scan{engine_.connection(), query};
    EngineStatus status;
    while (scan.step(status)) {
        out.push_back(scan.integer(0));
    }
    return finish(status);
}

EngineStatus RecordFile::fieldInKeyOrder(int key, int field,
                                         const std::function<bool(const Record& row)>& each)
{
    if (EngineStatus status = requireOpen(); !status.ok()) {
        return finish(status);
    }
    if (field < 0 || field >= table_.fieldCount()) {
        return finish(EngineStatus::error(kRecordNotFound));
    }
    std::string query = "SELECT rowid, " + sql::quoteName(table_.column(field)) + " FROM " +
                        qualifiedName() + " ORDER BY ";
    if (key >= 0 && static_cast<std::size_t>(key) < table_.keys.size()) {
        query += keyColumns(table_, table_.keys[static_cast<std::size_t>(key)], true) + ", ";
    }
    query += "rowid";
    sql::Statement scan{engine_.connection(), query};
    Record row{table_};
    const bool text = table_.isText(field);
    EngineStatus status;
    while (scan.step(status)) {
        row.position = scan.integer(0);
        if (text) {
            row.setText(field, scan.text(1));
        } else {
            row.setNumber(field, scan.integer(1));
        }
        if (!each(row)) {
            return finish({});
        }
    }
    return finish(status);
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
    fetch_.resize(table_.keys.size());
    sql::Statement& query = fetch_[static_cast<std::size_t>(key)];
    if (!query.valid()) {
        std::vector<std::string> conditions;
        for (const KeyComponent& component : def.components) {
            conditions.push_back(componentExpression(table_, def, component.field) + " = ?");
        }
        query = sql::Statement{engine_.connection(),
                               selectList() + " WHERE " + joined(conditions, " AND ") +
                                   " ORDER BY " + keyColumns(table_, def, true) + " LIMIT 1"};
    }
    int index = 1;
    for (const KeyComponent& component : def.components) {
        bindComponent(query, index++, table_, def, values, component.field);
    }
    EngineStatus status;
    if (!query.step(status)) {
        query.reset();
        return finish(status.ok() ? EngineStatus::error(kRecordNotFound) : status);
    }
    readRow(query, out);
    query.reset();
    return finish({});
}

EngineStatus RecordFile::set(int key)
{
    endScan();
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

EngineStatus RecordFile::setEqual(int key, const Record& values, std::size_t components)
{
    set(key, values);
    if (cursor_->key >= 0) {
        cursor_->equal =
            std::min(components, table_.keys[static_cast<std::size_t>(key)].components.size());
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

// What a scan's statement depends on: everything but the values bound.
struct RecordFile::ScanShape {
    int key;
    bool forward;
    bool from;   // starts at a place in the key's order
    bool strict; // after that place (the record read last), not at it
    std::size_t equal;
    std::vector<int> fields; // read, in field order; empty for all
};

struct RecordFile::Scan {
    sql::Statement statement;
    std::vector<int> fields; // the statement's columns after the rowid
    // What each parameter takes: a field of the place or of the equal
    // scan's values (second true), or -1 for the place's position.
    std::vector<std::pair<int, bool>> binds;
};

// The scan for `shape`, its statement prepared on first use: a list or an
// export that seeks for every bookmark pays for neither a prepare nor the
// query's text each time.
RecordFile::Scan& RecordFile::scanFor(const ScanShape& shape)
{
    std::string id = std::to_string(shape.key) + (shape.forward ? "f" : "b") +
                     (shape.from ? "p" : "") + (shape.strict ? "s" : "") +
                     std::to_string(shape.equal);
    for (const int field : shape.fields) {
        id += "," + std::to_string(field);
    }
    Scan& scan = scans_[id];
    if (scan.statement.valid()) {
        return scan;
    }
    const bool forward = shape.forward;
    const KeyDef* key =
        shape.key >= 0 ? &table_.keys[static_cast<std::size_t>(shape.key)] : nullptr;
    const std::size_t count = key != nullptr ? key->components.size() : 0;
    std::vector<std::string> where;
    for (std::size_t j = 0; j < shape.equal; ++j) {
        const int field = key->components[j].field;
        where.push_back(componentExpression(table_, *key, field) + " = ?");
        scan.binds.emplace_back(field, true);
    }
    std::vector<std::string> terms;
    std::vector<std::pair<int, bool>> termBinds;
    for (std::size_t i = 0; shape.from && i <= count; ++i) {
        std::vector<std::string> parts;
        for (std::size_t j = 0; j < i; ++j) {
            const int field = key->components[j].field;
            parts.push_back(componentExpression(table_, *key, field) + " = ?");
            termBinds.emplace_back(field, false);
        }
        if (i < count) {
            const KeyComponent& component = key->components[i];
            const bool greater = forward != component.descending;
            parts.push_back(componentExpression(table_, *key, component.field) +
                            (greater ? " > ?" : " < ?"));
            termBinds.emplace_back(component.field, false);
        } else if (shape.strict) {
            parts.push_back(forward ? "rowid > ?" : "rowid < ?");
            termBinds.emplace_back(-1, false);
        } else if (i == 0) {
            break;
        }
        terms.push_back("(" + joined(parts, " AND ") + ")");
    }
    if (!terms.empty() && key != nullptr && shape.equal == 0) {
        // The terms spell out "after this place in the key's order"; the
        // bound on the first component in front of them lets SQLite read
        // from that place in the index instead of sorting the rest.
        const KeyComponent& first = key->components.front();
        where.push_back(componentExpression(table_, *key, first.field) +
                        (forward != first.descending ? " >= ?" : " <= ?"));
        scan.binds.emplace_back(first.field, false);
    }
    if (!terms.empty()) {
        where.push_back("(" + joined(terms, " OR ") + ")");
        scan.binds.insert(scan.binds.end(), termBinds.begin(), termBinds.end());
    }
    scan.fields = shape.fields;
    std::string query = selectList(shape.fields);
    if (!where.empty()) {
        query += " WHERE " + joined(where, " AND ");
    }
    query += " ORDER BY ";
    if (key != nullptr) {
        query += keyColumns(table_, *key, forward) + ", ";
    }
    query += forward ? "rowid" : "rowid DESC";
    scan.statement = sql::Statement{engine_.connection(), query};
    return scan;
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
        // An equal scan's values hold its range, not a place in it.
        const Record* from = c.last ? &*c.last : (c.anchor && c.equal == 0 ? &*c.anchor : nullptr);
        Scan& scan = scanFor(
            {c.key, forward, from != nullptr, c.last.has_value(), c.equal, scanFields(c.key)});
        endScan();
        c.statement = &scan.statement;
        c.fields = &scan.fields;
        const KeyDef* key = c.key >= 0 ? &table_.keys[static_cast<std::size_t>(c.key)] : nullptr;
        for (std::size_t i = 0; i < scan.binds.size(); ++i) {
            const int index = static_cast<int>(i) + 1;
            const auto [field, fromEqual] = scan.binds[i];
            if (field < 0) {
                c.statement->bind(index, from->position);
            } else {
                bindComponent(*c.statement, index, table_, *key, fromEqual ? *c.anchor : *from,
                              field);
            }
        }
        c.forward = forward;
        c.active = true;
    }
    EngineStatus status;
    while (c.statement->step(status)) {
        readRow(*c.statement, *c.fields, out);
        keepPlace(out);
        if (!filter_ || filter_->matches(out)) {
            return finish({});
        }
    }
    endScan();
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
    highest_.resize(table_.keys.size());
    sql::Statement& highest = highest_[static_cast<std::size_t>(key)];
    if (!highest.valid()) {
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
        highest = sql::Statement{engine_.connection(), query};
    }
    for (int c = 0; c < def.autoNumber; ++c) {
        bindComponent(highest, c + 1, table_, def, record,
                      def.components[static_cast<std::size_t>(c)].field);
    }
    EngineStatus status;
    const std::int64_t result = highest.step(status) ? highest.integer(0) : 0;
    highest.reset();
    finish(status);
    return result;
}

EngineStatus RecordFile::add(Record& record)
{
    if (EngineStatus status = requireWritable(); !status.ok()) {
        return finish(status);
    }
    if (EngineStatus status = requireWhole(record); !status.ok()) {
        return finish(status);
    }
    if (!insert_.valid()) {
        std::vector<std::string> columns;
        std::vector<std::string> marks;
        for (const std::string& column : storedColumnNames(table_)) {
            columns.push_back(sql::quoteName(column));
            marks.emplace_back("?");
        }
        insert_ = sql::Statement{engine_.connection(), "INSERT INTO " + qualifiedName() + "(" +
                                                           joined(columns, ", ") + ") VALUES(" +
                                                           joined(marks, ", ") + ")"};
    }
    bindRecord(insert_, table_, record);
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
    if (EngineStatus status = requireWhole(record); !status.ok()) {
        return finish(status);
    }
    if (!update_.valid()) {
        std::vector<std::string> assignments;
        for (const std::string& column : storedColumnNames(table_)) {
            assignments.push_back(sql::quoteName(column) + " = ?");
        }
        update_ = sql::Statement{engine_.connection(), "UPDATE " + qualifiedName() + " SET " +
                                                           joined(assignments, ", ") +
                                                           " WHERE rowid = ?"};
    }
    update_.bind(bindRecord(update_, table_, record), record.position);
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

EngineStatus RecordFile::send(std::string_view command)
{
    const std::string upper = text::upper(text::trim(command));
    const auto equals = upper.find('=');
    const std::string name = upper.substr(0, equals);
    const std::string value =
        equals == std::string::npos ? std::string{} : upper.substr(equals + 1);
    if (const auto wait = parseNumber(value);
        name == "RECOVER" && wait && *wait != 0 && *wait != 1) {
        // Wait that long for a lock a failed process may still hold.
        engine_.setLockWait(static_cast<int>(std::clamp(*wait, 0.0, 3600.0) * 1000));
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
