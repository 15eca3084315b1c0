#pragma once

#include "framework/system_file.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace tessaly {

// Writes text output (HTML pages, comma-separated and fixed-column exports)
// as lines of at most 1024 characters with trailing blanks removed. Write
// errors, a full disk among them, are kept and reported by close().
class LineWriter final {
public:
    static constexpr std::size_t kLineWidth = 1024;

    LineWriter() = default;
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Creates or empties `path` for writing.
    SystemResult open(const std::string& path);

    // Writes one line: cut at 1024 characters (never inside a character),
    // trailing blanks removed, then a line feed. False when the text had to
    // be cut.
    bool writeLine(std::string_view line);

    // Flushes and closes; the first error met while writing, if any.
    SystemResult close();

    bool isOpen() const { return file_ != nullptr; }
    std::size_t linesWritten() const { return lines_; }

private:
    std::FILE* file_ = nullptr;
    SystemResult error_;
    std::size_t lines_ = 0;
};

} // namespace tessaly
