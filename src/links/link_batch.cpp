#include "links/link_batch.h"

#include "core/bookmark_schema.h"
#include "core/tables.h"
#include "framework/query_fields.h"
#include "framework/text.h"

#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <thread>
#include <unordered_map>

namespace tessaly {

namespace {

using Clock = std::chrono::steady_clock;

// Descriptors a test under way may hold: its connection, the library's
// wake-up pair and, during a name lookup, the resolver's pair, with one to
// spare. A finished test holds none.
constexpr int kDescriptorsPerTest = 6;
// Kept back for what the program opens besides the tests: the database
// and its journal, the windows, the terminal.
constexpr int kDescriptorsKept = 64;
// How long a test may go on failing for want of descriptors or memory here
// before the run stops, and the waits between its tries.
constexpr auto kLocalFailureLimit = std::chrono::seconds(60);
constexpr auto kFirstRetryWait = std::chrono::milliseconds(20);
constexpr auto kLongestRetryWait = std::chrono::milliseconds(1000);

int openDescriptors()
{
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it{"/proc/self/fd", error};
         !error && it != std::filesystem::directory_iterator{}; it.increment(error)) {
        ++count;
    }
    return count;
}

} // namespace

std::string hostOf(std::string_view location)
{
    auto rest = location.substr(std::min(location.find("://") + 3, location.size()));
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const auto at = rest.rfind('@'); at != std::string_view::npos) {
        rest = rest.substr(at + 1);
    }
    return text::lower(rest);
}

bool isWebAddress(std::string_view location)
{
    const auto schemeIs = [&](std::string_view scheme) {
        return location.size() > scheme.size() &&
               std::equal(scheme.begin(), scheme.end(), location.begin(), [](char a, char b) {
                   return a == std::toupper(static_cast<unsigned char>(b));
               });
    };
    return schemeIs("HTTP://") || schemeIs("HTTPS://");
}

int raiseOpenFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 1024;
    }
    // As servers do: the soft limit is a default, the hard one the real
    // bound, and a batch of network tests is what it is there for.
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    constexpr rlim_t kMost = 1 << 20;
    return static_cast<int>(std::min(limit.rlim_cur, kMost));
}

int linkTestJobsFor(int wanted)
{
    const int available = raiseOpenFileLimit() - openDescriptors() - kDescriptorsKept;
    return std::clamp(available / kDescriptorsPerTest, 1, std::max(wanted, 1));
}

namespace {

// The link test as a batch runs it: the open on a worker, the page scan,
// the status line and the store on the caller's thread.
class LinkTestJob final : public BatchJob {
public:
    LinkTestJob(const std::string& location, Database& database, std::int32_t today,
                const HttpLimits& limits)
        : bookmark_(withLocation(location)), test_(location, bookmark_, database, today, limits),
          database_(database), today_(today)
    {}

    void open() override { test_.runThroughNetwork(); }
    void cancel() override { test_.cancel(); }
    bool localFailure() const override { return test_.localFailure(); }
    std::string failureText() const override
    {
        return test_.log().empty() ? std::string{} : test_.log().back();
    }
    int finish(LinkBatchItem& item) override
    {
        item.result = test_.run();
        item.statusCode = test_.statusCode();
        test_.recordOpenFailure();
        if (test_.writeLevel() != kLevelDone) {
            // The status line or the page's rows could not be written:
            // reported already, and the rest would go the same way.
            return test_.writeLevel();
        }
        return storeLinkResult(database_.bookmarks(), bookmark_, item.result, today_,
                               kBatchViewName);
    }

    Record& bookmark() override { return bookmark_; }

private:
    static Record withLocation(const std::string& location)
    {
        Record bookmark{bookmarkTable()};
        bookmark.setText(BookmarkField::Location, location);
        return bookmark;
    }

    Record bookmark_; // before the test, which works on it
    LinkTest test_;
    Database& database_;
    std::int32_t today_;
};

} // namespace

struct LinkBatch::Slot {
    std::unique_ptr<BatchJob> job;
    bool ready = false;
};

