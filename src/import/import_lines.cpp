#include "import/import_lines.h"

#include "framework/utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20U;
constexpr std::size_t kLineEndWindow = 397;
constexpr std::size_t kLineEndFallbackWindow = std::size_t{64} << 10U;

void removeLineBreaks(std::string& line)
{
    line.erase(
        std::remove_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }),
        line.end());
}

} // namespace

ImportLines::~ImportLines()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool ImportLines::open(const std::string& path)
{
    // Non-blocking, so that a named pipe given as a file cannot hang the
    // import before it is found to be no file.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        error_ = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        error_ = path + ": " + (S_ISDIR(info.st_mode) ? "is a folder" : "is not a regular file");
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
    if (!fill() && !error_.empty()) {
        return false;
    }
    // The byte order mark decides the encoding.
    if (buffer_.starts_with("\xEF\xBB\xBF")) {
        start_ = 3;
    } else if (buffer_.starts_with("\xFF\xFE") || buffer_.starts_with("\xFE\xFF")) {
        encoding_ = buffer_[0] == '\xFF' ? Encoding::Utf16Le : Encoding::Utf16Be;
        const std::string raw = buffer_.substr(2);
        buffer_.clear();
        decodeUtf16(raw, eof_);
    } else if (const std::string charset = declaredCharset(buffer_);
               !charset.empty() && charset != "utf-8" && charset != "utf8") {
        // The same decoder as the page analysis, so both read a declared
        // charset alike (one it does not know as UTF-8 or Windows-1252).
        declared_ = std::make_unique<PageDecoder>();
        encoding_ = Encoding::Declared;
        const std::string raw = std::move(buffer_);
        buffer_ = declared_->decode(raw, "text/html; charset=" + charset);
        if (eof_) {
            buffer_ += declared_->finish();
        }
    }
    const std::string_view head = std::string_view{buffer_}.substr(start_);
    const std::string_view window = head.substr(0, kLineEndWindow);
    const bool lf = window.find('\n') != std::string_view::npos;
    const bool cr = window.find('\r') != std::string_view::npos;
    if (lf && !cr) {
        lineEnd_ = '\n';
    } else if (!lf && !cr) {
        // Nothing to go by in the first bytes (a long first line): the
        // first line end met decides, rather than one line for the file.
        const std::string_view wider = head.substr(0, kLineEndFallbackWindow);
        // A first line longer still: line feeds, as files are written now.
        lineEnd_ =
            wider.find('\r') != std::string_view::npos && wider.find('\n') == std::string_view::npos
                ? '\r'
                : '\n';
    } else {
        lineEnd_ = '\r';
    }
    return true;
}

void ImportLines::decodeUtf16(std::string_view bytes, bool last)
{
    std::string data = carry_ + std::string{bytes};
    carry_.clear();
    std::size_t i = 0;
    for (; i + 1 < data.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(data[i]);
        const auto b1 = static_cast<unsigned char>(data[i + 1]);
        const char32_t unit = encoding_ == Encoding::Utf16Le ? (b1 << 8U) | b0 : (b0 << 8U) | b1;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 3 >= data.size()) {
                break; // its partner comes with the next block
            }
            const auto c0 = static_cast<unsigned char>(data[i + 2]);
            const auto c1 = static_cast<unsigned char>(data[i + 3]);
            const char32_t low = encoding_ == Encoding::Utf16Le ? (c1 << 8U) | c0 : (c0 << 8U) | c1;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                utf8::append(buffer_, 0x10000 + ((unit - 0xD800) << 10U) + (low - 0xDC00));
                i += 2;
                continue;
            }
            utf8::append(buffer_, 0xFFFD);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            utf8::append(buffer_, 0xFFFD);
        } else {
            utf8::append(buffer_, unit);
        }
    }
    if (i < data.size()) {
        if (last) {
            utf8::append(buffer_, 0xFFFD);
        } else {
            carry_ = data.substr(i);
        }
    }
}

