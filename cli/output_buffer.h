#pragma once

#include <array>
#include <streambuf>
#include <string>

namespace tessaly::cli {

// Standard output of tessaly-cli: a stream buffer over a file descriptor
// that remembers why a write failed. A full disk, /dev/full or a reader that
// went away must end the command with an error, not pass for output written,
// and the reason belongs in the message.
class OutputBuffer final : public std::streambuf {
public:
    explicit OutputBuffer(int fd) : fd_(fd) {}
    ~OutputBuffer() override;
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    // The errno of the first write that failed, or 0. After a failure
    // nothing more is written.
    int error() const { return error_; }
    // Writes what is pending and closes the descriptor; false when either
    // fails (error() says why). The close matters: some file systems report
    // a write they could not keep only there.
    bool close();

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;
    int sync() override;

private:
    bool writeOut(const char* data, std::size_t size);
    bool drain();

    int fd_;
    int error_ = 0;
    std::array<char, 65536> buffer_{};
    std::size_t used_ = 0;
};

// Why the stream `out` could not be written, in the operating system's
// words when it is an OutputBuffer.
std::string describeWriteFailure(const std::ostream& out);

} // namespace tessaly::cli