LinkBatch::LinkBatch(Database& database, std::int32_t today, LinkBatchOptions options)
    : LinkBatch(database, today, options, {})
{}

LinkBatch::LinkBatch(Database& database, std::int32_t today, LinkBatchOptions options,
                     BatchJobMaker makeJob)
    : database_(database), today_(today), options_(options), makeJob_(std::move(makeJob))
{
    if (!makeJob_) {
        makeJob_ = [this](const std::string& location) {
            return std::make_unique<LinkTestJob>(location, database_, today_, options_.limits);
        };
    }
    options_.jobs = linkTestJobsFor(options_.jobs);
    options_.perHost = std::clamp(options_.perHost, 1, options_.jobs);
}

LinkBatch::~LinkBatch() = default;

void LinkBatch::cancel()
{
    std::lock_guard lock{mutex_};
    cancelled_ = true;
    for (const auto& slot : slots_) {
        if (slot && slot->job) {
            slot->job->cancel();
        }
    }
    workable_.notify_all();
    finished_.notify_all();
}

int LinkBatch::nextStartable()
{
    while (firstUnstarted_ < started_.size() && started_[firstUnstarted_] != 0) {
        ++firstUnstarted_;
    }
    // Tests run ahead of the caller only so far, so that finished tests do
    // not pile up while an early one is slow; but far enough that a run of
    // addresses on one host (the location order groups them) does not leave
    // the other jobs idle behind the per-host limit.
    const std::size_t window =
        static_cast<std::size_t>(options_.jobs) * static_cast<std::size_t>(options_.lookAhead);
    const std::size_t end = std::min(locations_.size(), stored_ + window);
    return leastBusyItem(firstUnstarted_, end, started_, hosts_, busy_, options_.perHost);
}

int leastBusyItem(std::size_t from, std::size_t end, const std::vector<char>& started,
                  const std::vector<int>& hosts, const std::vector<int>& busy, int perHost)
{
    // The jobs spread over every host in the window instead of filling the
    // first hosts up to their limit and leaving the last ones to finish
    // alone.
    int chosen = -1;
    int fewest = perHost;
    for (std::size_t i = from; i < end && fewest > 0; ++i) {
        if (const int under = busy[static_cast<std::size_t>(hosts[i])];
            started[i] == 0 && under < fewest) {
            chosen = static_cast<int>(i);
            fewest = under;
        }
    }
    return chosen;
}

void LinkBatch::work()
{
    std::unique_lock lock{mutex_};
    while (true) {
        int index = -1;
        workable_.wait(lock, [&] {
            if (cancelled_ || unstarted_ == 0) {
                return true;
            }
            index = nextStartable();
            return index >= 0;
        });
        if (index < 0) {
            return;
        }
        const auto i = static_cast<std::size_t>(index);
        started_[i] = 1;
        --unstarted_;
        int& busy = busy_[static_cast<std::size_t>(hosts_[i])];
        ++busy;
        if (unstarted_ == 0) {
            workable_.notify_all(); // the idle workers can end
        }
        openUntilAnswered(i, lock);
        --busy;
        slots_[i]->ready = true;
        // The freed host lets one more test start; this worker looks for it
        // itself, so only the caller needs waking, and only for its item.
        if (i == stored_) {
            finished_.notify_one();
        }
    }
}

// Makes item i's test and runs it up to and including the open (no
// database file is touched there), with `lock` released meanwhile. A test
// that could not be tried for want of descriptors or memory here says
// nothing about its link: it is made again and retried after a wait, and
// when that goes on too long the run stops with a message instead.
void LinkBatch::openUntilAnswered(std::size_t i, std::unique_lock<std::mutex>& lock)
{
    auto wait = kFirstRetryWait;
    const auto started = Clock::now();
    while (true) {
        auto slot = std::make_unique<Slot>();
        slot->job = makeJob_(locations_[i]);
        BatchJob& job = *slot->job;
        slots_[i] = std::move(slot);
        if (cancelled_) {
            job.cancel();
        }
        lock.unlock();
        job.open();
        lock.lock();
        if (!job.localFailure() || cancelled_) {
            return;
        }
        if (Clock::now() - started > kLocalFailureLimit) {
            if (localError_.empty()) {
                localError_ = "Links could not be tested for want of open files or memory on "
                              "this computer (" +
                              job.failureText() + ")";
            }
            cancelled_ = true;
            finished_.notify_all();
            return;
        }
        workable_.wait_for(lock, wait, [this] { return cancelled_.load(); });
        wait = std::min(wait * 2, kLongestRetryWait);
    }
}

