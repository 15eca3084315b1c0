#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

// The waits that keep a dead or stalled server from holding a caller.
struct HttpLimits {
    long connectSeconds = 15; // to look the name up and establish the connection
    // With no data arriving at all; and, once an answer's head is in, for
    // the body to arrive (a body that trickles is a stalled one).
    long stallSeconds = 20;
    // Fewer bytes a second than this, for the whole stall time, is a stall
    // too: a server sending a byte now and then cannot hold a transfer.
    long stallBytesPerSecond = 1;
    long maxRedirections = 20; // followed before the open fails
    // The whole open, answer included (0: no bound): a server that sends a
    // byte now and then never stalls, but cannot hold a test longer.
    long totalSeconds = 120;
    // A page read whole may take long to arrive: the stall time then counts
    // from the last data, not from the head.
    bool stallFromLastData = false;

    // For a page read whole: stalled only when nothing arrives for the
    // stall time, and bounded on the whole by `total` seconds (0: none).
    static HttpLimits forWholePages(long total)
    {
        HttpLimits limits;
        limits.totalSeconds = total;
        limits.stallFromLastData = true;
        return limits;
    }
};

// The address as it goes on the wire: blanks, control characters, bytes
// beyond ASCII and the characters ", < and > percent-encoded after the host
// (what is encoded already stays so). The host is left for the library,
// which asks for an international name in its ASCII form.
std::string encodeAddress(std::string_view address);

// A file of the certificate authorities to trust in place of the system's,
// named as the library's own command-line tool names it (CURL_CA_BUNDLE):
// for a company or a test of ours that signs its own servers'
// certificates. Null when none is named.
const char* extraAuthorities();

// One internet address opened at a time: redirections followed, the
// answer's status, headers and body handed over as they arrive. Every
// wait is bounded by the limits (a name lookup too), and abort() from any
// thread ends a running open at once.
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
    // error() then says why. A server's error status is an answer, and so
    // is a head whose body then fails or stalls: readError() says why the
    // body ended early, and the reader has had what arrived.
    bool open(const std::string& url, const BodyReader& reader = {});

    // Lets go of the connection and every handle (and their descriptors)
    // while keeping what the last open learnt; the next open makes new ones.
    void release();

    // Of the last open. The status, the address answering and the
    // Content-Type and Content-Disposition headers are known from the
    // body's first block on.
    long statusCode() const { return status_; } // 0 for schemes without one
    const std::string& finalUrl() const { return finalUrl_; }
    const std::string& expires() const { return expires_; }
    const std::string& contentLength() const { return contentLength_; }
    const std::string& lastModified() const { return lastModified_; }
    const std::string& contentType() const { return contentType_; }
    const std::string& contentDisposition() const { return contentDisposition_; }
    // The server's last reply line for FTP; blank for HTTP.
    const std::string& serverReply() const { return serverReply_; }
    const std::string& error() const { return error_; }
    const std::string& readError() const { return readError_; }
    // The last open failed for want of something on this machine (open
    // files, memory, a thread), which says nothing about the address.
    bool localFailure() const { return localFailure_; }
    // The last open failed because the server could not be reached or
    // never answered: asking again in another way cannot help.
    bool unanswered() const { return unanswered_; }
    bool aborted() const { return abort_.load(); }

    // Ends the running open (and refuses further ones) at once.
    void abort();

    // False: every connection is closed as soon as its answer is read,
    // instead of being kept for a next open to the same server.
    void setKeepConnections(bool keep) { keepConnections_ = keep; }

    // One line sent with every request from now on, as it stands (control
    // characters are blanks, so it stays one line); empty sends none.
    void setExtraHeader(std::string line);

private:
    struct Transfer;
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    void reset();
    void readHeaders();
    void readHeadOfBody();
    bool makeTransfer();
    void setOptions(const std::string& url);
    int waitMilliseconds() const;
    void finish(int result, const std::string& url);

    std::string userAgent_;
    HttpLimits limits_;
    std::mutex transferMutex_; // abort() against release()
    std::unique_ptr<Transfer> transfer_;
    std::atomic<bool> abort_{false};
    // When the head of the final answer was in: its body has the stall
    // time from then.
    std::optional<std::chrono::steady_clock::time_point> headAt_;
    bool statusLine_ = false; // of an answer that sends us nowhere else
    bool bodyStalled_ = false;
    const BodyReader* reader_ = nullptr;
    bool readerDone_ = false;
    bool ftp_ = false;
    bool keepConnections_ = true;
    std::string extraHeader_;

    long status_ = 0;
    std::string finalUrl_;
    std::string expires_;
    std::string contentLength_;
    std::string lastModified_;
    std::string contentType_;
    std::string contentDisposition_;
    std::string serverReply_;
    std::string error_;
    std::string readError_;
    bool localFailure_ = false;
    bool unanswered_ = false;
};

} // namespace tessaly
