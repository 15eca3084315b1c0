#pragma once

#include "core/database.h"
#include "core/settings.h"
#include "framework/expression.h"
#include "framework/ui_port.h"
#include "links/link_test.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tessaly {

struct LinkBatchOptions {
    int jobs = kDefaultLinkTestJobs;        // tests waiting on the network at once
    int perHost = kDefaultLinkTestsPerHost; // of those, at most this many on one host
    HttpLimits limits;
    // How far, in jobs, the work may run ahead of the bookmark being
    // stored: finished work waits in memory for its turn.
    int lookAhead = 16;

    static LinkBatchOptions from(const Settings& settings)
    {
        return {settings.linkTestJobs, settings.linkTestsPerHost, {}};
    }
};

// One bookmark the batch came to, in category-then-location order.
struct LinkBatchItem {
    std::int64_t visited = 0; // 1 for the first bookmark the view delivered
    std::int64_t total = 0;   // bookmarks in the file when the run began
    std::string location;
    bool tested = false; // only web addresses (http and https) are
    int result = kLinkUnknown;
    unsigned statusCode = 0;
    std::int64_t bytes = 0; // of a page read whole
};

struct LinkBatchSummary {
    std::int64_t total = 0;
    std::int64_t visited = 0;
    std::int64_t tested = 0;
    std::int64_t passed = 0;
    std::int64_t failed = 0;
    // Visited but not tested: addresses of other schemes (ftp, file,
    // mailto...) and bookmarks without any address.
    std::int64_t skippedScheme = 0;
    std::int64_t skippedBlank = 0;
    bool cancelled = false;
    // The user asked, at the run's account, to see the bookmarks it failed.
    bool showFailed = false;
    int writeLevel = kLevelDone; // the failed write that stopped the run
    int readLevel = kLevelDone;  // the failed read that kept it from starting
    // Why the run stopped when this computer ran short of open files or
    // memory for too long; empty otherwise. No result was stored for it.
    std::string localError;
};

// One bookmark's work in a batch. open() runs on a worker, waits on the
// network and touches no database file; finish() runs on the batch's
// caller thread, in key order, once the bookmark has been read as stored
// into bookmark(), and writes what it found.
class BatchJob {
public:
    virtual ~BatchJob() = default;
    virtual void open() = 0;
    // From any thread: open() returns at once and finish() stores nothing.
    virtual void cancel() = 0;
    // open() could not be tried for want of open files or memory here.
    virtual bool localFailure() const = 0;
    // Why, for the message that stops a run that goes on failing so.
    virtual std::string failureText() const = 0;
    // Sets item.result and item.statusCode and stores the bookmark; the
    // level of a failed write (reported already), else kLevelDone.
    virtual int finish(LinkBatchItem& item) = 0;
    // The record finish() works on, its location the job's address: the
    // batch reads the stored bookmark into it just before finish(). A job
    // may make it only then, so a finished job waiting for its turn need
    // not hold a whole record.
    virtual Record& bookmark() = 0;
};

// Makes the job for one address.
using BatchJobMaker = std::function<std::unique_ptr<BatchJob>(const std::string& location)>;

// The host of an address, lower-cased, with its port: the unit the
// per-host limit counts.
std::string hostOf(std::string_view location);

// Of the items [from, end) not started yet (`started` 0), the one whose
// host (`hosts`, numbers into `busy`) has the fewest under way, below
// `perHost`, the earliest among equals; -1 when none may start.
int leastBusyItem(std::size_t from, std::size_t end, const std::vector<char>& started,
                  const std::vector<int>& hosts, const std::vector<int>& busy, int perHost);

// True for the addresses a batch tests and analyses: http and https, the
// scheme in any letter case.
bool isWebAddress(std::string_view location);

// Raises the soft limit of open files to the hard one (as servers do) and
// returns the limit now in force.
int raiseOpenFileLimit();
// How many tests may wait on the network at once, at most `wanted`: as
// many as the open files left under the limit allow.
int linkTestJobsFor(int wanted);

// Tests the bookmarks of the database, or those a filter selects, and
// stores each result in its bookmark. Several tests wait on the network at
// once, but everything that touches the database (the page scan, the
// detail line, the write) happens on the calling thread in key order, so
// the writes are exactly those of a run that tests one link after another.
// cancel() from any thread stops at once: results already written stay,
// the tests under way write nothing.
class LinkBatch {
public:
    using Observer = std::function<void(const LinkBatchItem&)>;