LinkBatchSummary LinkBatch::run(std::shared_ptr<const Expression> filter, const Observer& observer)
{
    LinkBatchSummary summary;
    std::vector<Entry> entries;
    FileManager& bookmarks = database_.bookmarks();
    if (const int level = bookmarks.use(); level != kLevelDone) {
        summary.writeLevel = level;
        return summary;
    }
    RecordFile& file = bookmarks.file();
    summary.total = file.records();
    file.setFilter(std::move(filter));
    file.send("QUICKSCAN=on");
    file.set(static_cast<int>(BookmarkKey::CategoryLocation));
    Record record{bookmarkTable()};
    EngineStatus read;
    while (!cancelled_ && (read = file.next(record)).ok()) {
        const std::string& location = record.text(BookmarkField::Location);
        entries.push_back({location, isWebAddress(location)});
    }
    file.send("QUICKSCAN=off");
    file.setFilter(nullptr);
    if (!read.ok() && read.code != kNoMoreRecords) {
        // A damaged file is not a short one: say so and test nothing.
        summary.readLevel = bookmarks.reportReadError(read);
        bookmarks.close();
        return summary;
    }
    // The results are committed in groups, a commit every kBatchCommitEvery:
    // one commit for each bookmark would make the disk, not the servers, set
    // the pace, and another program's write gets its turn between groups.
    auto lastCommit = Clock::now();
    // A group that cannot be begun or committed is undone and reported
    // (naming the view the batch writes through); the run stops there
    // rather than test links whose results would go the same way.
    const auto checked = [&](const EngineStatus& status) {
        if (!status.ok() && summary.writeLevel == kLevelDone) {
            summary.writeLevel = bookmarks.reportWriteError(status, false, kBatchViewName);
        }
    };
    const auto commit = [&] {
        if (Clock::now() - lastCommit < kBatchCommitEvery) {
            return;
        }
        checked(file.flush());
        if (summary.writeLevel == kLevelDone) {
            // Room for a writer of another program that waits for the lock.
            std::this_thread::sleep_for(3 * sql::kLockRetryEvery);
            checked(file.stream());
        }
        lastCommit = Clock::now();
    };
    checked(file.stream());
    // Held open for the whole run, so each test's scan and status line do
    // not open and close these files again. One that cannot be opened has
    // been reported (another program holds it, say): no link is tested
    // whose lines could not be written.
    const int detailsLevel = database_.details().use();
    if (const int level = detailsLevel == kLevelDone ? database_.keywords().use() : detailsLevel;
        level != kLevelDone) {
        if (detailsLevel == kLevelDone) {
            database_.details().close();
        }
        file.flush();
        bookmarks.close();
        summary.writeLevel = summary.writeLevel == kLevelDone ? level : summary.writeLevel;
        return summary;
    }

    {
        std::lock_guard lock{mutex_};
        std::unordered_map<std::string, int> hostNumbers;
        for (const Entry& entry : entries) {
            if (entry.web) {
                locations_.push_back(entry.location);
                const auto [at, added] = hostNumbers.try_emplace(
                    hostOf(entry.location), static_cast<int>(hostNumbers.size()));
                hosts_.push_back(at->second);
            }
        }
        busy_.assign(hostNumbers.size(), 0);
        slots_.resize(locations_.size());
        started_.assign(locations_.size(), 0);
        unstarted_ = locations_.size();
    }
    std::vector<std::thread> workers;
    const auto jobs =
        std::min<std::size_t>(static_cast<std::size_t>(options_.jobs), locations_.size());
    for (std::size_t j = 0; j < jobs; ++j) {
        workers.emplace_back([this] { work(); });
    }

    std::size_t next = 0; // work item of the next http entry
    for (const Entry& entry : entries) {
        if (cancelled_ || summary.writeLevel != kLevelDone) {
            break;
        }
        LinkBatchItem item{++summary.visited, summary.total, entry.location};
        if (entry.web) {
            Slot* slot = nullptr;
            {
                std::unique_lock lock{mutex_};
                const auto ready = [&] {
                    return cancelled_ || (slots_[next] && slots_[next]->ready);
                };
                while (summary.writeLevel == kLevelDone &&
                       !finished_.wait_for(lock, std::chrono::milliseconds(50), ready)) {
                    lock.unlock();
                    commit();
                    if (idle_) {
                        idle_();
                    }
                    lock.lock();
                }
                slot =
                    cancelled_ || summary.writeLevel != kLevelDone ? nullptr : slots_[next].get();
            }
            if (slot == nullptr) {
                break;
            }
            // The bookmark as stored now; the job fills it from here on.
            const bool found = bookmarks.fetch(static_cast<int>(BookmarkKey::Location),
                                               slot->job->bookmark()) == kLevelDone;
            const int level = found ? slot->job->finish(item) : kLevelDone;
            if (level == kLevelDone && (item.result == kLinkCancelled || cancelled_)) {
                summary.cancelled = true;
                break;
            }
            item.tested = found;
            summary.tested += found ? 1 : 0;
            summary.passed += item.result == kLinkPass ? 1 : 0;
            summary.failed += item.result == kLinkFail ? 1 : 0;
            summary.writeLevel = level;
            {
                std::lock_guard lock{mutex_};
                slots_[next].reset();
                stored_ = ++next;
                // The window moved on by one item, which a worker may start.
                workable_.notify_one();
            }
            commit();
            if (summary.writeLevel != kLevelDone) {
                break;
            }
        } else {
            ++(text::clip(entry.location).empty() ? summary.skippedBlank : summary.skippedScheme);
        }
        if (observer) {
            observer(item);
        }
    }
    summary.cancelled = summary.cancelled || cancelled_;
    // Whatever is still under way ends now and writes nothing.
    cancel();
    for (std::thread& worker : workers) {
        worker.join();
    }
    if (!localError_.empty()) {
        summary.localError = localError_;
        summary.cancelled = false;
    }
    if (summary.writeLevel == kLevelDone) {
        checked(file.flush());
    } else {
        file.flush(); // the failure is reported already
    }
    database_.keywords().close();
    database_.details().close();
    bookmarks.close();
    return summary;
}

