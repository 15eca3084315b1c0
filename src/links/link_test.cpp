#include "links/link_test.h"

#include "core/tables.h"
#include "framework/dates.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "links/page_scanner.h"
#include "links/page_text.h"

#include <array>
#include <charconv>

namespace tessaly {

const char* const kLinkTestAgent = "Tessaly-2000 2.200000b";

namespace {

// Whether an address a link was moved to names a "not found" page: "404"
// standing apart from other digits ("/404.html", "/error/404",
// "?code=404"). A port or a number that merely holds those digits
// (":40455", "/news/14042") is an ordinary page.
bool pointsAtA404(std::string_view address)
{
    const auto digit = [](char c) {
        return c >= '0' && c <= '9';
    };
    for (auto at = address.find("404"); at != std::string_view::npos;
         at = address.find("404", at + 1)) {
        const bool before = at > 0 && digit(address[at - 1]);
        const bool after = at + 3 < address.size() && digit(address[at + 3]);
        if (!before && !after) {
            return true;
        }
    }
    return false;
}

constexpr std::string_view kWaiting = "Waiting for response";
constexpr std::size_t kStatusWidth = 90;

const std::array kStatusTable{
    HttpStatusEntry{200, "The request completed successfully. (HTTP_STATUS_OK)", kLinkPass},
    HttpStatusEntry{201,
                    "The request has been fulfilled and resulted in the creation of a new "
                    "resource. (HTTP_STATUS_CREATED)",
                    kLinkPass},
    HttpStatusEntry{202,
                    "The request has been accepted for processing , but the processing has not "
                    "been completed. (HTTP_STATUS_ACCEPTED)",
                    kLinkPass},
    HttpStatusEntry{203,
                    "The returned meta information in the entity-header is not the definitive set "
                    "available from the origin server. (HTTP_STATUS_PARTIAL)",
                    kLinkPass},
    HttpStatusEntry{204,
                    "The server has fulfilled the request, but there is no new information to "
                    "send back. (HTTP_STATUS_NO_CONTENT)",
                    kLinkPass},
    HttpStatusEntry{205,
                    "The request has been completed, and the client program should reset the "
                    "document view that caused the request to be sent to allow the user to easily "
                    "initiate another input action. (HTTP_STATUS_RESET_CONTENT)",
                    kLinkPass},
    HttpStatusEntry{206,
                    "The server has fulfilled the partial GET request for the resource. "
                    "(HTTP_STATUS_PARTIAL_CONTENT)",
                    kLinkPass},
    HttpStatusEntry{300, "The server couldn't decide what to return. (HTTP_STATUS_AMBIGUOUS)",
                    std::nullopt},
    HttpStatusEntry{301,
                    "The requested resource has been assigned to a new permanent URI, and any "
                    "future references to this resource should be done using one of the returned "
                    "URIs. (HTTP_STATUS_MOVED)",
                    std::nullopt},
    HttpStatusEntry{302,
                    "The requested resource resides temporarily under a different URI. "
                    "(HTTP_STATUS_REDIRECT)",
                    std::nullopt},
    HttpStatusEntry{303,
                    "The response to the request can be found under a different URI and should be "
                    "retrieved using a GET method on that resource. (HTTP_STATUS_REDIRECT_METHOD)",
                    std::nullopt},
    HttpStatusEntry{304, "The requested resource has not been modified. (HTTP_STATUS_NOT_MODIFIED)",
                    std::nullopt},
    HttpStatusEntry{305,
                    "The requested resource must be accessed through the proxy given by the "
                    "location field. (HTTP_STATUS_USE_PROXY)",
                    std::nullopt},
    HttpStatusEntry{307,
                    "The redirected request keeps the same verb. HTTP/1.1 behavior. "
                    "(HTTP_STATUS_REDIRECT_KEEP_VERB)",
                    std::nullopt},
    HttpStatusEntry{400,
                    "The request could not be processed by the server due to invalid syntax. "
                    "(HTTP_STATUS_BAD_REQUEST)",
                    kLinkFail},
    HttpStatusEntry{401,
                    "The requested resource requires user authentication. (HTTP_STATUS_DENIED)",
                    kLinkFail},
    HttpStatusEntry{402,
                    "Not currently implemented in the HTTP protocol. (HTTP_STATUS_PAYMENT_REQ)",
                    kLinkFail},
    HttpStatusEntry{403,
                    "The server understood the request, but is refusing to fulfill it. "
                    "(HTTP_STATUS_FORBIDDEN)",
                    kLinkFail},
    HttpStatusEntry{404,
                    "The server has not found anything matching the requested URI. "
                    "(HTTP_STATUS_NOT_FOUND)",
                    kLinkFail},
    HttpStatusEntry{405, "The method used is not allowed. (HTTP_STATUS_BAD_METHOD)", kLinkFail},
    HttpStatusEntry{406,
                    "No responses acceptable to the client were found. "
                    "(HTTP_STATUS_NONE_ACCEPTABLE)",
                    kLinkFail},
    HttpStatusEntry{407, "Proxy authentication required. (HTTP_STATUS_PROXY_AUTH_REQ)", kLinkFail},
    HttpStatusEntry{408,
                    "The server timed out waiting for the request. (HTTP_STATUS_REQUEST_TIMEOUT)",
                    kLinkFail},
    HttpStatusEntry{409,
                    "The request could not be completed due to a conflict with the current state "
                    "of the resource. The user should resubmit with more information. "
                    "(HTTP_STATUS_CONFLICT)",
                    kLinkFail},
    HttpStatusEntry{410,
                    "The requested resource is no longer available at the server, and no "
                    "forwarding address is known. (HTTP_STATUS_GONE)",
                    kLinkFail},
    HttpStatusEntry{411,
                    "The server refuses to accept the request without a defined content length. "
                    "(HTTP_STATUS_LENGTH_REQUIRED)",
                    kLinkFail},
    HttpStatusEntry{412,
                    "The precondition given in one or more of the request header fields evaluted "
                    "to false when it was tested on the server. (HTTP_STATUS_PRECOND_FAILED)",
                    kLinkFail},
    HttpStatusEntry{413,
                    "The server is refusing to process a request because the request entity is "
                    "larger than the server is willing or able to process. "
                    "(HTTP_STATUS_REQUEST_TOO_LARGE)",
                    kLinkFail},
    HttpStatusEntry{414,
                    "The server is refusing to service the request because the request URI is "
                    "longer than the server is willing to interpret. (HTTP_STATUS_URI_TOO_LONG)",
                    kLinkFail},
    HttpStatusEntry{415,
                    "The server is refusing to service the request because the entity of the "
                    "request is in a format not supported by the requested resource for the "
                    "requested method. (HTTP_STATUS_UNSUPPORTED_MEDIA)",
                    kLinkFail},
    HttpStatusEntry{500,
                    "The server encountered an unexpected condition that prevented it from "
                    "fulfilling the request. (HTTP_STATUS_SERVER_ERROR)",
                    kLinkFail},
    HttpStatusEntry{501,
                    "The server does not support the functionality required to fulfill the "
                    "request. (HTTP_STATUS_NOT_SUPPORTED)",
                    std::nullopt},
    HttpStatusEntry{502,
                    "The server, while acting as a gateway or proxy, received an invalid response "
                    "from the upstream server it accessed in attempting to fulfill the request. "
                    "(HTTP_STATUS_BAD_GATEWAY)",
                    std::nullopt},
    HttpStatusEntry{503, "The service is temporarily overloaded. (HTTP_STATUS_SERVICE_UNAVAIL)",
                    std::nullopt},
    HttpStatusEntry{504,
                    "The request was timed out waiting for a gateway. "
                    "(HTTP_STATUS_GATEWAY_TIMEOUT)",
                    std::nullopt},
    HttpStatusEntry{505,
                    "The server does not support, or refuses to support, the HTTP protocol "
                    "version that was used in the request message. (HTTP_STATUS_VERSION_NOT_SUP)",
                    kLinkFail},
};

std::string cut(std::string_view text, std::size_t width)
{
    return std::string{utf8::prefix(text, width)};
}

// What a server says in a header or a reply line, as a field keeps it.
std::string fieldText(std::string_view text, std::size_t width)
{
    return cut(withoutControls(text), width);
}

} // namespace

const HttpStatusEntry* findHttpStatus(unsigned code)
{
    for (const HttpStatusEntry& entry : kStatusTable) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

LinkTest::LinkTest(std::string_view address, Record& bookmark, Database& database,
                   std::int32_t today, HttpLimits limits)
    : NetworkSteps(kLinkUnknown), address_(text::clip(address)), bookmark_(bookmark),
      database_(database), today_(today), session_(kLinkTestAgent, limits)
{
    // A test asks one question. Its connection is closed with the answer,
    // not held open on the server while the test waits its turn to be
    // stored.
    session_.setKeepConnections(false);
}

void LinkTest::cancel()
{
    NetworkSteps::cancel();
    session_.abort();
}

void LinkTest::doStep(int step)
{
    switch (step) {
    case 1:
        // Nothing to prepare: the session is ready as soon as it exists.
        break;
    case 2:
        open();
        break;
    case 3:
        response_ = kWaiting;
        if (!session_.serverReply().empty()) {
            response_ = session_.serverReply();
        }
        break;
    case 4:
        readStatus();
        break;
    case 5:
        readPage();
        break;
    case 6:
        if (!session_.serverReply().empty()) {
            response_ = session_.serverReply();
            bookmark_.setText(BookmarkField::Custom2, fieldText(response_, 60));
        }
        break;
    case 7:
        readHeaders();
        break;
    case 8:
        result_ = kLinkPass;
        step_ = kFinished;
        break;
    default:
        break;
    }
}

void LinkTest::open()
{
    response_ = kWaiting;
    page_.clear();
    opened_ = session_.open(address_, [this](std::string_view block) {
        page_ += block.substr(0, kPageBlock - page_.size());
        return page_.size() < kPageBlock;
    });
    // A test makes one request: its connection and handles go now, not when
    // the test is stored, which in a batch may be much later.
    session_.release();
    if (opened_) {
        result_ = kLinkPass;
        return;
    }
    step_ = kFinished;
    // The root handle's step: a connection that could not even be tried for
    // want of open files or memory gives no result, as a root handle that
    // cannot be opened does. A failed open is a fail.
    result_ = session_.localFailure() ? kLinkUnknown : kLinkFail;
    addLog(response_);
    response_ = session_.error();
}

void LinkTest::recordOpenFailure()
{
    if (recordsStatus_ && result_ == kLinkFail && !opened_ && !session_.aborted()) {
        recordStatusDetail(cut(session_.error(), kStatusWidth));
    }
}

// The bookmark's detail line "Validated <date>" with what the test found.
void LinkTest::recordStatusDetail(const std::string& status)
{
    Record detail{detailTable()};
    detail.setText(DetailField::Location, bookmark_.text(BookmarkField::Location));
    detail.setText(DetailField::DataLabel,
                   "Validated " + format(static_cast<double>(today_), "@d17"));
    detail.setText(DetailField::DataValue, status);
    FileManager& details = database_.details();
    writeLevel_ = details.use();
    if (writeLevel_ != kLevelDone) {
        return; // said already: another program holds the file, say
    }
    writeLevel_ = details.insert(detail);
    details.close();
}

void LinkTest::readStatus()
{
    response_ = kWaiting;
    statusText_ = "Unknown";
    statusCode_ = 0;
    if (session_.statusCode() > 0) {
        statusCode_ = static_cast<unsigned>(session_.statusCode());
        if (const HttpStatusEntry* entry = findHttpStatus(statusCode_)) {
            statusText_ = cut(entry->message, kStatusWidth);
            if (entry->result) {
                result_ = *entry->result;
            }
            if (statusCode_ == 400) {
                step_ = kFinished;
            }
        }
    } else if (!session_.serverReply().empty()) {
        response_ = session_.serverReply();
    }
    if (statusText_ == "Unknown") {
        result_ = kLinkPass;
        statusCode_ = 0;
    } else if (recordsStatus_) {
        recordStatusDetail(statusText_);
    }
    addLog(std::to_string(statusCode_) + ": " + statusText_);
    if (result_ == kLinkFail) {
        step_ = kFinished;
    }
}

void LinkTest::readPage()
{
    if (result_ == kLinkPass && !text::clip(bookmark_.text(BookmarkField::Description)).empty() &&
        !text::clip(bookmark_.text(BookmarkField::SiteInfo)).empty()) {
        return;
    }
    // The whole block counts, a NUL in it too; it is read as the text the
    // answer or the page says it is.
    const bool cut = page_.size() == kPageBlock || !session_.readError().empty();
    const std::string block = decodePage(page_, session_.contentType(), cut);
    for (std::size_t at = 0; at < 11; ++at) {
        addLog(utf8::mid(block, at * 100, 100));
    }
    const bool readFailed = !session_.readError().empty();
    if (readFailed) {
        // A body that failed after its head is a read that failed: the
        // result stands, and what arrived of the block is still the page's.
        addLog(session_.readError());
        step_ = kFinished;
        if (page_.empty()) {
            return;
        }
    }
    if (statusCode_ == 0 && utf8::prefix(block, 512).find("404") != std::string_view::npos) {
        result_ = kLinkFail;
        step_ = kFinished;
        return;
    }
    if (writeLevel_ != kLevelDone) {
        // The status line could not be written: the scan's files would go
        // the same way, and the user has been told once.
        return;
    }
    const bool infoWasBlank = text::clip(bookmark_.text(BookmarkField::SiteInfo)).empty();
    ElementList elements;
    tokenize(block, elements);
    writeLevel_ = scanPage(elements, ScanMode::Test, 0, today_, bookmark_, database_);
    if (infoWasBlank) {
        appendBodyText(elements, bookmark_);
    }
}

void LinkTest::readHeaders()
{
    const std::string& finalUrl = session_.finalUrl();
    if (!finalUrl.empty()) {
        response_ = finalUrl;
        // The new address whole, or not at all: a cut one leads elsewhere.
        if (const std::string movedTo = withoutControls(finalUrl);
            text::clip(finalUrl) != text::clip(address_) && fitsAddress(movedTo)) {
            bookmark_.setText(BookmarkField::MovedTo, movedTo);
        }
        result_ = pointsAtA404(bookmark_.text(BookmarkField::MovedTo)) ? kLinkFail : kLinkPass;
        step_ = kFinished;
    }
    if (!session_.expires().empty()) {
        response_ = session_.expires();
        bookmark_.setNumber(BookmarkField::Expires, dates::parseHttpDate(session_.expires()));
    }
    if (!session_.contentLength().empty()) {
        response_ = session_.contentLength();
        std::int64_t size = 0;
        const std::string& value = session_.contentLength();
        std::from_chars(value.data(), value.data() + value.size(), size);
        bookmark_.setNumber(BookmarkField::PageSize, size);
    } else {
        response_ = session_.serverReply();
    }
    const std::string& custom1 = bookmark_.text(BookmarkField::Custom1);
    if ((text::clip(custom1).empty() || custom1.starts_with("Last modified:")) &&
        !session_.lastModified().empty()) {
        response_ = session_.lastModified();
        bookmark_.setText(BookmarkField::Custom1, fieldText("Last modified: " + response_, 60));
    }
    if (text::clip(bookmark_.text(BookmarkField::Custom2)).empty() &&
        !session_.contentType().empty()) {
        response_ = session_.contentType();
        bookmark_.setText(BookmarkField::Custom2, fieldText(response_, 60));
    }
}

int storeLinkResult(FileManager& bookmarks, Record& bookmark, int result, std::int32_t today,
                    std::string_view fileName)
{
    if (result == kLinkUnknown || result == kLinkCancelled) {
        return kLevelDone;
    }
    bookmark.setNumber(BookmarkField::Validated,
                       result == kLinkPass || result == kLinkFail ? result : 0);
    bookmark.setNumber(BookmarkField::LastValidated, today);
    if (const int level = bookmarks.use(); level != kLevelDone) {
        return level; // said already: another program holds the file, say
    }
    const EngineStatus status = bookmarks.file().put(bookmark);
    const int level =
        status.ok() ? kLevelDone : bookmarks.reportWriteError(status, false, fileName);
    bookmarks.close();
    return level;
}

} // namespace tessaly
