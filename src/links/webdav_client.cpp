#include "links/webdav_client.h"

#include "framework/text.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <algorithm>
#include <cstring>

namespace tessaly {

namespace {

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The host of an http(s) address, without user, port or brackets.
std::string hostOf(std::string_view url)
{
    const auto scheme = url.find("://");
    if (scheme == std::string_view::npos) {
        return {};
    }
    std::string_view authority = url.substr(scheme + 3);
    authority = authority.substr(0, std::min(authority.find_first_of("/?#"), authority.size()));
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority = authority.substr(at + 1);
    }
    if (authority.starts_with('[')) {
        return std::string{authority.substr(1, authority.find(']') - 1)};
    }
    return std::string{authority.substr(0, authority.rfind(':'))};
}

// Only an address the system itself takes for this machine's: a name that
// merely begins with "127." belongs to anyone.
bool isLoopback(const std::string& host)
{
    in_addr v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24U) == 127U;
    }
    return text::lower(host) == "localhost" || host == "::1";
}

struct Upload {
    std::string_view body;
    std::size_t sent = 0;
};

std::size_t readUpload(char* buffer, std::size_t size, std::size_t count, void* data)
{
    auto* upload = static_cast<Upload*>(data);
    const std::size_t n = std::min(size * count, upload->body.size() - upload->sent);
    std::memcpy(buffer, upload->body.data() + upload->sent, n);
    upload->sent += n;
    return n;
}

// The library goes back in the body when it must send it again: on a
// fresh connection after the kept one closed under it, or after an answer
// that asks for the request once more.
int seekUpload(void* data, curl_off_t offset, int origin)
{
    auto* upload = static_cast<Upload*>(data);
    if (origin != SEEK_SET || offset < 0 ||
        static_cast<std::size_t>(offset) > upload->body.size()) {
        return CURL_SEEKFUNC_CANTSEEK;
    }
    upload->sent = static_cast<std::size_t>(offset);
    return CURL_SEEKFUNC_OK;
}

struct Download {
    std::string& body;
    std::size_t largest = 0;
    bool overLargest = false;
};

// A server that announces no length could send without end: the transfer
// stops at the bound rather than hold it all first.
std::size_t keepBody(char* data, std::size_t size, std::size_t count, void* out)
{
    auto* download = static_cast<Download*>(out);
    const std::size_t n = size * count;
    if (n > download->largest - download->body.size()) {
        download->overLargest = true;
        return 0;
    }
    download->body.append(data, n);
    return n;
}

std::string sizeInWords(std::size_t bytes)
{
    return bytes >= (std::size_t{1} << 20U) ? std::to_string(bytes >> 20U) + " MiB"
                                            : std::to_string(bytes >> 10U) + " KiB";
}

std::string header(CURL* easy, const char* name)
{
    curl_header* found = nullptr;
    if (curl_easy_header(easy, name, 0, CURLH_HEADER, -1, &found) == CURLHE_OK) {
        return std::string{text::trim(found->value)};
    }
    return {};
}

} // namespace

std::string strongEtag(std::string_view etag)
{
    etag = text::trim(etag);
    if (etag.starts_with("W/")) {
        etag.remove_prefix(2);
    }
    return std::string{etag};
}

bool isWeakEtag(std::string_view etag)
{
    return text::trim(etag).starts_with("W/");
}

DavCondition DavCondition::unchangedSince(const DavAnswer& read)
{
    return read.etag.empty() || isWeakEtag(read.etag) ? none() : ifMatch(read.etag);
}

std::string davAddressProblem(const DavAccount& account)
{
    const std::string lower = text::lower(account.folderUrl.substr(0, 8));
    if (lower.starts_with("https://")) {
        return hostOf(account.folderUrl).empty() ? "The server address names no host" : "";
    }
    if (!lower.starts_with("http://")) {
        return "The server address must begin with https://";
    }
    if (!isLoopback(hostOf(account.folderUrl))) {
        return "The server address must begin with https:// (plain http would send the "
               "password readable by anyone on the way; it is allowed for this machine only)";
    }
    return {};
}

std::string davProblem(const DavAnswer& answer, std::string_view file)
{
    const std::string name{file};
    const std::string code = std::to_string(answer.status);
    if (answer.status == 0) {
        if (answer.refusedOver != 0) {
            return name + " on the server is larger than " + sizeInWords(answer.refusedOver) +
                   ", too large to read";
        }
        if (answer.cutOffWhileSending) {
            return "The connection was lost while " + name +
                   " was being sent; the server keeps the file it had (" + answer.error + ")";
        }
        return "The server did not answer: " + answer.error;
    }
    switch (answer.status) {
    case 401:
        return "The server refused the user name or password (401)";
    case 403:
        return "The server does not allow this user to read or write " + name + " (403)";
    case 404:
        return name + " is not on the server (404)";
    case 405:
    case 409:
        return "The server has no folder for " + name + ": check the address (" + code + ")";
    case 412:
        return name + " was changed on the server by someone else meanwhile (412)";
    case 423:
        return name + " is locked on the server by another program (423)";
    case 507:
        return "The server has no room left for " + name + " (507)";
    default:
        break;
    }
    if (answer.status >= 300 && answer.status < 400) {
        return "The server sends " + name + " to another address (" + code +
               "): check the server address";
    }
    if (answer.status >= 500) {
        return "The server failed (" + code + "); try again later";
    }
    return "The server answered " + code + " for " + name;
}

