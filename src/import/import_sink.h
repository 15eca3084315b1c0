#pragma once

#include "core/database.h"
#include "core/tables.h"
#include "framework/ui_port.h"
#include "import/import_readers.h"
#include "import/import_request.h"

#include <chrono>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tessaly {

// How a source's own category meets the category assignment. The readers
// of bookmark files and text fall back to "New"; the Favorites import keeps
// the folder category when the user cancels a question and gives no category
// at all under "None".
struct CategoryRules {
    std::string blankFallback = "New"; // "Guess" with a blank source category
    bool askCancelKeepsSource = false; // "Ask" cancelled: the source category, else the fallback
    bool noneKeepsSource = true;       // "None": the source category, else blank
};

// What became of one bookmark handed to the sink. TooLong: its address is
// longer than an address is kept (kAddressWidth); it is not stored, and the
// run goes on.
enum class AddResult { Added, AlreadyStored, Failed, TooLong };

// The writing side of one import run: the category choice, the keyword
// guess, the inserts of categories, bookmarks and keyword rows, the progress
// window and its Cancel. Writes are grouped into transactions committed
// every kBatchCommitEvery (or sooner after many rows), so an import of
// 100,000 bookmarks does not wait on the disk for each one, another program
// that writes gets its turn between two groups, and a crash loses at most
// the group under way and never what was stored before. Not thread-safe;
// one run, one thread.
class ImportSink final {
public:
    ImportSink(Database& database, UiPort& ui, const ImportRequest& request,
               CategoryRules rules = {});
    ~ImportSink();
    ImportSink(const ImportSink&) = delete;
    ImportSink& operator=(const ImportSink&) = delete;

    // Opens the files, shows the progress window (`caption`, `status`) and
    // begins the first group. False when the files cannot be used (a
    // message said why).
    bool begin(std::string_view status, std::string_view caption = "Processing Records");

    // Adds `bookmark` (its texts set by the reader) with the category the
    // assignment gives for `sourceCategory`, its keyword guessed from its
    // description (unless `guessKeyword` is false: the source gave one), and
    // a keyword row for each of `keywords`. A bookmark whose location is
    // stored already is left alone and counted apart, and so is one whose
    // location was cut by the record (never stored cut). The record's other
    // cut fields (Record::cutFields) are the reader's to count.
    AddResult add(Record& bookmark, std::string_view sourceCategory,
                  const std::vector<std::string>& keywords = {}, bool guessKeyword = true);

    // Sets a text of `bookmark` as a reader found it, noting the field when
    // it is wider than the field holds: the summary counts the bookmarks
    // stored with a field cut.
    void setText(Record& bookmark, BookmarkField field, std::string_view value);

    // Counts an entry of the source that is no bookmark, and why.
    void skip(SkipReason reason, std::string_view location = {});

    // Sets the site information of the bookmark added last (a bookmark
    // file's <DD> line); nothing when none was added.
    AddResult setLastSiteInfo(std::string_view siteInfo);

    // Updates the progress window (at most a few times a second) and tells
    // whether the user pressed Cancel.
    bool keepGoing(double fraction, std::string_view status = {});

    // Commits what is left and closes the progress window and the files.
    // False when the last commit failed (a message said why).
    bool finish();
    // finish(), then `summary` with the run's counts and outcome added.
    ImportSummary summarize(ImportSummary summary);

    const ImportRequest& request() const { return request_; }
    int imported() const { return imported_; }
    int alreadyStored() const { return alreadyStored_; }
    int addressesTooLong() const { return addressesTooLong_; }
    bool cancelled() const { return cancelled_; }
    bool failed() const { return failed_; }
    // The category the last bookmark was given (the HTML-list import's best
    // guess for the next question).
    const std::string& lastCategory() const { return lastCategory_; }

private:
    std::string chooseCategory(const Record& bookmark, std::string_view sourceCategory,
                               bool& create);
    bool ensureCategory(const std::string& name);
    bool commitGroup(bool reopen);
    void fail(FileManager& file, const EngineStatus& status);
    void noteCuts(const Record& bookmark);
    // The progress window's text: the percentage, the source being read,
    // the reader's last word on where it is (`status` when given) and the
    // count so far.
    std::string progressText(int percent, std::string_view status);

    Database& database_;
    UiPort& ui_;
    const ImportRequest& request_;
    CategoryRules rules_;
    std::unordered_set<std::string> knownCategories_; // folded names
    std::string lastCategory_;
    std::int64_t lastPosition_ = 0;
    int imported_ = 0;
    int alreadyStored_ = 0;
    int addressesTooLong_ = 0;
    ImportSummary tally_;          // what was skipped and cut, with notes
    std::vector<int> pendingCuts_; // fields cut in the bookmark being read
    int pending_ = 0;              // writes since the last commit
    bool open_ = false;
    bool grouped_ = false;
    bool cancelled_ = false;
    bool failed_ = false;
    std::string reading_; // "Reading bookmarks.html…"
    std::string status_;  // the reader's last progress text
    std::chrono::steady_clock::time_point lastCommit_;
    std::chrono::steady_clock::time_point lastPoll_;
};

} // namespace tessaly
