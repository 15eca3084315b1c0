#pragma once

#include "core/table_def.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// The file-version layer: the record files announced to it are opened with
// their declared layout, tables stored with an older layout being converted
// first (every row kept). It also knows the earlier names under which a
// table may be found. Announcements are made once per process.
class FileVersionLayer final {
public:
    static FileVersionLayer& instance();

    void addDriver(std::string_view driver);
    void ignoreDriver(std::string_view driver, int value);
    void usingFile(std::string_view prefix, const TableDef& table, int version);
    void alternateFileName(std::string_view storageName, std::string_view alternate);

    // The earlier container name of a table ("URL_L"), or empty.
    std::string alternateFor(const TableDef& table) const;

    // The calls made so far, one line each, in order (for diagnostics).
    std::vector<std::string> calls() const;

    // Announces every database file, exactly once per process; later calls
    // do nothing.
    void registerDatabaseFiles();

    // The storage name of a table: "URLDATA\!Locations", "URL_C".
    static std::string storageName(const TableDef& table);

private:
    FileVersionLayer() = default;

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::vector<std::pair<std::string, std::string>> alternates_;
    bool registered_ = false;
};

} // namespace tessaly
