#include "export/export_output.h"

#include "platform/data_folder.h"

#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

std::atomic<unsigned> temporaryCount{0};

} // namespace

ExportOutput::ExportOutput(std::string path, bool cutLines)
    : path_(std::move(path)), cutLines_(cutLines)
{}

ExportOutput::~ExportOutput()
{
    discard();
}

SystemResult ExportOutput::open()
{
    if (file_ != nullptr) {
        return error_; // open already: a second temporary file would be left behind
    }
    if (SystemResult target = userFileTarget(path_); !target.ok()) {
        error_ = std::move(target);
        return error_;
    }
    // Beside the real file, so that the rename stays on one file system;
    // O_EXCL so that two exports at once never share a temporary file.
    // What a killed export left there goes first.
    const std::filesystem::path named{path_};
    const std::string prefix = named.filename().string() + ".part";
    removeStaleTemporaries(named.has_parent_path() ? named.parent_path().string() : ".", prefix);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Named by the rule the stale temporaries are found by.
        temporary_ =
            (named.has_parent_path() ? named.parent_path().string() + "/" : std::string{}) +
            temporaryPrefix(prefix) + std::to_string(temporaryCount.fetch_add(1));
        const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // A page is the user's to publish: it follows the user's own
            // umask, not the private one the program keeps for its data,
            // unless it shows the sites' passwords.
            if (::fchmod(fd, private_ ? S_IRUSR | S_IWUSR : userFileMode()) != 0 && private_) {
                // Passwords never go into a file others might read.
                error_ = SystemResult::fromErrno(errno);
                ::close(fd);
                ::unlink(temporary_.c_str());
                temporary_.clear();
                return error_;
            }
            file_ = ::fdopen(fd, "w");
            if (file_ == nullptr) {
                error_ = SystemResult::fromErrno(errno);
                ::close(fd);
                ::unlink(temporary_.c_str());
                temporary_.clear();
                return error_;
            }
            static_cast<void>(std::setvbuf(file_, nullptr, _IOFBF, std::size_t{1} << 16U));
            return {};
        }
        if (errno != EEXIST) {
            break;
        }
    }
    error_ = SystemResult::fromErrno(errno);
    temporary_.clear();
    return error_;
}

void ExportOutput::line(std::string_view text, std::size_t width)
{
    if (file_ == nullptr || !error_.ok()) {
        return;
    }
    const std::string_view cut = cutLines_ ? utf8::prefix(text, std::max(kLineWidth, width)) : text;
    const std::string_view clipped = text::clip(cut);
    if ((!clipped.empty() &&
         std::fwrite(clipped.data(), 1, clipped.size(), file_) != clipped.size()) ||
        std::fputc('\n', file_) == EOF) {
        error_ = SystemResult::fromErrno(errno);
    }
}

SystemResult ExportOutput::finish()
{
    if (file_ == nullptr) {
        return error_;
    }
    if (std::fflush(file_) != 0 && error_.ok()) {
        error_ = SystemResult::fromErrno(errno);
    }
    if (error_.ok() && ::fsync(::fileno(file_)) != 0) {
        error_ = SystemResult::fromErrno(errno);
    }
    if (std::fclose(file_) != 0 && error_.ok()) {
        error_ = SystemResult::fromErrno(errno);
    }
    file_ = nullptr;
    return error_;
}

SystemResult ExportOutput::commit()
{
    if (!error_.ok() || temporary_.empty()) {
        return error_;
    }
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error_ = SystemResult::fromErrno(errno);
        return error_;
    }
    temporary_.clear();
    return {};
}

void ExportOutput::discard()
{
    discardTemporary(file_, temporary_);
}

void ExportOutput::makePrivate()
{
    private_ = true;
    if (file_ != nullptr && ::fchmod(::fileno(file_), S_IRUSR | S_IWUSR) != 0) {
        // Passwords never go into a file others might read.
        error_ = SystemResult::fromErrno(errno);
        discard();
    }
}

ExportOutput* ExportOutputs::create(const std::string& path, bool cutLines)
{
    outputs_.push_back(std::make_unique<ExportOutput>(path, cutLines));
    ExportOutput* output = outputs_.back().get();
    if (private_) {
        output->makePrivate();
    }
    if (!output->open().ok() && openFailure_ == nullptr) {
        openFailure_ = output;
        failedOpening_ = true;
    }
    return output;
}

const ExportOutput* ExportOutputs::failed() const
{
    if (openFailure_ != nullptr) {
        return openFailure_;
    }
    for (const auto& output : outputs_) {
        if (!output->error().ok()) {
            return output.get();
        }
    }
    return nullptr;
}

SystemResult ExportOutputs::finishAll()
{
    SystemResult first;
    for (const auto& output : outputs_) {
        if (const SystemResult result = output->finish(); !result.ok() && first.ok()) {
            first = result;
        }
    }
    return first;
}

SystemResult ExportOutputs::commitAll()
{
    for (const auto& output : outputs_) {
        if (const SystemResult result = output->commit(); !result.ok()) {
            return result;
        }
    }
    return {};
}

void ExportOutputs::discardAll()
{
    for (const auto& output : outputs_) {
        output->discard();
    }
}

void ExportOutputs::makePrivate()
{
    private_ = true;
    for (const auto& output : outputs_) {
        output->makePrivate();
    }
}

std::vector<std::string> ExportOutputs::paths() const
{
    std::vector<std::string> out;
    for (const auto& output : outputs_) {
        out.push_back(output->path());
    }
    return out;
}

} // namespace tessaly
