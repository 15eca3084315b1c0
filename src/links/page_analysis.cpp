#include "links/page_analysis.h"

#include "core/tables.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "links/link_test.h"
#include "links/page_scanner.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>

namespace tessaly {

namespace {

constexpr std::string_view kWaiting = "Waiting for response";
constexpr std::size_t kLogWidth = 255; // of the block's text logged on a 404

} // namespace

HttpLimits pageReadLimits()
{
    // A page of the largest size read at a modest speed; a server that
    // keeps sending a byte now and then cannot hold a batch for longer.
    return HttpLimits::forWholePages(600);
}

PageRead::PageRead(std::string_view address, HttpLimits limits)
    : NetworkSteps(kPageNotEstablished), address_(text::clip(address)),
      session_(kLinkTestAgent, limits)
{
    session_.setKeepConnections(false);
}

void PageRead::cancel()
{
    NetworkSteps::cancel();
    session_.abort();
}

void PageRead::doStep(int step)
{
    switch (step) {
    case 2:
        open();
        break;
    case 3:
    case 5:
        response_ = kWaiting;
        if (!session_.serverReply().empty()) {
            response_ = session_.serverReply();
        }
        break;
    case 6:
        response_ = kWaiting;
        break;
    case 7:
        readPage();
        break;
    default:
        // Step 1 has nothing to prepare (the session is ready as soon as
        // it exists) and step 4 nothing to do.
        break;
    }
}

void PageRead::open()
{
    response_ = kWaiting;
    opened_ = session_.open(address_, [this](std::string_view bytes) { return takeBytes(bytes); });
    // What is left of the page once it has all arrived (or stopped
    // arriving) is its last block.
    if (opened_ && !cancelled_ && !notFound_ && blocks_ < kMostBlocks && !pending_.empty()) {
        takeBlock(pending_, true);
    }
    pending_.clear();
    pending_.shrink_to_fit();
    // The elements may wait a while for their turn to be scanned.
    elements_.shrink();
    session_.release();
    if (opened_) {
        result_ = kPageNotEstablished;
        return;
    }
    step_ = kFinished;
    // A connection that could not even be tried for want of open files or
    // memory here establishes nothing; any other failed open is a page
    // that could not be read.
    result_ = session_.localFailure() ? kPageNotEstablished : kPageNotRead;
    failure_ = session_.error();
    addLog(response_);
    response_ = session_.error();
}

// Gathers the body into whole blocks; false once no more is wanted.
bool PageRead::takeBytes(std::string_view bytes)
{
    bytesSoFar_ += static_cast<std::int64_t>(bytes.size());
    while (!bytes.empty()) {
        const std::size_t take = std::min(kBlockSize - pending_.size(), bytes.size());
        pending_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (pending_.size() == kBlockSize) {
            const bool more = takeBlock(pending_, false);
            pending_.clear();
            if (!more) {
                return false;
            }
        }
    }
    return !cancelled_;
}

// One block: decoded by the page's charset, checked for "404" when it is
// the first, and cut into elements by itself. False once no more is wanted.
bool PageRead::takeBlock(std::string_view block, bool last)
{
    if (blocks_ == 0 && session_.statusCode() >= 400) {
        return false; // an error page is not the page
    }
    std::string text = decoder_.decode(block, session_.contentType());
    if (last) {
        text += decoder_.finish();
    }
    if (blocks_ == 0) {
        firstText_ = std::string{utf8::prefix(text, kLogWidth)};
        if (utf8::prefix(text, 512).find("404") != std::string_view::npos) {
            notFound_ = true;
            return false;
        }
    }
    ++blocks_;
    total_ += static_cast<std::int32_t>(block.size());
    forEachElement(text, kElementWidth,
                   [this](std::string_view element) { elements_.take(element); });
    return blocks_ < kMostBlocks;
}

void PageRead::readPage()
{
    response_ = "Analyzing HTML document";
    const long status = session_.statusCode();
    if (status >= 400) {
        // Not what the address names: analysing the server's error page
        // would fill the bookmark with "Not Found" and the like.
        failure_ = "The server answered with status " + std::to_string(status);
    } else if (notFound_) {
        response_ = firstText_;
        failure_ = "The page mentions 404 at its start";
    } else if (blocks_ == 0 && !session_.readError().empty()) {
        failure_ = session_.readError();
        headOnly_ = status > 0;
    } else {
        if (!session_.readError().empty()) {
            // What arrived before the body failed is the page.
            addLog(session_.readError());
        }
        addLog("Parsing");
        response_.clear();
        result_ = total_;
        step_ = kFinished;
        return;
    }
    addLog(response_);
    response_ = failure_;
    result_ = kPageNotRead;
    step_ = kFinished;
}

PageAnalysis PageAnalysis::of(const ElementList& elements)
{
    PageAnalysis analysis{findOnPage(elements), {}};
    // A blank site information takes the page's description and then its
    // body text, whatever else the bookmark holds: worked out here on a
    // blank record, so the body's elements need not wait for the writer.
    Record blank{bookmarkTable()};
    fillBookmark(analysis.findings, ScanMode::Analysis, blank);
    appendBodyText(elements, blank);
    analysis.blankSiteInfo = blank.text(BookmarkField::SiteInfo);
    analysis.findings.shrink_to_fit();
    return analysis;
}

int analyzeBookmark(std::int32_t bytes, const PageAnalysis& analysis, Record& bookmark,
                    Database& database, std::int32_t today)
{
    if (bytes <= 3) {
        bookmark.setNumber(BookmarkField::LastValidated, today);
        bookmark.setNumber(BookmarkField::LastVisit, today);
        bookmark.setNumber(BookmarkField::Validated, kLinkFail);
        return kLevelDone;
    }
    const bool infoWasBlank = text::clip(bookmark.text(BookmarkField::SiteInfo)).empty();
    const int level =
        applyFindings(analysis.findings, ScanMode::Analysis, bytes, today, bookmark, database);
    if (infoWasBlank) {
        bookmark.setText(BookmarkField::SiteInfo, analysis.blankSiteInfo);
    }
    return level;
}

int analyzeBookmark(std::int32_t bytes, const ElementList& elements, Record& bookmark,
                    Database& database, std::int32_t today)
{
    return analyzeBookmark(bytes, PageAnalysis::of(elements), bookmark, database, today);
}

namespace {

// analyzeBookmark() of a read whose result was `result`, given whether its
// page stopped after the head.
int analyzeRead(std::int64_t result, bool headOnly, const PageAnalysis& analysis, Record& bookmark,
                Database& database, std::int32_t today)
{
    // A page whose body stopped early still answered: what arrived is
    // analysed and the link passes, as the link test passes it.
    if (headOnly) {
        return scanPage({}, ScanMode::Analysis, 0, today, bookmark, database);
    }
    return analyzeBookmark(static_cast<std::int32_t>(result), analysis, bookmark, database, today);
}

} // namespace

int analyzeBookmark(const PageRead& read, const PageAnalysis& analysis, Record& bookmark,
                    Database& database, std::int32_t today)
{
    return analyzeRead(read.result(), read.headOnly(), analysis, bookmark, database, today);
}

int analyzeBookmark(const PageRead& read, Record& bookmark, Database& database, std::int32_t today)
{
    return analyzeBookmark(read, PageAnalysis::of(read.elements()), bookmark, database, today);
}

int storeAnalysis(FileManager& bookmarks, const Record& bookmark, std::string_view fileName)
{
    if (const int level = bookmarks.use(); level != kLevelDone) {
        return level; // said already: another program holds the file, say
    }
    const EngineStatus status = bookmarks.file().put(bookmark);
    const int level =
        status.ok() ? kLevelDone : bookmarks.reportWriteError(status, false, fileName);
    bookmarks.close();
    return level;
}

namespace {

// An analysis as a batch runs it: the page read and understood on a
// worker, the store on the caller's thread. A finished analysis may wait
// long for its turn behind a slow site, beside a couple of thousand
// others, so it waits with only what its store needs: the read itself,
// its connection and its elements are let go on the worker.
class PageAnalysisJob final : public BatchJob {
public:
    PageAnalysisJob(const std::string& location, Database& database, std::int32_t today,
                    const HttpLimits& limits)
        : read_(std::make_unique<PageRead>(location, limits)), location_(location),
          database_(database), today_(today)
    {}

