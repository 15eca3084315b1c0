#include "links/favorites.h"

#include "core/bookmark_schema.h"
#include "framework/ini_file.h"
#include "framework/text.h"
#include "framework/utf7.h"
#include "framework/utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

namespace tessaly {

namespace fs = std::filesystem;

namespace {

// A shortcut is a few lines; more than this of a file is not one. It holds
// the longest address kept whole even as UTF-16.
constexpr std::size_t kMostShortcutBytes = 512 * 1024;

// The URL value of a shortcut file. Only a regular file is read (a pipe or
// a device named like a shortcut would block or never end), and only its
// first bytes.
std::string shortcutAddress(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    struct stat status {};
    std::string content;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        std::array<char, 8192> buffer{};
        ssize_t got = 0;
        while (content.size() < kMostShortcutBytes &&
               (got = ::read(fd, buffer.data(), buffer.size())) > 0) {
            content.append(buffer.data(), static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    // Windows' editors save shortcuts as UTF-16 with a byte order mark.
    IniFile shortcut;
    shortcut.parse(
        utf8::withoutByteOrderMark(std::string_view{content}.substr(0, kMostShortcutBytes)));
    // One character more than an address holds: a longer one is refused
    // where it would be stored, never stored cut.
    return std::string{utf8::prefix(text::trim(shortcutUrl(shortcut)),
                                    static_cast<std::size_t>(kAddressWidth) + 1)};
}

} // namespace

std::string shortcutUrl(const IniFile& shortcut)
{
    // Windows writes the address in UTF-7 under [InternetShortcut.W] when its
    // code page cannot hold it, and leaves question marks in the plain one.
    if (const auto wide = shortcut.value("InternetShortcut.W", "URL");
        wide && !text::trim(*wide).empty()) {
        return utf7::decode(*wide);
    }
    return shortcut.value("InternetShortcut", "URL").value_or(std::string{});
}

void walkFavorites(const std::string& folder, std::vector<ShortcutEntry>& list)
{
    std::error_code error;
    fs::recursive_directory_iterator it{folder, fs::directory_options::skip_permission_denied,
                                        error};
    for (; !error && it != fs::recursive_directory_iterator{}; it.increment(error)) {
        std::error_code kind;
        const bool folderEntry = it->is_directory(kind);
        // Hidden entries are not listed: on this system a name that begins
        // with a dot hides a file or a folder.
        if (it->path().filename().string().starts_with('.')) {
            if (folderEntry) {
                it.disable_recursion_pending();
            }
            continue;
        }
        if (folderEntry) {
            continue;
        }
        ShortcutEntry entry{it->path().string(), {}};
        if (text::upper(it->path().filename().string()).find(".URL") != std::string::npos) {
            entry.address = shortcutAddress(entry.path);
        }
        list.push_back(std::move(entry));
    }
}

void prepareShortcutList(std::string_view folder, std::vector<ShortcutEntry>& list)
{
    const std::string_view root = text::clip(folder);
    for (ShortcutEntry& entry : list) {
        if (!root.empty() && entry.path.starts_with(root)) {
            // A folder given with its trailing separator has none left to drop.
            const std::size_t cut =
                root.size() + (root.ends_with('/') || entry.path.size() == root.size() ? 0 : 1);
            entry.path.erase(0, std::min(cut, entry.path.size()));
        }
    }
    std::sort(list.begin(), list.end(),
              [](const ShortcutEntry& a, const ShortcutEntry& b) { return a.path < b.path; });
}

} // namespace tessaly
