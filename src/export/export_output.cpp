#include "export/export_output.h"

#include "platform/data_folder.h"

#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tessaly {

namespace {

std::atomic<unsigned> temporaryCount{0};

// Bytes of a page written before the disk is asked to start on them.
constexpr std::size_t kWriteBehind = std::size_t{4} << 20U;

// The bytes of a page gathered before each write.
constexpr std::size_t kBufferBytes = std::size_t{256} << 10U;

// Syncs of finished pages under way at once.
constexpr std::size_t kSyncThreads = 16;

} // namespace

ExportOutput::ExportOutput(std::string path, bool cutLines)
    : path_(std::move(path)), cutLines_(cutLines)
{}

ExportOutput::~ExportOutput()
{
    discard();
}

void ExportOutput::fail(SystemResult error)
{
    error_ = std::move(error);
    if (anyFailed_ != nullptr) {
        *anyFailed_ = true;
    }
}

SystemResult ExportOutput::open()
{
    if (file_ != nullptr) {
        return error_; // open already: a second temporary file would be left behind
    }
    if (SystemResult target = userFileTarget(path_); !target.ok()) {
        fail(std::move(target));
        return error_;
    }
    // Beside the real file, so that the rename stays on one file system;
    // O_EXCL so that two exports at once never share a temporary file.
    // What a killed export left there goes first.
    const std::filesystem::path named{path_};
    const std::string prefix = named.filename().string() + ".part";
    if (!swept_) {
        removeStaleTemporaries(named.has_parent_path() ? named.parent_path().string() : ".",
                               prefix);
    }
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
                fail(SystemResult::fromErrno(errno));
                ::close(fd);
                ::unlink(temporary_.c_str());
                temporary_.clear();
                return error_;
            }
            file_ = ::fdopen(fd, "w");
            if (file_ == nullptr) {
                fail(SystemResult::fromErrno(errno));
                ::close(fd);
                ::unlink(temporary_.c_str());
                temporary_.clear();
                return error_;
            }
            // A buffer of our own: given none, the C library keeps to one
            // block of the file system (4 KiB) whatever size is asked for,
            // and a page of 17 MB took four thousand writes.
            buffer_ = std::make_unique_for_overwrite<char[]>(kBufferBytes);
            static_cast<void>(std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferBytes));
            return {};
        }
        if (errno != EEXIST) {
            break;
        }
    }
    fail(SystemResult::fromErrno(errno));
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
        fail(SystemResult::fromErrno(errno));
        return;
    }
    // A large page goes to the disk while the rest is made, so that the
    // sync at the end has little left to wait for.
    unsynced_ += clipped.size() + 1;
    if (unsynced_ >= kWriteBehind) {
        // A failed flush drops what it held: said now, or the end would
        // find nothing left to fail on and keep a short page.
        if (std::fflush(file_) != 0) {
            fail(SystemResult::fromErrno(errno));
            return;
        }
        ::sync_file_range(::fileno(file_), 0, 0, SYNC_FILE_RANGE_WRITE);
        unsynced_ = 0;
    }
}

SystemResult ExportOutput::finish()
{
    if (file_ == nullptr) {
        return error_;
    }
    if (std::fflush(file_) != 0 && error_.ok()) {
        fail(SystemResult::fromErrno(errno));
    }
    if (std::fclose(file_) != 0 && error_.ok()) {
        fail(SystemResult::fromErrno(errno));
    }
    file_ = nullptr;
    buffer_.reset();
    return error_;
}

SystemResult ExportOutput::syncTemporary()
{
    if (!error_.ok() || temporary_.empty()) {
        return error_;
    }
    const int fd = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        fail(SystemResult::fromErrno(errno));
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return error_;
}

SystemResult ExportOutput::commit()
{
    if (!error_.ok() || temporary_.empty()) {
        return error_;
    }
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        fail(SystemResult::fromErrno(errno));
        return error_;
    }
    temporary_.clear();
    return {};
}

void ExportOutput::discard()
{
    discardTemporary(file_, temporary_);
    buffer_.reset();
}

void ExportOutput::makePrivate()
{
    private_ = true;
    if (file_ != nullptr && ::fchmod(::fileno(file_), S_IRUSR | S_IWUSR) != 0) {
        // Passwords never go into a file others might read.
        fail(SystemResult::fromErrno(errno));
        discard();
    }
}

ExportOutput* ExportOutputs::create(const std::string& path, bool cutLines)
{
    outputs_.push_back(std::make_unique<ExportOutput>(path, cutLines));
    ExportOutput* output = outputs_.back().get();
    output->anyFailed_ = &anyFailed_;
    // One look through each folder for what killed exports left, whatever
    // its name: a Frame export makes thousands of pages in one folder.
    const std::filesystem::path named{path};
    const std::string folder = named.has_parent_path() ? named.parent_path().string() : ".";
    if (swept_.insert(folder).second) {
        removeStaleTemporaries(folder, ".part", true);
    }
    output->swept_ = true;
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
    // Asked after every bookmark: a Frame export of thousands of pages
    // must not look through them all each time.
    if (!anyFailed_) {
        return nullptr;
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
    // Every page is on the disk before any takes its name: a crash then
    // leaves whole pages or the earlier ones, never half a page. The syncs
    // run side by side, so the file system commits them together instead
    // of waiting for the disk once for each of thousands of pages.
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> syncs;
    const std::size_t threads = std::min<std::size_t>(kSyncThreads, outputs_.size());
    for (std::size_t t = 0; t < threads; ++t) {
        syncs.emplace_back([this, &next] {
            for (std::size_t i = next++; i < outputs_.size(); i = next++) {
                outputs_[i]->syncTemporary();
            }
        });
    }
    for (std::thread& sync : syncs) {
        sync.join();
    }
    for (const auto& output : outputs_) {
        if (!output->error().ok()) {
            return output->error();
        }
    }
    std::set<std::string> folders;
    for (const auto& output : outputs_) {
        if (const SystemResult result = output->commit(); !result.ok()) {
            return result;
        }
        const std::filesystem::path named{output->path()};
        folders.insert(named.has_parent_path() ? named.parent_path().string() : ".");
    }
    // The new names themselves, once for each folder.
    for (const std::string& folder : folders) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool synced = fd >= 0 && ::fsync(fd) == 0;
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        if (!synced) {
            return SystemResult::fromErrno(error);
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
