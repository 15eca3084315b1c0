#include "core/sqlite.h"

#include "framework/text.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <sqlite3.h>
#include <thread>

namespace tessaly::sql {

namespace {

int compareNoCase(void* /*context*/, int lengthA, const void* a, int lengthB, const void* b)
{
    return text::compareNoCase({static_cast<const char*>(a), static_cast<std::size_t>(lengthA)},
                               {static_cast<const char*>(b), static_cast<std::size_t>(lengthB)});
}

void foldText(sqlite3_context* context, int /*count*/, sqlite3_value** values)
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_value_text(values[0]));
    const auto size = static_cast<std::size_t>(sqlite3_value_bytes(values[0]));
    const std::string folded = text::foldKey({data == nullptr ? "" : data, size});
    sqlite3_result_text(context, folded.data(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
}

EngineStatus statusFor(sqlite3* db, int code)
{
    const int primary = code & 0xFF;
    EngineStatus status;
    switch (primary) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return {};
    case SQLITE_CONSTRAINT:
        status = EngineStatus::error(kDuplicateKey);
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        status = EngineStatus::error(kFileLocked);
        break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        status = EngineStatus::error(kAccessDenied);
        break;
    case SQLITE_CANTOPEN: {
        const int os = db != nullptr ? sqlite3_system_errno(db) : 0;
        if (os == ENOENT) {
            return EngineStatus::error(kFileNotFound);
        }
        if (os == EACCES || os == EROFS || os == EPERM) {
            return EngineStatus::error(kAccessDenied);
        }
        status = os != 0 ? EngineStatus::systemError(os) : EngineStatus::error(kFileNotFound);
        break;
    }
    case SQLITE_FULL:
        return EngineStatus::systemError(ENOSPC);
    case SQLITE_IOERR: {
        const int os = db != nullptr ? sqlite3_system_errno(db) : 0;
        status = EngineStatus::systemError(os != 0 ? os : EIO);
        break;
    }
    case SQLITE_CORRUPT:
        status = EngineStatus::error(kKeyFileInvalid);
        break;
    case SQLITE_NOTADB:
        status = EngineStatus::error(kInvalidRecordDeclaration);
        break;
    default:
        status = EngineStatus::error(kOperatingSystemError);
        status.systemCode = code;
        status.systemText = sqlite3_errstr(code);
        return status;
    }
    // Keep SQLite's own words beside the engine's: they name the cause.
    if (db != nullptr && status.code != kOperatingSystemError) {
        const char* message = sqlite3_errmsg(db);
        if (message != nullptr && status.text != message) {
            status.text += std::string{" - "} + message;
        }
    }
    return status;
}

std::atomic<void (*)()> lockWaitObserver{nullptr};

// How soon after a wait ran out another wait counts as the same one.
constexpr std::chrono::seconds kWaitRunsOnFor{1};

} // namespace

void setLockWaitObserver(void (*observer)())
{
    lockWaitObserver = observer;
}

int Connection::waitForLock(void* self, int tries)
{
    auto& connection = *static_cast<Connection*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (tries == 0) {
        // A wait that ran out a moment ago is the same wait: a command goes
        // on to its next statements after one failed, and each waiting the
        // whole time again would hold a script that was promised thirty
        // seconds for minutes.
        // Counted from the real end of the wait only, so that a program
        // busy with statements still waits again a second later.
        if (connection.gaveUp_ && now - *connection.gaveUp_ < kWaitRunsOnFor) {
            return 0;
        }
        connection.waitStarted_ = now;
        if (const auto observer = lockWaitObserver.load(); observer != nullptr) {
            observer();
        }
    }
    const auto waited = now - connection.waitStarted_;
    if (waited >= std::chrono::milliseconds(connection.lockWait_)) {
        connection.gaveUp_ = now;
        return 0;
    }
    connection.gaveUp_.reset();
    std::this_thread::sleep_for(kLockRetryEvery);
    return 1;
}

Connection::~Connection()
{
    close();
}

EngineStatus Connection::open(const std::string& path, bool create, bool readOnly)
{
    close();
    int flags = SQLITE_OPEN_NOMUTEX | (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
    if (create && !readOnly) {
        flags |= SQLITE_OPEN_CREATE;
    }
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        EngineStatus status = statusFor(db_, rc);
        close();
        return status;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_create_collation(db_, std::string{kNoCase}.c_str(), SQLITE_UTF8, nullptr,
                             compareNoCase);
    sqlite3_create_function(db_, std::string{kFoldFunction}.c_str(), 1,
                            SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, foldText, nullptr,
                            nullptr);
    return {};
}

void Connection::close()
{
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

EngineStatus Connection::execute(std::string_view sqlText)
{
    if (db_ == nullptr) {
        return EngineStatus::error(kFileNotOpen);
    }
    const std::string text{sqlText};
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
    return statusFor(db_, rc);
}

void Connection::setBusyTimeout(int milliseconds)
{
    lockWait_ = milliseconds;
    gaveUp_.reset(); // a wait chosen anew is waited whole
    if (db_ != nullptr) {
        sqlite3_busy_handler(db_, milliseconds > 0 ? &Connection::waitForLock : nullptr, this);
    }
}

EngineStatus Connection::lastError(int sqliteCode) const
{
    return statusFor(db_, sqliteCode);
}

std::int64_t Connection::lastInsertRowid() const
{
    return sqlite3_last_insert_rowid(db_);
}

int Connection::changes() const
{
    return sqlite3_changes(db_);
}

Statement::Statement(Connection& connection, std::string_view sqlText) : connection_(&connection)
{
    if (!connection.isOpen()) {
        prepareStatus_ = EngineStatus::error(kFileNotOpen);
        return;
    }
    const int rc =
        sqlite3_prepare_v3(connection.handle(), sqlText.data(), static_cast<int>(sqlText.size()),
                           SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        prepareStatus_ = connection.lastError(rc);
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept
    : connection_(other.connection_), stmt_(other.stmt_),
      prepareStatus_(std::move(other.prepareStatus_))
{
    other.stmt_ = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(stmt_);
        connection_ = other.connection_;
        stmt_ = other.stmt_;
        prepareStatus_ = std::move(other.prepareStatus_);
        other.stmt_ = nullptr;
    }
    return *this;
}

void Statement::bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(stmt_, index, value);
}

void Statement::bind(int index, std::string_view value)
{
    sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

void Statement::bindNull(int index)
{
    sqlite3_bind_null(stmt_, index);
}

bool Statement::step(EngineStatus& status)
{
    if (stmt_ == nullptr) {
        status = prepareStatus_.ok() ? EngineStatus::error(kFileNotOpen) : prepareStatus_;
        return false;
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        status = {};
        return true;
    }
    status = rc == SQLITE_DONE ? EngineStatus{} : connection_->lastError(rc);
    return false;
}

EngineStatus Statement::run()
{
    EngineStatus status;
    while (step(status)) {
    }
    reset();
    return status;
}

void Statement::reset()
{
    if (stmt_ != nullptr) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

int Statement::columnCount() const
{
    return sqlite3_column_count(stmt_);
}

std::int64_t Statement::integer(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

std::string_view Statement::text(int column) const
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (data == nullptr) {
        return {};
    }
    return {data, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::string quoteName(std::string_view name)
{
    std::string out = "\"";
    for (const char c : name) {
        out.push_back(c);
        if (c == '"') {
            out.push_back('"');
        }
    }
    out.push_back('"');
    return out;
}

} // namespace tessaly::sql
