#include "platform/data_folder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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
    if (::chdir(path.c_str()) != 0) {
        choice.error = "Cannot enter the data folder " + path + ": " + std::strerror(errno);
        return choice;
    }
    protectExistingFiles();
    enteredFolder = path;
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

std::string programFileRefusal(const std::string& path)
{
    if (enteredFolder.empty()) {
        return {};
    }
    const std::filesystem::path target{path};
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path{"."};
    std::error_code error;
    if (!std::filesystem::equivalent(folder, enteredFolder, error) || error) {
        return {};
    }
    std::string name = target.filename().string();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const std::string_view ending :
         {".tps", ".tps-journal", ".tps-wal", ".tps-shm", ".ini", ".log"}) {
        if (name.ends_with(ending)) {
            return "one of the program's own files in its data folder";
        }
    }
    return {};
}

} // namespace tessaly
