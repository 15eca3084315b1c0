#include "core/line_file.h"

#include "framework/utf8.h"

#include <cerrno>

namespace tessaly {

namespace {

EngineStatus openForReading(const std::string& path, std::FILE*& file)
{
    file = std::fopen(path.c_str(), "rbe");
    if (file != nullptr) {
        return {};
    }
    if (errno == ENOENT) {
        return EngineStatus::error(kFileNotFound);
    }
    if (errno == EACCES) {
        return EngineStatus::error(kAccessDenied);
    }
    return EngineStatus::systemError(errno);
}

} // namespace

LineFile::~LineFile()
{
    close();
}

EngineStatus LineFile::open(const std::string& path)
{
    close();
    return openForReading(path, file_);
}

void LineFile::close()
{
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    pending_.clear();
    pendingLine_ = false;
}

EngineStatus LineFile::next(std::string& line)
{
    if (file_ == nullptr) {
        return EngineStatus::error(kFileNotOpen);
    }
    if (!pendingLine_) {
        pending_.clear();
        int c = 0;
        bool any = false;
        while ((c = std::fgetc(file_)) != EOF) {
            any = true;
            if (c == '\n') {
                break;
            }
            pending_.push_back(static_cast<char>(c));
        }
        if (std::ferror(file_) != 0) {
            return EngineStatus::systemError(errno);
        }
        if (!any) {
            return EngineStatus::error(kNoMoreRecords);
        }
        if (!pending_.empty() && pending_.back() == '\r') {
            pending_.pop_back();
        }
        pendingLine_ = true;
    }
    const std::string_view record = utf8::prefix(pending_, kRecordWidth);
    line.assign(record);
    pending_.erase(0, record.size());
    pendingLine_ = !pending_.empty();
    return {};
}

BlockFile::~BlockFile()
{
    close();
}

EngineStatus BlockFile::open(const std::string& path)
{
    close();
    return openForReading(path, file_);
}

void BlockFile::close()
{
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

EngineStatus BlockFile::next(std::string& block)
{
    if (file_ == nullptr) {
        return EngineStatus::error(kFileNotOpen);
    }
    block.resize(kBlockSize);
    const std::size_t got = std::fread(block.data(), 1, kBlockSize, file_);
    block.resize(got);
    if (got == 0) {
        return std::ferror(file_) != 0 ? EngineStatus::systemError(errno)
                                       : EngineStatus::error(kNoMoreRecords);
    }
    return {};
}

} // namespace tessaly
