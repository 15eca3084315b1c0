#pragma once

#include "core/engine_status.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace tessaly {

// Reads a text file as records of at most 1024 characters, one per line
// (the line end is no part of the record; a CR before the LF is dropped).
// A longer line goes on in the next record, so nothing is lost.
class LineFile final {
public:
    static constexpr std::size_t kRecordWidth = 1024;

    LineFile() = default;
    ~LineFile();
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    EngineStatus open(const std::string& path);
    // The next record, or 33 at the end of the file.
    EngineStatus next(std::string& line);
    void close();
    bool isOpen() const { return file_ != nullptr; }

private:
    std::FILE* file_ = nullptr;
    std::string pending_; // the rest of a line longer than a record
    bool pendingLine_ = false;
};

// Reads a file as raw blocks of 1024 bytes without line structure; the last
// block holds what is left.
class BlockFile final {
public:
    static constexpr std::size_t kBlockSize = 1024;

    BlockFile() = default;
    ~BlockFile();
    BlockFile(const BlockFile&) = delete;
    BlockFile& operator=(const BlockFile&) = delete;

    EngineStatus open(const std::string& path);
    EngineStatus next(std::string& block);
    void close();

private:
    std::FILE* file_ = nullptr;
};

// Names of the line files in messages.
inline constexpr std::string_view kAsciiFileName = "ASCII file for import and export [ASCIIfile]";
inline constexpr std::string_view kOutputFileName = "ASCII file for import and export [Output]";
inline constexpr std::string_view kDosFileName = "DOS File for Import [DOSFile]";

} // namespace tessaly
