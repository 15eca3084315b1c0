#pragma once

#include "core/database.h"
#include "links/http_session.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// What a link test concluded; the numbers are those the callers store.
enum LinkResult : int {
    kLinkCancelled = -1,
    kLinkUnknown = 0,
    kLinkPass = 1,
    kLinkFail = 2,
};

// The message of an HTTP status the link test knows and what it does to
// the result (nullopt: the result is left as it was).
struct HttpStatusEntry {
    unsigned code;
    std::string_view message;
    std::optional<int> result;
};
const HttpStatusEntry* findHttpStatus(unsigned code);

// Adds what a step of a network window leaves to show to its log: the
// first 255 characters, control characters as blanks, when not blank.
void addLogLine(std::vector<std::string>& log, std::string_view text);

// "Tessaly-2000 2.200000b": the agent the link test and the analysis send.
extern const char* const kLinkTestAgent;

// Tests one address in steps, filling the bookmark in memory from what the
// server answers and writing the dated status detail line. The bookmark
// record itself is left for the caller to write. The steps are run one by
// one (so a window can show each) and abort() from another thread ends the
// one running at once.
class LinkTest {
public:
    static constexpr int kFinished = 10;
    static constexpr std::size_t kPageBlock = 4096;

    LinkTest(std::string_view address, Record& bookmark, Database& database, std::int32_t today,
             HttpLimits limits = {});

    // Runs the next step and logs what it left to show; false once the
    // test has finished (or was cancelled).
    bool runStep();
    // Runs every step that is left and returns the result.
    int run();
    // Makes the test end with kLinkCancelled: no further step runs and the
    // running network call returns at once.
    void cancel();

    // Whether the next step is the one that opens the address: the only
    // step that waits on the network, and one that touches no database
    // file, so a window may run it on a worker thread.
    bool nextStepWaitsOnNetwork() const { return step_ == 1 && !cancelled_; }

    // A test about no stored bookmark (a Favorites shortcut) leaves no
    // dated status line, which would belong to no bookmark.
    void setRecordsStatus(bool records) { recordsStatus_ = records; }

    int step() const { return step_; }
    int result() const { return result_; }
    unsigned statusCode() const { return statusCode_; }
    const std::string& statusText() const { return statusText_; }
    const std::vector<std::string>& log() const { return log_; }
    // The open could not be tried for want of open files or memory here:
    // the result (kLinkUnknown) says nothing about the address.
    bool localFailure() const { return session_.localFailure(); }
    // The level of the page scan's writes (kLevelDone when they were made
    // or none was due); a failure was reported already.
    int scanLevel() const { return scanLevel_; }

private:
    void open();
    void readStatus();
    void readPage();
    void readHeaders();
    void addLog(std::string_view text);

    std::string address_;
    Record& bookmark_;
    Database& database_;
    std::int32_t today_;
    HttpSession session_;
    std::atomic<bool> cancelled_{false};

    std::atomic<int> step_ = 0;
    std::atomic<int> result_ = kLinkUnknown;
    unsigned statusCode_ = 0;
    std::string statusText_ = "Unknown";
    std::string response_; // what the running step leaves to show
    std::string page_;     // the first block of the body
    bool opened_ = false;
    bool recordsStatus_ = true;
    int scanLevel_ = kLevelDone;
    std::vector<std::string> log_;
};

// What every caller of a link test does with its result: nothing for
// kLinkUnknown and kLinkCancelled; otherwise the pass mark (1 pass, 2 fail,
// 0 for anything else) and today's date are set and the bookmark, with all
// the test filled in, is written back. Returns the write's level
// (kLevelDone when nothing was to be written). A failed write is reported
// with message 25 naming `fileName`, the bookmark file when empty.
int storeLinkResult(FileManager& bookmarks, Record& bookmark, int result, std::int32_t today,
                    std::string_view fileName = {});

// What the batch runs' failed writes name: the view they write through.
inline constexpr std::string_view kBatchViewName = "Process:View";

} // namespace tessaly
