#include "core/engine.h"

#include "core/record_file_sql.h"

#include <cerrno>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tessaly {

namespace {

// A batch's page cache for each file, in KiB: room for the keys of a
// hundred thousand bookmarks, so a group's changes stay in memory until
// its commit. The cache grows only as pages are used.
constexpr int kBatchCacheKiB = 64 * 1024;
// SQLite's own default, given back when the batch ends.
constexpr int kDefaultCacheKiB = 2000;

bool exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// A file name as an SQLite URI, so the access mode can be given per file.
std::string uriFor(const std::string& path, bool create, bool readOnly)
{
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '?' || c == '#' || c == '%') {
            static constexpr char hex[] = "0123456789ABCDEF";
            uri += '%';
            uri += hex[(static_cast<unsigned char>(c) >> 4U) & 0xFU];
            uri += hex[static_cast<unsigned char>(c) & 0xFU];
        } else {
            uri += c;
        }
    }
    uri += readOnly ? "?mode=ro" : (create ? "?mode=rwc" : "?mode=rw");
    return uri;
}

} // namespace

Engine::Engine(std::string folder) : folder_(std::move(folder))
{}

Engine::~Engine()
{
    close();
}

void Engine::close()
{
    if (depth_ > 0) {
        rollback();
    }
    attached_.clear();
    db_.close();
}

std::string Engine::containerPath(std::string_view container) const
{
    std::string name{container};
    if (name.find('/') == std::string::npos && name.find('.') == std::string::npos) {
        name += ".tps";
    }
    if (name.starts_with('/') || folder_.empty() || folder_ == ".") {
        return name;
    }
    return folder_ + "/" + name;
}

EngineStatus Engine::openMain(bool create, bool readOnly)
{
    const std::string path = containerPath(mainContainer_);
    if (!create && !exists(path)) {
        return EngineStatus::error(kFileNotFound);
    }
    EngineStatus status = db_.open(uriFor(path, true, readOnly), true, readOnly);
    if (!status.ok()) {
        return status;
    }
    mainReadOnly_ = readOnly;
    setLockWait(lockWait_);
    // A rollback journal (not WAL) makes a commit across attached files
    // atomic; FULL sync makes it survive a power cut.
    db_.execute("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA foreign_keys=OFF;");
    attached_[path] = Attached{"main", readOnly};
    attachCompanions();
    return {};
}

const Engine::Attached* Engine::findAttached(const std::string& path) const
{
    const auto found = attached_.find(path);
    return found != attached_.end() ? &found->second : nullptr;
}

EngineStatus Engine::attach(std::string_view container, bool create, bool readOnly,
                            std::string& schema)
{
    const std::string path = containerPath(container);
    const bool isMain = container == mainContainer_ || path == containerPath(mainContainer_);
    if (!db_.isOpen() && findAttached(path) == nullptr) {
        // The main container exists whenever any other is used: it is the
        // anchor of the connection and of multi-file commits.
        EngineStatus status = openMain(true, isMain ? readOnly : false);
        if (!status.ok() && !isMain && status.code == kAccessDenied) {
            status = openMain(false, true);
        }
        if (!status.ok()) {
            return status;
        }
        if (isMain) {
            schema = "main";
            return {};
        }
    }
    if (const Attached* found = findAttached(path); found != nullptr) {
        if (found->readOnly && !readOnly) {
            return EngineStatus::error(kAccessDenied);
        }
        schema = found->schema;
        return {};
    }
    if (isMain) {
        schema = "main";
        return {};
    }
    if (!create && !exists(path)) {
        return EngineStatus::error(kFileNotFound);
    }
    if (depth_ > 0) {
        // SQLite cannot attach inside a transaction; the set's own files
        // were attached when the main container opened.
        EngineStatus status = EngineStatus::error(kFileLocked);
        status.systemText = "a database file cannot be opened inside a write group";
        return status;
    }
    return attachNew(path, create, readOnly, schema);
}

EngineStatus Engine::attachNew(const std::string& path, bool create, bool readOnly,
                               std::string& schema)
{
    const std::string name = "c" + std::to_string(nextSchema_++);
    sql::Statement attachStatement{db_, "ATTACH DATABASE ? AS " + name};
    attachStatement.bind(1, uriFor(path, create, readOnly));
    EngineStatus status = attachStatement.run();
    if (!status.ok()) {
        const int os = errno;
        if (status.code == kFileNotFound && exists(path)) {
            status = (os == EACCES || os == EROFS) ? EngineStatus::error(kAccessDenied)
                                                   : EngineStatus::systemError(os != 0 ? os : EIO);
        }
        return status;
    }
    attached_[path] = Attached{name, readOnly};
    schema = name;
    if (batch_) {
        db_.execute("PRAGMA " + name + ".cache_size=" + std::to_string(-kBatchCacheKiB));
    }
    return {};
}

void Engine::attachCompanions()
{
    // Best effort: a companion that cannot be attached now is attached (and
    // its fault reported in its own name) when it is first used.
    for (const std::string& container : companions_) {
        const std::string path = containerPath(container);
        if (attached_.contains(path)) {
            continue;
        }
        const bool writable = !mainReadOnly_ && detail::canWrite(path);
        if (!writable && !exists(path)) {
            continue;
        }
        std::string schema;
        attachNew(path, writable, !writable, schema);
    }
}

bool Engine::isReadOnly(const std::string& schema) const
{
    for (const auto& [path, entry] : attached_) {
        if (entry.schema == schema) {
            return entry.readOnly;
        }
    }
    return false;
}

EngineStatus Engine::begin(bool exclusive)
{
    if (depth_ == 0) {
        EngineStatus status = db_.execute(exclusive ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE");
        if (!status.ok()) {
            return status;
        }
        failed_ = false;
    }
    ++depth_;
    return {};
}

EngineStatus Engine::commit()
{
    if (depth_ == 0) {
        return {};
    }
    if (--depth_ > 0) {
        return {};
    }
    if (failed_) {
        db_.execute("ROLLBACK");
        EngineStatus status = EngineStatus::error(kOperatingSystemError);
        status.systemText = "an earlier step of the transaction failed; nothing was changed";
        return status;
    }
    EngineStatus status = db_.execute("COMMIT");
    if (!status.ok()) {
        db_.execute("ROLLBACK");
    }
    return status;
}

void Engine::rollback()
{
    if (depth_ == 0) {
        return;
    }
    if (depth_ > 1) {
        // An inner failure spoils the whole transaction; the outermost
        // commit turns into a rollback.
        failed_ = true;
        --depth_;
        return;
    }
    depth_ = 0;
    db_.execute("ROLLBACK");
    noteWrite();
}

void Engine::setBatchWrites(bool on)
{
    batch_ = on;
    const std::string size = std::to_string(-(on ? kBatchCacheKiB : kDefaultCacheKiB));
    for (const auto& [path, entry] : attached_) {
        db_.execute("PRAGMA " + entry.schema + ".cache_size=" + size);
    }
}

EngineStatus Engine::commitAndContinue()
{
    if (depth_ != 1) {
        return {};
    }
    if (EngineStatus committed = commit(); !committed.ok()) {
        return committed;
    }
    // A writer of another program that waits for the lock tries again every
    // kLockRetryEvery: leave it a few of those to take its turn.
    std::this_thread::sleep_for(3 * sql::kLockRetryEvery);
    return begin();
}

void Engine::setLockWait(int milliseconds)
{
    lockWait_ = milliseconds;
    db_.setBusyTimeout(milliseconds);
}

} // namespace tessaly
