#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tessaly {

// The waits that keep a dead or stalled server from holding a caller.
struct HttpLimits {
    long connectSeconds = 15;  // to establish the connection
    long stallSeconds = 20;    // with no data arriving at all
    long maxRedirections = 20; // followed before the open fails
    // The whole open, answer included (0: no bound): a server that sends a
    // byte now and then never stalls, but cannot hold a test longer.
    long totalSeconds = 120;
};

// One internet address opened at a time: redirections followed, the
// answer's status, headers and body handed over as they arrive. Every
// wait is bounded by the limits, and abort() from any thread ends a
// running open at once.
class HttpSession {
public:
    // Receives the body in blocks as it arrives; returns false when it has
    // read enough, which ends the transfer without failing the open.
    using BodyReader = std::function<bool(std::string_view block)>;

    explicit HttpSession(std::string userAgent, HttpLimits limits = {});
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // Opens `url` and reads the answer. False when no answer came (bad
    // address, refused, timed out, certificate not trusted, aborted):
    // error() then says why. A server's error status is an answer.
    bool open(const std::string& url, const BodyReader& reader = {});

    // Of the last open.
    long statusCode() const { return status_; } // 0 for schemes without one
    const std::string& finalUrl() const { return finalUrl_; }
    const std::string& expires() const { return expires_; }
    const std::string& contentLength() const { return contentLength_; }
    const std::string& lastModified() const { return lastModified_; }
    const std::string& contentType() const { return contentType_; }
    // The server's last reply line for FTP; blank for HTTP.
    const std::string& serverReply() const { return serverReply_; }
    const std::string& error() const { return error_; }
    bool aborted() const { return abort_.load(); }

    // Ends the running open (and refuses further ones) at once.
    void abort();

    // False: every connection is closed as soon as its answer is read,
    // instead of being kept for a next open to the same server.
    void setKeepConnections(bool keep) { keepConnections_ = keep; }

private:
    struct Transfer;
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    void reset();
    void readHeaders();

    std::string userAgent_;
    HttpLimits limits_;
    std::unique_ptr<Transfer> transfer_;
    std::atomic<bool> abort_{false};
    const BodyReader* reader_ = nullptr;
    bool readerDone_ = false;
    bool ftp_ = false;
    bool keepConnections_ = true;

    long status_ = 0;
    std::string finalUrl_;
    std::string expires_;
    std::string contentLength_;
    std::string lastModified_;
    std::string contentType_;
    std::string serverReply_;
    std::string error_;
};

} // namespace tessaly
