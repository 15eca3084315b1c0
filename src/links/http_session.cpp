#include "links/http_session.h"

#include "framework/text.h"

#include <curl/curl.h>
#include <idn2.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tessaly {

namespace {

using Clock = std::chrono::steady_clock;

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool mustEncode(unsigned char c)
{
    return c <= ' ' || c >= 0x7F || c == '"' || c == '<' || c == '>';
}

// Whether a failed open ran out of something of this machine's rather than
// hearing from (or about) the address. The library does not always keep
// the system's reason, so when it gave none a socket is tried: a process
// out of descriptors cannot make one.
bool failedLocally(CURLcode result, long osError, const char* errors)
{
    if (result == CURLE_OUT_OF_MEMORY || result == CURLE_FAILED_INIT || osError == EMFILE ||
        osError == ENFILE || osError == ENOMEM || osError == ENOBUFS ||
        std::strstr(errors, "thread failed to start") != nullptr) {
        return true;
    }
    if (result != CURLE_COULDNT_CONNECT && result != CURLE_COULDNT_RESOLVE_HOST &&
        result != CURLE_COULDNT_RESOLVE_PROXY) {
        return false;
    }
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return errno == EMFILE || errno == ENFILE || errno == ENOMEM || errno == ENOBUFS;
    }
    ::close(probe);
    return false;
}

// The host of an address in its ASCII form ("bücher.example" is
// "xn--bcher-kva.example"); as it stands when it is ASCII already or has
// no such form.
std::string asciiHost(std::string_view host)
{
    if (std::all_of(host.begin(), host.end(), [](char c) { return (c & 0x80) == 0; })) {
        return std::string{host};
    }
    char* ascii = nullptr;
    const std::string name{host};
    if (idn2_to_ascii_8z(name.c_str(), &ascii, IDN2_NONTRANSITIONAL | IDN2_NFC_INPUT) != IDN2_OK) {
        return name;
    }
    std::string out{ascii};
    idn2_free(ascii);
    return out;
}

} // namespace