    void open() override
    {
        PageRead& read = *read_;
        read.runThroughNetwork();
        localFailure_ = read.localFailure();
        failure_ = read.failure();
        if (!localFailure_) {
            // The steps left touch no database file either.
            result_ = read.run();
            statusCode_ = read.statusCode();
            bytes_ = read.bytesSoFar();
            headOnly_ = read.headOnly();
            if (result_ > 3 && !headOnly_) {
                analysis_ = PageAnalysis::of(read.elements());
            }
        }
        const std::lock_guard lock{mutex_};
        read_.reset();
    }
    void cancel() override
    {
        cancelled_ = true;
        const std::lock_guard lock{mutex_};
        if (read_) {
            read_->cancel();
        }
    }
    bool localFailure() const override { return localFailure_; }
    std::string failureText() const override { return failure_; }
    Record& bookmark() override
    {
        if (!bookmark_) {
            bookmark_.emplace(bookmarkTable());
            bookmark_->setText(BookmarkField::Location, location_);
        }
        return *bookmark_;
    }
    int finish(LinkBatchItem& item) override
    {
        Record& bookmark = this->bookmark();
        item.statusCode = static_cast<unsigned>(std::max(statusCode_, 0L));
        if (cancelled_ || result_ == kPageCancelled) {
            item.result = kLinkCancelled;
            return kLevelDone;
        }
        item.bytes = bytes_;
        const int level = analyzeRead(result_, headOnly_, analysis_, bookmark, database_, today_);
        item.result = static_cast<int>(bookmark.number(BookmarkField::Validated));
        if (level != kLevelDone) {
            return level;
        }
        return storeAnalysis(database_.bookmarks(), bookmark, kBatchViewName);
    }

private:
    std::mutex mutex_; // cancel() against the read's end
    std::unique_ptr<PageRead> read_;
    std::atomic<bool> cancelled_{false};
    // What the store needs of the read, kept when the read is let go.
    bool localFailure_ = false;
    std::string failure_;
    std::int64_t result_ = kPageNotEstablished;
    long statusCode_ = 0;
    std::int64_t bytes_ = 0;
    bool headOnly_ = false;
    PageAnalysis analysis_;
    std::string location_;
    std::optional<Record> bookmark_; // made when its turn to be stored comes
    Database& database_;
    std::int32_t today_;
};

} // namespace

BatchJobMaker pageAnalysisJobs(Database& database, std::int32_t today, HttpLimits limits)
{
    return [&database, today, limits](const std::string& location) {
        return std::make_unique<PageAnalysisJob>(location, database, today, limits);
    };
}

LinkBatchSummary analyzeAllLinks(Database& database, UiPort& ui, std::int32_t today,
                                 LinkBatchOptions options)
{
    const BatchTurn turn;
    if (!turn.granted()) {
        return {};
    }
    if (!ui.askYesNo("Analyze Links",
                     "This process will analyze all HTTP links in your database, import as much "
                     "information as possible directly from the related web site, and mark those "
                     "that are no longer valid.\n\nThis may take a long time, especially if you "
                     "have a slow connection to the Internet.\n\nDo you wish to proceed?",
                     false)) {
        return {};
    }
    options.lookAhead = kPageAnalysisLookAhead;
    LinkBatch batch{database, today, options, pageAnalysisJobs(database, today)};
    return runLinkBatchWindow(batch, ui, "Analyze Links", "Analyzing Multiple Links...", "analyzed",
                              [](const LinkBatchItem& item) {
                                  return "Analyzing Link " + std::to_string(item.visited) + " of " +
                                         std::to_string(item.total);
                              });
}

} // namespace tessaly
