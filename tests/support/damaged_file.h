#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>

namespace tessaly::test {

// Overwrites the root page of `table` in the database file at `path` with
// junk, as a bad disk block would, and bumps the file's change counter so
// that a connection still open reads the damage rather than its cache.
inline void damageRootPage(const std::string& path, const std::string& table)
{
    sqlite3* db = nullptr;
    std::int64_t root = 0;
    std::int64_t pageSize = 0;
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        const std::string sql = "SELECT rootpage, (SELECT page_size FROM pragma_page_size()) "
                                "FROM sqlite_master WHERE name = '" +
                                table + "'";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            root = sqlite3_column_int64(stmt, 0);
            pageSize = sqlite3_column_int64(stmt, 1);
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    if (root < 2 || pageSize <= 0) {
        throw std::runtime_error("no table " + table + " with a page of its own in " + path);
    }
    std::fstream file{path, std::ios::in | std::ios::out | std::ios::binary};
    file.seekp((root - 1) * pageSize);
    const std::string junk(static_cast<std::size_t>(pageSize), '\xA5');
    file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    char counter[4] = {};
    file.seekg(24);
    file.read(counter, 4);
    counter[3] = static_cast<char>(counter[3] + 1);
    file.seekp(24);
    file.write(counter, 4);
    if (!file.flush()) {
        throw std::runtime_error("could not damage " + path);
    }
}

} // namespace tessaly::test