WebDavClient::WebDavClient(DavAccount account, HttpLimits limits)
    : account_(std::move(account)), limits_(limits)
{
    initialiseCurlOnce();
    easy_ = curl_easy_init();
}

WebDavClient::~WebDavClient()
{
    curl_easy_cleanup(static_cast<CURL*>(easy_));
}

void WebDavClient::abort()
{
    abort_ = true;
}

std::string WebDavClient::fileUrl(std::string_view name) const
{
    std::string url = account_.folderUrl;
    if (!url.ends_with('/')) {
        url += '/';
    }
    // The name is one file of the folder, whatever it holds: a "#" or "?"
    // would end the path (the lock of "a#b" written over "a") and a "%"
    // would name another file, so they go as their codes.
    for (const char c : name) {
        if (c == '%' || c == '#' || c == '?') {
            constexpr std::string_view kHex = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            url += '%';
            url += kHex[byte >> 4U];
            url += kHex[byte & 15U];
        } else {
            url += c;
        }
    }
    return encodeAddress(url);
}

int WebDavClient::onProgress(void* self, long long, long long, long long, long long)
{
    return static_cast<WebDavClient*>(self)->abort_ ? 1 : 0;
}

DavAnswer WebDavClient::get(std::string_view name, std::size_t largest)
{
    return request(Method::Get, name, {}, {}, largest);
}

DavAnswer WebDavClient::head(std::string_view name)
{
    return request(Method::Head, name, {}, {});
}

DavAnswer WebDavClient::put(std::string_view name, std::string_view body,
                            const DavCondition& condition)
{
    return request(Method::Put, name, body, condition);
}

DavAnswer WebDavClient::remove(std::string_view name, const DavCondition& condition)
{
    return request(Method::Delete, name, {}, condition);
}

DavAnswer WebDavClient::findFolder()
{
    return request(Method::Propfind, {}, {}, {});
}

DavAnswer WebDavClient::request(Method method, std::string_view name, std::string_view body,
                                const DavCondition& condition, std::size_t largest)
{
    DavAnswer answer;
    auto* easy = static_cast<CURL*>(easy_);
    if (easy == nullptr) {
        answer.error = "No connection could be prepared: out of memory";
        return answer;
    }
    if (abort_) {
        answer.error = "Cancelled";
        return answer;
    }
    if (const std::string problem = davAddressProblem(account_); !problem.empty()) {
        answer.error = problem;
        return answer;
    }
    curl_easy_reset(easy);
    const std::string url = fileUrl(name);
    char errors[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errors);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Tessaly 2000");
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // A file's address that answers from elsewhere is a wrong address: a
    // write must not follow it to another place.
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, limits_.connectSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, std::max(limits_.stallBytesPerSecond, 1L));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, limits_.stallSeconds);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, limits_.totalSeconds);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    if (const char* authorities = extraAuthorities()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, authorities);
    }
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &WebDavClient::onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    if (!account_.user.empty()) {
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(easy, CURLOPT_USERNAME, account_.user.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, account_.password.c_str());
    }
    Download download{answer.body, largest};
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &keepBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &download);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(largest));

    curl_slist* headers = nullptr;
    Upload upload{body};
    switch (method) {
    case Method::Get:
        break;
    case Method::Head:
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        break;
    case Method::Delete:
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "DELETE");
        break;
    case Method::Propfind:
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "PROPFIND");
        headers = curl_slist_append(headers, "Depth: 0");
        break;
    case Method::Put:
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &readUpload);
        curl_easy_setopt(easy, CURLOPT_READDATA, &upload);
        curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &seekUpload);
        curl_easy_setopt(easy, CURLOPT_SEEKDATA, &upload);
        curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(body.size()));
        headers = curl_slist_append(headers, "Content-Type: application/xml; charset=UTF-8");
        break;
    }
    switch (condition.kind) {
    case DavCondition::Kind::None:
        break;
    case DavCondition::Kind::IfMatch:
        headers = curl_slist_append(headers, ("If-Match: " + condition.etag).c_str());
        break;
    case DavCondition::Kind::IfNoneMatch:
        headers = curl_slist_append(headers, "If-None-Match: *");
        break;
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    const CURLcode result = curl_easy_perform(easy);
    curl_slist_free_all(headers);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (result != CURLE_OK) {
        if (!abort_ && (download.overLargest || result == CURLE_FILESIZE_EXCEEDED)) {
            answer.refusedOver = largest;
        }
        answer.error = abort_ ? std::string{"Cancelled"}
                              : (errors[0] != '\0' ? std::string{errors}
                                                   : std::string{curl_easy_strerror(result)});
        // A write whose answer never came may or may not have been made:
        // the server replaces the file whole or not at all, and the next
        // read tells which.
        answer.cutOffWhileSending = method == Method::Put && upload.sent < body.size();
        answer.status = 0;
        answer.body.clear();
        return answer;
    }
    answer.status = status;
    answer.etag = header(easy, "ETag");
    answer.lastModified = header(easy, "Last-Modified");
    answer.date = header(easy, "Date");
    if (curl_off_t length = -1;
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK) {
        answer.length = static_cast<long long>(length);
    }
    if (!answer.ok()) {
        answer.body.clear(); // the server's error page, of no use to a caller
    }
    return answer;
}

} // namespace tessaly
