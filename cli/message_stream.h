#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace tessaly::cli {

// The error stream as the terminal should see it: every line written through
// it goes out as messageText() makes it, so no message, whatever text of the
// user's or of a file it quotes, can steer the terminal or print a stray byte.
class MessageStream final : private std::streambuf, public std::ostream {
public:
    explicit MessageStream(std::ostream& target);
    ~MessageStream() override;
    MessageStream(const MessageStream&) = delete;
    MessageStream& operator=(const MessageStream&) = delete;

private:
    int overflow(int c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

    std::ostream& target_;
    std::string line_;
};

} // namespace tessaly::cli
