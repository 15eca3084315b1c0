#include "links/download_account.h"

#include "framework/text.h"

namespace tessaly {

namespace {

// Reasons beyond these are counted together: a run over many dead hosts
// would otherwise fill the screen.
constexpr std::size_t kMostReasons = 4;

} // namespace

void DownloadTally::add(const DownloadItem& item)
{
    if (item.marked) {
        (item.failed ? failed_ : passed_) += 1;
        return;
    }
    const std::string_view why = text::trim(item.problem);
    missed_[why.empty() ? std::string{"no page"} : std::string{why}] += 1;
}

std::string missedAccount(const DownloadTally& tally)
{
    std::int64_t total = 0;
    for (const auto& [why, count] : tally.missed()) {
        total += count;
    }
    if (total == 0) {
        return {};
    }
    std::string account = "Not saved " + std::to_string(total) + ":";
    std::size_t told = 0;
    std::int64_t others = 0;
    for (const auto& [why, count] : tally.missed()) {
        if (told == kMostReasons) {
            others += count;
            continue;
        }
        account += std::string{told == 0 ? " " : ", "} + std::to_string(count) + " " + why;
        ++told;
    }
    if (others > 0) {
        account += ", " + std::to_string(others) + " for other reasons";
    }
    return account + ".";
}

std::string downloadAccount(const DownloadSummary& summary, const DownloadTally& tally)
{
    std::string account;
    if (summary.cancelled) {
        account = "Cancelled after " + std::to_string(summary.visited) + " of " +
                  std::to_string(summary.total) + " bookmarks.\n";
    }
    account += "Downloaded " + std::to_string(summary.saved) + " of " +
               std::to_string(summary.visited) + " bookmarks: " + std::to_string(tally.passed()) +
               " passed, " + std::to_string(tally.failed()) + " failed.";
    if (const std::string missed = missedAccount(tally); !missed.empty()) {
        account += "\n" + missed;
    }
    // The pages are saved, but a later run could take their names.
    if (!summary.logError.empty()) {
        account += "\nThe download log could not be written: " + summary.logError;
    }
    return account;
}

} // namespace tessaly
