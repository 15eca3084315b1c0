#pragma once

#include "core/engine.h"
#include "core/record.h"
#include "core/table_def.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

class Expression;

// Access modes: 66 reads and writes, 64 only reads; others may do both.
constexpr int kAccessReadWrite = 66;
constexpr int kAccessReadOnly = 64;

// One keyed record file on an engine: open and create, read by key or in key
// or record order, and add, rewrite and delete records. Each operation
// returns the engine status and keeps it for status(). Reads go into the
// caller's Record; put() and remove() act on the stored record a Record was
// read from (its position).
class RecordFile final {
public:
    RecordFile(Engine& engine, const TableDef& table);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    const TableDef& table() const { return table_; }
    Engine& engine() { return engine_; }

    // The container of a file named at open time (the old-version database).
    void setContainer(std::string path) { container_ = std::move(path); }
    std::string containerName() const;

    EngineStatus open(int accessMode = kAccessReadWrite);
    EngineStatus create();
    EngineStatus close();
    bool isOpen() const { return open_; }
    bool isReadOnly() const { return readOnly_; }

    // The one record whose key fields equal those of `values` (the first in
    // key order for keys that allow duplicates). 35 when there is none.
    EngineStatus get(int key, const Record& values, Record& out);

    // Positions before the first record of a key's order, at the first
    // record whose key is not less than that of `values`, or before the
    // first record in record order. next() and previous() then read on;
    // previous() right after a set starts from the end.
    EngineStatus set(int key);
    EngineStatus set(int key, const Record& values);
    EngineStatus setRecordOrder();
    // Positions before the first of the records whose first `components`
    // key components equal those of `values` (a bookmark's keyword rows);
    // next() and previous() read only those, in the key's order.
    EngineStatus setEqual(int key, const Record& values, std::size_t components);
    EngineStatus next(Record& out);
    EngineStatus previous(Record& out);

    // Records passed over by next() and previous() unless they match.
    void setFilter(std::shared_ptr<const Expression> filter) { filter_ = std::move(filter); }

    // The fields next() and previous() read from here on; the others come
    // back blank. The fields of the scan's key are always read, and so is
    // every field while a filter is set (it may test any of them). Empty,
    // the default, reads every field. A job that shows five fields of a
    // hundred thousand bookmarks need not fetch and check the other
    // fifteen of each. Takes effect at the next set().
    void setFields(std::vector<int> fields);

    std::int64_t records();

    // The highest value of a key's automatically numbered component among
    // the records whose components before it equal those of `record`; 0
    // when there is none. Leaves any scan where it stands.
    std::int64_t highestNumber(int key, const Record& record);

    // The record stored at `position` (as Record::position gives it); 35
    // when there is none. Leaves any scan where it stands.
    EngineStatus getAt(std::int64_t position, Record& out);

    // The positions of all records in a key's order (record order for -1),
    // read from the key alone: eight bytes a record, no record read.
    EngineStatus positions(int key, std::vector<std::int64_t>& out);
    // Each record in a key's order (record order for -1) as its position and
    // field `field` alone
    // (the other fields blank), handed to `each`; false from it stops the
    // reading (status 0). One column is read, not whole records: how a long
    // list sorts by a field no key serves.
    EngineStatus fieldInKeyOrder(int key, int field,
                                 const std::function<bool(const Record& row)>& each);

    EngineStatus add(Record& record);
    EngineStatus put(const Record& record);
    EngineStatus remove(const Record& record);

    // Groups the writes between them into one transaction.
    EngineStatus stream();
    EngineStatus flush();

    // Rebuilds every key in one transaction, refreshing the folded copies
    // first. `beforeKey` is told the number of each key before it is built;
    // false from it stops the build and undoes it (status 90).
    EngineStatus build(const std::function<bool(int key)>& beforeKey = {});
    // Compacts the file.
    EngineStatus pack();

    // Driver commands: "QUICKSCAN=on|off", "Recover=N" (wait N seconds for
    // a lock), "FULLBUILD=on", "RECOVER=1|0", "IGNORESTATUS=ON|OFF", "HELD".
    EngineStatus send(std::string_view command);

    const EngineStatus& status() const { return status_; }

    // Qualified table name ("c1"."Categories") for statements of other parts
    // of the core (relations, maintenance).
    std::string qualifiedName() const;
    const std::string& schema() const { return schema_; }

private:
    struct Cursor;

    EngineStatus finish(EngineStatus status);
    void resetStatements();
    void endScan();
    EngineStatus checkLayout();
    EngineStatus createTable(const std::string& tableName);
    EngineStatus createKey(const KeyDef& key);
    EngineStatus createKeys();
    EngineStatus refreshFolded();
    bool keysComplete();
    EngineStatus convertFrom(const std::string& sourceQualified, std::vector<std::string> columns);
    std::vector<std::string> storedColumns(const std::string& schema, const std::string& table);
    EngineStatus migrateAlternate();
    std::string selectList() const;
    std::string selectList(const std::vector<int>& fields) const;
    void readRow(sql::Statement& statement, Record& out) const;
    void readRow(sql::Statement& statement, const std::vector<int>& fields, Record& out) const;
    std::vector<int> scanFields(int key) const;
    void keepPlace(const Record& read);
    EngineStatus step(Record& out, bool forward);
    EngineStatus requireOpen();
    EngineStatus requireWritable();
    // An error when a `whole` field of `record` was cut to its width.
    EngineStatus requireWhole(const Record& record);

    Engine& engine_;
    const TableDef& table_;
    std::string container_;
    std::string schema_;
    bool open_ = false;
    bool readOnly_ = false;
    bool streaming_ = false;
    std::unique_ptr<Cursor> cursor_;
    std::shared_ptr<const Expression> filter_;
    std::vector<int> fields_; // what scans read; empty for every field
    struct Scan;
    struct ScanShape;
    Scan& scanFor(const ScanShape& shape);
    std::map<std::string, Scan> scans_;   // by shape, prepared on first use
    std::vector<sql::Statement> fetch_;   // by key, prepared on first use
    std::vector<sql::Statement> highest_; // by key, prepared on first use
    sql::Statement fetchAt_;
    sql::Statement insert_;
    sql::Statement update_;
    sql::Statement delete_;
    EngineStatus status_;
};

} // namespace tessaly
