#include "links/download_batch.h"

#include "core/bookmark_schema.h"
#include "core/tables.h"
#include "framework/text.h"
#include "links/download_pool.h"
#include "links/link_batch.h"
#include "links/link_test.h"
#include "platform/data_folder.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

namespace tessaly {

std::string currentBookmarkFilter(std::string_view location)
{
    // A quote in the address is doubled, as the expression language reads
    // one inside a quoted text.
    std::string quoted;
    for (const char c : text::clip(location)) {
        quoted += c;
        if (c == '\'') {
            quoted += '\'';
        }
    }
    return "URL:Location='" + quoted + "'";
}

DownloadBatch::DownloadBatch(Database& database, UiPort& ui, std::int32_t today,
                             std::string logPath)
    : database_(database), ui_(ui), today_(today), logPath_(std::move(logPath))
{}

namespace {

using Clock = std::chrono::steady_clock;

// A group of pages is committed with its log entries at most this often:
// a few commits for a whole run, and a run stopped by a crash loses the
// marks of a few seconds' pages at most (their files stay kept for them).
// Another program's write waits no longer than a batch's group, which the
// windows' lock wait allows for.
constexpr auto kGroupTime = kBatchCommitEvery;

bool isFile(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace

// Marks the bookmark with what became of its page: saved (Fail when its
// server answered with an error page), or begun and not saved whole (Fail,
// and its original file stays the one it had). The level of a failed
// write (reported).
int DownloadBatch::store(const std::string& location, const PageDownload& download,
                         DownloadItem& item)
{
    FileManager& bookmarks = database_.bookmarks();
    Record bookmark{bookmarkTable()};
    bookmark.setText(BookmarkField::Location, location);
    if (bookmarks.fetch(static_cast<int>(BookmarkKey::Location), bookmark) != kLevelDone) {
        return kLevelDone; // gone meanwhile: reported, and nothing to mark
    }
    const bool saved = download.complete();
    item.failed = !saved || download.statusCode() >= 400;
    if (saved) {
        bookmark.setNumber(BookmarkField::LastVisit, today_);
        bookmark.setText(BookmarkField::OriginalFilename, download.path());
    }
    bookmark.setNumber(BookmarkField::LastValidated, today_);
    bookmark.setNumber(BookmarkField::Validated, item.failed ? kLinkFail : kLinkPass);
    const EngineStatus status = bookmarks.file().put(bookmark);
    if (!status.ok()) {
        return bookmarks.reportWriteError(status, false, kBatchViewName);
    }
    item.saved = saved;
    item.marked = true;
    return kLevelDone;
}

std::string refusedDownloadFolder(const std::string& folder, const std::string& dataFolder)
{
    std::error_code error;
    if (std::filesystem::equivalent(folder, dataFolder, error) && !error) {
        return "Pages cannot be saved in the program's data folder (" + folder +
               "): a page could replace the bookmark database or its settings. Choose another "
               "folder.";
    }
    // The guard every file a user names goes through: the data folder the
    // program runs in, however the folder was spelt.
    return programFileRefusal(folder);
}

DownloadSummary DownloadBatch::run(std::string_view filterText, const FolderChooser& chooseFolder)
{
    DownloadSummary summary;
    const BatchTurn turn;
    if (!turn.granted()) {
        return summary;
    }
    FileManager& bookmarks = database_.bookmarks();
    if (const int level = bookmarks.use(); level != kLevelDone) {
        summary.readLevel = level;
        return summary;
    }
    struct Closer {
        FileManager& files;
        ~Closer() { files.close(); }
    } closer{bookmarks};
    RecordFile& file = bookmarks.file();
    summary.total = file.records();
    ui_.beginProgress("Processing Records");
    struct ProgressEnd {
        UiPort& ui;
        ~ProgressEnd() { ui.endProgress(); }
    } progressEnd{ui_};
    std::shared_ptr<const Expression> filter;
    if (text::clip(filterText).empty()) {
        filter = askForQuery_ ? askLinksQuery(ui_) : nullptr;
    } else {
        const SchemaResolver resolver{bookmarkSchema()};
        filter = std::make_shared<const Expression>(Expression::compile(filterText, resolver));
    }
    if (filter && !filter->ok()) {
        ui_.showMessage({"Query Wizard", filter->error().describe(), MessageIcon::Exclamation});
        return summary;
    }
    if (ui_.cancelRequested()) {
        // Cancelled while the question was open (or the program is ending):
        // not one page is fetched.
        summary.cancelled = true;
        return summary;
    }
    const std::optional<std::string> folder = chooseFolder();
    if (!folder) {
        return summary;
    }
    summary.refusedFolder = refusedDownloadFolder(*folder, database_.engine().folder());
    if (!summary.refusedFolder.empty()) {
        ui_.showMessage(
            {"Download", summary.refusedFolder, MessageIcon::Exclamation, ButtonOk, ButtonOk});
        return summary;
    }
    summary.started = true;
    ui_.reportProgress(0, progressText(0, "Downloading..."));

    // Every file a bookmark or the log names is kept for its own address.
    DownloadNames names;
    names.recordLog(logPath_);
    file.set(static_cast<int>(BookmarkKey::Location));
    Record record{bookmarkTable()};
    EngineStatus read;
    while ((read = file.next(record)).ok()) {
        names.record(record.text(BookmarkField::OriginalFilename),
                     record.text(BookmarkField::Location));
    }
    if (!read.ok() && read.code != kNoMoreRecords) {
        summary.readLevel = bookmarks.reportReadError(read);
        return summary;
    }
    removeStaleDownloadParts(*folder);

    std::vector<std::string> locations;
    file.setFilter(filter);
    file.send("QUICKSCAN=on");
    file.set(static_cast<int>(BookmarkKey::Location));
    while ((read = file.next(record)).ok()) {
        locations.push_back(record.text(BookmarkField::Location));
    }
    file.send("QUICKSCAN=off");
    file.setFilter(nullptr);
    if (!read.ok() && read.code != kNoMoreRecords) {
        summary.readLevel = bookmarks.reportReadError(read);
        return summary;
    }

    // Several pages arrive at once, but the bookmarks and the log are
    // written here alone, in location order, a group at a time: one commit
    // and one rewrite of the log for each group instead of each page. A
    // group ends once it is kGroupTime old, also while a slow page is
    // awaited, and the next begins with the next mark: another program's
    // write waits for a group at most, never for a download.
    std::vector<std::pair<std::string, std::string>> logEntries;
    bool inGroup = false;
    auto groupStart = Clock::now();
    const auto checked = [&](const EngineStatus& status) {
        if (!status.ok() && summary.writeLevel == kLevelDone) {
            summary.writeLevel = bookmarks.reportWriteError(status, false, kBatchViewName);
        }
    };
    const auto beginGroup = [&] {
        checked(file.stream());
        inGroup = summary.writeLevel == kLevelDone;
        groupStart = Clock::now();
    };
    // The log goes first: a page it names is kept for its address even if
    // the run stops before its bookmark is committed.
    const auto endGroup = [&] {
        std::string error;
        if (!logEntries.empty() && !writeDownloadLog(logPath_, logEntries, error)) {
            summary.logError = logPath_ + ": " + error;
        }
        logEntries.clear();
        if (inGroup) {
            inGroup = false;
            checked(file.flush());
        }
    };
    const auto endOldGroup = [&] {
        if (inGroup && Clock::now() - groupStart > kGroupTime) {
            endGroup();
            // Room for a writer of another program that waits for the lock,
            // before a page that is ready begins the next group.
            std::this_thread::sleep_for(3 * sql::kLockRetryEvery);
        }
    };
    // Begun before any page is fetched: a database that cannot be written
    // stops the run before anything is downloaded.
    beginGroup();

    // One page the caller's own way (the program shows it in a window);
    // many side by side, under the batch's progress window.
    const bool onCaller = runner_ && locations.size() == 1;
    const auto make = [&](const std::string& location) {
        auto download = std::make_unique<PageDownload>(*folder + "*", location, logPath_, today_,
                                                       &names, bounds_);
        download->leaveNameToCaller();
        return download;
    };
    std::optional<DownloadPool> pool;
    if (!onCaller) {
        pool.emplace(locations, make, jobs_, perHost_);
    }
    const auto idle = [&] {
        if (ui_.cancelRequested()) {
            pool->cancel();
        }
        endOldGroup();
    };
    for (const std::string& location : locations) {
        if (summary.writeLevel != kLevelDone) {
            break; // a group could not be committed: the rest would go the same way
        }
        if (ui_.cancelRequested()) {
            summary.cancelled = true;
            break;
        }
        std::unique_ptr<PageDownload> download;
        if (onCaller) {
            // The caller's window may wait long for its page, with no turn
            // for a group to end in; nothing has been written yet.
            endGroup();
            download = make(location);
            runner_(*download);
        } else {
            download = pool->next(idle);
        }
        if (!download) {
            summary.cancelled = true;
            break;
        }
        DownloadItem item{++summary.visited, summary.total, location};
        const auto percent = static_cast<int>(
            summary.total > 0 ? std::min<std::int64_t>(item.count * 100 / summary.total, 100) : 0);
        ui_.reportProgress(percent,
                           progressText(percent, "Downloading " + std::to_string(item.count) +
                                                     " of up to " + std::to_string(summary.total) +
                                                     " URLs\nDownloading " +
                                                     std::string{text::clip(location)}));
        // Named here, in location order: of two pages of one name, the
        // first bookmark's takes it.
        download->takeName();
        item.path = download->path();
        item.problem = download->problem();
        if (download->writeFailed()) {
            // The disk refused the page: the next ones would go the same way.
            summary.writeError = download->writeError();
            ui_.showMessage({"Retrieve Web Document", "WriteFile failed\n\n" + summary.writeError,
                             MessageIcon::Exclamation});
            summary.missed += 1;
            break;
        }
        if (download->complete()) {
            logEntries.push_back(download->logEntry());
        }
        if ((!item.path.empty() && isFile(item.path)) || download->failed()) {
            if (!inGroup && summary.writeLevel == kLevelDone) {
                beginGroup();
            }
            if (summary.writeLevel == kLevelDone) {
                summary.writeLevel = store(location, *download, item);
            }
            if (summary.writeLevel != kLevelDone) {
                break;
            }
        }
        summary.saved += item.saved ? 1 : 0;
        summary.failed += item.marked && item.failed ? 1 : 0;
        summary.missed += item.saved ? 0 : 1;
        if (observer_) {
            observer_(item);
        }
        endOldGroup();
    }
    // What is still under way ends now and writes nothing.
    pool.reset();
    endGroup();
    return summary;
}

} // namespace tessaly
