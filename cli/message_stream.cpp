#include "message_stream.h"

#include "field_escape.h"

namespace tessaly::cli {

MessageStream::MessageStream(std::ostream& target) : std::ostream(this), target_(target)
{}

MessageStream::~MessageStream()
{
    sync();
}

int MessageStream::overflow(int c)
{
    if (c == std::char_traits<char>::eof()) {
        return std::char_traits<char>::not_eof(c);
    }
    line_ += static_cast<char>(c);
    if (c == '\n') {
        sync();
    }
    return c;
}

std::streamsize MessageStream::xsputn(const char* s, std::streamsize n)
{
    for (std::streamsize i = 0; i < n; ++i) {
        overflow(static_cast<unsigned char>(s[i]));
    }
    return n;
}

int MessageStream::sync()
{
    if (!line_.empty()) {
        target_ << messageText(line_);
        line_.clear();
    }
    return target_.flush() ? 0 : -1;
}

} // namespace tessaly::cli
