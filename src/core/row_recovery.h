#pragma once

#include "core/engine.h"
#include "core/page_reader.h"
#include "core/table_def.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tessaly {

// What was found of one table and what became of it.
struct TableRecovery {
    std::string table;
    std::int64_t found = 0;    // distinct rows found for the table
    std::int64_t kept = 0;     // rows written to the fresh file
    std::int64_t unplaced = 0; // rows found for it that the fresh file could not take
    bool treeDamaged = false;  // the file's list of tables leads to a damaged b-tree
};

// What a recovery read and wrote.
struct RecoveryReport {
    EngineStatus status; // a failure writing the fresh file; nothing is then usable
    bool cancelled = false;
    std::vector<TableRecovery> tables; // in the order asked for
    std::int64_t kept = 0;             // rows written, all tables
    // Rows that fit none of the tables: with the per-table unplaced rows they
    // are written to the unplaced-rows file, never left out in silence.
    std::int64_t noTable = 0;
    std::int64_t unplacedWritten = 0; // lines in the unplaced-rows file
    bool schemaRead = false;          // the file's list of tables was found
};

// Recovers the rows of a damaged container page by page: every table leaf
// page is read, each row goes to the table of `tables` whose b-tree holds
// its page or, where that is unknown (a lost first page, a damaged root or
// interior page), to the one whose stored layout it fits. Pages on the free
// list are passed over; of two copies of a row the one in the live b-tree
// wins and exact repeats count once. The rows are added to fresh tables of
// the same names made on `fresh` with their keys (folded copies computed
// anew); `containerName` names the container on `fresh` for a table stored
// under a name given at open time. Rows that cannot be added are written
// with the reason to `unplacedPath` (made only when there is one).
// The fresh file is written without syncing: sync it before it replaces
// anything. `carryOn` is told, between pages and rows, how far the work
// has come (0 to 100); it stops the work by answering false.
RecoveryReport recoverRows(pages::PageReader& reader, const std::vector<const TableDef*>& tables,
                           Engine& fresh, const std::string& containerName,
                           const std::string& unplacedPath,
                           const std::function<bool(int percent)>& carryOn);

} // namespace tessaly
