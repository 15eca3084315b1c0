#pragma once

#include "core/settings.h"
#include "links/http_session.h"

#include <atomic>
#include <chrono>
#include <compare>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

// "Tessaly 2.200001b": the agent downloads send.
extern const char* const kDownloadAgent;

// A download may take this much and this long at most: a page that never
// ends must not fill the disk or hold the run for ever.
inline constexpr std::int64_t kDefaultDownloadMostBytes = std::int64_t{1} << 30;
inline constexpr long kDefaultDownloadMostSeconds = 600;

// The waits of a download: under 1 KB/s for 20 seconds is a stalled page,
// and the whole download takes `mostSeconds` at most.
HttpLimits downloadLimits(long mostSeconds = kDefaultDownloadMostSeconds);

// What one download may cost: its waits and the most bytes it may write.
struct DownloadBounds {
    HttpLimits http = downloadLimits();
    std::int64_t mostBytes = kDefaultDownloadMostBytes;
};

// The bounds the user's settings give (DownloadMostMB, DownloadMostMinutes).
DownloadBounds downloadBounds(const Settings& settings);

// A file name made safe to write in a folder: what follows its last "\",
// "/" or ":" (the address's text when that is nothing); each "[...]"
// removed (a cached "index[1].html" is "index.html"); "\ / : ? *" and
// control characters "_".
std::string cleanFileName(std::string_view name, std::string_view address);

// A name as a server gives it, with what could hide or disguise a file
// removed: control characters, the bidirectional overrides and marks, the
// characters that take no room, and leading dots (a hidden file, or one
// that replaces a user's settings such as ".bashrc").
std::string serverFileName(std::string_view name);

// The name a page is saved under in a folder: the one its server gives in
// Content-Disposition, else the last path segment of the address that
// answered, each through serverFileName() and cleaned. A name that is ".", ".." or empty after
// cleaning is the address turned into one name; "temp.html" when even that fails. The name never
// holds a "/", so it cannot leave the folder.
std::string pageFileName(std::string_view contentDisposition, std::string_view finalAddress,
                         std::string_view address);

// DOWNLOAD.LOG keeps one key per address, which an INI file cannot hold
// as it stands when it has "=", ";" or "[" (or a line break): those
// characters are written as %3D, %3B, %5B (%0A...), and a "%" that would
// otherwise read as one of those escapes as %25. Every other address,
// percent-escapes and all, is its own key, and the key always reads back
// as its address.
std::string downloadLogKey(std::string_view address);
std::string addressOfDownloadLogKey(std::string_view key);

// Which file in a folder a page may be saved as. A file that DOWNLOAD.LOG
// or a bookmark records for another address is never replaced, nor is any
// other file that was there before: only a file saved for the same
// address is. A page whose name is held gets a free one ("index
// (2).html"), and two pages of one run never get the same name. Safe to
// share between downloads running at once.
class DownloadNames final {
public:
    // Where a page goes: `replaces` when a file of its own address is
    // there and may be replaced; otherwise no file was there when looked.
    struct Choice {
        std::string path;
        bool replaces = false;
    };

    // `path` was saved for `address` (a bookmark's original file, a log
    // entry, a page of this run). A path that names no file is ignored.
    void record(const std::string& path, std::string_view address);
    // Every file DOWNLOAD.LOG at `logPath` names, for its address.
    void recordLog(const std::string& logPath);

    // The path in `folder` (ending in "/") for a page named `name`, saved
    // for `address`; the name is held for that address from now on.
    // Nullopt when no free name is left.
    std::optional<Choice> claim(const std::string& folder, const std::string& name,
                                std::string_view address);

private:
    struct FileId {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        auto operator<=>(const FileId&) const = default;
    };

    std::mutex mutex_;
    std::map<FileId, std::set<std::string>> owners_; // the addresses, folded
    std::map<std::string, std::string> claimed_;     // path -> folded address
};

