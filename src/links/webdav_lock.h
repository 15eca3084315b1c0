#pragma once

#include "links/webdav_client.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace tessaly {

// HTTP date ("Tue, 08 Dec 2026 01:02:03 GMT") in seconds since 1970; 0
// when it cannot be read.
std::int64_t httpDateSeconds(const std::string& date);

// The lock the browsers' sync extension takes before it touches a file:
// "<file>.lock" beside it. No lock file means free; one written less than
// `stale` ago (by the server's clock) means someone is syncing; an older
// one was left by a sync that died and may be taken over. While held, the
// lock file is written again every `refresh` on a thread of its own (with a
// connection of its own), so a long sync never looks dead to the others.
class DavFileLock final {
public:
    struct Times {
        std::chrono::seconds stale{15 * 60};
        std::chrono::milliseconds refresh{2 * 60 * 1000};
    };

    DavFileLock(DavAccount account, HttpLimits limits, Times times);
    DavFileLock(DavAccount account, HttpLimits limits) : DavFileLock(account, limits, Times{}) {}
    ~DavFileLock(); // releases a lock still held
    DavFileLock(const DavFileLock&) = delete;
    DavFileLock& operator=(const DavFileLock&) = delete;

    // Takes the lock. False with `error` in the user's words when another
    // program holds it or the server cannot be asked.
    bool acquire(std::string& error);
    // Stops refreshing and removes the lock file. Safe to call twice.
    void release();

    std::string lockName() const { return account_.file + ".lock"; }

private:
    void refreshLoop();

    DavAccount account_;
    HttpLimits limits_;
    Times times_;
    WebDavClient client_;
    bool held_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread refresher_;
};

} // namespace tessaly