std::string encodeAddress(std::string_view address)
{
    const auto scheme = address.find("://");
    const std::size_t hostAt = scheme == std::string_view::npos ? 0 : scheme + 3;
    const std::size_t pathAt = scheme == std::string_view::npos
                                   ? 0
                                   : std::min(address.find_first_of("/?#", hostAt), address.size());
    // Only the name itself: any user name before it and the port after it
    // stay as they are.
    std::string_view authority = address.substr(hostAt, pathAt - hostAt);
    const std::size_t nameAt =
        authority.rfind('@') == std::string_view::npos ? 0 : authority.rfind('@') + 1;
    std::string_view name = authority.substr(nameAt);
    name = name.substr(0, name.starts_with('[') ? name.size() : name.rfind(':'));
    std::string out{address.substr(0, hostAt + nameAt)};
    out += asciiHost(name);
    out += address.substr(hostAt + nameAt + name.size(), pathAt - hostAt - nameAt - name.size());
    constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : address.substr(pathAt)) {
        const auto byte = static_cast<unsigned char>(c);
        if (mustEncode(byte)) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

struct HttpSession::Transfer {
    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    curl_slist* headers = nullptr;
    char errors[CURL_ERROR_SIZE] = {};

    Transfer() = default;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    ~Transfer()
    {
        curl_multi_cleanup(multi);
        curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }
};

HttpSession::HttpSession(std::string userAgent, HttpLimits limits)
    : userAgent_(std::move(userAgent)), limits_(limits)
{
    initialiseCurlOnce();
}

HttpSession::~HttpSession() = default;

void HttpSession::abort()
{
    abort_ = true;
    // Wakes the transfer loop from its wait so that it sees the flag now,
    // not when the network next stirs.
    std::lock_guard lock{transferMutex_};
    if (transfer_) {
        curl_multi_wakeup(transfer_->multi);
    }
}

void HttpSession::release()
{
    std::lock_guard lock{transferMutex_};
    transfer_.reset();
}

bool HttpSession::makeTransfer()
{
    std::lock_guard lock{transferMutex_};
    if (!transfer_) {
        transfer_ = std::make_unique<Transfer>();
    }
    if (transfer_->easy == nullptr || transfer_->multi == nullptr) {
        transfer_.reset();
        return false;
    }
    return true;
}

void HttpSession::reset()
{
    status_ = 0;
    finalUrl_.clear();
    expires_.clear();
    contentLength_.clear();
    lastModified_.clear();
    contentType_.clear();
    contentDisposition_.clear();
    serverReply_.clear();
    error_.clear();
    readError_.clear();
    localFailure_ = false;
    unanswered_ = false;
    readerDone_ = false;
    headAt_.reset();
    statusLine_ = false;
    bodyStalled_ = false;
}

std::size_t HttpSession::onBody(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* session = static_cast<HttpSession*>(self);
    const std::size_t bytes = size * count;
    if (session->limits_.stallFromLastData && session->headAt_) {
        session->headAt_ = Clock::now();
    }
    if (session->reader_ == nullptr || !*session->reader_ ||
        !(*session->reader_)(std::string_view{data, bytes})) {
        // Enough read: a short count makes the library end the transfer.
        session->readerDone_ = true;
        return 0;
    }
    return bytes;
}

std::size_t HttpSession::onHeader(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* session = static_cast<HttpSession*>(self);
    const std::size_t bytes = size * count;
    const std::string_view line = text::trim(std::string_view{data, bytes});
    if (session->ftp_) {
        // The FTP server's replies come here line by line; the last one
        // tells what became of the request.
        if (!line.empty()) {
            session->serverReply_ = std::string{line};
        }
        return bytes;
    }
    if (line.starts_with("HTTP/")) {
        session->statusLine_ = true;
    } else if (line.empty()) {
        // The end of a head. Unless it sends us elsewhere (or is only an
        // interim answer), the body is all that is left to come.
        CURL* easy = session->transfer_->easy;
        long code = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
        curl_header* location = nullptr;
        const bool redirected =
            code >= 300 && code < 400 &&
            curl_easy_header(easy, "Location", 0, CURLH_HEADER, -1, &location) == CURLHE_OK;
        if (code >= 200 && !redirected) {
            session->headAt_ = Clock::now();
            session->readHeadOfBody();
        } else {
            session->statusLine_ = false; // another answer is to come
        }
    }
    return bytes;
}

namespace {

// A header of the answer to the last request, after every redirection.
std::string headerValue(CURL* easy, const char* name)
{
    curl_header* header = nullptr;
    if (curl_easy_header(easy, name, 0, CURLH_HEADER, -1, &header) == CURLHE_OK) {
        return std::string{text::trim(header->value)};
    }
    return {};
}

} // namespace

void HttpSession::setExtraHeader(std::string line)
{
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < ' ') {
            c = ' ';
        }
    }
    extraHeader_ = std::move(line);
}

// What a reader of the body may want before the body: its status, its kind
// and the name the server gives it.
void HttpSession::readHeadOfBody()
{
    CURL* easy = transfer_->easy;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status_);
    char* effective = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK &&
        effective != nullptr) {
        finalUrl_ = effective;
    }
    contentType_ = headerValue(easy, "Content-Type");
    contentDisposition_ = headerValue(easy, "Content-Disposition");
}

void HttpSession::readHeaders()
{
    CURL* easy = transfer_->easy;
    char* effective = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK &&
        effective != nullptr) {
        finalUrl_ = effective;
    }
    if (ftp_) {
        return; // FTP answers carry no status code and no headers
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status_);
    const auto value = [easy](const char* name) {
        return headerValue(easy, name);
    };
    expires_ = value("Expires");
    contentLength_ = value("Content-Length");
    lastModified_ = value("Last-Modified");
    contentType_ = value("Content-Type");
    contentDisposition_ = value("Content-Disposition");
}

const char* extraAuthorities()
{
    const char* file = std::getenv("CURL_CA_BUNDLE");
    return file != nullptr && *file != '\0' ? file : nullptr;
}

