#include "platform/data_folder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value == nullptr ? std::string{} : std::string{value};
}

std::string homeFolder()
{
    std::string home = environment("HOME");
    if (home.empty()) {
        if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr) {
            home = entry->pw_dir;
        }
    }
    return home.empty() ? std::string{"."} : home;
}

// mkdir -p: false with errno set when a part cannot be made.
bool makeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

// Files of ours that an earlier version, or a umask of 022, left readable by
// others; the databases hold the site passwords.
void protectExistingFiles()
{
    static constexpr const char* kNames[] = {
        "URLDATA.tps",       "URLDATA.tps-journal", "URL_C.tps",
        "URL_C.tps-journal", "URL_H.tps",           "URL_H.tps-journal",
        "TESSLY.INI",        "POSITION.INI",        "CPCSRPTS.INI",
        "WIN.INI",           "DOWNLOAD.LOG",
    };
    for (const char* name : kNames) {
        struct stat info {};
        if (::lstat(name, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            (info.st_mode & 077U) != 0) {
            ::chmod(name, info.st_mode & 0700U);
        }
    }
}

} // namespace

std::string chooseDataFolder(const std::vector<std::string>& arguments)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--") {
            break; // what follows is an address, whatever it looks like
        }
        if (arguments[i] == "--data" && i + 1 < arguments.size()) {
            return arguments[i + 1];
        }
        if (arguments[i].starts_with("--data=")) {
            return arguments[i].substr(7);
        }
    }
    if (std::string folder = environment("TESSALY_DATA"); !folder.empty()) {
        return folder;
    }
    if (std::string xdg = environment("XDG_DATA_HOME"); !xdg.empty()) {
        return xdg + "/tessaly";
    }
    return homeFolder() + "/.local/share/tessaly";
}

namespace {

// The umask the session gave the program, kept before the data folder's
// private one replaces it.
std::optional<mode_t> sessionUmask;

// The data folder entered, once it has been.
std::string enteredFolder;

} // namespace

mode_t userFileMode()
{
    mode_t mask = 0;
    if (sessionUmask) {
        mask = *sessionUmask;
    } else {
        mask = ::umask(0);
        ::umask(mask);
    }
    return 0666U & ~mask;
}

DataFolderChoice enterDataFolder(const std::string& path)
{
    // Everything the program creates from here on (databases and their
    // journals, INI files, logs, exports) is the user's alone, whatever
    // umask the session has: the folder holds the site passwords.
    const mode_t before = ::umask(077);
    if (!sessionUmask) {
        sessionUmask = before;
    }
    DataFolderChoice choice{path, {}};
    if (!makeFolders(path)) {
        choice.error = "Cannot create the data folder " + path + ": " + std::strerror(errno);
        return choice;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        choice.error = "The data folder " + path + " is not a folder.";
        return choice;
    }
    // One absolute name without links or `..`, taken before the folder is
    // entered: a relative name read again from inside it would name another
    // folder, and every check against it would miss the program's files.
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        choice.error = "Cannot enter the data folder " + path + ": " + std::strerror(errno);
        return choice;
    }
    choice.path = resolved;
    std::free(resolved);
    if (::chdir(choice.path.c_str()) != 0) {
        choice.error = "Cannot enter the data folder " + path + ": " + std::strerror(errno);
        return choice;
    }
    // The site passwords are in here: a folder an earlier version or a
    // hand-made one left open to others is closed as its files are.
    if (info.st_uid == ::geteuid() && (info.st_mode & 077U) != 0) {
        ::chmod(".", info.st_mode & 0700U);
    }
    protectExistingFiles();
    enteredFolder = choice.path;
    return choice;
}

SystemResult userFileTarget(const std::string& path)
{
    if (SystemResult target = replaceableTarget(path); !target.ok()) {
        return target;
    }
    if (std::string refused = programFileRefusal(path); !refused.empty()) {
        return {EPERM, std::move(refused)};
    }
    return {};
}

namespace {

// Names the program keeps in its data folder, in lower case: the databases
// with their journals, the INI files and the logs (DOWNLOAD.LOG among them).
bool isProgramFileName(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const std::string_view ending :
         {".tps", ".tps-journal", ".tps-wal", ".tps-shm", ".ini", ".log"}) {
        if (name.ends_with(ending)) {
            return true;
        }
    }
    return false;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `target` is one of the program's files in the data folder under
// another name: a symbolic link to it, a hard link, or another letter case
// on a file system that ignores case.
bool isProgramFileItself(const struct stat& target)
{
    DIR* folder = ::opendir(enteredFolder.c_str());
    if (folder == nullptr) {
        return false;
    }
    bool found = false;
    while (const dirent* entry = ::readdir(folder)) {
        struct stat info {};
        if (isProgramFileName(entry->d_name) &&
            ::fstatat(::dirfd(folder), entry->d_name, &info, 0) == 0 && sameFile(info, target)) {
            found = true;
            break;
        }
    }
    ::closedir(folder);
    return found;
}

} // namespace

std::string programFileRefusal(const std::string& path)
{
    struct stat folder {};
    if (enteredFolder.empty() || ::stat(enteredFolder.c_str(), &folder) != 0) {
        return {};
    }
    // What the name leads to, not how it is spelt: `..`, a link to the
    // folder or a relative name all end at the same folder and file.
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0) {
        if (sameFile(target, folder)) {
            return "the program's data folder, which holds its own files";
        }
        if (isProgramFileItself(target)) {
            return "one of the program's own files in its data folder";
        }
    }
    const std::filesystem::path named{path};
    const std::filesystem::path parent =
        named.has_parent_path() ? named.parent_path() : std::filesystem::path{"."};
    struct stat parentInfo {};
    if (::stat(parent.c_str(), &parentInfo) == 0 && sameFile(parentInfo, folder) &&
        isProgramFileName(named.filename().string())) {
        return "one of the program's own files in its data folder";
    }
    return {};
}

} // namespace tessaly
