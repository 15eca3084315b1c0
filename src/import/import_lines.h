#pragma once

#include "links/page_text.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tessaly {

// A text file to import, read a line at a time as UTF-8 text. A byte order
// mark says UTF-8, UTF-16LE or UTF-16BE; without one, a charset that a
// <meta> tag of the first megabyte declares (as a bookmark file or page
// says "windows-1251" or "Shift_JIS") is read as the page analysis reads
// it, and otherwise each line is UTF-8 where it is well-formed and
// Windows-1252 where it is not. Lines end at line
// feeds when the first 397 bytes hold a line feed and no carriage return, else
// at carriage returns (when those bytes hold neither, the first 64 KiB
// decide, and line feeds when they hold neither either); every carriage
// return and line feed is removed from the lines. A line is read whole
// however long it is, up to 16 MiB, and a longer one up to its last ">" (or
// blank) before that; the rest of it is dropped, so a file without line ends
// cannot fill the memory.
class ImportLines final {
public:
    static constexpr std::size_t kLongestLine = std::size_t{16} << 20U;

    ImportLines() = default;
    ~ImportLines();
    ImportLines(const ImportLines&) = delete;
    ImportLines& operator=(const ImportLines&) = delete;

    // Opens a regular file; false with the reason in error() otherwise.
    bool open(const std::string& path);
    // From now on every line ends at a line feed, a carriage return or both
    // (CR LF), whatever the file's first bytes hold, and keeps that ending,
    // so that a reader of fields that may hold line breaks sees them as
    // they are.
    void keepLineEnds() { keepEnds_ = true; }
    // The next line; false at the end of the file or on a read error
    // (error() then says which).
    bool next(std::string& line);
    // How much of the file has been read, from 0 to 1.
    double fraction() const;
    const std::string& error() const { return error_; }
    // Lines cut at the longest; next() gives such a line up to its last
    // blank or ">", so that no address or tag is read half.
    int linesCut() const { return linesCut_; }

private:
    enum class Encoding { Bytes, Utf16Le, Utf16Be, Declared };

    bool fill();
    void take(std::string_view raw, std::string& line);
    std::size_t findEnd(std::size_t from, std::size_t& after);
    void decodeUtf16(std::string_view bytes, bool last);

    int fd_ = -1;
    Encoding encoding_ = Encoding::Bytes;
    char lineEnd_ = '\n';
    std::string buffer_;                    // read and not yet split (UTF-8 for UTF-16 files)
    std::string carry_;                     // an odd byte or a lone high surrogate of UTF-16
    std::unique_ptr<PageDecoder> declared_; // the charset the file declares
    std::size_t start_ = 0;                 // where the next line begins in buffer_
    std::size_t scan_ = 0;                  // searched for a line end up to here
    bool skipping_ = false;                 // dropping the rest of a line cut at its longest
    bool keepEnds_ = false;
    std::uint64_t size_ = 0;
    std::uint64_t read_ = 0;
    bool eof_ = false;
    std::string error_;
    int linesCut_ = 0;
};

} // namespace tessaly
