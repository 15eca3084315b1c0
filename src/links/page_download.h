#pragma once

#include "links/http_session.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace tessaly {

// "Tessaly 2.200001b": the agent downloads send.
extern const char* const kDownloadAgent;

// The waits of a download: as long as the page keeps arriving, with no
// bound on the whole (the window's Cancel ends it).
HttpLimits downloadLimits();

// A file name made safe to write in a folder: what follows its last "\",
// "/" or ":" (the address's text when that is nothing); each "[...]"
// removed (a cached "index[1].html" is "index.html"); "\ / : ? *" and
// control characters "_".
std::string cleanFileName(std::string_view name, std::string_view address);

// The name a page is saved under in a folder: the one its server gives in
// Content-Disposition, else the last path segment of the address that
// answered, cleaned. A name that is ".", ".." or empty after cleaning is
// the address turned into one name; "temp.html" when even that fails. The
// name never holds a "/", so it cannot leave the folder.
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

// The names given within one run of downloads, so that a later page whose
// name is taken gets a free one ("index (2).html") instead of overwriting
// the earlier page. Files that were there before the run are replaced.
class DownloadNames final {
public:
    std::string claim(const std::string& name);

private:
    std::set<std::string> taken_;
};

// Saves the document at one address to a file (DownloadURL). The target
// is a folder followed by "*" (the file name comes from the page) or a
// full file path. The three tries of the open, the file written as the
// blocks arrive (memory stays flat), the entry in the download log once
// the page is in. run() works on the calling thread; cancel() from any
// thread ends it at once, and a cancelled download leaves no file.
class PageDownload final {
public:
    PageDownload(std::string target, std::string address, std::string logPath, std::int32_t today,
                 DownloadNames* names = nullptr, HttpLimits limits = downloadLimits());
    ~PageDownload();
    PageDownload(const PageDownload&) = delete;
    PageDownload& operator=(const PageDownload&) = delete;

    void run();
    void cancel();

    // While it runs, from any thread.
    std::int64_t total() const { return total_; }
    bool writeFailed() const { return writeFailed_; }
    bool finished() const { return finished_; }
    std::chrono::steady_clock::time_point startTime() const { return start_; }

    // Once run() has returned. The file written, empty when none.
    const std::string& path() const { return path_; }
    long statusCode() const { return session_.statusCode(); }
    bool cancelled() const { return cancelled_; }
    // The page arrived whole and was written whole.
    bool complete() const { return !path_.empty() && !writeFailed_ && readError_.empty(); }
    // Why no file was written, why the page stopped arriving, or why a
    // write failed; empty when nothing went wrong.
    const std::string& problem() const;
    const std::string& writeError() const { return writeError_; }
    // The log entry could not be written (the file was).
    const std::string& logError() const { return logError_; }

private:
    bool openFile();
    bool write(std::string_view block);
    void closeFile();

    std::string target_;
    std::string address_;
    std::string logPath_;
    std::int32_t today_;
    DownloadNames* names_;
    HttpSession session_;
    std::string folder_;
    bool folderMode_ = false;
    int file_ = -1;
    std::string path_;
    std::string openError_;
    std::string readError_;
    std::string writeError_;
    std::string logError_;
    std::atomic<std::int64_t> total_ = 0;
    std::atomic<bool> writeFailed_ = false;
    std::atomic<bool> cancelled_ = false;
    std::atomic<bool> finished_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The progress the "Retrieve Web Document" window shows: total followed
// by "/Unknown", the rate "12.3k/s", and the bar's range, which always
// leaves room ahead as the size is never known in advance.
std::string downloadSizeText(std::int64_t total);
std::string downloadRateText(std::int64_t total, std::int64_t elapsedHundredths);
std::int64_t downloadRangeTop(std::int64_t total);

} // namespace tessaly
