#include "output_buffer.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <unistd.h>

namespace tessaly::cli {

OutputBuffer::~OutputBuffer()
{
    drain();
}

bool OutputBuffer::writeOut(const char* data, std::size_t size)
{
    while (size > 0 && error_ == 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            error_ = written < 0 ? errno : EIO;
            break;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return error_ == 0;
}

bool OutputBuffer::drain()
{
    const bool ok = writeOut(buffer_.data(), used_);
    used_ = 0;
    return ok;
}

OutputBuffer::int_type OutputBuffer::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return drain() ? traits_type::not_eof(c) : traits_type::eof();
    }
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize OutputBuffer::xsputn(const char* data, std::streamsize count)
{
    if (error_ != 0) {
        return 0;
    }
    const auto size = static_cast<std::size_t>(count);
    if (used_ + size > buffer_.size() && !drain()) {
        return 0;
    }
    if (size >= buffer_.size()) {
        return writeOut(data, size) ? count : 0;
    }
    std::memcpy(buffer_.data() + used_, data, size);
    used_ += size;
    return count;
}

int OutputBuffer::sync()
{
    return drain() ? 0 : -1;
}

bool OutputBuffer::close()
{
    bool ok = drain();
    if (fd_ >= 0) {
        if (::close(fd_) != 0 && ok && errno != EINTR) {
            error_ = errno;
            ok = false;
        }
        fd_ = -1;
    }
    return ok;
}

std::string describeWriteFailure(const std::ostream& out)
{
    const auto* buffer = dynamic_cast<const OutputBuffer*>(out.rdbuf());
    if (buffer != nullptr && buffer->error() != 0) {
        return std::strerror(buffer->error());
    }
    return "write error";
}

} // namespace tessaly::cli
