#pragma once

#include "core/database.h"
#include "framework/ui_port.h"
#include "links/page_download.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tessaly {

// One bookmark a run of downloads came to, in location order.
struct DownloadItem {
    std::int64_t count = 0; // 1 for the first bookmark
    std::int64_t total = 0; // bookmarks in the file when the run began
    std::string location;
    std::string path;    // the file saved, empty when none
    bool saved = false;  // the bookmark now names the file
    bool marked = false; // the bookmark was marked (saved, or begun and not saved whole)
    bool failed = false; // marked Fail: an error page, or a page that did not arrive whole
    std::string problem; // why nothing was saved, or what went wrong
};

struct DownloadSummary {
    std::int64_t total = 0;
    std::int64_t visited = 0;
    std::int64_t saved = 0;
    std::int64_t failed = 0; // marked Failed (saved or not)
    std::int64_t missed = 0; // bookmarks no file was saved for
    bool started = false;    // the folder was chosen and the walk began
    bool cancelled = false;
    int writeLevel = kLevelDone; // the failed bookmark write that stopped the run
    int readLevel = kLevelDone;  // the failed read that kept it from starting
    std::string writeError;      // the file write that failed and stopped the run
    std::string refusedFolder;   // why the chosen folder was refused (the user was told)
    std::string logError;        // why DOWNLOAD.LOG could not be written; empty when it was
};

// Why pages may not be saved in `folder`: the program's data folder
// (`dataFolder`) holds the database, its settings and DOWNLOAD.LOG, and a
// page named after one of them would replace it. Empty when they may.
std::string refusedDownloadFolder(const std::string& folder, const std::string& dataFolder);

// Saves the pages of a set of bookmarks into one folder (DownloadURLs) and
// marks each bookmark saved: last visit and last validation today, Pass
// (Fail when its server answered with an error status), and the saved file
// as its original file name. A page that begins and does not arrive whole
// is not kept, and its bookmark is marked Fail. No page replaces a file
// that is not its own (DownloadNames).
class DownloadBatch final {
public:
    // Runs the download of a run of one page on the caller's thread (the
    // program shows it in a window); without one, and for a run of more
    // pages, they run side by side under the progress window.
    using Runner = std::function<void(PageDownload&)>;
    using Observer = std::function<void(const DownloadItem&)>;
    // Asks for the folder ("Save to folder..."); nullopt when the user
    // cancels.
    using FolderChooser = std::function<std::optional<std::string>()>;

    DownloadBatch(Database& database, UiPort& ui, std::int32_t today, std::string logPath);

    void setRunner(Runner runner) { runner_ = std::move(runner); }
    void setObserver(Observer observer) { observer_ = std::move(observer); }
    // False: an empty filter means every bookmark, without the question.
    void setAskForQuery(bool ask) { askForQuery_ = ask; }
    void setBounds(DownloadBounds bounds) { bounds_ = bounds; }
    // Downloads under way at once, and at most how many of them on one host.
    void setJobs(int jobs, int perHost)
    {
        jobs_ = jobs;
        perHost_ = perHost;
    }

    // `filter` is a record-filter expression; when empty the user is asked
    // whether to choose the links by a query.
    DownloadSummary run(std::string_view filter, const FolderChooser& chooseFolder);

private:
    int store(const std::string& location, const PageDownload& download, DownloadItem& item);

    Database& database_;
    UiPort& ui_;
    std::int32_t today_;
    std::string logPath_;
    Runner runner_;
    Observer observer_;
    bool askForQuery_ = true;
    DownloadBounds bounds_;
    int jobs_ = kDefaultLinkTestJobs;
    int perHost_ = kDefaultLinkTestsPerHost;
};

// The filter that selects one bookmark, for a list with no filter of its own.
std::string currentBookmarkFilter(std::string_view location);

} // namespace tessaly