bool ImportLines::fill()
{
    if (eof_ || fd_ < 0) {
        return false;
    }
    buffer_.erase(0, start_);
    scan_ -= std::min(scan_, start_);
    start_ = 0;
    std::string chunk(kChunk, '\0');
    ssize_t got = 0;
    do {
        got = ::read(fd_, chunk.data(), chunk.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        error_ = std::strerror(errno);
        eof_ = true;
        return false;
    }
    if (got == 0) {
        eof_ = true;
        if (encoding_ == Encoding::Declared) {
            buffer_ += declared_->finish();
        } else if (encoding_ != Encoding::Bytes && !carry_.empty()) {
            decodeUtf16({}, true);
        }
        return false;
    }
    read_ += static_cast<std::uint64_t>(got);
    chunk.resize(static_cast<std::size_t>(got));
    if (encoding_ == Encoding::Bytes) {
        buffer_ += chunk;
    } else if (encoding_ == Encoding::Declared) {
        buffer_ += declared_->decode(chunk, {});
    } else {
        decodeUtf16(chunk, false);
    }
    return true;
}

void ImportLines::take(std::string_view raw, std::string& line)
{
    if (raw.size() > kLongestLine) {
        // What the cut leaves of the last item is no item: a line of markup
        // ends at its last ">", other text at its last blank.
        raw = raw.substr(0, kLongestLine);
        const std::size_t tag = raw.rfind('>');
        raw = raw.substr(0, (tag != std::string_view::npos ? tag : raw.rfind(' ')) + 1);
        ++linesCut_;
    }
    line = encoding_ == Encoding::Bytes ? utf8::valid(raw) : std::string{raw};
    if (!keepEnds_) {
        removeLineBreaks(line);
    }
}

std::size_t ImportLines::findEnd(std::size_t from, std::size_t& after)
{
    if (!keepEnds_) {
        const std::size_t end = buffer_.find(lineEnd_, from);
        after = end + 1;
        return end;
    }
    const std::size_t end = buffer_.find_first_of("\r\n", from);
    if (end == std::string::npos) {
        return end;
    }
    if (buffer_[end] == '\r' && end + 1 == buffer_.size() && !eof_) {
        return std::string::npos; // a line feed may follow in the next block
    }
    after = end +
            (buffer_[end] == '\r' && end + 1 < buffer_.size() && buffer_[end + 1] == '\n' ? 2 : 1);
    return end;
}

bool ImportLines::next(std::string& line)
{
    for (;;) {
        std::size_t after = 0;
        const std::size_t end = findEnd(std::max(scan_, start_), after);
        if (end != std::string::npos || (eof_ && start_ < buffer_.size())) {
            const std::size_t stop = end == std::string::npos ? buffer_.size() : end;
            const std::size_t next = end == std::string::npos ? buffer_.size() : after;
            const std::string_view raw{buffer_.data() + start_, (keepEnds_ ? next : stop) - start_};
            const bool wasSkipping = skipping_;
            skipping_ = false;
            start_ = next;
            scan_ = start_;
            if (wasSkipping) {
                continue; // the end of a line cut at its longest
            }
            take(raw, line);
            return true;
        }
        if (buffer_.size() - start_ > kLongestLine && !skipping_) {
            // A line this long keeps its first part; the rest is dropped.
            take({buffer_.data() + start_, buffer_.size() - start_}, line);
            start_ = buffer_.size();
            scan_ = start_;
            skipping_ = true;
            return true;
        }
        if (skipping_) {
            start_ = buffer_.size();
        }
        // A carriage return at the end may wait for its line feed.
        scan_ = keepEnds_ && !buffer_.empty() && buffer_.back() == '\r' ? buffer_.size() - 1
                                                                        : buffer_.size();
        if (!fill()) {
            if (!error_.empty()) {
                return false;
            }
            if (start_ >= buffer_.size()) {
                return false;
            }
        }
    }
}

double ImportLines::fraction() const
{
    if (size_ == 0) {
        return 1.0;
    }
    // Bytes read less those waiting in the buffer; for UTF-16 files the
    // buffer holds UTF-8, so this is near enough for a progress bar.
    const double done = static_cast<double>(read_) - static_cast<double>(buffer_.size() - start_);
    return std::clamp(done / static_cast<double>(size_), 0.0, 1.0);
}

} // namespace tessaly