    LinkBatch(Database& database, std::int32_t today, LinkBatchOptions options = {});
    // A batch that runs other work than the link test on each address.
    LinkBatch(Database& database, std::int32_t today, LinkBatchOptions options,
              BatchJobMaker makeJob);
    ~LinkBatch();
    LinkBatch(const LinkBatch&) = delete;
    LinkBatch& operator=(const LinkBatch&) = delete;

    // Runs on the calling thread; `observer` hears of every bookmark visited,
    // in order, after its result is stored.
    LinkBatchSummary run(std::shared_ptr<const Expression> filter, const Observer& observer);
    void cancel();
    // Called on the caller's thread about every 50 ms while it waits for a
    // test, so a window can repaint and notice Cancel.
    void setIdle(std::function<void()> idle) { idle_ = std::move(idle); }

private:
    struct Slot;
    struct Entry {
        std::string location;
        bool web = false;
    };

    void work();
    void openUntilAnswered(std::size_t item, std::unique_lock<std::mutex>& lock);
    int nextStartable(); // under mutex_: the work index to start, or -1

    Database& database_;
    std::int32_t today_;
    LinkBatchOptions options_;
    BatchJobMaker makeJob_;

    std::mutex mutex_;
    std::condition_variable workable_;         // a worker may find a test to start
    std::condition_variable finished_;         // a test is ready for the caller
    std::vector<std::string> locations_;       // of each work item
    std::vector<int> hosts_;                   // of each work item, as a host number
    std::vector<int> busy_;                    // tests under way, by host number
    std::vector<std::unique_ptr<Slot>> slots_; // of each work item, while under way
    std::vector<char> started_;
    std::size_t unstarted_ = 0;      // work items no worker has taken
    std::size_t firstUnstarted_ = 0; // no item before it is waiting to start
    std::size_t stored_ = 0;         // work items the caller has finished with
    std::atomic<bool> cancelled_{false};
    std::string localError_; // under mutex_
    std::function<void()> idle_;
};

// The progress window's text: the percentage ("0% Completed"), then on a
// line of its own what is being done.
std::string progressText(int percent, std::string_view activity);

// Asks "Would you like to select which links are to be tested?" and on Yes
// runs the Query Wizard on the "LINKS" field list: nullptr for no filter,
// an expression that is not ok() for a query that does not compile.
std::shared_ptr<const Expression> askLinksQuery(UiPort& ui);

// The program's one database batch at a time: granted() is false while
// another run holds its turn.
class BatchTurn final {
public:
    BatchTurn();
    ~BatchTurn();
    BatchTurn(const BatchTurn&) = delete;
    BatchTurn& operator=(const BatchTurn&) = delete;
    bool granted() const { return granted_; }

private:
    bool granted_;
};

// Runs `batch` under the UI's progress window ("Processing Records"): the
// query question first, then `activity`, then for each bookmark
// `itemText`; the window's Cancel stops the run, and a run stopped for want
// of open files or memory is reported under `title`. A run that ends
// otherwise gives its account (what was `verb`, passed, failed, skipped),
// with "Show failed" when something failed.
using ItemText = std::function<std::string(const LinkBatchItem&)>;
LinkBatchSummary runLinkBatchWindow(LinkBatch& batch, UiPort& ui, std::string_view title,
                                    std::string_view activity, std::string_view verb,
                                    const ItemText& itemText);

// What a finished run did, as one message: how many were `verb` (tested,
// analysed), passed, failed, skipped and why, and whether it was cancelled.
std::string linkBatchAccount(const LinkBatchSummary& summary, std::string_view verb);
// Its line on what was skipped and why; empty when nothing was.
std::string skippedAccount(const LinkBatchSummary& summary);

// "&Validate Multiple Links": asks whether to go on and whether to choose
// the links by a query, then runs the batch under the UI's progress window
// ("Processing Records"), whose Cancel stops it.
LinkBatchSummary validateAllLinks(Database& database, UiPort& ui, std::int32_t today,
                                  LinkBatchOptions options = {});

} // namespace tessaly
