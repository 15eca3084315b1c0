#include "framework/line_writer.h"

#include "framework/text.h"
#include "framework/utf8.h"

namespace tessaly {

LineWriter::~LineWriter()
{
    close();
}

SystemResult LineWriter::open(const std::string& path)
{
    close();
    error_ = {};
    lines_ = 0;
    file_ = std::fopen(path.c_str(), "we");
    if (file_ == nullptr) {
        return SystemResult::fromErrno(errno);
    }
    return {};
}

bool LineWriter::writeLine(std::string_view line)
{
    const std::string_view cut = utf8::prefix(line, kLineWidth);
    const std::string_view clipped = text::clip(cut);
    if (file_ != nullptr && error_.ok()) {
        if ((!clipped.empty() &&
             std::fwrite(clipped.data(), 1, clipped.size(), file_) != clipped.size()) ||
            std::fputc('\n', file_) == EOF) {
            error_ = SystemResult::fromErrno(errno);
        } else {
            ++lines_;
        }
    }
    return cut.size() == line.size();
}

SystemResult LineWriter::close()
{
    if (file_ == nullptr) {
        return error_;
    }
    if (std::fflush(file_) != 0 && error_.ok()) {
        error_ = SystemResult::fromErrno(errno);
    }
    if (std::fclose(file_) != 0 && error_.ok()) {
        error_ = SystemResult::fromErrno(errno);
    }
    file_ = nullptr;
    return error_;
}

} // namespace tessaly
