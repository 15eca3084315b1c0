#pragma once

// SQL pieces the record file's parts share: how keys order and compare, how
// indexes are named, and what write access a container needs.

#include "core/record.h"
#include "core/sqlite.h"
#include "core/table_def.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaly::detail {

// The table in each container that records every table's layout version.
inline constexpr std::string_view kLayoutTable = "_TessalyLayout";

// Write access to a container needs the file and, for the rollback
// journal, its folder.
bool canWrite(const std::string& path);

std::string joined(const std::vector<std::string>& parts, std::string_view separator);

// A key's columns for ORDER BY or CREATE INDEX, reversed when not forward.
std::string keyColumns(const TableDef& table, const KeyDef& key, bool forward);

std::string indexName(const TableDef& table, const KeyDef& key);

// The column of a key component as it compares in that key: the folded
// copy for a case-insensitive key, the field's own column otherwise.
std::string componentExpression(const TableDef& table, const KeyDef& key, int field);

// Binds the value a key component compares with: the folded form of the
// record's text for a case-insensitive key, the field as it is otherwise.
void bindComponent(sql::Statement& statement, int index, const TableDef& table, const KeyDef& key,
                   const Record& record, int field);

// Binds every stored column of `record` from index 1 on, in the order of
// storedColumnNames(); returns the next free index.
int bindRecord(sql::Statement& statement, const TableDef& table, const Record& record);

// Every stored column in the order the table declares them: the fields,
// then the folded copies.
std::vector<std::string> storedColumnNames(const TableDef& table);

} // namespace tessaly::detail
