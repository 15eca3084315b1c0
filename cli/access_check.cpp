#include "access_check.h"

#include "framework/system_file.h"
#include "framework/version.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tessaly::cli {

namespace {

void dropLineEnd(std::string& line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
}

std::optional<std::string> readPasswordFile(const std::string& path, std::ostream& err)
{
    std::string content;
    if (const SystemResult read = readWholeFile(path, content, std::size_t{64} << 10U);
        !read.ok()) {
        err << "tessaly-cli: cannot read the password file " << path << ": " << read.text << '\n';
        return std::nullopt;
    }
    // As a key file is: a password others may read is no longer the
    // user's alone, and the user should hear of it.
    if (struct stat info{}; ::stat(path.c_str(), &info) == 0 && (info.st_mode & 077U) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777U));
        err << "tessaly-cli: warning: the password file " << path << " can be read by others (mode "
            << mode << "); make it private: chmod 600 " << path << '\n';
    }
    std::string line = content.substr(0, content.find('\n'));
    dropLineEnd(line);
    return line;
}

// Echo off for as long as the password is typed, and back on whatever
// happens after.
class QuietTerminal final {
public:
    explicit QuietTerminal(int fd) : fd_(fd)
    {
        if (::tcgetattr(fd_, &saved_) == 0) {
            termios quiet = saved_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            quiet.c_lflag |= ECHONL;
            restore_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~QuietTerminal()
    {
        if (restore_) {
            ::tcsetattr(fd_, TCSAFLUSH, &saved_);
        }
    }
    QuietTerminal(const QuietTerminal&) = delete;
    QuietTerminal& operator=(const QuietTerminal&) = delete;

private:
    int fd_;
    termios saved_{};
    bool restore_ = false;
};

std::optional<std::string> askTerminal(std::ostream& err)
{
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        err << "tessaly-cli: the bookmark database is guarded by a password, and there is no "
               "terminal to ask for it; give it with --password-file FILE\n";
        return std::nullopt;
    }
    const std::string prompt = "Password for " + std::string{kProductName} + ": ";
    std::string line;
    bool ended = false;
    {
        QuietTerminal quiet{fd};
        if (::write(fd, prompt.data(), prompt.size()) < 0) {
            ::close(fd);
            err << "tessaly-cli: cannot ask for the password: " << std::strerror(errno) << '\n';
            return std::nullopt;
        }
        char c = 0;
        ssize_t got = 0;
        while ((got = ::read(fd, &c, 1)) == 1 && c != '\n') {
            line += c;
        }
        ended = got == 1;
    }
    ::close(fd);
    if (!ended && line.empty()) {
        err << "tessaly-cli: no password was typed\n";
        return std::nullopt;
    }
    dropLineEnd(line);
    return line;
}

} // namespace

bool checkAccess(const Settings& settings, const Context& context)
{
    if (!passwordRequired(settings)) {
        return true;
    }
    const std::optional<std::string> typed =
        context.passwordFile.empty() ? askTerminal(context.err)
                                     : readPasswordFile(context.passwordFile, context.err);
    if (!typed) {
        return false;
    }
    if (!passwordMatches(*typed, settings.password)) {
        context.err << "tessaly-cli: wrong password\n";
        return false;
    }
    return true;
}

} // namespace tessaly::cli