// Saves the document at one address to a file (DownloadURL). The target
// is a folder followed by "*" (the file name comes from the page, chosen by
// `names`; without them by DOWNLOAD.LOG alone) or a full file path, which
// is replaced. The page is written as the blocks arrive (memory stays flat)
// to a hidden file of its own in the same folder, and takes its name only
// once it is whole: a page that stops, stalls, trickles, passes the bounds
// or is cancelled leaves no file, and an earlier copy stays until the new
// one replaces it. The entry in the download log follows. Nothing is
// shared but `names` and the log, whose writes downloads running side by
// side must take in turn. run() works on the calling thread; cancel() from
// any thread ends it at once.
class PageDownload final {
public:
    PageDownload(std::string target, std::string address, std::string logPath, std::int32_t today,
                 DownloadNames* names = nullptr, DownloadBounds bounds = {});
    ~PageDownload();
    PageDownload(const PageDownload&) = delete;
    PageDownload& operator=(const PageDownload&) = delete;

    void run();
    void cancel();
    // Before run(): the caller gives the whole page its name (takeName()),
    // so that pages running side by side are named in the caller's order,
    // and writes logEntry() into the log itself, with those of other
    // downloads at once (see writeDownloadLog()).
    void leaveNameToCaller() { nameLater_ = true; }
    // Once run() has returned: gives a whole page its name in the folder;
    // false when there is none (the page stays unsaved, problem() says why).
    bool takeName();
    // The download log's key and value for the file written.
    std::pair<std::string, std::string> logEntry() const;

    // While it runs, from any thread.
    std::int64_t total() const { return total_; }
    bool writeFailed() const { return writeFailed_; }
    bool finished() const { return finished_; }
    std::chrono::steady_clock::time_point startTime() const { return start_; }

    const std::string& address() const { return address_; }

    // Once run() has returned. The file written, empty when none.
    const std::string& path() const { return path_; }
    long statusCode() const { return session_.statusCode(); }
    bool cancelled() const { return cancelled_; }
    // The page arrived whole and was written whole.
    bool complete() const { return !path_.empty(); }
    // The server answered, but the page did not arrive whole: it stopped,
    // stalled, trickled or went past a bound, and nothing was kept.
    bool failed() const { return failed_; }
    // Why no file was written, why the page stopped arriving, or why a
    // write failed; empty when nothing went wrong.
    const std::string& problem() const;
    const std::string& writeError() const { return writeError_; }
    // The log entry could not be written (the file was).
    const std::string& logError() const { return logError_; }

private:
    bool openFile();
    bool write(std::string_view block);
    bool closeFile();
    void discardFile();
    bool keepFile(); // once closed
    bool placeInFolder();
    void writeLogEntry();

    std::string target_;
    std::string address_;
    std::string logPath_;
    std::int32_t today_;
    DownloadNames* names_;
    std::unique_ptr<DownloadNames> ownNames_; // when the caller gave none
    DownloadBounds bounds_;
    HttpSession session_;
    std::string folder_;
    bool folderMode_ = false;
    int file_ = -1;
    std::string partPath_; // the hidden file the page arrives in
    std::string path_;
    std::string openError_;
    std::string readError_;
    std::string writeError_;
    std::string logError_;
    std::atomic<std::int64_t> total_ = 0;
    std::atomic<bool> writeFailed_ = false;
    std::atomic<bool> cancelled_ = false;
    std::atomic<bool> finished_ = false;
    bool failed_ = false;
    bool tooLarge_ = false;
    bool nameLater_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Writes the entries of several downloads (logEntry()) into the download
// log at `logPath` in one rewrite, atomically. False with the reason in
// `error` when it could not be written.
bool writeDownloadLog(const std::string& logPath,
                      const std::vector<std::pair<std::string, std::string>>& entries,
                      std::string& error);

// Removes the hidden files that downloads of processes no longer running
// left in `folder` (killed before their pages were whole). Errors are
// ignored: a leftover is untidy, not harmful.
void removeStaleDownloadParts(const std::string& folder);

// The progress the "Retrieve Web Document" window shows: total followed
// by "/Unknown", the rate "12.3k/s", and the bar's range, which always
// leaves room ahead as the size is never known in advance.
std::string downloadSizeText(std::int64_t total);
std::string downloadRateText(std::int64_t total, std::int64_t elapsedHundredths);
std::int64_t downloadRangeTop(std::int64_t total);

} // namespace tessaly
