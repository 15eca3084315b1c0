#include "framework/system_file.h"

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessaly {

namespace {

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

SystemResult SystemResult::fromErrno(int number)
{
    return {number, number == 0 ? std::string{} : std::string{std::strerror(number)}};
}

SystemResult readWholeFile(const std::string& path, std::string& content, std::size_t maxBytes)
{
    content.clear();
    FileDescriptor fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (fd.get() < 0) {
        return SystemResult::fromErrno(errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return SystemResult::fromErrno(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return SystemResult::fromErrno(EISDIR);
    }
    return readWholeDescriptor(fd.get(), content, maxBytes);
}

SystemResult readWholeDescriptor(int fd, std::string& content, std::size_t maxBytes)
{
    content.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SystemResult::fromErrno(errno);
        }
        if (got == 0) {
            break;
        }
        if (content.size() + static_cast<std::size_t>(got) > maxBytes) {
            content.clear();
            return SystemResult::fromErrno(EFBIG);
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    return {};
}

SystemResult replaceableTarget(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? SystemResult{} : SystemResult::fromErrno(errno);
    }
    if (S_ISREG(info.st_mode)) {
        return {};
    }
    if (S_ISDIR(info.st_mode)) {
        return SystemResult::fromErrno(EISDIR);
    }
    return {EINVAL, "not a regular file"};
}

SystemResult renameWithoutReplacing(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return SystemResult::fromErrno(errno);
    }
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) != 0) {
            const int error = errno;
            ::unlink(to.c_str()); // not both names: as it was
            return SystemResult::fromErrno(error);
        }
        return {};
    }
    if (errno == EEXIST) {
        return SystemResult::fromErrno(EEXIST);
    }
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) {
        return SystemResult::fromErrno(EEXIST);
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? SystemResult{}
                                                   : SystemResult::fromErrno(errno);
}

SystemResult writeFileAtomically(const std::string& path, std::string_view content)
{
    std::string temporary = path + ".XXXXXX";
    FileDescriptor fd{::mkostemp(temporary.data(), O_CLOEXEC)};
    if (fd.get() < 0) {
        return SystemResult::fromErrno(errno);
    }
    auto fail = [&temporary](int number) {
        ::unlink(temporary.c_str());
        return SystemResult::fromErrno(number);
    };
    struct stat info {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &info) == 0) {
        mode = info.st_mode & 07777U;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0644U & ~mask;
    }
    if (::fchmod(fd.get(), mode) != 0 || !writeAll(fd.get(), content) || ::fsync(fd.get()) != 0) {
        return fail(errno);
    }
    if (::close(fd.release()) != 0) {
        return fail(errno);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        return fail(errno);
    }
    // Make the rename itself durable.
    FileDescriptor folder{::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.get() >= 0) {
        ::fsync(folder.get());
    }
    return {};
}

void discardTemporary(std::FILE*& file, std::string& temporary)
{
    if (file != nullptr) {
        std::fclose(file);
        file = nullptr;
    }
    if (!temporary.empty()) {
        ::unlink(temporary.c_str());
        temporary.clear();
    }
}

namespace {

// Near enough the moment this process started: set as the program loads.
const std::time_t processStart = std::time(nullptr);

bool processAlive(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// The process number in `name` after `prefix`, when it is followed by "-".
pid_t processOf(std::string_view name, std::string_view prefix)
{
    if (!name.starts_with(prefix)) {
        return 0;
    }
    name.remove_prefix(prefix.size());
    pid_t pid = 0;
    const auto [end, failed] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (failed != std::errc{} || end == name.data() + name.size() || *end != '-' || pid <= 0) {
        return 0;
    }
    return pid;
}

} // namespace

std::string temporaryPrefix(std::string_view prefix)
{
    return std::string{prefix} + std::to_string(::getpid()) + "-";
}

void removeStaleTemporaries(const std::string& folder, std::string_view prefix, bool afterAnyName)
{
    DIR* entries = ::opendir(folder.empty() ? "." : folder.c_str());
    if (entries == nullptr) {
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(entries)) {
        std::string_view name{entry->d_name};
        if (const auto at = name.rfind(prefix); afterAnyName && at != std::string_view::npos) {
            name.remove_prefix(at);
        }
        const pid_t pid = processOf(name, prefix);
        struct stat info {};
        // After any name, only our exact shape ("x.part<pid>-<n>", a plain
        // file) is ours: "thesis.part2024-draft.docx" is the user's.
        const bool oursAfterAnyName = [&] {
            const std::string_view count = name.substr(name.find('-') + 1);
            return !count.empty() && std::all_of(count.begin(), count.end(),
                                                 [](char c) { return c >= '0' && c <= '9'; });
        }();
        if (pid != 0 && pid != ::getpid() && (!afterAnyName || oursAfterAnyName) &&
            ::fstatat(::dirfd(entries), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            (!afterAnyName || S_ISREG(info.st_mode)) && info.st_uid == ::geteuid() &&
            info.st_mtime <= processStart && !processAlive(pid)) {
            stale.emplace_back(entry->d_name);
        }
    }
    ::closedir(entries);
    for (const std::string& name : stale) {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path{folder.empty() ? "." : folder} / name,
                                    ignored);
    }
}

} // namespace tessaly
