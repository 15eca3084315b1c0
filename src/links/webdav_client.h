#pragma once

#include "links/http_session.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

// Where the synchronised file lives: a WebDAV folder, the name of the file
// in it, and who we are there.
struct DavAccount {
    std::string folderUrl; // https://host/remote.php/dav/files/me/ or http://127.0.0.1:port/dav/
    std::string user;
    std::string password;
    std::string file = "bookmarks.xbel";
};

// One answer of the server. `status` 0 means none came (refused, timed out,
// certificate not trusted, cut off): `error` says why.
struct DavAnswer {
    long status = 0;
    std::string etag;         // as sent, weak prefix included
    std::string lastModified; // the HTTP date as sent
    std::string date;         // the server's clock at the answer
    long long length = -1;    // Content-Length as sent; -1 when none came
    std::string body;
    std::string error;
    // The request's body was not all sent when the connection broke.
    bool cutOffWhileSending = false;
    // Not 0: the answer's body was longer than this many bytes, so it was
    // not read (status is then 0).
    std::size_t refusedOver = 0;

    bool ok() const { return status >= 200 && status < 300; }
};

// A condition that makes a PUT or DELETE fail with 412 instead of
// overwriting or removing someone else's file.
struct DavCondition {
    enum class Kind { None, IfMatch, IfNoneMatch };
    Kind kind = Kind::None;
    std::string etag; // for IfMatch
    static DavCondition none() { return {}; }
    static DavCondition ifMatch(std::string tag) { return {Kind::IfMatch, std::move(tag)}; }
    // Only when no file of the name exists yet.
    static DavCondition ifAbsent() { return {Kind::IfNoneMatch, {}}; }
    // Only while the file is still the one `read` gave: If-Match its strong
    // ETag. None when the server named only a weak one, which never
    // matches, or none at all: the caller then has only what it read to go
    // by. (No If-Unmodified-Since: a common WebDAV module judges it on a
    // write by the time of the request, not of the file, and so refuses
    // every write made a second after the file's.)
    static DavCondition unchangedSince(const DavAnswer& read);
};

// An ETag without a weak prefix: the server gives the same file a weak tag
// for about a second after a write and the strong one afterwards, and both
// name the same content.
std::string strongEtag(std::string_view etag);
bool isWeakEtag(std::string_view etag);

// Why an account cannot be used as it is, or empty: an address that is not
// http(s), and plain http to anywhere but this machine (the password would
// cross the network readable).
std::string davAddressProblem(const DavAccount& account);

// The user's words for an answer that is not a success, naming `file`.
std::string davProblem(const DavAnswer& answer, std::string_view file);

// Reads and writes single files of one WebDAV folder with HTTP Basic
// authentication, over one kept connection. Certificates are checked
// against the system's authorities (or CURL_CA_BUNDLE's). Not thread-safe:
// one client per thread; abort() alone may come from another thread.
class WebDavClient {
public:
    explicit WebDavClient(DavAccount account, HttpLimits limits = {});
    ~WebDavClient();
    WebDavClient(const WebDavClient&) = delete;
    WebDavClient& operator=(const WebDavClient&) = delete;

    const DavAccount& account() const { return account_; }
    // The address of `name` in the folder: always one file of the folder,
    // whatever characters the name holds.
    std::string fileUrl(std::string_view name) const;

    // The largest file get() reads unless told otherwise: a bookmark file
    // of a million bookmarks stays well under it.
    static constexpr std::size_t kLargestFile = std::size_t{512} << 20U;

    // Reads a file whole. One longer than `largest` is not read: the
    // transfer stops there and the answer says so (refusedOver).
    DavAnswer get(std::string_view name, std::size_t largest = kLargestFile);
    DavAnswer head(std::string_view name);
    DavAnswer put(std::string_view name, std::string_view body,
                  const DavCondition& condition = DavCondition::none());
    DavAnswer remove(std::string_view name, const DavCondition& condition = DavCondition::none());
    // Asks after the folder itself (207 when it is a WebDAV folder).
    DavAnswer findFolder();

    // Ends the running request at once, and refuses further ones.
    void abort();

private:
    enum class Method { Get, Head, Put, Delete, Propfind };
    DavAnswer request(Method method, std::string_view name, std::string_view body,
                      const DavCondition& condition, std::size_t largest = kLargestFile);
    static int onProgress(void* self, long long, long long, long long, long long);

    DavAccount account_;
    HttpLimits limits_;
    void* easy_ = nullptr; // the library's handle, kept for its connection
    std::atomic<bool> abort_{false};
};

} // namespace tessaly
