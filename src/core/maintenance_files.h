#pragma once

// The pieces the maintenance actions share: where a label's file is, how a
// file is opened for an action, and the texts of the boxes.

#include "core/engine.h"
#include "core/maintenance.h"
#include "core/record_file.h"
#include "core/table_def.h"

#include <memory>
#include <string>
#include <vector>

namespace tessaly {

struct Maintenance::Located {
    enum class Kind { Keyed, Lines, Blocks } kind = Kind::Keyed;
    const TableDef* table = nullptr; // keyed files
    std::string container;           // "URLDATA", or a name given at open time
    std::string path;                // the container on disk, absolute
    bool multiTable = false;         // one table of URLDATA

    // The file's full name: the container, and for a table of the
    // multi-table container "\!" and the table.
    std::string fullName() const;
};

namespace maintenance {

// A keyed file opened on a connection of its own.
class KeyedFile final {
public:
    KeyedFile(const std::string& folder, const TableDef& table, const std::string& container,
              int lockWait);

    // Opens with `accessMode` (read and write, or read only); 2 when the
    // container is missing, so that nothing is made.
    EngineStatus open(int accessMode, const std::string& path);
    Engine& engine() { return *engine_; }
    RecordFile& file() { return *file_; }

private:
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<RecordFile> file_;
};

// The engine's error text with the system's words when it has them.
std::string errorText(const EngineStatus& status);

// The box for a file that cannot be had exclusively.
void showAccessError(UiPort& ui, const EngineStatus& status);

// The tables that live in a container ("URLDATA": bookmarks, keywords,
// details, configuration).
std::vector<const TableDef*> tablesOf(const Maintenance::Located& file);

bool exists(const std::string& path);

} // namespace maintenance

} // namespace tessaly
