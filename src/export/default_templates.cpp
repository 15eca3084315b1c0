#include "export/default_templates.h"

#include "framework/system_file.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

std::atomic<unsigned> copyCount{0};

// Writes `text` to a new temporary file beside `path`; empty when it could
// not be written whole and flushed to disk (the reason in `error`).
std::string writeTemporary(const std::string& path, std::string_view text, SystemResult& error)
{
    const std::string temporary =
        path + ".new" + std::to_string(::getpid()) + "-" + std::to_string(copyCount.fetch_add(1));
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = SystemResult::fromErrno(errno);
        return {};
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            error = SystemResult::fromErrno(written < 0 ? errno : ENOSPC);
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    if (error.ok() && ::fsync(fd) != 0) {
        error = SystemResult::fromErrno(errno);
    }
    if (::close(fd) != 0 && error.ok()) {
        error = SystemResult::fromErrno(errno);
    }
    if (!error.ok()) {
        ::unlink(temporary.c_str());
        return {};
    }
    return temporary;
}

// Puts `text` at `path` unless a file stands there: link() refuses an
// existing name, where rename() would replace it.
SystemResult copyIfMissing(const std::string& path, std::string_view text)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        return {};
    }
    SystemResult error;
    const std::string temporary = writeTemporary(path, text, error);
    if (temporary.empty()) {
        return error;
    }
    if (::link(temporary.c_str(), path.c_str()) != 0 && errno != EEXIST) {
        error = SystemResult::fromErrno(errno);
    }
    ::unlink(temporary.c_str());
    return error;
}

} // namespace

std::optional<std::string_view> defaultTemplate(std::string_view name)
{
    for (const DefaultTemplate& entry : defaultTemplates()) {
        if (entry.name == name) {
            return entry.text;
        }
    }
    return std::nullopt;
}

std::string installDefaultTemplates(const std::string& folder)
{
    std::string failure;
    for (const DefaultTemplate& entry : defaultTemplates()) {
        const std::string path = folder + "/" + std::string{entry.name};
        if (const SystemResult copied = copyIfMissing(path, entry.text);
            !copied.ok() && failure.empty()) {
            failure = "Cannot copy the template " + std::string{entry.name} +
                      " into the data folder " + folder + ": " + copied.text;
        }
    }
    return failure;
}

} // namespace tessaly
