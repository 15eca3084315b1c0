#pragma once

#include "links/download_batch.h"

#include <cstdint>
#include <map>
#include <string>

namespace tessaly {

// What became of each bookmark a run of downloads came to, gathered from
// the batch's observer: the run's account says why pages were not saved.
class DownloadTally final {
public:
    void add(const DownloadItem& item);

    std::int64_t passed() const { return passed_; }
    // Bookmarks marked Failed: an error page saved, or a page begun and
    // not kept.
    std::int64_t failed() const { return failed_; }
    // Bookmarks nothing was saved for and that were left unmarked, by why.
    const std::map<std::string, std::int64_t>& missed() const { return missed_; }

private:
    std::int64_t passed_ = 0;
    std::int64_t failed_ = 0;
    std::map<std::string, std::int64_t> missed_;
};

// The line on what was not saved and why ("Not saved 3: 2 Could not resolve
// host, 1 no address."); empty when every page was saved or marked.
std::string missedAccount(const DownloadTally& tally);

// A finished run as one message, as the window says it: cancelled after how
// many, how many were downloaded of those visited, passed and failed, and
// the line of missedAccount().
std::string downloadAccount(const DownloadSummary& summary, const DownloadTally& tally);

} // namespace tessaly
