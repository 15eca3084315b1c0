#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

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

// The rows of a query run with a stock SQLite connection (none of our
// functions or collations), one line a row, its columns joined by blanks;
// "error: ..." when it fails.
inline std::string stockQuery(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* stmt = nullptr;
    std::string result;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
        int rc = 0;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::string line;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                line += (i == 0 ? "" : " ") + std::string{text != nullptr ? text : ""};
            }
            result += (result.empty() ? "" : "\n") + line;
        }
        if (rc != SQLITE_DONE) {
            result = "error: " + std::string{sqlite3_errmsg(db)};
        }
    } else {
        result = "error: " + std::string{sqlite3_errmsg(db)};
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
}

// One page of a table's b-tree as SQLite's page statistics see it.
struct TablePage {
    long number = 0;
    std::string kind; // "internal", "leaf" or "overflow"
    int cells = 0;
};

// The pages of `table`, its root first, read before any damage is done.
inline std::vector<TablePage> tablePages(const std::string& path, const std::string& table)
{
    std::vector<TablePage> pages;
    std::istringstream lines{
        stockQuery(path, "SELECT pageno, pagetype, ncell FROM dbstat WHERE name = '" + table +
                             "' ORDER BY path = '/' DESC, pageno")};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields{line};
        TablePage page;
        fields >> page.number >> page.kind >> page.cells;
        pages.push_back(page);
    }
    return pages;
}

inline long pageSizeOf(const std::string& path)
{
    return std::stol(stockQuery(path, "PRAGMA page_size"));
}

// Writes `bytes` over the file at `offset`, as a bad block would.
inline void overwrite(const std::string& path, std::int64_t offset, const std::string& bytes)
{
    std::fstream file{path, std::ios::in | std::ios::out | std::ios::binary};
    file.seekp(offset);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        throw std::runtime_error("could not damage " + path);
    }
}

// Overwrites page `page` (counted from 1) with `fill`.
inline void overwritePage(const std::string& path, long page, char fill = '\x5A')
{
    const long size = pageSizeOf(path);
    overwrite(path, (page - 1) * size, std::string(static_cast<std::size_t>(size), fill));
}

// How many rows of `table` lie on leaf pages wholly outside the bytes
// [from, to) of the file: the rows a recovery must find after those bytes
// are lost. `pages` is the table's page list taken before the damage.
inline int rowsOutside(const std::vector<TablePage>& pages, long pageSize, std::int64_t from,
                       std::int64_t to)
{
    int rows = 0;
    for (const TablePage& page : pages) {
        const std::int64_t start = (page.number - 1) * pageSize;
        if (page.kind == "leaf" && (start + pageSize <= from || start >= to)) {
            rows += page.cells;
        }
    }
    return rows;
}

} // namespace tessaly::test
