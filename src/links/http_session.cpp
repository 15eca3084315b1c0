#include "links/http_session.h"

#include "framework/text.h"

#include <curl/curl.h>

#include <mutex>

namespace tessaly {

namespace {

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

struct HttpSession::Transfer {
    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    char errors[CURL_ERROR_SIZE] = {};

    Transfer() = default;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    ~Transfer()
    {
        curl_multi_cleanup(multi);
        curl_easy_cleanup(easy);
    }
};

HttpSession::HttpSession(std::string userAgent, HttpLimits limits)
    : userAgent_(std::move(userAgent)), limits_(limits)
{
    initialiseCurlOnce();
    transfer_ = std::make_unique<Transfer>();
}

HttpSession::~HttpSession() = default;

void HttpSession::abort()
{
    abort_ = true;
    // Wakes the transfer loop from its wait so that it sees the flag now,
    // not when the network next stirs.
    curl_multi_wakeup(transfer_->multi);
}

void HttpSession::reset()
{
    status_ = 0;
    finalUrl_.clear();
    expires_.clear();
    contentLength_.clear();
    lastModified_.clear();
    contentType_.clear();
    serverReply_.clear();
    error_.clear();
    readerDone_ = false;
    transfer_->errors[0] = '\0';
}

std::size_t HttpSession::onBody(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* session = static_cast<HttpSession*>(self);
    const std::size_t bytes = size * count;
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
    if (session->ftp_) {
        // The FTP server's replies come here line by line; the last one
        // tells what became of the request.
        const std::string_view line = text::trim(std::string_view{data, bytes});
        if (!line.empty()) {
            session->serverReply_ = std::string{line};
        }
    }
    return bytes;
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
        curl_header* header = nullptr;
        // -1: the answer to the last request, after every redirection.
        if (curl_easy_header(easy, name, 0, CURLH_HEADER, -1, &header) == CURLHE_OK) {
            return std::string{text::trim(header->value)};
        }
        return std::string{};
    };
    expires_ = value("Expires");
    contentLength_ = value("Content-Length");
    lastModified_ = value("Last-Modified");
    contentType_ = value("Content-Type");
}

bool HttpSession::open(const std::string& url, const BodyReader& reader)
{
    reset();
    if (abort_) {
        error_ = "Cancelled";
        return false;
    }
    CURL* easy = transfer_->easy;
    CURLM* multi = transfer_->multi;
    curl_easy_reset(easy);
    ftp_ = text::upper(url.substr(0, 4)) == "FTP:";
    reader_ = &reader;

    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent_.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, limits_.maxRedirections);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, limits_.connectSeconds);
    // Less than a byte a second for the stall time ends the transfer: a
    // server that accepts and then never answers cannot hold us.
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, limits_.stallSeconds);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, limits_.totalSeconds);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
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

    curl_multi_add_handle(multi, easy);
    int running = 1;
    while (!abort_) {
        curl_multi_perform(multi, &running);
        if (running == 0 || abort_) {
            break;
        }
        curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    CURLcode result = CURLE_OK;
    int left = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE) {
            result = message->data.result;
        }
    }
    readHeaders();
    long redirections = 0;
    curl_easy_getinfo(easy, CURLINFO_REDIRECT_COUNT, &redirections);
    if (redirections == 0) {
        // The library tidies an address it reports ("http://host" gains a
        // "/"); without a redirection the page is where the caller said.
        finalUrl_ = url;
    }
    curl_multi_remove_handle(multi, easy);
    reader_ = nullptr;

    if (abort_) {
        error_ = "Cancelled";
        return false;
    }
    if (result == CURLE_WRITE_ERROR && readerDone_) {
        return true;
    }
    if (result != CURLE_OK) {
        error_ = transfer_->errors[0] != '\0' ? std::string{transfer_->errors}
                                              : std::string{curl_easy_strerror(result)};
        return false;
    }
    return true;
}

} // namespace tessaly
