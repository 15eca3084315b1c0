#pragma once

#include "links/webdav_client.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tessaly {

// HTTP date ("Tue, 08 Dec 2026 01:02:03 GMT") in seconds since 1970; 0
// when it cannot be read.
std::int64_t httpDateSeconds(const std::string& date);
// Seconds since 1970 as an HTTP date, in English whatever the locale.
std::string httpDate(std::int64_t seconds);
// `least` and up to half as long again, at random: two programs that met
// at one moment wait apart instead of trying again in step. Thread-safe.
std::chrono::milliseconds randomisedWait(std::chrono::milliseconds least);

// The lock the browsers' sync extension takes before it touches a file:
// "<file>.lock" beside it. No lock file means free; one written less than
// `stale` ago (by the server's clock) means someone is syncing; an older
// one was left by a sync that died and may be taken over. Where the server
// names no Last-Modified, the time our own lock text holds tells its age;
// a lock of another program with neither always holds. While held, the
// lock file is written again every `refresh` on a thread of its own (with a
// connection of its own), so a long sync never looks dead to the others.
// Taking over, refreshing and removing go only while the lock file is still
// the one read, so a lock another program took meanwhile is left to it.
// A common WebDAV module lets two conditional writes of a new lock both
// succeed, so a lock written is read back after a moment and held only
// while it still names us (our host, process and time).
class DavFileLock final {
public:
    struct Times {
        std::chrono::seconds stale{15 * 60};
        std::chrono::milliseconds refresh{2 * 60 * 1000};
        // How long the server gives a file just written a weak ETag, which
        // no condition can match: a lock that may be taken over but was
        // written this moment is read again after it.
        std::chrono::milliseconds settle{1200};
        // How long at least a lock just written stands before it is read
        // back (randomisedWait): longer than another program's write that
        // passed its condition with ours takes to land.
        std::chrono::milliseconds confirm{500};
        // Called between reading the lock and writing ours, and between
        // writing ours and reading it back (tests play another program
        // here).
        std::function<void()> beforeTake;
        std::function<void()> afterTake;
    };

    DavFileLock(DavAccount account, HttpLimits limits, Times times);
    DavFileLock(DavAccount account, HttpLimits limits) : DavFileLock(account, limits, Times{}) {}
    ~DavFileLock(); // releases a lock still held
    DavFileLock(const DavFileLock&) = delete;
    DavFileLock& operator=(const DavFileLock&) = delete;

    // Takes the lock. False with `error` in the user's words when another
    // program holds it (or took it with us, and its write stood), or the
    // server cannot be asked.
    bool acquire(std::string& error);
    // Stops refreshing and removes the lock file while it is still ours.
    // Safe to call twice.
    void release();

    std::string lockName() const { return account_.file + ".lock"; }

private:
    // Whether the lock read may be taken over; false with `error` when it
    // holds.
    bool mayTakeOver(const DavAnswer& found, std::string& error) const;
    // Our lock's text, dated by the server's clock.
    std::string ourText() const;
    // Writes our lock again while it is still the one we wrote; false
    // when another program has it now.
    bool refresh(WebDavClient& client);
    // Removes the lock file while it holds `text` and is still the file
    // read.
    void removeIfStill(const std::string& text);
    void refreshLoop();

    DavAccount account_;
    HttpLimits limits_;
    Times times_;
    WebDavClient client_;
    bool held_ = false;
    std::int64_t serverAhead_ = 0; // the server's clock less ours, in seconds
    std::string written_;          // our lock's text as last written
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread refresher_;
};

} // namespace tessaly
