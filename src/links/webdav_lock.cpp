#include "links/webdav_lock.h"

#include <curl/curl.h>
#include <unistd.h>

#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace tessaly {

namespace {

constexpr std::string_view kLockPrefix = "Tessaly 2000 is synchronising from ";

std::string hostName()
{
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return host;
}

std::string lockText(long process)
{
    return std::string{kLockPrefix} + hostName() + " (process " + std::to_string(process) + ")\n";
}

std::string lockText()
{
    return lockText(static_cast<long>(::getpid()));
}

// A lock that a sync of ours on this machine left when it was killed: its
// process is gone, and waiting a quarter of an hour for it would only hold
// up the sync that completes its work.
bool leftByDeadSyncHere(const std::string& body)
{
    const std::string start = std::string{kLockPrefix} + hostName() + " (process ";
    if (!body.starts_with(start)) {
        return false;
    }
    const long process = std::atol(body.c_str() + start.size());
    return process > 0 && body == lockText(process) && process != ::getpid() &&
           ::kill(static_cast<pid_t>(process), 0) != 0 && errno == ESRCH;
}

} // namespace

std::int64_t httpDateSeconds(const std::string& date)
{
    if (date.empty()) {
        return 0;
    }
    const time_t seconds = curl_getdate(date.c_str(), nullptr);
    return seconds < 0 ? 0 : static_cast<std::int64_t>(seconds);
}

DavFileLock::DavFileLock(DavAccount account, HttpLimits limits, Times times)
    : account_(std::move(account)), limits_(limits), times_(times), client_(account_, limits_)
{}

DavFileLock::~DavFileLock()
{
    release();
}

bool DavFileLock::acquire(std::string& error)
{
    const std::string name = lockName();
    const DavAnswer found = client_.get(name);
    bool free = found.status == 404;
    if (!free && !found.ok()) {
        error = davProblem(found, name);
        return false;
    }
    if (!free) {
        // The server's clock judges the lock's age: ours may be off.
        const std::int64_t written = httpDateSeconds(found.lastModified);
        std::int64_t now = httpDateSeconds(found.date);
        if (now == 0) {
            now = static_cast<std::int64_t>(std::time(nullptr));
        }
        const std::int64_t age = now - written;
        if ((written == 0 || age < times_.stale.count()) && !leftByDeadSyncHere(found.body)) {
            const std::int64_t minutes = (times_.stale.count() - age + 59) / 60;
            error = account_.file + " is being synchronised by another program (" + name +
                    " is on the server); try again later: a lock left behind runs out in " +
                    std::to_string(written == 0 ? times_.stale.count() / 60 : minutes) + " minutes";
            return false;
        }
        // Older than any live sync keeps it: its owner died.
    }
    const DavAnswer taken =
        client_.put(name, lockText(), free ? DavCondition::ifAbsent() : DavCondition::none());
    if (taken.status == 412) {
        error = account_.file + " is being synchronised by another program (it took " + name +
                " just now); try again later";
        return false;
    }
    if (!taken.ok()) {
        error = davProblem(taken, name);
        return false;
    }
    held_ = true;
    stopping_ = false;
    refresher_ = std::thread([this] { refreshLoop(); });
    return true;
}

void DavFileLock::refreshLoop()
{
    WebDavClient client{account_, limits_};
    std::unique_lock lock{mutex_};
    while (!wake_.wait_for(lock, times_.refresh, [this] { return stopping_; })) {
        lock.unlock();
        // A refresh that fails leaves the old lock, which still holds for
        // its quarter of an hour: nothing to tell anyone yet.
        client.put(lockName(), lockText());
        lock.lock();
    }
}

void DavFileLock::release()
{
    if (!held_) {
        return;
    }
    {
        std::lock_guard lock{mutex_};
        stopping_ = true;
    }
    wake_.notify_all();
    refresher_.join();
    held_ = false;
    client_.remove(lockName());
}

} // namespace tessaly