std::string progressText(int percent, std::string_view activity)
{
    return std::to_string(percent) + "% Completed\n" + std::string{activity};
}

std::shared_ptr<const Expression> askLinksQuery(UiPort& ui)
{
    std::string query;
    if (!ui.askYesNo("Query Wizard", "Would you like to select which links are to be tested?") ||
        !ui.runQuery({bookmarkQueryFieldList(), "LINKS"}, query) || text::clip(query).empty()) {
        return nullptr;
    }
    const SchemaResolver resolver{bookmarkSchema()};
    return std::make_shared<const Expression>(
        Expression::compile(text::fit(query, 1024), resolver));
}

namespace {

// The program runs one database batch at a time: its progress window
// polls the windows' events, through which the menu command (or the tray)
// could otherwise start a second run inside the first.
std::atomic<bool> batchRunning{false};

} // namespace

BatchTurn::BatchTurn() : granted_(!batchRunning.exchange(true))
{}

BatchTurn::~BatchTurn()
{
    if (granted_) {
        batchRunning = false;
    }
}

std::string linkBatchAccount(const LinkBatchSummary& summary, std::string_view verb)
{
    const auto n = [](std::int64_t count) {
        return std::to_string(count);
    };
    std::string account;
    if (summary.cancelled) {
        account =
            "Cancelled after " + n(summary.visited) + " of " + n(summary.total) + " bookmarks.\n";
    }
    const std::int64_t unknown = summary.tested - summary.passed - summary.failed;
    std::string verbCapital{verb};
    if (!verbCapital.empty()) {
        verbCapital[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(verb[0])));
    }
    account += verbCapital + " " + n(summary.tested) + " of " + n(summary.visited) +
               " bookmarks: " + n(summary.passed) + " passed, " + n(summary.failed) + " failed";
    if (unknown > 0) {
        account += ", " + n(unknown) + " unknown";
    }
    account += ".";
    if (const std::string skipped = skippedAccount(summary); !skipped.empty()) {
        account += "\n" + skipped;
    }
    return account;
}

