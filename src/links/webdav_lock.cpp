#include "links/webdav_lock.h"

#include <curl/curl.h>
#include <unistd.h>

#include <signal.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <optional>
#include <random>

namespace tessaly {

namespace {

constexpr std::string_view kLockPrefix = "Tessaly 2000 is synchronising from ";
constexpr std::string_view kProcess = " (process ";
constexpr std::string_view kWrittenAt = " at ";
// A lock is a line of text: anything longer is no lock of ours to read.
constexpr std::size_t kLargestLock = std::size_t{64} << 10U;

std::string hostName()
{
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return host;
}

// "Tessaly 2000 is synchronising from HOST (process N) at DATE": the date,
// by the server's clock, tells another program the lock's age where the
// server names no Last-Modified.
std::string lockText(long process, std::int64_t written)
{
    return std::string{kLockPrefix} + hostName() + std::string{kProcess} + std::to_string(process) +
           ")" + std::string{kWrittenAt} + httpDate(written) + "\n";
}

struct OurLock {
    std::string host;
    long process = 0;
    std::int64_t written = 0; // 0: a lock of an earlier version names no time
};

// Our lock text taken apart; nothing for another program's lock.
std::optional<OurLock> readLockText(std::string_view body)
{
    if (!body.starts_with(kLockPrefix) || !body.ends_with('\n')) {
        return std::nullopt;
    }
    body = body.substr(kLockPrefix.size(), body.size() - kLockPrefix.size() - 1);
    const std::size_t open = body.rfind(kProcess);
    const std::size_t close = body.find(')', open == std::string_view::npos ? 0 : open);
    if (open == std::string_view::npos || close == std::string_view::npos) {
        return std::nullopt;
    }
    OurLock lock;
    lock.host = body.substr(0, open);
    const std::string_view number =
        body.substr(open + kProcess.size(), close - open - kProcess.size());
    const auto [end, failure] =
        std::from_chars(number.data(), number.data() + number.size(), lock.process);
    if (failure != std::errc{} || end != number.data() + number.size() || lock.process <= 0) {
        return std::nullopt;
    }
    const std::string_view rest = body.substr(close + 1);
    if (rest.empty()) {
        return lock;
    }
    if (!rest.starts_with(kWrittenAt)) {
        return std::nullopt;
    }
    lock.written = httpDateSeconds(std::string{rest.substr(kWrittenAt.size())});
    return lock.written == 0 ? std::nullopt : std::optional{lock};
}

// A lock that a sync of ours on this machine left when it was killed: its
// process is gone, and waiting a quarter of an hour for it would only hold
// up the sync that completes its work.
bool leftByDeadSyncHere(const std::string& body)
{
    const std::optional<OurLock> lock = readLockText(body);
    return lock && lock->host == hostName() && lock->process != ::getpid() &&
           ::kill(static_cast<pid_t>(lock->process), 0) != 0 && errno == ESRCH;
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

std::string httpDate(std::int64_t seconds)
{
    static constexpr std::array<const char*, 7> kDays{"Sun", "Mon", "Tue", "Wed",
                                                      "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto time = static_cast<time_t>(seconds);
    std::tm parts{};
    ::gmtime_r(&time, &parts);
    char text[40] = {};
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT",
                  kDays.at(static_cast<std::size_t>(parts.tm_wday)), parts.tm_mday,
                  kMonths.at(static_cast<std::size_t>(parts.tm_mon)), parts.tm_year + 1900,
                  parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

std::chrono::milliseconds randomisedWait(std::chrono::milliseconds least)
{
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::chrono::milliseconds::rep> spread{0, least.count() / 2};
    return least + std::chrono::milliseconds{spread(random)};
}

DavFileLock::DavFileLock(DavAccount account, HttpLimits limits, Times times)
    : account_(std::move(account)), limits_(limits), times_(std::move(times)),
      client_(account_, limits_)
{}

DavFileLock::~DavFileLock()
{
    release();
}

std::string DavFileLock::ourText() const
{
    return lockText(static_cast<long>(::getpid()),
                    static_cast<std::int64_t>(std::time(nullptr)) + serverAhead_);
}

bool DavFileLock::mayTakeOver(const DavAnswer& found, std::string& error) const
{
    const std::string name = lockName();
    // The server's clock judges the lock's age: ours may be off. Without
    // its Last-Modified, the time our own lock text names (by the server's
    // clock too) is the sign.
    std::int64_t written = httpDateSeconds(found.lastModified);
    if (written == 0) {
        const std::optional<OurLock> ours = readLockText(found.body);
        written = ours ? ours->written : 0;
    }
    std::int64_t now = httpDateSeconds(found.date);
    if (now == 0) {
        now = static_cast<std::int64_t>(std::time(nullptr));
    }
    const std::int64_t age = now - written;
    if ((written != 0 && age >= times_.stale.count()) || leftByDeadSyncHere(found.body)) {
        return true; // older than any live sync keeps it: its owner died
    }
    if (written == 0) {
        error = account_.file + " is being synchronised by another program (" + name +
                " is on the server, which does not say when it was written); try again later, "
                "or remove " +
                name + " from the server if no program is synchronising";
        return false;
    }
    const std::int64_t minutes = (times_.stale.count() - age + 59) / 60;
    error = account_.file + " is being synchronised by another program (" + name +
            " is on the server); try again later: a lock left behind runs out in " +
            std::to_string(minutes) + " minutes";
    return false;
}

bool DavFileLock::acquire(std::string& error)
{
    const std::string name = lockName();
    DavAnswer found;
    for (int read = 0; read < 2; ++read) {
        found = client_.get(name, kLargestLock);
        if (const std::int64_t server = httpDateSeconds(found.date); server != 0) {
            serverAhead_ = server - static_cast<std::int64_t>(std::time(nullptr));
        }
        if (found.status == 404) {
            break;
        }
        if (!found.ok()) {
            error = davProblem(found, name);
            return false;
        }
        if (!mayTakeOver(found, error)) {
            return false;
        }
        if (!isWeakEtag(found.etag)) {
            break;
        }
        std::this_thread::sleep_for(times_.settle);
    }
    if (times_.beforeTake) {
        times_.beforeTake();
    }
    // Two programs that both judged the lock free or stale both write it:
    // only the first of them finds it still as read.
    const std::string text = ourText();
    const DavAnswer taken = client_.put(name, text,
                                        found.status == 404 ? DavCondition::ifAbsent()
                                                            : DavCondition::unchangedSince(found));
    if (taken.status == 412) {
        error = account_.file + " is being synchronised by another program (it took " + name +
                " just now); try again later";
        return false;
    }
    if (!taken.ok()) {
        error = davProblem(taken, name);
        return false;
    }
    if (times_.afterTake) {
        times_.afterTake();
    }
    // Another program's write that passed its condition with ours may land
    // after it: whichever write stands names the holder.
    std::this_thread::sleep_for(randomisedWait(times_.confirm));
    const DavAnswer check = client_.get(name, kLargestLock);
    if (!check.ok() && check.status != 404) {
        error = davProblem(check, name);
        removeIfStill(text);
        return false;
    }
    if (check.status == 404 || check.body != text) {
        // Theirs stands (or they are done with it already): left to them.
        error = account_.file + " is being synchronised by another program (it took " + name +
                " just now); try again later";
        return false;
    }
    written_ = text;
    held_ = true;
    stopping_ = false;
    refresher_ = std::thread([this] { refreshLoop(); });
    return true;
}

bool DavFileLock::refresh(WebDavClient& client)
{
    const DavAnswer found = client.get(lockName(), kLargestLock);
    if (found.status == 404 || (found.ok() && found.body != written_)) {
        return false; // ours ran out and another program took it, or it was removed
    }
    if (!found.ok()) {
        // The old lock still holds for its quarter of an hour: try again
        // at the next refresh.
        return true;
    }
    const std::string text = ourText();
    const DavAnswer put = client.put(lockName(), text, DavCondition::unchangedSince(found));
    if (put.status == 412) {
        return false; // taken between the read and the write
    }
    if (put.ok()) {
        written_ = text;
    }
    return true;
}

void DavFileLock::refreshLoop()
{
    WebDavClient client{account_, limits_};
    std::unique_lock lock{mutex_};
    while (!wake_.wait_for(lock, times_.refresh, [this] { return stopping_; })) {
        lock.unlock();
        const bool ours = refresh(client);
        lock.lock();
        if (!ours) {
            return;
        }
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
    removeIfStill(written_);
}

void DavFileLock::removeIfStill(const std::string& text)
{
    // A lock that ran out may be another program's now: it is removed only
    // while it holds what we wrote, and still is the file read. (A weak tag
    // means we wrote it within the second, too fresh for anyone to take.)
    const DavAnswer found = client_.get(lockName(), kLargestLock);
    if (found.ok() && found.body == text) {
        client_.remove(lockName(), DavCondition::unchangedSince(found));
    }
}

} // namespace tessaly
