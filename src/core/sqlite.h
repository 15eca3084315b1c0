#pragma once

#include "core/engine_status.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tessaly::sql {

// The collation case-insensitive keys were once declared with. Files of that
// layout name it in their indexes, so it stays known to our connections
// until every such file has been converted on open.
inline constexpr std::string_view kNoCase = "TESSALY_NOCASE";

// The SQL function (of our connections only) that gives text::foldKey() of a
// text: what a case-insensitive key stores and compares.
inline constexpr std::string_view kFoldFunction = "tessaly_fold";

// How often a connection that waits for another's lock tries again. SQLite's
// own wait backs off to a tenth of a second, so a batch that commits and
// begins again within a few milliseconds would keep the others out; tries
// this close together find the gap a batch leaves between its groups.
inline constexpr std::chrono::milliseconds kLockRetryEvery{2};

// Called on the thread of a connection when it begins to wait for a lock
// another program holds (the windows show a busy cursor); nullptr for none.
// Set it before connections are used from other threads.
void setLockWaitObserver(void (*observer)());

// One SQLite connection. Not thread-safe: each thread has its own.
class Connection final {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens (and with `create` makes) a database file as the main database.
    EngineStatus open(const std::string& path, bool create, bool readOnly);
    void close();
    bool isOpen() const { return db_ != nullptr; }
    sqlite3* handle() const { return db_; }

    // Runs statements without results; the status of the first failure.
    EngineStatus execute(std::string_view sql);

    // Waits up to `milliseconds` for locks held by others, trying again
    // every few milliseconds.
    void setBusyTimeout(int milliseconds);

    // Maps SQLite's last error on this connection to an engine status.
    EngineStatus lastError(int sqliteCode) const;

    std::int64_t lastInsertRowid() const;
    int changes() const;

private:
    static int waitForLock(void* self, int tries);

    sqlite3* db_ = nullptr;
    int lockWait_ = 0;
    std::chrono::steady_clock::time_point waitStarted_;
    // When a wait last ran out; a wait that begins right after it does not
    // start the count again.
    std::optional<std::chrono::steady_clock::time_point> gaveUp_;
};

// One prepared statement; reset and rebound for each use.
class Statement final {
public:
    Statement() = default;
    Statement(Connection& connection, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool valid() const { return stmt_ != nullptr; }
    const EngineStatus& prepareStatus() const { return prepareStatus_; }

    void bind(int index, std::int64_t value);
    void bind(int index, std::string_view value);
    void bindNull(int index);

    // Steps once: true while a row is available; `status` tells a failure
    // from the end of the rows.
    bool step(EngineStatus& status);
    // Steps through to the end (for statements without rows).
    EngineStatus run();
    void reset();

    int columnCount() const;
    std::int64_t integer(int column) const;
    std::string_view text(int column) const;
    bool isNull(int column) const;

private:
    Connection* connection_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    EngineStatus prepareStatus_;
};

// Quotes an identifier for SQL ("Locations" -> "\"Locations\"").
std::string quoteName(std::string_view name);

} // namespace tessaly::sql
