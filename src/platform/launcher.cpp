#include "platform/launcher.h"

#include "framework/text.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tessaly {

namespace {

// How long to wait for the opener before taking it as started: xdg-open
// hands over and returns at once, but a handler may stay in front.
constexpr auto kOpenerWait = std::chrono::seconds(10);

pid_t spawn(const std::vector<std::string>& words)
{
    if (words.empty()) {
        return -1;
    }
    std::vector<char*> argv;
    std::vector<std::string> copy = words;
    for (std::string& word : copy) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The started program gets no terminal input of ours.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Exit status of `pid`, or 0 when it is still running after the wait.
int waitFor(pid_t pid)
{
    const auto deadline = std::chrono::steady_clock::now() + kOpenerWait;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        }
        if (done < 0 || std::chrono::steady_clock::now() > deadline) {
            // Still running: it has the target; a reaper thread collects it.
            std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool isExecutableFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Reaps a started program in the background so it leaves no zombie.
void reapLater(pid_t pid)
{
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
}

struct CurrentFolder {
    explicit CurrentFolder(std::string_view folder)
    {
        if (text::trim(folder).empty()) {
            return;
        }
        char* now = ::getcwd(nullptr, 0);
        if (now != nullptr) {
            saved = now;
            std::free(now);
        }
        changed = ::chdir(std::string{text::trim(folder)}.c_str()) == 0;
    }
    void restore() const
    {
        if (changed && !saved.empty()) {
            (void)::chdir(saved.c_str());
        }
    }
    std::string saved;
    bool changed = false;
};

} // namespace

std::vector<std::string> splitCommandLine(std::string_view line)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool any = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) {
                words.push_back(word);
            }
            word.clear();
            any = false;
        } else {
            word.push_back(c);
            any = true;
        }
    }
    if (any) {
        words.push_back(word);
    }
    return words;
}

bool isStartableProgram(std::string_view program, bool quoted)
{
    // Bookmark text comes from page titles, imports and browser windows: a
    // bare name would run whatever PATH holds with the text's arguments.
    if (program.empty() ||
        (program.front() != '/' && !(quoted && program.find('/') != program.npos))) {
        return false;
    }
    return isExecutableFile(std::string{program});
}

int DesktopOpener::open(const std::string& target, const std::string& parameters)
{
    if (!parameters.empty()) {
        // A program with arguments is started; a document cannot take them.
        if (!isStartableProgram(target, true)) {
            return kOpenFileNotFound;
        }
        std::vector<std::string> words{target};
        for (std::string& word : splitCommandLine(parameters)) {
            words.push_back(std::move(word));
        }
        const pid_t pid = spawn(words);
        if (pid < 0) {
            return kOpenFileNotFound;
        }
        reapLater(pid);
        return kOpenedOk;
    }
    const char* custom = std::getenv("TESSALY_OPENER");
    const std::string opener = custom != nullptr && *custom != '\0' ? custom : "xdg-open";
    const pid_t pid = spawn({opener, target});
    if (pid < 0) {
        return kOpenNoAssociation;
    }
    const int status = waitFor(pid);
    if (status == 0) {
        return kOpenedOk;
    }
    // xdg-open: 2 the file does not exist, 3 no tool for it, others failed.
    return status == 2 ? kOpenFileNotFound : kOpenNoAssociation;
}

bool DesktopOpener::start(const std::string& program)
{
    if (!isStartableProgram(program, true)) {
        return false;
    }
    const pid_t pid = spawn({program});
    if (pid < 0) {
        return false;
    }
    reapLater(pid);
    return true;
}

int tryLaunch(std::string_view targetIn, std::string_view workingFolder, Opener& opener)
{
    const CurrentFolder folder{workingFolder};
    const std::string target{text::clip(targetIn)};
    int result = opener.open(target, {});
    if (result >= 32) {
        folder.restore();
        return result;
    }
    // Once: a quoted program path, or the text before the first blank.
    std::string program;
    std::string parameters;
    bool quoted = false;
    if (!target.empty() && target.front() == '"') {
        const std::string rest = target.substr(1);
        const auto quote = rest.find('"');
        if (quote != std::string::npos) {
            parameters = std::string{text::trim(std::string_view{rest}.substr(quote + 1))};
            program = rest.substr(0, quote);
            quoted = true;
        }
    } else if (const auto blank = target.find(' ');
               blank != std::string::npos && blank + 1 < target.size()) {
        parameters = std::string{text::trim(std::string_view{target}.substr(blank + 1))};
        program = target.substr(0, blank);
    }
    const bool split = !program.empty();
    if (split && isStartableProgram(program, quoted)) {
        result = opener.open(program, parameters);
    }
    // Then backwards over the blanks of an unquoted path that has blanks.
    if (result < 32 && split && !quoted) {
        for (std::size_t i = target.size() >= 2 ? target.size() - 2 : 0; i >= 2; --i) {
            if (target[i] != ' ' || !isStartableProgram(target.substr(0, i))) {
                continue;
            }
            program = target.substr(0, i);
            parameters = std::string{text::trim(std::string_view{target}.substr(i + 1))};
            result = opener.open(program, parameters);
            if (result >= 32) {
                break;
            }
        }
    }
    if (!split) {
        program = target;
    }
    if (result < 32 && isStartableProgram(program, quoted) && opener.start(program)) {
        result = kOpenedOk;
    }
    // The current folder is restored after a failure too: later relative
    // file names must still mean the data folder.
    folder.restore();
    return result;
}

MessageRequest launchFailure(std::string_view target, int result)
{
    return {"Error Code " + std::to_string(result),
            "Could not start " + std::string{text::clip(target)} + ".", MessageIcon::Exclamation,
            ButtonOk, ButtonOk};
}

bool launch(std::string_view target, std::string_view workingFolder, Opener& opener, UiPort& ui)
{
    const int result = tryLaunch(target, workingFolder, opener);
    if (result < 32) {
        ui.showMessage(launchFailure(target, result));
        return false;
    }
    return true;
}

} // namespace tessaly