std::string skippedAccount(const LinkBatchSummary& summary)
{
    const std::int64_t skipped = summary.skippedScheme + summary.skippedBlank;
    if (skipped == 0) {
        return {};
    }
    std::string account = "Skipped " + std::to_string(skipped) + ":";
    if (summary.skippedScheme > 0) {
        account += " " + std::to_string(summary.skippedScheme) +
                   " not a web address (ftp, file, mailto and other schemes)";
    }
    if (summary.skippedBlank > 0) {
        account += std::string{summary.skippedScheme > 0 ? "," : ""} + " " +
                   std::to_string(summary.skippedBlank) + " without an address";
    }
    return account + ".";
}

LinkBatchSummary runLinkBatchWindow(LinkBatch& batch, UiPort& ui, std::string_view title,
                                    std::string_view activity, std::string_view verb,
                                    const ItemText& itemText)
{
    ui.beginProgress("Processing Records");
    ui.reportProgress(0, progressText(0, activity));
    const std::shared_ptr<const Expression> filter = askLinksQuery(ui);
    if (filter && !filter->ok()) {
        // The wizard only builds valid queries; a hand-edited one that is
        // not runs on nothing rather than on everything.
        ui.endProgress();
        ui.showMessage({"Query Wizard", filter->error().describe(), MessageIcon::Exclamation});
        return {};
    }
    if (ui.cancelRequested()) {
        // Cancelled while the question was open (or the program is ending):
        // not one link is tested.
        ui.endProgress();
        LinkBatchSummary none;
        none.cancelled = true;
        return none;
    }
    batch.setIdle([&] {
        if (ui.cancelRequested()) {
            batch.cancel();
        }
    });
    LinkBatchSummary summary = batch.run(filter, [&](const LinkBatchItem& item) {
        const auto percent = static_cast<int>(
            item.total > 0 ? std::min<std::int64_t>(item.visited * 100 / item.total, 100) : 0);
        ui.reportProgress(percent, progressText(percent, itemText(item)));
        if (ui.cancelRequested()) {
            batch.cancel();
        }
    });
    ui.endProgress();
    if (!summary.localError.empty()) {
        ui.showMessage({std::string{title}, summary.localError, MessageIcon::Exclamation});
    } else if (summary.readLevel == kLevelDone && summary.writeLevel == kLevelDone) {
        // A failed read or write was reported when it happened.
        const unsigned buttons = summary.failed > 0 ? ButtonOk | ButtonShowFailed : ButtonOk;
        summary.showFailed =
            ui.showMessage({std::string{title}, linkBatchAccount(summary, verb),
                            MessageIcon::Information, buttons, ButtonOk}) == ButtonShowFailed;
    }
    return summary;
}

LinkBatchSummary validateAllLinks(Database& database, UiPort& ui, std::int32_t today,
                                  LinkBatchOptions options)
{
    const BatchTurn turn;
    if (!turn.granted()) {
        return {};
    }
    if (!ui.askYesNo("Test Links",
                     "This process will test the links in your database, and mark those that are "
                     "no longer valid. You will be able to select which links are tested using "
                     "the standard Query Wizard.  Do you wish to proceed?",
                     false)) {
        return {};
    }
    LinkBatch batch{database, today, options};
    return runLinkBatchWindow(batch, ui, "Test Links", "Testing Multiple Links", "tested",
                              [](const LinkBatchItem& item) {
                                  return "Testing " + std::to_string(item.visited) + " of up to " +
                                         std::to_string(item.total);
                              });
}

} // namespace tessaly