void HttpSession::setOptions(const std::string& url)
{
    CURL* easy = transfer_->easy;
    curl_easy_reset(easy);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent_.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, limits_.maxRedirections);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, limits_.connectSeconds);
    // Too slow for the stall time ends the transfer: a server that accepts
    // and then never answers cannot hold us.
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, std::max(limits_.stallBytesPerSecond, 1L));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, limits_.stallSeconds);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, limits_.totalSeconds);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    if (const char* authorities = extraAuthorities()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, authorities);
    }
    // A name lookup runs on a thread of the library's. Without this, ending
    // a transfer (a time-out, Cancel) waits for that thread, and so for a
    // resolver that may not answer for half a minute; with it the lookup
    // is left to finish on its own.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    // An FTP connection closed at once would make the server's goodbye its
    // last reply; it is closed with the session instead.
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, keepConnections_ || ftp_ ? 0L : 1L);
    // No compression is asked for: the page size is taken from
    // Content-Length, which would then be the compressed size.
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer_->errors);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpSession::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpSession::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_slist_free_all(transfer_->headers);
    transfer_->headers = nullptr;
    if (!extraHeader_.empty()) {
        transfer_->headers = curl_slist_append(nullptr, extraHeader_.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer_->headers);
    }
}

// How long the transfer loop may sleep: a second at most, and no later than
// the moment a body that began to arrive has had its stall time.
int HttpSession::waitMilliseconds() const
{
    if (!headAt_) {
        return 1000;
    }
    const auto left = *headAt_ + std::chrono::seconds(limits_.stallSeconds) - Clock::now();
    return static_cast<int>(std::clamp<long long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 1, 0, 1000));
}

bool HttpSession::open(const std::string& url, const BodyReader& reader)
{
    reset();
    if (abort_) {
        error_ = "Cancelled";
        return false;
    }
    if (!makeTransfer()) {
        error_ = "No connection could be prepared: out of memory or open files";
        localFailure_ = true;
        return false;
    }
    ftp_ = text::upper(url.substr(0, 4)) == "FTP:";
    reader_ = &reader;
    transfer_->errors[0] = '\0';
    const std::string wire = encodeAddress(url);
    setOptions(wire);

    CURLM* multi = transfer_->multi;
    curl_multi_add_handle(multi, transfer_->easy);
    int running = 1;
    while (!abort_) {
        curl_multi_perform(multi, &running);
        if (running == 0 || abort_) {
            break;
        }
        if (headAt_ && Clock::now() - *headAt_ >= std::chrono::seconds(limits_.stallSeconds)) {
            bodyStalled_ = true;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, waitMilliseconds(), nullptr);
    }
    CURLcode result = CURLE_OK;
    int left = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE) {
            result = message->data.result;
        }
    }
    finish(result, url);
    return error_.empty();
}

void HttpSession::finish(int code, const std::string& url)
{
    const auto result = static_cast<CURLcode>(code);
    CURL* easy = transfer_->easy;
    readHeaders();
    long redirections = 0;
    curl_easy_getinfo(easy, CURLINFO_REDIRECT_COUNT, &redirections);
    if (redirections == 0) {
        // The library tidies an address it reports ("http://host" gains a
        // "/"); without a redirection the page is where the caller said.
        finalUrl_ = url;
    }
    long osError = 0;
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
    curl_multi_remove_handle(transfer_->multi, easy);
    reader_ = nullptr;

    const std::string reason = transfer_->errors[0] != '\0'
                                   ? std::string{transfer_->errors}
                                   : std::string{curl_easy_strerror(result)};
    if (abort_) {
        error_ = "Cancelled";
    } else if (bodyStalled_) {
        readError_ = "The page stopped arriving after its head";
    } else if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && readerDone_)) {
        // The answer is in, or as much of it as was asked for.
    } else if (headAt_ || (statusLine_ && status_ > 0)) {
        // The final answer's status line is in: that is the answer, and
        // the trouble after it (in the head or the body) only a failed
        // read.
        readError_ = reason;
    } else {
        error_ = reason;
        localFailure_ = failedLocally(result, osError, transfer_->errors);
        unanswered_ = result == CURLE_COULDNT_RESOLVE_HOST ||
                      result == CURLE_COULDNT_RESOLVE_PROXY || result == CURLE_COULDNT_CONNECT ||
                      result == CURLE_OPERATION_TIMEDOUT || result == CURLE_GOT_NOTHING;
    }
}

} // namespace tessaly
