#pragma once

#include "core/database.h"
#include "links/http_session.h"
#include "links/network_steps.h"

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

// "Tessaly-2000 2.200000b": the agent the link test and the analysis send.
extern const char* const kLinkTestAgent;

// Tests one address in steps, filling the bookmark in memory from what the
// server answers and writing the dated status detail line. The bookmark
// record itself is left for the caller to write. The steps are run one by
// one (so a window can show each) and abort() from another thread ends the
// one running at once.
class LinkTest final : public NetworkSteps {
public:
    static constexpr std::size_t kPageBlock = 4096;

    LinkTest(std::string_view address, Record& bookmark, Database& database, std::int32_t today,
             HttpLimits limits = {});

    // Makes the test end with kLinkCancelled at once.
    void cancel() override;

    // A test about no stored bookmark (a Favorites shortcut) leaves no
    // dated status line, which would belong to no bookmark.
    void setRecordsStatus(bool records) { recordsStatus_ = records; }

    unsigned statusCode() const { return statusCode_; }
    const std::string& statusText() const { return statusText_; }
    // The open could not be tried for want of open files or memory here:
    // the result (kLinkUnknown) says nothing about the address.
    bool localFailure() const { return session_.localFailure(); }
    // The level of the rows the test writes itself, its dated status line
    // and the page scan's (kLevelDone when they were made or none was due);
    // a failure was reported already, and the test wrote nothing more.
    int writeLevel() const { return writeLevel_; }
    // After a failed open: keeps why the address gave no answer at all (no
    // such host, refused, a certificate not trusted) as the bookmark's dated
    // status line, as an error status is kept. On the thread that stores.
    void recordOpenFailure();

private:
    void recordStatusDetail(const std::string& status);
    void doStep(int step) override;
    void open();
    void readStatus();
    void readPage();
    void readHeaders();

    std::string address_;
    Record& bookmark_;
    Database& database_;
    std::int32_t today_;
    HttpSession session_;

    unsigned statusCode_ = 0;
    std::string statusText_ = "Unknown";
    std::string page_; // the first block of the body
    bool opened_ = false;
    bool recordsStatus_ = true;
    int writeLevel_ = kLevelDone;
};

// What every caller of a link test does with its result: nothing for
// kLinkUnknown and kLinkCancelled; otherwise the pass mark (1 pass, 2 fail,
// 0 for anything else) and today's date are set and the bookmark, with all
// the test filled in, is written back. Returns the write's level
// (kLevelDone when nothing was to be written). A failed write is reported
// with message 25 naming `fileName`, the bookmark file when empty; a file
// that cannot be opened (another program holds it) as its opening says,
// and nothing is written.
int storeLinkResult(FileManager& bookmarks, Record& bookmark, int result, std::int32_t today,
                    std::string_view fileName = {});

// What the batch runs' failed writes name: the view they write through.
inline constexpr std::string_view kBatchViewName = "Process:View";

} // namespace tessaly
