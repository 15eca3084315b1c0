#pragma once

#include "core/database.h"
#include "links/html_tokenizer.h"
#include "links/http_session.h"
#include "links/link_batch.h"
#include "links/network_steps.h"
#include "links/page_scanner.h"
#include "links/page_text.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// What reading a page for analysis gives besides the number of bytes read.
constexpr std::int32_t kPageCancelled = -1;
constexpr std::int32_t kPageNotEstablished = 0;
constexpr std::int32_t kPageNotRead = 2;

// The waits of a page read whole: a page may take its time as long as it
// keeps arriving.
HttpLimits pageReadLimits();

// Reads a whole page for analysis in the steps the "Analyze URL" window
// shows: the page arrives in blocks of 16384 bytes (at most 10000), each
// cut into elements by itself, so a tag cut by a block boundary becomes two
// elements; only those the analysis reads are kept, so memory stays small
// whatever the page holds. The page is refused when its server answers with an error
// status or the first 512 characters of its first block mention "404".
// Nothing here touches a database file. The step that opens the address
// reads the whole page and may run on a worker; cancel() from any thread
// ends it at once.
class PageRead final : public NetworkSteps {
public:
    static constexpr std::size_t kBlockSize = 16384;
    static constexpr std::size_t kMostBlocks = 10000;

    explicit PageRead(std::string_view address, HttpLimits limits = pageReadLimits());

    void cancel() override;
    // The result() is the number of bytes read when the page was read,
    // else kPageCancelled, kPageNotEstablished or kPageNotRead.
    std::int64_t bytesSoFar() const override { return bytesSoFar_; }
    int stepOfArrivingBytes() const override { return 7; }
    long statusCode() const { return session_.statusCode(); }
    // The elements the analysis reads, of every block (see ScanElements).
    const ElementList& elements() const { return elements_.kept(); }
    bool localFailure() const { return session_.localFailure(); }
    // Why the page could not be read; empty when it was.
    const std::string& failure() const { return failure_; }
    // The page was read, but its body stopped before its end (a stall, a
    // connection closed early): what arrived is analysed and the link
    // passes, as the link test passes it; the log tells why it ended.
    // Reading no further than the most blocks is the analysis's own limit,
    // not a page cut short.
    // The server answered, but its page stopped before any of its body
    // arrived: nothing to analyse, and still no failed link.
    bool headOnly() const { return headOnly_; }
    bool cutShort() const
    {
        return result() > 0 && blocks_ < kMostBlocks && !session_.readError().empty();
    }

private:
    void doStep(int step) override;
    void open();
    bool takeBytes(std::string_view bytes);
    bool takeBlock(std::string_view block, bool last);
    void readPage();

    std::string address_;
    HttpSession session_;
    std::atomic<std::int64_t> bytesSoFar_ = 0;
    bool opened_ = false;
    std::string pending_; // bytes of the block not yet whole
    PageDecoder decoder_;
    std::size_t blocks_ = 0;
    std::int32_t total_ = 0;
    bool notFound_ = false; // the first block mentions "404"
    bool headOnly_ = false;
    std::string firstText_;
    ScanElements elements_;
    std::string failure_;
};

// What an analysis takes from a page's elements, found without the
// database: what the scanner finds, and the site information a bookmark
// whose own was blank ends with (the page's description, then its body
// text). A few KB, however large the page.
struct PageAnalysis {
    PageFindings findings;
    std::string blankSiteInfo;

    static PageAnalysis of(const ElementList& elements);
};

// Fills the bookmark from a page read for analysis (`bytes` is the read's
// result): a result of 3 or less marks it failed with today's dates;
// otherwise the page scanner in analysis mode fills it (keywords replaced,
// detail lines only when it had none) and, when its site information was
// blank, the page's body text becomes it. The bookmark is changed in
// memory for the caller to write; keyword and detail rows are written.
// Returns kLevelDone, or the level of a row write that failed (reported).
int analyzeBookmark(std::int32_t bytes, const ElementList& elements, Record& bookmark,
                    Database& database, std::int32_t today);
int analyzeBookmark(std::int32_t bytes, const PageAnalysis& analysis, Record& bookmark,
                    Database& database, std::int32_t today);
// The same for a read page: a page cut short fills the bookmark and fails it.
int analyzeBookmark(const PageRead& read, Record& bookmark, Database& database, std::int32_t today);
// The same from what was taken of the read's elements before they were
// dropped.
int analyzeBookmark(const PageRead& read, const PageAnalysis& analysis, Record& bookmark,
                    Database& database, std::int32_t today);

// Writes an analysed bookmark back (message 25 naming `fileName`, the
// bookmark file when empty, on failure; a file that cannot be opened is
// said as its opening says, and nothing is written); returns the level.
int storeAnalysis(FileManager& bookmarks, const Record& bookmark, std::string_view fileName = {});

// How far, in jobs, analyses run ahead of the bookmark being stored. A
// finished analysis waits with only what it found (a PageAnalysis, about
// 2 KB), so they run further ahead than downloads: the location order
// groups a site's pages, and at four at once on a site the jobs stay busy
// only while the window reaches some thirty sites. 20 jobs' worth (2,560
// at 128 jobs) does so for runs of about 80 pages a site, with some 6 MB
// waiting at most.
constexpr int kPageAnalysisLookAhead = 20;

// The batch job that analyses each address ("Analy&ze Multiple Links").
BatchJobMaker pageAnalysisJobs(Database& database, std::int32_t today,
                               HttpLimits limits = pageReadLimits());

// "Analy&ze Multiple Links": asks whether to go on and whether to choose
// the links by a query, then analyses them under the UI's progress window,
// whose Cancel stops the run.
LinkBatchSummary analyzeAllLinks(Database& database, UiPort& ui, std::int32_t today,
                                 LinkBatchOptions options = {});

} // namespace tessaly
