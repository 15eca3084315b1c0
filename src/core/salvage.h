#pragma once

#include "core/engine.h"
#include "core/table_def.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tessaly {

// What a salvage read and wrote.
struct SalvageReport {
    EngineStatus status;       // a failure writing the fresh file; nothing is then usable
    bool anythingRead = false; // false when not even the list of tables could be read
    bool cancelled = false;
    std::int64_t rows = 0;       // rows written to the fresh file
    std::int64_t duplicates = 0; // rows left out: a second row for a unique key
    std::int64_t lostRows = 0;   // rows whose place was readable but whose content was not
    bool passedDamage = false;   // some page could not be read and was passed over
    std::vector<std::string> unreadableTables; // tables of which no row could be read
};

// Copies every readable row of the tables of a damaged container, read on
// `damaged`, into fresh tables of the same names made on `fresh` with their
// declared layout and keys (folded copies computed anew). Rows on a page
// that cannot be read are passed over: the scan goes on with the first
// readable row after them, found by probing the table's rowids, so the
// rows of every other page are kept. `containerName` names the container on
// `fresh` for a table stored under a name given at open time. `cancelled` is
// polled between rows. The caller owns both connections and the fresh file.
SalvageReport salvageRows(sql::Connection& damaged, const std::vector<const TableDef*>& tables,
                          Engine& fresh, const std::string& containerName,
                          const std::function<bool()>& cancelled);

} // namespace tessaly
