#pragma once

#include "core/engine_status.h"
#include "core/sqlite.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tessaly {

// How far apart a batch (an import, a link test run) commits its groups of
// rows: few commits keep the disk from setting the pace, and another
// program's write waits at most this long (and the commit) for its turn.
inline constexpr std::chrono::seconds kBatchCommitEvery{2};

// The record engine of one thread: one SQLite connection on the main
// container URLDATA.tps of the data folder, with every other container
// (URL_C.tps, URL_H.tps, a file named at open time) attached to it, so that
// a change across files commits atomically. Not thread-safe; each thread
// that reads or writes records has its own engine.
class Engine final {
public:
    explicit Engine(std::string folder = ".");
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    const std::string& folder() const { return folder_; }

    // The other containers of the database set. They are attached as soon
    // as the main container opens (made when missing and the folder allows
    // it), so that a file first used inside a write group is already there:
    // SQLite cannot attach a file inside a transaction.
    void setCompanions(std::vector<std::string> containers) { companions_ = std::move(containers); }

    // The container the connection opens on (URLDATA unless set). The
    // maintenance actions open each file on a connection of its own, so
    // that the lock they take covers that file and no other.
    void setMainContainer(std::string container) { mainContainer_ = std::move(container); }

    // The path of a container: "URLDATA" -> "<folder>/URLDATA.tps"; names
    // with an extension or a folder are taken as they are.
    std::string containerPath(std::string_view container) const;

    // Makes a container available under a schema name. Missing containers
    // are made only with `create`; `readOnly` attaches without write access.
    // The schema name is returned in `schema`.
    EngineStatus attach(std::string_view container, bool create, bool readOnly,
                        std::string& schema);
    bool isReadOnly(const std::string& schema) const;

    sql::Connection& connection() { return db_; }

    // Transactions nest: only the outermost begin and commit reach SQLite;
    // a rollback at any depth undoes the whole transaction. An exclusive
    // outermost begin also keeps readers of other processes out (32 when
    // one holds the file longer than the lock wait).
    EngineStatus begin(bool exclusive = false);
    EngineStatus commit();
    void rollback();
    int transactionDepth() const { return depth_; }

    // Batch writing on or off: on, the page cache holds the keys a batch
    // builds (up to kBatchCacheKiB for each file), so a group of rows is
    // written once at its commit instead of spilling to the disk midway,
    // where the spill would keep the readers of other programs out.
    void setBatchWrites(bool on);

    // Commits a batch's group and, once another program has had its turn
    // at the lock, begins the next one. Outermost transactions only.
    EngineStatus commitAndContinue();

    // How long to wait for a lock another process holds (a second unless
    // set); kept for the connection when it opens later.
    void setLockWait(int milliseconds);
    int lockWait() const { return lockWait_; }

    // Bumped on every write, so open scans know to find their place again.
    std::uint64_t generation() const { return generation_; }
    void noteWrite() { ++generation_; }

    void close();

private:
    EngineStatus openMain(bool create, bool readOnly);
    EngineStatus attachNew(const std::string& path, bool create, bool readOnly,
                           std::string& schema);
    void attachCompanions();

    struct Attached {
        std::string schema;
        bool readOnly = false;
    };
    const Attached* findAttached(const std::string& path) const;

    std::string folder_;
    std::vector<std::string> companions_;
    std::string mainContainer_ = "URLDATA";
    sql::Connection db_;
    bool mainReadOnly_ = false;
    std::map<std::string, Attached> attached_; // by container path
    int depth_ = 0;
    bool failed_ = false;
    std::uint64_t generation_ = 0;
    int nextSchema_ = 1;
    int lockWait_ = 1000;
    bool batch_ = false;
};

} // namespace tessaly
