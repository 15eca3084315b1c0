#pragma once

// SQL pieces the record file's parts share: how keys order and compare, how
// indexes are named, and what write access a container needs.

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

// The column of a key component as it compares in that key.
std::string componentExpression(const TableDef& table, const KeyDef& key, int field);

} // namespace tessaly::detail
